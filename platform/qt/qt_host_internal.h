// What the parts of the Qt host share among themselves.
#pragma once

#include "platform/messages.h"

class QWidget;
class QWindow;

void InstallQtWindowService();
void InstallQtMessageBoxService();
void InstallQtPowerService();
// Listens for the machine going to sleep, once our own window exists.
void QtPowerWatchSleep();

// Work the window service defers until the toolkit has finished delivering
// events (following a foreign window's new size), so that no toolkit
// callback does more than record and post.
void ApplyQtWindowWork();

// The window that should receive a WM_CLOSE the host posts on its own
// (termination request); 0 without a window.
WindowHandle QtMainWindowHandle();
// True for a window drawn into a foreign window, whose host owns input and
// power.
bool QtWindowIsForeign(WindowHandle window);

// Fires when a termination request arrives, for modal loops of the toolkit
// (message boxes) that must end at once; nullptr before the host is made.
class QSocketNotifier;
QSocketNotifier* QtTerminationNotifier();

void ResetQtWindows();
void ResetQtPower();

// A window of the window service that is not shown on its own: the player's
// frame puts it in a container widget and shows that. Until the container is
// set, it is an ordinary hidden window.
WindowHandle CreateQtContentWindow(QWindow** window);
// From now on the container reports its sizes and deleting the window
// deletes the container's top-level widget with it.
void SetQtContentContainer(WindowHandle handle, QWidget* container);
// Whether the container's top level can be seen (minimised or wholly
// covered: not); with the window's own state it decides WM_SHOWWINDOW.
void SetQtContentFrameExposed(WindowHandle handle, bool exposed);
void InstallQtFrameWindowService();
