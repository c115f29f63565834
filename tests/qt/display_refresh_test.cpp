// The refresh period of a monitor's mode, from the timing RandR reports, and
// which of Present's blanks are the display's.
#include "platform/qt/display_refresh.h"

#include <gtest/gtest.h>
#include <xcb/randr.h>

TEST(DisplayRefreshTest, ModeTimingGivesTheRefreshPeriod) {
  struct {
    const char* mode;
    uint32_t dotClock, htotal, vtotal, flags;
    uint64_t periodUs;
  } modes[] = {
      {"1920x1080 at 59.96 Hz", 173000000, 2576, 1120, 0, 16677},
      {"1920x1080 at 143.88 Hz", 452500000, 2672, 1177, 0, 6950},
      {"1080i: two fields a frame", 74250000, 2200, 1125, XCB_RANDR_MODE_FLAG_INTERLACE, 16667},
      {"320x240 doubled: every line twice", 12587500, 400, 525, XCB_RANDR_MODE_FLAG_DOUBLE_SCAN, 33367},
      {"no timing, as Xvfb's", 0, 1920, 1080, 0, 0},
      {"no totals", 173000000, 0, 0, 0, 0},
      {"a rate no display runs at", 1000000, 2576, 1120, 0, 0},
  };
  for (const auto& m : modes)
    EXPECT_EQ(ModeRefreshMicroseconds(m.dotClock, m.htotal, m.vtotal, m.flags), m.periodUs) << m.mode;
}

TEST(DisplayRefreshTest, OnlyTheDisplaysOwnBlanksCount) {
  const uint64_t t = 14100000123;  // a blank's time, microseconds
  struct {
    const char* blank;
    uint64_t ust, msc, lastUst, lastMsc, refreshUs;
    bool own;
  } blanks[] = {
      {"the next refresh", t, 5001, t - 16677, 5000, 16677, true},
      {"three refreshes on", t, 5003, t - 3 * 16677, 5000, 16677, true},
      {"spaced 2 % off", t, 5001, t - 17010, 5000, 16677, false},
      {"the server's 60 Hz stand-in", t, t / 16666, t - 16666, t / 16666 - 1, 16677, false},
      {"its 1 Hz stand-in", t, (t + 500000) / 1000000, t - 1000000, (t + 500000) / 1000000 - 1, 1000000,
       false},
      {"the counter did not move", t, 5000, t - 16677, 5000, 16677, false},
      {"no rate to agree with", t, 5001, t - 16677, 5000, 0, false},
  };
  for (const auto& b : blanks)
    EXPECT_EQ(BlankFromDisplay(b.ust, b.msc, b.lastUst, b.lastMsc, b.refreshUs), b.own) << b.blank;
}
