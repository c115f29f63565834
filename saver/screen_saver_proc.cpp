// The screen saver's window procedure: it starts and stops the saver, runs
// one frame per timer tick, and decides which input ends the saver.
#include "engine/engine.h"
#include "engine/morph.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/power.h"
#include "render/display.h"
#include "saver/saver_host.h"
#include "saver/screen_saver.h"

bool gFirstMessage = true;
uint32_t gStartTick = 0;
bool gClosing = false;
bool gPaused = false;
bool gInputSeen = false;
bool gIgnoreNextClose = false;
bool gPasswordChecked = false;
bool gWindowEnabled = true;
bool gOldWindowsNT = false;
int gSuspendCount = 0;
bool gMonitorPowerOff = false;
uintptr_t gFrameTimer = 0;
bool fChildPreview = false;
bool gWindowHidden = false;

namespace {

int Abs(int v) { return v < 0 ? -v : v; }

void HandleFirstMessage() {
  gFirstMessage = false;
  GetSettings(false);
  // Keep the desktop from blanking or sleeping while the saver runs, where
  // it offers a way to ask; otherwise nothing is done.
  if (!gOptions.StandbyEnabled && gPower) gPower->inhibitIdle("Prismora is running");
}

LResult OnClose(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (gOldWindowsNT && !gInputSeen && GetTickCount() - gStartTick < 5000) {
    gIgnoreNextClose = false;
    return 0;
  }
  if (gIgnoreNextClose) {
    gIgnoreNextClose = false;
    return 0;
  }
  gClosing = true;
  StopSaver(window);
  return DefScreenSaverProc(window, message, wParam, lParam);
}

LResult OnMouseMove(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (gOptions.NoMouseMove) return 1;
  int x = int(uint32_t(lParam) & 0xFFFF);
  int y = int((uint32_t(lParam) >> 16) & 0xFFFF);
  if (Abs(x - int(gScreenWidth / 2)) <= 3 && Abs(y - int(gScreenHeight / 2)) <= 3) return 1;
  gInputSeen = true;
  return DefScreenSaverProc(window, message, wParam, lParam);
}

// Ctrl with a digit morphs to patterns 10..19; '1'..'9' first, then '0'.
void RequestCtrlDigitMorph() {
  uint8_t keys[256];
  GetKeyboardState(keys);
  for (int digit = 1; digit <= 10; ++digit) {
    int vk = digit == 10 ? '0' : '0' + digit;
    if (keys[vk] & 0x80) {
      MorphToPattern(digit == 10 ? 19 : 10 + digit - 1);
      return;
    }
  }
}

LResult OnInput(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  uint8_t keys[256];
  GetKeyboardState(keys);
  if (keys[VK_CONTROL] & 0x80) {
    RequestCtrlDigitMorph();
    return 0;
  }
  if (message == WM_KEYDOWN && HandleKeyCommand(int(wParam), window)) return 0;
  gInputSeen = true;
  return DefScreenSaverProc(window, message, wParam, lParam);
}

void OnNcPaint(WindowHandle window, WParam wParam) {
  if (gWindowEnabled && wParam != 1 && gPasswordChecked) {
    StopSaver(window);
    GetSettings(false);
    gStartTick = GetTickCount();
    StartSaver(window);
    gPasswordChecked = false;
  }
}

LResult OnPowerBroadcast(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  switch (wParam) {
    case PBT_APMQUERYSUSPEND:
    case PBT_APMSUSPEND:
    case PBT_APMBATTERYLOW:
      SetSuspended(true);
      break;
    case PBT_APMRESUMESUSPEND:
      SetSuspended(false);
      break;
    default:
      return BROADCAST_QUERY_DENY;
  }
  return DefScreenSaverProc(window, message, wParam, lParam);
}

// Nothing is drawn where nobody can see it. The frame timer stops, so the
// program sleeps in its message wait until the window shows again.
void OnShowWindow(WindowHandle window, bool shown) {
  gWindowHidden = !shown;
  if (gFrameTimer == 0 || gClosing) return;
  if (shown)
    SetTimer(window, kFrameTimerId, 1);
  else
    KillTimer(window, kFrameTimerId);
}

}  // namespace

void SetSuspended(bool suspend) {
  gSuspendCount += suspend ? 1 : -1;
  gPaused = gSuspendCount != 0;
  // The desktop stays visible on its own here: there is no exclusive
  // display mode to leave before the machine goes down.
}

bool SaverWantsFrames() { return !gClosing && !gPaused && !gWindowHidden; }

LResult ScreenSaverProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (gFirstMessage) HandleFirstMessage();
  switch (message) {
    case WM_CREATE:
      gStartTick = GetTickCount();
      if (!StartSaver(window)) return -1;
      break;
    case WM_ENABLE:
      gWindowEnabled = wParam != 0;
      break;
    case WM_CLOSE:
      return OnClose(window, message, wParam, lParam);
    case WM_NCPAINT:
      OnNcPaint(window, wParam);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      return OnInput(window, message, wParam, lParam);
    case WM_SYSCOMMAND:
      if (wParam == SC_MONITORPOWER && !gClosing) {
        gClosing = true;
        gMonitorPowerOff = true;
        StopSaver(window);
      }
      break;
    case WM_TIMER:
      if (wParam == kFrameTimerId && !gClosing && !gPaused && !gWindowHidden) AddTrailParticle(window);
      if (wParam == kMusicTimerId && !gClosing) MusicUpdate();
      break;
    case WM_SHOWWINDOW:
      OnShowWindow(window, wParam != 0);
      break;
    case WM_MOUSEMOVE:
      return OnMouseMove(window, message, wParam, lParam);
    case WM_POWERBROADCAST:
      return OnPowerBroadcast(window, message, wParam, lParam);
    case WM_PALETTECHANGED:
      gIgnoreNextClose = true;
      break;
    case SCRM_VERIFYPW:
      gPasswordChecked = true;
      break;
    default:
      break;
  }
  return DefScreenSaverProc(window, message, wParam, lParam);
}

void ResetSaver() {
  gFirstMessage = true;
  gStartTick = 0;
  gClosing = false;
  gPaused = false;
  gInputSeen = false;
  gIgnoreNextClose = false;
  gPasswordChecked = false;
  gWindowEnabled = true;
  gOldWindowsNT = false;
  gSuspendCount = 0;
  gMonitorPowerOff = false;
  gFrameTimer = 0;
  fChildPreview = false;
  gWindowHidden = false;
  gDesktopWidth = 0;
  gDesktopHeight = 0;
}
