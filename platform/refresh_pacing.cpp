// The frame pacing rule shared by the window services (refresh_pacing.h).
#include "platform/refresh_pacing.h"

#include <algorithm>

uint64_t RefreshWaitMicroseconds(uint64_t shownUs, uint64_t slotUs, uint64_t refreshUs, uint64_t periodUs,
                                 uint64_t nowUs) {
  uint64_t earliest = 0;
  if (refreshUs > 0) earliest = slotUs + refreshUs;
  if (periodUs > 0) earliest = std::max(earliest, shownUs + periodUs);
  if (earliest <= nowUs) return 0;
  // A clock that went back never makes a wait longer than one frame's.
  return std::min(earliest - nowUs, std::max(refreshUs, periodUs));
}

uint64_t RefreshStartMicroseconds(uint64_t gridUs, uint64_t refreshUs, uint64_t timeUs) {
  if (refreshUs == 0) return timeUs;
  if (timeUs >= gridUs) return timeUs - (timeUs - gridUs) % refreshUs;
  uint64_t back = (gridUs - timeUs + refreshUs - 1) / refreshUs * refreshUs;
  return back > gridUs ? 0 : gridUs - back;
}

uint64_t RefreshPeriodFromMillihertz(uint64_t millihertz) {
  if (millihertz < 10000 || millihertz > 1000000) return 0;
  return (1000000000u + millihertz / 2) / millihertz;
}

uint64_t RefreshPaceWait(const RefreshPaceRec& pace, uint64_t nowUs) {
  if (!pace.shownAny) return 0;
  return RefreshWaitMicroseconds(pace.shownUs, pace.slotUs, pace.refreshUs, pace.periodUs, nowUs);
}

void RefreshPaceShown(RefreshPaceRec* pace, uint64_t nowUs) {
  pace->slotUs = pace->shownAny ? RefreshStartMicroseconds(pace->slotUs, pace->refreshUs, nowUs) : nowUs;
  pace->shownUs = nowUs;
  pace->shownAny = true;
}

void RefreshPaceBlank(RefreshPaceRec* pace, uint64_t blankUs) {
  if (!pace->shownAny || pace->refreshUs == 0) return;
  pace->slotUs = RefreshStartMicroseconds(blankUs, pace->refreshUs, pace->shownUs);
}

void RefreshPaceSetRefresh(RefreshPaceRec* pace, uint64_t refreshUs) {
  if (refreshUs == pace->refreshUs) return;
  pace->refreshUs = refreshUs;
  // The last frame's refresh is counted again on the new grid.
  pace->slotUs = pace->shownUs;
}
