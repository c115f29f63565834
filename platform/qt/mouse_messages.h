// A toolkit mouse event as the program's queued mouse message, shared by
// every window whose input ends up in the same window procedure.
#pragma once

#include "platform/messages.h"

class QMouseEvent;

// Records the button and Ctrl state and posts WM_MOUSEMOVE or the button's
// down message to window, with (x, y) packed as 16-bit halves (negative
// values in two's complement). Releases only update the key state; a fourth
// or fifth button posts nothing.
void PostMouseMessage(WindowHandle window, const QMouseEvent& event, int x, int y);
