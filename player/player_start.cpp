// The player's program: start-up in its fixed order, the start and stop of
// the animation, and the message loop that draws frames in idle time.
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/random.h"
#include "music/music_list.h"
#include "music/music_player.h"
#include "patterns/morph_setup.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "player/player.h"
#include "render/display.h"
#include "render/text_overlay.h"
#include "saver/screen_saver.h"

PlayerRec gPlayer;

bool StartPlayer(WindowHandle window) {
  ResetEngine();
  prismora::srand(uint32_t(CalendarTime() >> 1));
  FreePatternTable();
  if (!GetSettings(false)) return false;
  // A small window reads better with big particles, as the saver's preview.
  gOptions.DoubleSize = 1;
  EngineState.musicSelected = gWindowOptions.PlayMusic && gOptions.MusicIndex != -1;
  if (gWindowOptions.PlayMusic) ApplyPlayMusic();
  ChooseStartPattern();
  if (!DDInitialise(window)) return false;
  gTextOverlay.playerRules = 1;
  if (gPresets && gCurrentPattern < gPatternCount) DrawPatternName(gCurrentPattern);
  InitialiseEngine();
  ApplyLowDensity();
  return true;
}

void StopPlayer(WindowHandle) {
  DDCleanUp();
  ReleaseEngine();
  MUSICClose();
  FreePatternTable();
  FreeMusicList();
}

bool PlayerLoopStep() {
  Message message;
  if (PeekMessage(&message, true)) {
    if (message.message == WM_QUIT) return false;
    PlayerWindowProc(message.window, message.message, message.wParam, message.lParam);
    return true;
  }
  if (!gPlayer.active || gPlayer.hidden || gPlayer.paused != 0 || !gPlayer.ready) {
    // Nothing to draw: sleep until the window system has something.
    if (!GetMessage(&message)) return false;
    PlayerWindowProc(message.window, message.message, message.wParam, message.lParam);
    return true;
  }
  AddTrailParticle(gPlayer.window);
  return true;
}

WindowHandle OpenPlayer() {
  LoadWindowSettings();
  gWindowMode = 1;
  const WindowOptionsRec& o = gWindowOptions;
  WindowHandle window = gFrameWindows->create("Prismora", o.WindowLeft, o.WindowTop, o.WindowWidth,
                                              o.WindowHeight, kPlayerMenu, kPlayerMenuCount);
  if (window == 0) return 0;
  gPlayer.window = window;
  ApplyAlwaysOnTop(window);
  // Music starts with the player itself, once the settings are read.
  ApplyLowDensity();
  ApplyPriority();
  UpdateMenuMarks(window);
  if (o.WindowLeft != kDefaultPosition) {
    FramePlacement placement;
    placement.left = o.WindowLeft;
    placement.top = o.WindowTop;
    placement.width = o.WindowWidth;
    placement.height = o.WindowHeight;
    placement.showState = o.WindowState;
    gFrameWindows->setPlacement(window, placement);
  }
  gFrameWindows->show(window, o.WindowState);
  if (!StartPlayer(window)) {
    StopPlayer(window);
    gWindows->destroy(window);
    gPlayer.window = 0;
    return 0;
  }
  gPlayer.ready = true;
  return window;
}

int RunPlayer() {
  WindowHandle window = OpenPlayer();
  if (window == 0) return 0;
  while (PlayerLoopStep()) {
  }
  if (!gPlayer.destroyed) {
    PlayerWindowProc(window, WM_DESTROY, 0, 0);
    gWindows->destroy(window);
  }
  return 0;
}

void ResetPlayer() { gPlayer = PlayerRec{}; }
