// The window service as one run of the saver sees it. Its presents are
// counted, for the run's last log line. A screen-saver host's window (-root,
// -window-id, $XSCREENSAVER_WINDOW) big enough is the saver's whole screen,
// not a preview.
#pragma once
#include <cstdint>

#include "platform/messages.h"

// Narrower host windows are settings tools' previews.
constexpr uint32_t kHostWindowFullWidth = 640;

// Called once the run's window exists. For a host's window (hostWindow; /p
// is none) it decides the rules: at least kHostWindowFullWidth wide, the
// window is the run's desktop (the window service reports its size as the
// desktop's, so the drawing size and the sizes offered follow the window)
// and the stored "Resolution" is kept as it was, since a monitor's size is
// not the user's choice; narrower, the preview rules hold (640 x 480,
// double size, no music). True when the saver's full rules apply.
bool BeginSaverWindow(WindowHandle window, bool hostWindow);
// False in a host's window that covers no whole monitor (a settings tool's
// preview, however big): no music plays there.
bool SaverWindowMayPlayMusic();
// Frames presented since BeginSaverWindow.
uint32_t SaverWindowPresents();
// Puts the window service back; harmless when nothing was begun.
void EndSaverWindow();
