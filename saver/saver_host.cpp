// The screen-saver host: window, message loop, default message handling and
// the fault guard.
#include "saver/saver_host.h"

#include "diag/log.h"
#include "music/music_player.h"
#include "platform/clock.h"
#include "platform/fault_guard.h"
#include "render/display.h"
#include "saver/saver_window.h"
#include "saver/screen_saver.h"

namespace {

// A mouse that moves more than this many pixels from where it was first
// seen ends the saver; smaller moves are jitter.
constexpr int kMouseMoveThreshold = 4;

struct SaverHostRec {
  WindowHandle window = 0;
  WindowMode mode = WindowMode::FullScreen;
  bool haveMouseOrigin = false;
  int mouseX = 0, mouseY = 0;
  bool destroyed = false;
  bool faulted = false;
  bool musicTimer = false;  // kMusicTimerId runs
};

SaverHostRec gHost;

int Abs(int v) { return v < 0 ? -v : v; }

// The halves of a mouse position are signed: on a desktop of several
// monitors a position left of or above the picture is negative.
int PointX(LParam lParam) { return int(int16_t(uint16_t(uint32_t(lParam) & 0xFFFF))); }
int PointY(LParam lParam) { return int(int16_t(uint16_t((uint32_t(lParam) >> 16) & 0xFFFF))); }

void EndSaverOnInput(WindowHandle window) {
  // The host program owns input in a foreign window; nothing of it is ours.
  if (gHost.mode == WindowMode::Foreign) return;
  PostMessage(window, WM_CLOSE, 0, 0);
}

// The mouse's first reported position is where it rests; later moves are
// measured from there, whether or not the window procedure passed the first
// one on.
bool NoteMouseOrigin(LParam lParam) {
  if (gHost.haveMouseOrigin) return false;
  gHost.haveMouseOrigin = true;
  gHost.mouseX = PointX(lParam);
  gHost.mouseY = PointY(lParam);
  return true;
}

void OnMouseMove(WindowHandle window, LParam lParam) {
  int x = PointX(lParam), y = PointY(lParam);
  if (NoteMouseOrigin(lParam)) return;
  // An ordinary window is for trying the saver out: the mouse must be free
  // to move over it; keys and clicks still end it.
  if (gHost.mode == WindowMode::Ordinary) return;
  if (Abs(x - gHost.mouseX) > kMouseMoveThreshold || Abs(y - gHost.mouseY) > kMouseMoveThreshold)
    EndSaverOnInput(window);
}

// Frames poll the music; without them a track that ends would wait for
// the next frame to be followed by the next one.
void LookAfterMusicWithoutFrames(WindowHandle window) {
  bool wanted = !SaverWantsFrames() && !gClosing && gSystem != nullptr;
  if (wanted == gHost.musicTimer) return;
  gHost.musicTimer = wanted;
  if (wanted)
    SetTimer(window, kMusicTimerId, kHeldMusicPeriodMs);
  else
    KillTimer(window, kMusicTimerId);
}

struct DispatchCall {
  const Message* message;
  LResult result;
};

void CallWindowProcedure(void* context) {
  auto* call = static_cast<DispatchCall*>(context);
  const Message& m = *call->message;
  call->result = ScreenSaverProc(m.window, m.message, m.wParam, m.lParam);
}

}  // namespace

LResult DefScreenSaverProc(WindowHandle window, uint32_t message, WParam, LParam lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
      OnMouseMove(window, lParam);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      EndSaverOnInput(window);
      return 0;
    case WM_CLOSE:
      if (!gHost.destroyed) {
        gHost.destroyed = true;
        gWindows->destroy(window);
        PostMessage(window, WM_QUIT, 0, 0);
      }
      return 0;
    case WM_DISPLAYCHANGE:
      // The picture moved to another monitor or changed size, and with it
      // the grid mouse positions are measured on: where the mouse is next
      // seen is where it rests.
      gHost.haveMouseOrigin = false;
      return 0;
    case SCRM_VERIFYPW:
      // Passwords belong to the desktop's locker; closing may always go ahead.
      return 1;
    default:
      return 0;
  }
}

LResult DispatchSaverMessage(const Message& message) {
  if (message.message == WM_MOUSEMOVE) NoteMouseOrigin(message.lParam);
  DispatchCall call{&message, 0};
  FaultReport fault;
  if (gFaultGuard->run(CallWindowProcedure, &call, &fault)) return call.result;
  LogDebug("!!!! ExceptionCode = %x at address %lx\n", fault.code, (unsigned long)fault.address);
  if (gHost.faulted) {
    // A second fault while closing: give up on a clean close.
    PostMessage(message.window, WM_QUIT, 0, 0);
    return 0;
  }
  gHost.faulted = true;
  PostMessage(message.window, WM_CLOSE, 0, 0);
  return DefScreenSaverProc(message.window, message.message, message.wParam, message.lParam);
}

int RunScreenSaver(const WindowRequest& request, const char* runLabel) {
  ResetSaverHost();
  gHost.mode = request.mode;
  WindowHandle window = gWindows->create(request);
  if (window == 0) {
    if (runLabel) LogDebug("%s, no drawing: the window could not be made\n", runLabel);
    return 1;
  }
  gHost.window = window;
  // A host's window (not /p, which is always the preview) may be the screen.
  BeginSaverWindow(window, request.mode == WindowMode::Foreign && !fChildPreview);
  const uint32_t startTick = GetTickCount();
  LResult created = DispatchSaverMessage(Message{window, WM_CREATE, 0, 0});
  if (runLabel) LogDebug("%s, drawing %ux%u\n", runLabel, gScreenWidth, gScreenHeight);
  if (created == -1) {
    StopSaver(window);
    gWindows->destroy(window);
    EndSaverWindow();
    return 1;
  }
  Message message;
  while (GetMessage(&message)) {
    DispatchSaverMessage(message);
    // Only messages change whether frames are wanted (a pause key, a power
    // event), so looking after each one keeps the timer's hold current.
    HoldTimer(window, kFrameTimerId, !SaverWantsFrames());
    LookAfterMusicWithoutFrames(window);
  }
  if (!gHost.faulted) StopSaver(window);
  if (!gHost.destroyed) gWindows->destroy(window);
  // How the run went, for a user who finds it slow and for the benchmarks.
  if (runLabel)
    LogDebug("%s, %u frames in %u ms\n", runLabel, SaverWindowPresents(), GetTickCount() - startTick);
  EndSaverWindow();
  return gHost.faulted ? 1 : 0;
}

void ResetSaverHost() {
  gHost = SaverHostRec{};
  EndSaverWindow();
}
