// What the parts of the Qt host share among themselves.
#pragma once

#include "platform/messages.h"

void InstallQtWindowService();
void InstallQtMessageBoxService();

// Work the window service defers until the toolkit has finished delivering
// events (following a foreign window's new size), so that no toolkit
// callback does more than record and post.
void ApplyQtWindowWork();

// The window that should receive a WM_CLOSE the host posts on its own
// (termination request); 0 without a window.
WindowHandle QtMainWindowHandle();

void ResetQtWindows();
