// Keys that steer the saver instead of ending it. Nearly every command only
// sets a flag or a request that the engine, renderer or music picks up on
// its next step; the grab and the wallpaper act at once. Settings changed
// here live in memory only: nothing is written to the settings file.
#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/rot_angles.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "patterns/pattern_library.h"
#include "patterns/preset.h"
#include "platform/key_state.h"
#include "render/display.h"
#include "render/text_overlay.h"
#include "render/wallpaper.h"
#include "saver/screen_saver.h"

namespace {

constexpr int VK_F8 = VK_F1 + 7;
constexpr int VK_F9 = VK_F1 + 8;
constexpr int VK_F11 = VK_F1 + 10;

void Toggle(int* flag) { *flag = *flag ? 0 : 1; }

// The effect each effect key asks to flip.
struct EffectKeyRec {
  int key;
  EffectId effect;
};

constexpr EffectKeyRec kEffectKeys[] = {
    {'A', kLoopTheLoop},  {'C', kFocusOnCentre}, {'F', kFadeHead},      {'G', kCoriolis},
    {'H', kWindmill},     {'I', kTwisty},        {'J', kFragmented},    {'K', kDoubleBounce},
    {'L', kLoopySpeed},   {'O', kOneColour},     {'Q', kQuicksand},     {'R', kReverse},
    {'T', kFrosted},      {'U', kUltraWide},     {'V', kVariableSpeed}, {'W', kCentre},
    {'X', kSpherical},    {'Y', kTunnel},        {'Z', kZeroAngle},     {VK_F4, kRadialEcho},
    {VK_F11, kStarTrail},
};

// Painting keeps the picture; unless the pattern spirals, its trails stop
// fading so that they paint over the screen. Switched off, the pattern's
// own fade comes back.
void TogglePaintMode() {
  int paint = EffectOn(kPaintMode) ? 0 : 1;
  SetEffect(kPaintMode, paint);
  gPainting = paint;
  EngineStateRec& e = EngineState;
  if (!paint) {
    if (gPresets && gCurrentPattern < gPatternCount) e.fadeSpeed = gPresets[gCurrentPattern].FadeSpeed;
  } else if (!e.spiralTrail) {
    e.fadeSpeed = 0;
  }
  RebuildArms();
}

}  // namespace

bool HandleKeyCommand(int virtualKey, WindowHandle window) {
  for (const EffectKeyRec& k : kEffectKeys) {
    if (k.key == virtualKey) {
      RequestEffectToggle(k.effect);
      return true;
    }
  }
  if (virtualKey >= '1' && virtualKey <= '9') {
    MorphToPattern(virtualKey - '1');
    return true;
  }
  switch (virtualKey) {
    case VK_CONTROL:
      return true;
    case VK_PAUSE:
      gPaused = !gPaused;
      return true;
    case VK_ESCAPE:
      PostMessage(window, WM_CLOSE, 0, 0);
      return true;
    case VK_SPACE:
      GrabPattern();
      return true;
    case '0':
      MorphToPattern(9);
      return true;
    case 'M':
      MorphToPattern(-1);
      return true;
    case 'D':
      Toggle(&gOptions.DoubleSize);
      return true;
    case 'N':
      Toggle(&gOptions.ShowNames);
      return true;
    case 'P':
      TogglePaintMode();
      return true;
    case 'S':
      MusicTogglePause();
      return true;
    case 'E':
      RequestRest();
      return true;
    case VK_F8:
      RequestBurst();
      return true;
    case VK_F9:
      RequestWhirl();
      return true;
    case VK_F1:
      Toggle(&gTextOverlay.keyHelp);
      return true;
    case VK_F2:
      Toggle(&gOptions.SquareTiled);
      gClearRequest = 1;
      return true;
    case VK_F3:
      SetEffect(kBallMode, EffectOn(kBallMode) ? 0 : 1);
      return true;
    case VK_F5:
      MakeWallpaper();
      gPaused = false;
      return true;
    case VK_F6:
      Toggle(&gTextOverlay.effectsList);
      return true;
    case VK_F12:
      Toggle(&gTextOverlay.frameRate);
      return true;
    default:
      return false;
  }
}
