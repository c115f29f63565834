// The Qt host: the application object, the event source over Qt's event
// loop, the window service (full screen, ordinary window, drawing into a
// foreign X11 window) and message boxes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/messages.h"

class QWindow;

// Creates the application object (once) and installs the real clock and
// fault guard, the event source, the window service, message boxes and the
// power service (idle inhibition, and sleep and resume posted to the main
// window as WM_POWERBROADCAST), the last over D-Bus where there is one.
// Returns false, with nothing installed, when no display can be opened, so
// the caller can say so in one line instead of the toolkit aborting.
bool InstallQtHost(int& argc, char** argv);

// Destroys every window the host made and forgets its pending work; the
// application object stays; an idle inhibition is released. For tests and
// restarts.
void ResetQtHost();

// The toolkit window behind a handle, nullptr for none: for code that reads
// back what was presented.
QWindow* QtHostWindow(WindowHandle window);

// Whether a window's frames go through OpenGL, and the GL_RENDERER that
// reported (renderer may be nullptr): for tests and diagnostics.
bool QtHostPresentsWithOpenGL(WindowHandle window, const char** renderer = nullptr);

// Whether window's last frame was written straight into the backing
// store's image (rather than drawn there with QPainter): for tests.
bool QtHostPresentsIntoStoreImage(WindowHandle window);

// Whether window's last frame went through its own MIT-SHM image, put
// straight onto the window: for tests.
bool QtHostPresentsThroughShm(WindowHandle window);

// Whether window's last frame was put onto it straight from the frame's
// own memory, shared with the X server (WindowService::frameMemory): for
// tests.
bool QtHostPresentsStraightFromFrame(WindowHandle window);

// How many blocks of frame memory shared with the X server exist.
size_t QtHostSharedFrameCount();

// How often, and for how long in all, window's shared image waited for the
// server to finish reading the previous puts before it was written again.
// False when the window has no shared image.
bool QtHostShmWaits(WindowHandle window, int64_t* nanoseconds, int64_t* waits);

// Makes the next OpenGL present of window fail as a lost context would, for
// tests of the fall-back to QPainter.
void QtHostFailNextOpenGLPresent(WindowHandle window);

// Makes the power service use the D-Bus buses at these addresses in place
// of the desktop's session and system buses (both nullptr: the desktop's
// again), letting go of what it held on the previous ones. For tests, which
// stand up buses of their own.
void QtHostUsePowerBuses(const char* sessionAddress, const char* systemAddress);
