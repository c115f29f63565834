// The refresh period of a monitor's mode, from the timing RandR reports.
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
