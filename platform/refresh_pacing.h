// When a window service may show the next frame: never two in one refresh
// of the display that shows them (a frame the display never shows costs
// the same to draw and to send), and never sooner after the last one than
// the shortest frame period asked for. Every window service that knows its
// display's refresh uses this one rule: X11 full screen with the rate or
// the vertical blanks the server reports, Wayland with its outputs' rates
// and frame callbacks.
//
// Times are microseconds on one monotonic clock of the caller's. The
// refreshes are counted on a grid of refresh periods through the last
// frame's refresh; a vertical blank seen on the display moves the grid onto
// the display's own, so the two clocks never drift apart. A refresh period
// of 0 means the display's rate is unknown: only the frame period holds.
#pragma once
#include <cstdint>

struct RefreshPaceRec {
  uint64_t refreshUs = 0;  // the display's refresh period, microseconds; 0 unknown
  uint64_t periodUs = 0;   // the shortest time between frames asked for, microseconds; 0 none
  bool shownAny = false;   // a frame was shown since the pace began
  uint64_t shownUs = 0;    // when the last frame was shown
  uint64_t slotUs = 0;     // when the refresh it was shown in began
};

// The pure rule: microseconds from nowUs until the next frame may be shown
// (0: now), the last one shown at shownUs in the refresh that began at
// slotUs.
uint64_t RefreshWaitMicroseconds(uint64_t shownUs, uint64_t slotUs, uint64_t refreshUs, uint64_t periodUs,
                                 uint64_t nowUs);

// When the refresh that holds timeUs began, on the grid of refreshUs
// periods through gridUs (timeUs itself for a refresh of 0). timeUs may lie
// before gridUs.
uint64_t RefreshStartMicroseconds(uint64_t gridUs, uint64_t refreshUs, uint64_t timeUs);

// The refresh period of a rate in thousandths of a hertz, as displays
// report them; 0 for a rate of 0 (unknown) or one no display runs at
// (under 10 Hz or over 1000 Hz).
uint64_t RefreshPeriodFromMillihertz(uint64_t millihertz);

// The rule on a pace's record: how long from nowUs until the next frame
// may be shown; 0 before the first frame.
uint64_t RefreshPaceWait(const RefreshPaceRec& pace, uint64_t nowUs);
// A frame was shown at nowUs.
void RefreshPaceShown(RefreshPaceRec* pace, uint64_t nowUs);
// A vertical blank of the display happened at blankUs: the refreshes are
// counted from the display's blanks from now on.
void RefreshPaceBlank(RefreshPaceRec* pace, uint64_t blankUs);
// The display's refresh period became refreshUs (0 unknown): a new mode,
// or the window moved to another display.
void RefreshPaceSetRefresh(RefreshPaceRec* pace, uint64_t refreshUs);
