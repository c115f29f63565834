// What the parts of the Qt host share among themselves.
#pragma once

#include "platform/messages.h"

void InstallQtWindowService();
void InstallQtMessageBoxService();
void InstallQtPowerService();

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

void ResetQtWindows();
void ResetQtPower();
