// The event source while the Wayland host runs: waits on the compositor's
// connection and the termination pipe together, so that input, frame
// callbacks and SIGTERM all end a wait at once and nothing spins.
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <ctime>

#include "diag/log.h"
#include "platform/event_source.h"
#include "platform/termination.h"
#include "platform/wayland/wayland_internal.h"

namespace {

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// SIGTERM closes the window as the X11 host's does, once per request.
void PostTerminationClose() {
  if (!TerminationRequested()) {
    gWl.terminationPosted = false;
    return;
  }
  if (gWl.terminationPosted || gWl.window == 0) return;
  gWl.terminationPosted = true;
  PostMessage(gWl.window, WM_CLOSE, 0, 0);
}

void NoteLostConnection() {
  if (gWl.connectionLost) return;
  gWl.connectionLost = true;
  LogDebug("The Wayland compositor closed the connection\n");
  // Nothing can be shown any more: the saver ends as if closed.
  if (gWl.window != 0) PostMessage(gWl.window, WM_CLOSE, 0, 0);
}

void WlPump() {
  if (!WlDispatch(0)) NoteLostConnection();
  PostTerminationClose();
}

void WaitNs(int64_t timeout) {
  const int64_t deadline = NowNs() + timeout;
  const unsigned queuedBefore = QueuedMessageCount();
  for (;;) {
    int64_t left = deadline - NowNs();
    if (!WlDispatch(left > 0 ? left : 0)) {
      NoteLostConnection();
      // A broken connection is always readable: sleep out the wait instead.
      if (left > 0) {
        timespec pause{time_t(left / 1000000000), long(left % 1000000000)};
        nanosleep(&pause, nullptr);
      }
    }
    PostTerminationClose();
    if (QueuedMessageCount() != queuedBefore || NowNs() >= deadline) return;
  }
}

void WlWait(uint32_t timeoutMs) { WaitNs(int64_t(timeoutMs) * 1000000); }
void WlWaitMicroseconds(uint64_t timeoutUs) { WaitNs(int64_t(timeoutUs) * 1000); }

const EventSourceService kWaylandEvents = {WlPump, WlWait, WlWaitMicroseconds};

}  // namespace

bool WlDispatch(int64_t timeoutNs) {
  wl_display* display = gWl.display;
  if (!display || gWl.connectionLost) return false;
  while (wl_display_prepare_read(display) != 0) {
    if (wl_display_dispatch_pending(display) < 0) return false;
  }
  // What is still unsent goes now; a full socket is retried at the next wait.
  if (wl_display_flush(display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display);
    return false;
  }
  pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {-1, POLLIN, 0}};
  // The termination pipe stays readable once written: watched only until
  // its request is posted.
  if (!TerminationRequested()) fds[1].fd = TerminationWakeFd();
  int ready = 0;
  if (timeoutNs < 0) {
    ready = ppoll(fds, 2, nullptr, nullptr);
  } else {
    timespec limit{time_t(timeoutNs / 1000000000), long(timeoutNs % 1000000000)};
    ready = ppoll(fds, 2, &limit, nullptr);
  }
  if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
    if (wl_display_read_events(display) < 0) return false;
  } else {
    wl_display_cancel_read(display);
  }
  return wl_display_dispatch_pending(display) >= 0;
}

void InstallWaylandEvents() { gEvents = &kWaylandEvents; }
