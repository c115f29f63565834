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
};

extern const EventSourceService* gEvents;

// Sleeps until ms milliseconds have passed on the program clock, letting
// window events into the queue meanwhile. Never busy-waits.
void WaitMilliseconds(uint32_t ms);
