// The run's window service: the installed one wrapped, so that presents are
// counted and, in a host's window, everything asking for the desktop's size
// (the default and the choices of "Resolution", the wallpaper's size) gets
// the window's.
#include "saver/saver_window.h"

#include "patterns/options.h"
#include "platform/window.h"
#include "render/display.h"
#include "saver/screen_saver.h"

namespace {

struct SaverWindowRec {
  const WindowService* underlying = nullptr;  // non-null while begun
  WindowService service{};
  uint32_t presents = 0;
  uint32_t width = 0;  // a host's window as the desktop: its size when begun, pixels
  uint32_t height = 0;
  bool partOfMonitor = false;  // a host's window that covers no whole monitor
};

SaverWindowRec gSaverWindow;

void CountedPresent(WindowHandle window, const FrameImage& frame) {
  gSaverWindow.presents += 1;
  gSaverWindow.underlying->present(window, frame);
}

void WindowAsDesktop(uint32_t* width, uint32_t* height, uint32_t* bitsPerPixel) {
  gSaverWindow.underlying->desktop(width, height, bitsPerPixel);
  *width = gSaverWindow.width;
  *height = gSaverWindow.height;
}

}  // namespace

bool BeginSaverWindow(WindowHandle window, bool hostWindow) {
  EndSaverWindow();
  gSaverWindow.underlying = gWindows;
  gSaverWindow.service = *gWindows;
  gSaverWindow.service.present = CountedPresent;
  gWindows = &gSaverWindow.service;
  if (!hostWindow) return !fChildPreview;
  gSaverWindow.partOfMonitor = gWindows->fillsMonitor && !gWindows->fillsMonitor(window);
  uint32_t width = 0, height = 0;
  if (!gWindows->clientSize(window, &width, &height) || width < kHostWindowFullWidth || height == 0) {
    gWindowMode = 1;
    fChildPreview = true;
    return false;
  }
  gWindowMode = 0;
  fChildPreview = false;
  gSaverWindow.width = width;
  gSaverWindow.height = height;
  gSaverWindow.service.desktop = WindowAsDesktop;
  gStoredResolution.keep = 1;
  // The sizes offered are the window's from now on.
  ResetResolutionList();
  return true;
}

bool SaverWindowMayPlayMusic() { return !gSaverWindow.partOfMonitor; }

uint32_t SaverWindowPresents() { return gSaverWindow.presents; }

void EndSaverWindow() {
  // Unless a test has put a service of its own in since.
  if (gSaverWindow.underlying && gWindows == &gSaverWindow.service) gWindows = gSaverWindow.underlying;
  if (gSaverWindow.width != 0) ResetResolutionList();
  gSaverWindow = SaverWindowRec{};
  gStoredResolution.keep = 0;
}
