// The player's window procedure: menu commands, keys, the 4:3 client shape
// and the restart when the user comes back from a program it started.
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "platform/key_state.h"
#include "platform/window.h"
#include "player/player.h"
#include "saver/screen_saver.h"

namespace {

void Restart(WindowHandle window) {
  StopPlayer(window);
  gPlayer.ready = StartPlayer(window);
}

void OnActivate(WindowHandle window, WParam wParam) {
  gPlayer.active = ((wParam >> 16) & 0xFFFF) == 0;
  if ((wParam & 0xFFFF) == WA_INACTIVE) return;
  if (gPlayer.settingsLaunched) {
    gPlayer.settingsLaunched = false;
    Restart(window);
  }
  if (gPlayer.saverLaunched) {
    if (gPlayer.paused == 2) gPlayer.paused = 0;
    gPlayer.saverLaunched = false;
    Restart(window);
  }
}

void OnSize(WindowHandle window, WParam wParam, LParam lParam) {
  if (wParam != SIZE_RESTORED) return;
  uint32_t w = uint32_t(lParam) & 0xFFFF, h = (uint32_t(lParam) >> 16) & 0xFFFF;
  uint32_t newW = 0, newH = 0;
  if (FourThreeClientSize(w, h, gPlayer.lastSizingEdge, gPlayer.minClientWidth, &newW, &newH))
    gFrameWindows->setClientSize(window, newW, newH);
}

// The saver's keys, less what only makes sense full screen: Ctrl with a
// digit is the digit alone, F1 and F5 do nothing, and Pause goes through the
// menu so that its mark follows.
bool OnKey(WindowHandle window, int virtualKey) {
  switch (virtualKey) {
    case VK_F1:
    case VK_F5:
      return false;
    case VK_PAUSE:
      OnPlayerCommand(window, kIdMenuPause);
      return true;
    default:
      return HandleKeyCommand(virtualKey, window);
  }
}

// Frames stop while nobody can see them and go on from the same state when
// the window shows again; the music plays on, looked after by a slow timer.
void OnShowWindow(WindowHandle window, bool shown) {
  gPlayer.hidden = !shown;
  if (shown)
    KillTimer(window, kPlayerMusicTimerId);
  else if (EngineState.musicSelected)
    SetTimer(window, kPlayerMusicTimerId, kPlayerHiddenMusicPeriodMs);
}

}  // namespace

bool FourThreeClientSize(uint32_t w, uint32_t h, uint32_t edge, uint32_t minWidth, uint32_t* newW,
                         uint32_t* newH) {
  uint32_t w43 = 4 * h / 3;
  if (w == w43) return false;
  bool widthLeads;
  switch (edge) {
    case WMSZ_LEFT:
    case WMSZ_RIGHT:
      widthLeads = true;
      break;
    case WMSZ_TOP:
    case WMSZ_BOTTOM:
      widthLeads = false;
      break;
    default:
      widthLeads = w > h;
      break;
  }
  *newW = widthLeads ? w : w43;
  *newH = widthLeads ? 3 * w / 4 : h;
  if (*newW < minWidth) {
    *newW = minWidth;
    *newH = 3 * minWidth / 4;
  }
  // Rounding can ask for the size the window already has; asking again
  // would change nothing.
  return *newW != w || *newH != h;
}

LResult PlayerWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_PAINT:
      if (gPlayer.ready) AddTrailParticle(window);
      return 0;
    case WM_KEYDOWN:
      return OnKey(window, int(wParam)) ? 0 : 1;
    case WM_COMMAND:
      OnPlayerCommand(window, int(wParam & 0xFFFF));
      return 0;
    case WM_ACTIVATE:
      OnActivate(window, wParam);
      return 0;
    case WM_SHOWWINDOW:
      OnShowWindow(window, wParam != 0);
      return 0;
    case WM_TIMER:
      if (wParam == kPlayerMusicTimerId && EngineState.musicSelected) MusicUpdate();
      return 0;
    case WM_SIZING:
      gPlayer.lastSizingEdge = uint32_t(wParam & 0xFFFF);
      return 1;
    case WM_SIZE:
      OnSize(window, wParam, lParam);
      return 1;
    case WM_GETMINMAXINFO:
      if (!gPlayer.haveMinClientWidth) {
        gPlayer.haveMinClientWidth = true;
        gPlayer.minClientWidth = uint32_t(lParam);
      }
      return 1;
    case WM_CLOSE:
      // The window goes away after its options are written from it.
      if (!gPlayer.destroyed) {
        PlayerWindowProc(window, WM_DESTROY, 0, 0);
        gWindows->destroy(window);
      }
      return 0;
    case WM_DESTROY:
      gPlayer.destroyed = true;
      gPlayer.ready = false;
      WritePlayerWindowOptions(window);
      StopPlayer(window);
      PostMessage(window, WM_QUIT, 0, 0);
      return 0;
    default:
      return 1;
  }
}
