// The clock service: every time the program reads comes from here, so a
// test can run the whole program on a virtual clock.
#pragma once
#include <cstdint>

struct LocalTime {
  unsigned year, month, day;      // calendar date, month and day from 1
  unsigned hour, minute, second;  // 24-hour local time
};

struct ClockService {
  // Milliseconds since an arbitrary start, wrapping at 2^32.
  uint32_t (*tickCount)();
  // Whole seconds since 1970-01-01 UTC.
  int64_t (*calendarSeconds)();
  // A free-running high-resolution counter; false when there is none.
  bool (*highResCounter)(uint64_t* count);
  // Counts per second of that counter; false when there is none.
  bool (*highResFrequency)(uint64_t* perSecond);
  void (*localTime)(LocalTime* out);
};

// Installed by the host before anything runs; the headless clock by default.
extern const ClockService* gClock;

inline uint32_t GetTickCount() { return gClock->tickCount(); }
inline int64_t CalendarTime() { return gClock->calendarSeconds(); }
