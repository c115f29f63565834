// The host side of the screen saver: what the screen-saver framework does on
// other systems. It creates the window, routes every message through the
// window procedure under the fault guard, and gives unconsumed messages
// their default effects: input ends the saver, a close destroys the window
// and ends the program, the password check is answered yes.
#pragma once
#include "platform/messages.h"
#include "platform/window.h"

LResult DefScreenSaverProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Runs the saver in the given window until it ends. Returns the process exit
// code: 0 after a normal end, 1 when the window or the saver could not start
// or a fault ended it. With runLabel, the log gets one line naming the run
// (runLabel) and the drawing size once the window is made.
int RunScreenSaver(const WindowRequest& request, const char* runLabel = nullptr);

// One message through the window procedure under the fault guard.
LResult DispatchSaverMessage(const Message& message);

void ResetSaverHost();
