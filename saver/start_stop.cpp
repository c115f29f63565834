// Starting and stopping the saver: everything it acquires, in order, and
// released in reverse.
#include "diag/log.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"
#include "music/music_list.h"
#include "music/music_player.h"
#include "patterns/morph_setup.h"
#include "patterns/options.h"
#include "patterns/pattern_apply.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "platform/music_lock.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/text_overlay.h"
#include "saver/saver_window.h"
#include "saver/screen_saver.h"
#include "saver/settings_flags.h"

uint32_t gDesktopWidth = 0;
uint32_t gDesktopHeight = 0;

void ChooseStartPattern() {
  // A pattern asked for on the command line is shown even when it is never
  // chosen at random.
  bool currentNeverChosen = !gSettingsFlags.patternChosen && gPresets && gCurrentPattern < gPatternCount &&
                            gPresets[gCurrentPattern].Frequency == 0;
  if (gOptions.UseRandomPreset || (gOptions.MorphSettings && currentNeverChosen))
    ApplyRandomPattern();
  else
    ApplyPattern();
  if (gOptions.RandomBackground && gOptions.BackgroundBrightness != 0)
    gUseBackground = prismora::rand() % 2;
  else
    gUseBackground = gOptions.BackgroundBrightness != 0;
}

bool StartSaver(WindowHandle window) {
  gClosing = false;
  // No system here is an old NT: the early-close guard stays off.
  gOldWindowsNT = false;
  uint32_t depth = 0;
  gWindows->desktop(&gDesktopWidth, &gDesktopHeight, &depth);
  // A restart (after the password check) begins from a fresh engine, as the
  // first start does: nothing of the last run's edge, effects or morph lingers.
  ResetEngine();
  prismora::srand(uint32_t(CalendarTime() >> 1));
  FreePatternTable();
  // Without its installation the saver has been told so and cannot go on.
  if (!GetSettings(false)) return false;
  // After the load, which writes every option back: the flags stay out of the file.
  ApplySettingsFlags();
  if (fChildPreview) {
    gOptions.DoubleSize = 1;
    EngineState.musicSelected = 0;
  } else {
    // A host starts one saver per monitor: the one holding the turn plays.
    // A settings tool's preview plays none, however big it is.
    bool wanted = gOptions.MusicIndex != -1 && SaverWindowMayPlayMusic();
    if (gOptions.MusicIndex != -1 && !wanted)
      LogDebug("StartSaver: no music in a window smaller than a monitor\n");
    bool turn = !wanted || !gMusicLock || gMusicLock->acquire();
    if (!turn) LogDebug("StartSaver: another saver of this user plays the music\n");
    EngineState.musicSelected = wanted && turn;
    unsigned volume = unsigned(gOptions.MusicVolume);
    if (EngineState.musicSelected && gOptions.MusicIndex == 0)
      MUSICInitialiseFromResource(0, volume);
    else if (EngineState.musicSelected)
      MUSICInitialise(MusicEntryLocation(gOptions.MusicIndex), volume, false, 0);
  }
  ChooseStartPattern();
  if (!DDInitialise(window)) return false;
  DrawKeyHelpLines();
  if (gPresets && gCurrentPattern < gPatternCount) DrawPatternName(gCurrentPattern);
  InitialiseEngine();
  // A run opens with a change of pattern; one asked for on the command line
  // is shown for a whole interval first.
  if (gSettingsFlags.patternChosen) ScheduleNextMorph(GetTickCount());
  gFrameTimer = SetTimer(window, kFrameTimerId, 1);
  return true;
}

void StopSaver(WindowHandle window) {
  if (gFrameTimer != 0) {
    KillTimer(window, kFrameTimerId);
    gFrameTimer = 0;
  }
  DDCleanUp();
  ReleaseEngine();
  MUSICClose();
  if (gMusicLock) gMusicLock->release();
  FreePatternTable();
  FreeMusicList();
}
