// The frame pacing rule: a simulated second of frames on displays of
// several rates, and the rule's edges.
#include "platform/refresh_pacing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

struct PacedRun {
  const char* name;
  uint64_t refreshUs;  // the display's, as reported (0 unknown)
  uint64_t periodUs;   // the program's own wait from the start of a frame
  uint64_t drawUs;     // drawing a frame, before it is shown
  bool blanks;         // the display's vertical blanks are reported
  uint64_t phaseUs;    // where in a refresh the first frame starts
  int minFrames, maxFrames;
  int maxPerRefresh;   // frames the display shows in one refresh, at most
  uint64_t maxLateUs;  // from the refresh's start to a frame shown in it (0: not checked)
};

// Frames as the X11 host makes them: drawn, held until the rule lets them
// be shown, then the program's own wait from the frame's start. A real
// display refreshes every refreshUs (16667 where the rate is unknown).
void Simulate(const PacedRun& run, int* frames, int* maxPerRefresh, uint64_t* maxLateUs) {
  uint64_t display = run.refreshUs ? run.refreshUs : 16667;
  RefreshPaceRec pace;
  pace.refreshUs = run.refreshUs;
  uint64_t t = 1000 * display + run.phaseUs;
  uint64_t end = t + 10000000;
  std::map<uint64_t, int> perRefresh;
  *frames = 0;
  *maxLateUs = 0;
  while (t < end) {
    uint64_t start = t;
    t += run.drawUs;
    t += RefreshPaceWait(pace, t) + 30;  // a sleep wakes a little late
    RefreshPaceShown(&pace, t);
    if (run.blanks) RefreshPaceBlank(&pace, t / display * display);
    if (t >= end) break;
    ++*frames;
    ++perRefresh[t / display];
    if (*frames > 2) *maxLateUs = std::max(*maxLateUs, t % display);
    t = std::max(t, start + run.periodUs);
  }
  *frames /= 10;
  *maxPerRefresh = 0;
  for (const auto& [refresh, count] : perRefresh) *maxPerRefresh = std::max(*maxPerRefresh, count);
}

TEST(RefreshPacingTest, FramesPerSecondOnDisplaysOfEachRate) {
  const PacedRun runs[] = {
      {"60 Hz, Max FPS 85", 16667, 10000, 3000, false, 9000, 60, 60, 1, 0},
      {"60 Hz, blanks reported: frames follow them", 16667, 10000, 3000, true, 9000, 59, 61, 1, 100},
      {"144 Hz: the program's own period holds", 6944, 10000, 3000, false, 0, 97, 100, 1, 0},
      {"rate unknown: as without the rule", 0, 10000, 3000, false, 0, 99, 100, 2, 0},
      {"frames slower than the refresh go at once", 16667, 10000, 20000, true, 0, 49, 50, 1, 0},
      {"Max FPS 25 on 60 Hz", 16667, 36000, 3000, true, 5000, 26, 28, 1, 0},
  };
  for (const PacedRun& run : runs) {
    int frames = 0, perRefresh = 0;
    uint64_t late = 0;
    Simulate(run, &frames, &perRefresh, &late);
    EXPECT_GE(frames, run.minFrames) << run.name;
    EXPECT_LE(frames, run.maxFrames) << run.name;
    EXPECT_LE(perRefresh, run.maxPerRefresh) << run.name;
    if (run.maxLateUs) {
      EXPECT_LE(late, run.maxLateUs) << run.name;
    }
  }
}

TEST(RefreshPacingTest, RuleEdges) {
  struct {
    const char* name;
    uint64_t shown, slot, refresh, period, now, wait;
  } waits[] = {
      {"next refresh", 1000, 900, 16000, 0, 1100, 15800},
      {"frame period longer than the refresh", 1000, 900, 5000, 10000, 1100, 9900},
      {"both past", 1000, 900, 5000, 10000, 20000, 0},
      {"nothing known", 1000, 900, 0, 0, 1100, 0},
      {"clock went back: one frame at most", 50000, 50000, 16000, 10000, 100, 16000},
  };
  for (const auto& c : waits)
    EXPECT_EQ(RefreshWaitMicroseconds(c.shown, c.slot, c.refresh, c.period, c.now), c.wait) << c.name;

  struct {
    uint64_t grid, refresh, time, start;
  } starts[] = {
      {1000, 100, 1000, 1000}, {1000, 100, 1099, 1000}, {1000, 100, 1250, 1200}, {1000, 100, 999, 900},
      {1000, 100, 801, 800},   {1000, 0, 1234, 1234},   {1000, 300, 50, 0},
  };
  for (const auto& c : starts)
    EXPECT_EQ(RefreshStartMicroseconds(c.grid, c.refresh, c.time), c.start) << c.grid << " " << c.time;

  struct {
    uint64_t millihertz, period;
  } rates[] = {{0, 0}, {9999, 0}, {59940, 16683}, {60000, 16667}, {144000, 6944}, {1000001, 0}};
  for (const auto& c : rates) EXPECT_EQ(RefreshPeriodFromMillihertz(c.millihertz), c.period) << c.millihertz;
}

// A new rate counts from the last frame; a blank before any frame is no
// grid yet, and the first frame may always go at once.
TEST(RefreshPacingTest, RateChangesAndTheFirstFrame) {
  RefreshPaceRec pace;
  pace.refreshUs = 16667;
  RefreshPaceBlank(&pace, 5000);
  EXPECT_EQ(RefreshPaceWait(pace, 6000), 0u);
  RefreshPaceShown(&pace, 10000);
  EXPECT_EQ(RefreshPaceWait(pace, 12000), 14667u);
  RefreshPaceSetRefresh(&pace, 6944);
  EXPECT_EQ(RefreshPaceWait(pace, 12000), 4944u);
  RefreshPaceSetRefresh(&pace, 0);
  EXPECT_EQ(RefreshPaceWait(pace, 12000), 0u);
}

}  // namespace
