// SIGTERM handling for hack hosts: note the request, wake the event loop.
#include "platform/termination.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t gTerminationRequested = 0;
int gWakePipe[2] = {-1, -1};

void OnTerminate(int) {
  gTerminationRequested = 1;
  if (gWakePipe[1] >= 0) {
    char byte = 1;
    ssize_t ignored = write(gWakePipe[1], &byte, 1);
    (void)ignored;
  }
}

}  // namespace

void InstallTerminationHandler() {
  if (gWakePipe[0] < 0 && pipe(gWakePipe) == 0) {
    for (int fd : gWakePipe) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = OnTerminate;
  sigemptyset(&action.sa_mask);
  // Start-up code (the toolkit's, the sound system's) need not expect EINTR.
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
}

bool TerminationRequested() { return gTerminationRequested != 0; }

int TerminationWakeFd() { return gWakePipe[0]; }

void ReraiseTermination() {
  if (!gTerminationRequested) return;
  signal(SIGTERM, SIG_DFL);
  raise(SIGTERM);
}

void ResetTerminationRequest() {
  gTerminationRequested = 0;
  if (gWakePipe[0] >= 0) {
    char buffer[64];
    while (read(gWakePipe[0], buffer, sizeof buffer) > 0) {
    }
  }
}

void HoldTermination(bool hold) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}
