// The event source: how the window system's events reach the program's
// message queue, and how the program waits without spinning.
#pragma once
#include <cstdint>

struct EventSourceService {
  // Translates pending window-system events into queued messages without
  // blocking. Hosts may rate-limit the real work; calling it often is cheap.
  void (*pump)();
  // Sleeps for up to timeoutMs milliseconds, returning early when a
  // window-system event arrives (which it then pumps). The headless host
  // advances its virtual clock by the full timeout instead.
  void (*wait)(uint32_t timeoutMs);
  // The same to the microsecond, for waits that must end on time to within
  // a fraction of a millisecond.
  void (*waitMicroseconds)(uint64_t timeoutUs);
};

extern const EventSourceService* gEvents;

// Sleeps until ms milliseconds have passed on the program clock, letting
// window events into the queue meanwhile. Never busy-waits.
void WaitMilliseconds(uint32_t ms);

// Microseconds on the high-resolution counter; false when there is none.
bool MonotonicMicroseconds(uint64_t* out);
// Sleeps until the high-resolution counter reads deadline (microseconds, as
// MonotonicMicroseconds gives them), letting window events in meanwhile;
// returns at once without a counter. Never busy-waits.
void WaitUntilMicroseconds(uint64_t deadline);
