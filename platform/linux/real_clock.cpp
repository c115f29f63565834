// The real clock: monotonic milliseconds, calendar time, a nanosecond counter.
#include <ctime>

#include "platform/clock.h"
#include "platform/fault_guard.h"
#include "platform/linux/linux_services.h"

namespace {

uint64_t MonotonicNanoseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

uint32_t RealTick() { return uint32_t(MonotonicNanoseconds() / 1000000u); }

int64_t RealCalendar() { return int64_t(time(nullptr)); }

bool RealCounter(uint64_t* count) {
  *count = MonotonicNanoseconds();
  return true;
}

bool RealFrequency(uint64_t* perSecond) {
  *perSecond = 1000000000u;
  return true;
}

void RealLocalTime(LocalTime* out) {
  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  out->year = unsigned(local.tm_year + 1900);
  out->month = unsigned(local.tm_mon + 1);
  out->day = unsigned(local.tm_mday);
  out->hour = unsigned(local.tm_hour);
  out->minute = unsigned(local.tm_min);
  out->second = unsigned(local.tm_sec);
}

const ClockService kRealClock = {RealTick, RealCalendar, RealCounter, RealFrequency, RealLocalTime};

}  // namespace

extern const FaultGuardService kSignalFaultGuard;

void InstallLinuxServices() {
  gClock = &kRealClock;
  gFaultGuard = &kSignalFaultGuard;
}
