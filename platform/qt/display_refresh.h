// How often the monitor that shows a window refreshes, as the X server
// tells it: the rate of the RandR mode of the monitor the window fills,
// read again whenever RandR reports a change or the window moves, and the
// vertical blanks the Present extension reports, used for their timing
// where they are the display's own. Frames presented into such a
// window are paced by the shared rule (refresh_pacing.h): at most one a
// refresh. A window that fills no monitor, or one whose mode has no rate
// (Xvfb's), is not paced here at all.
#pragma once
#include <xcb/xcb.h>

#include <cstdint>

#include "platform/messages.h"

// Paces the frames presented into window (handle's native X window) from
// now on; the monitor is read before the first frame.
void StartRefreshPacing(WindowHandle handle, xcb_connection_t* connection, xcb_window_t window);
void StopRefreshPacing(WindowHandle handle);
// The window moved or was resized: its monitor is read again before the
// next frame.
void RefreshPacingMoved(WindowHandle handle);
// Sleeps, letting window events in, until the next frame may be presented
// into handle's window. Returns at once for a window that is not paced.
void WaitForRefresh(WindowHandle handle);
// A frame was presented into handle's window just now.
void RefreshPresented(WindowHandle handle);

// The refresh period handle's frames are paced at, microseconds (0: not
// paced), and how many of the server's vertical blanks set their timing.
uint64_t RefreshPacingPeriod(WindowHandle handle, uint64_t* blanksUsed = nullptr);

// Refresh period in microseconds of a RandR mode's timing; 0 where it has
// none or no display runs at that rate.
uint64_t ModeRefreshMicroseconds(uint32_t dotClock, uint32_t htotal, uint32_t vtotal, uint32_t modeFlags);

// Whether Present's blank at ust (microseconds) counted msc, after the one
// at lastUst counted lastMsc, is the display's own: spaced as its refresh
// period to 1 %, and not the stand-in timer of a server whose driver
// reports no blanks.
bool BlankFromDisplay(uint64_t ust, uint64_t msc, uint64_t lastUst, uint64_t lastMsc, uint64_t refreshUs);

void ResetRefreshPacing();
