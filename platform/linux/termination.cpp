// SIGTERM handling for hack hosts: note the request, wake the event loop, and
// make sure the program ends even when it cannot look.
#include "platform/termination.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// How long the program has to end through its close path once asked. A
// blocking call that the handler's SA_RESTART restarts (open on a FIFO, a
// lock held elsewhere, a read from a silent device) never returns to the
// loop that looks at the request; when the time is up the program dies of
// the signal, as the host asked.
constexpr unsigned kGraceSeconds = 2;

volatile sig_atomic_t gTerminationRequested = 0;
int gWakePipe[2] = {-1, -1};

void OnTerminate(int) {
  int savedErrno = errno;
  if (!gTerminationRequested) alarm(kGraceSeconds);
  gTerminationRequested = 1;
  if (gWakePipe[1] >= 0) {
    char byte = 1;
    ssize_t ignored = write(gWakePipe[1], &byte, 1);
    (void)ignored;
  }
  errno = savedErrno;
}

void OnDeadline(int) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  kill(getpid(), SIGTERM);
}

}  // namespace

void InstallTerminationHandler() {
  // Close-on-exec: the tools the program starts must not hold the pipe.
  if (gWakePipe[0] < 0 && pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) gWakePipe[0] = gWakePipe[1] = -1;
  struct sigaction deadline {};
  deadline.sa_handler = OnDeadline;
  sigemptyset(&deadline.sa_mask);
  sigaction(SIGALRM, &deadline, nullptr);
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
  alarm(0);
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
