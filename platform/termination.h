// SIGTERM as hosts of screen-saver hacks use it: the request is noted, the
// program cleans up through its normal close path, then the signal is raised
// again so the host sees the death it asked for.
#pragma once

// Installs the handler; the event source then turns a request into WM_CLOSE.
// A program still running two seconds after the request (stuck in a call
// that blocks) dies of the signal then.
void InstallTerminationHandler();
bool TerminationRequested();
// File descriptor that becomes readable when termination is requested, so an
// event loop can wake on it; -1 before the handler is installed.
int TerminationWakeFd();
// Restores the default action and raises SIGTERM; returns only when the
// request never came.
void ReraiseTermination();
void ResetTerminationRequest();
// While held, a SIGTERM waits; it is delivered when released. For start-up
// code that fails on an interrupted call (connecting to the display), and
// threads started meanwhile inherit the hold, so the signal reaches this one.
void HoldTermination(bool hold);
