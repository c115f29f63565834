// The Qt host: the application object, the event source over Qt's event
// loop, the window service (full screen, ordinary window, drawing into a
// foreign X11 window) and message boxes.
#pragma once

#include "platform/messages.h"

class QWindow;

// Creates the application object (once) and installs the real clock and
// fault guard, the event source, the window service and message boxes.
// Returns false, with nothing installed, when no display can be opened, so
// the caller can say so in one line instead of the toolkit aborting.
bool InstallQtHost(int& argc, char** argv);

// Destroys every window the host made and forgets its pending work; the
// application object stays. For tests and restarts.
void ResetQtHost();

// The toolkit window behind a handle, nullptr for none: for code that reads
// back what was presented.
QWindow* QtHostWindow(WindowHandle window);
