// The program's single message queue and its timers.
#include <deque>
#include <vector>

#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/messages.h"

namespace {

struct TimerRec {
  WindowHandle window = 0;
  uintptr_t id = 0;
  uint32_t period = 1;     // ms
  uint32_t lastFired = 0;  // tick of the last WM_TIMER (or of SetTimer)
  bool held = false;       // never due while held
};

struct MessageQueueRec {
  std::deque<Message> queue;
  std::vector<TimerRec> timers;
};

MessageQueueRec gQueue;

// A timer is due when its period has passed since it last fired; the
// difference is taken unsigned so a wrapping tick count still works.
bool TakeDueTimer(Message* out, bool remove) {
  uint32_t now = GetTickCount();
  for (TimerRec& timer : gQueue.timers) {
    if (!timer.held && uint32_t(now - timer.lastFired) >= timer.period) {
      out->window = timer.window;
      out->message = WM_TIMER;
      out->wParam = timer.id;
      out->lParam = 0;
      if (remove) timer.lastFired = now;
      return true;
    }
  }
  return false;
}

// Milliseconds until the next timer is due; UINT32_MAX without timers.
uint32_t MillisecondsToNextTimer() {
  uint32_t now = GetTickCount();
  uint32_t best = UINT32_MAX;
  for (const TimerRec& timer : gQueue.timers) {
    if (timer.held) continue;
    uint32_t elapsed = now - timer.lastFired;
    uint32_t left = elapsed >= timer.period ? 0 : timer.period - elapsed;
    if (left < best) best = left;
  }
  return best;
}

}  // namespace

void WaitMilliseconds(uint32_t ms) {
  uint32_t start = GetTickCount();
  for (;;) {
    uint32_t elapsed = GetTickCount() - start;
    if (elapsed >= ms) return;
    gEvents->wait(ms - elapsed);
  }
}

bool MonotonicMicroseconds(uint64_t* out) {
  uint64_t count = 0, perSecond = 0;
  if (!gClock->highResCounter(&count) || !gClock->highResFrequency(&perSecond) || perSecond == 0)
    return false;
  // In two parts, so that a counter of nanoseconds cannot overflow.
  *out = count / perSecond * 1000000u + count % perSecond * 1000000u / perSecond;
  return true;
}

void WaitUntilMicroseconds(uint64_t deadline) {
  for (;;) {
    uint64_t now = 0;
    if (!MonotonicMicroseconds(&now) || now >= deadline) return;
    gEvents->waitMicroseconds(deadline - now);
  }
}

void PostMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  gQueue.queue.push_back(Message{window, message, wParam, lParam});
}

bool PeekMessage(Message* out, bool remove) {
  gEvents->pump();
  if (!gQueue.queue.empty()) {
    *out = gQueue.queue.front();
    if (remove) gQueue.queue.pop_front();
    return true;
  }
  return TakeDueTimer(out, remove);
}

bool GetMessage(Message* out) {
  while (!PeekMessage(out, true)) {
    uint32_t wait = MillisecondsToNextTimer();
    // Without timers, wake now and then anyway: the host may have work
    // (a termination request) that arrives outside the window system.
    gEvents->wait(wait == UINT32_MAX ? 100 : (wait == 0 ? 1 : wait));
  }
  return out->message != WM_QUIT;
}

uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) {
  if (id == 0) return 0;
  if (periodMs == 0) periodMs = 1;
  uint32_t now = GetTickCount();
  for (TimerRec& timer : gQueue.timers) {
    if (timer.window == window && timer.id == id) {
      timer.period = periodMs;
      timer.lastFired = now;
      return id;
    }
  }
  gQueue.timers.push_back(TimerRec{window, id, periodMs, now});
  return id;
}

bool KillTimer(WindowHandle window, uintptr_t id) {
  for (auto it = gQueue.timers.begin(); it != gQueue.timers.end(); ++it) {
    if (it->window == window && it->id == id) {
      gQueue.timers.erase(it);
      return true;
    }
  }
  return false;
}

bool HoldTimer(WindowHandle window, uintptr_t id, bool hold) {
  for (TimerRec& timer : gQueue.timers) {
    if (timer.window != window || timer.id != id) continue;
    // Released, it is due at once: whatever waited on it goes on now.
    if (timer.held && !hold) timer.lastFired = GetTickCount() - timer.period;
    timer.held = hold;
    return true;
  }
  return false;
}

void ResetMessageQueue() { gQueue = MessageQueueRec{}; }

unsigned QueuedMessageCount() { return unsigned(gQueue.queue.size()); }
