#include "platform/idle/idle_watcher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/idle/idle_machine.h"
#include "platform/idle/idle_sources.h"
#include "platform/termination.h"

namespace {

// A saver that ignores SIGTERM this long is killed.
constexpr int kStopGraceMs = 5000;

struct IdleWatcherRec {
  std::vector<char*> childArguments;  // argv of the saver, ending in nullptr
  pid_t child = -1;
  int childFd = -1;  // a pidfd: readable once the saver has ended
  QSocketNotifier* childNotifier = nullptr;
  QSocketNotifier* sourceNotifier = nullptr;
  QTimer* killTimer = nullptr;
};
IdleWatcherRec gIdleWatcher;

void Apply(uint32_t actions);

void OnIdleEvent(IdleEvent event) {
  // A compositor that has gone keeps its socket readable: stop listening.
  if (event == IdleEvent::SourceLost && gIdleWatcher.sourceNotifier)
    gIdleWatcher.sourceNotifier->setEnabled(false);
  Apply(IdleMachineStep(event));
}

void OnChildEnded() {
  IdleWatcherRec& w = gIdleWatcher;
  int status = 0;
  if (waitpid(w.child, &status, WNOHANG) != w.child) return;
  delete w.childNotifier;
  w.childNotifier = nullptr;
  close(w.childFd);
  w.childFd = -1;
  w.child = -1;
  w.killTimer->stop();
  const bool failed = SaverEndFailed(status);
  if (failed) {
    if (WIFEXITED(status))
      std::fprintf(stderr, "prismora: the saver ended with exit code %d\n", WEXITSTATUS(status));
    else
      std::fprintf(stderr, "prismora: the saver ended by signal %d\n", WTERMSIG(status));
  }
  Apply(IdleMachineStep(IdleEvent::ChildExited, failed));
}

bool StartSaver() {
  IdleWatcherRec& w = gIdleWatcher;
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  // The running program itself, even when its file has since been replaced.
  pid_t pid = -1;
  int error = posix_spawn(&pid, "/proc/self/exe", nullptr, &attributes, w.childArguments.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    std::fprintf(stderr, "prismora: cannot start the saver: %s\n", std::strerror(error));
    return false;
  }
  w.child = pid;
  // Through syscall(): the wrapper of Debian 12's C library is not declared for C++.
  w.childFd = int(syscall(SYS_pidfd_open, pid, 0));
  if (w.childFd < 0) {
    // Without a pidfd there is no way to hear of its end in the loop.
    std::fprintf(stderr, "prismora: cannot watch the saver: %s\n", std::strerror(errno));
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    w.child = -1;
    return false;
  }
  w.childNotifier = new QSocketNotifier(w.childFd, QSocketNotifier::Read);
  QObject::connect(w.childNotifier, &QSocketNotifier::activated, [] { OnChildEnded(); });
  return true;
}

void Apply(uint32_t actions) {
  IdleWatcherRec& w = gIdleWatcher;
  if ((actions & kStartSaver) && !StartSaver()) actions = IdleMachineStep(IdleEvent::ChildExited, true);
  if ((actions & kStopSaver) && w.child > 0) {
    kill(w.child, SIGTERM);
    w.killTimer->start(kStopGraceMs);
  }
  if (actions & kExitNow) {
    if (gIdleMachine.failuresInRow >= kMaxSaverFailures)
      std::fprintf(stderr, "prismora: the saver failed %u times in a row; no longer waiting for idle\n",
                   kMaxSaverFailures);
    QCoreApplication::exit(gIdleMachine.exitCode);
  }
}

// The saver's arguments: /s and every argument but --idle with its value
// ("--idle 300" or "--idle=300").
void BuildChildArguments(int argc, char** argv) {
  std::vector<char*>& arguments = gIdleWatcher.childArguments;
  arguments = {argv[0], const_cast<char*>("/s")};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--idle") == 0)
      ++i;
    else if (std::strncmp(argv[i], "--idle=", 7) != 0)
      arguments.push_back(argv[i]);
  }
  arguments.push_back(nullptr);
}

}  // namespace

int RunIdleWatcher(int argc, char** argv, uint32_t seconds) {
  ResetIdleMachine();
  gIdleWatcher = IdleWatcherRec{};
  BuildChildArguments(argc, argv);
  QCoreApplication application(argc, argv);
  const uint32_t timeoutMs = seconds * 1000;
  uint32_t offers = ProbeWaylandIdle();
  if (!offers && ProbeMutterIdle()) offers |= kOffersMutterMonitor;
  const IdleSource source = ChooseIdleSource(offers);
  bool started = false;
  if (source == IdleSource::MutterMonitor) {
    CloseWaylandIdle();  // a display with neither protocol (GNOME's) is not needed
    started = StartMutterIdle(timeoutMs, OnIdleEvent);
  } else if (source != IdleSource::None) {
    int fd = StartWaylandIdle(source, timeoutMs, OnIdleEvent);
    if (fd >= 0) {
      gIdleWatcher.sourceNotifier = new QSocketNotifier(fd, QSocketNotifier::Read);
      QObject::connect(gIdleWatcher.sourceNotifier, &QSocketNotifier::activated,
                       [] { DispatchWaylandIdle(); });
      started = true;
    }
  }
  if (!started) {
    CloseWaylandIdle();
    std::fprintf(
        stderr,
        "prismora: no idle source: looked for ext-idle-notify-v1 and org_kde_kwin_idle on the Wayland "
        "display and org.gnome.Mutter.IdleMonitor on the session bus\n");
    return 1;
  }
  std::fprintf(stderr, "prismora: starting the saver after %u s without input (%s)\n", seconds,
               IdleSourceName(source));
  gIdleWatcher.killTimer = new QTimer;
  gIdleWatcher.killTimer->setSingleShot(true);
  QObject::connect(gIdleWatcher.killTimer, &QTimer::timeout, [] {
    if (gIdleWatcher.child > 0) kill(gIdleWatcher.child, SIGKILL);
  });
  QSocketNotifier termination(TerminationWakeFd(), QSocketNotifier::Read);
  QObject::connect(&termination, &QSocketNotifier::activated, [&termination] {
    char drained[16];
    while (read(TerminationWakeFd(), drained, sizeof drained) > 0) {
    }
    termination.setEnabled(false);
    OnIdleEvent(IdleEvent::Terminate);
  });
  int code = application.exec();
  CloseMutterIdle();
  CloseWaylandIdle();
  delete gIdleWatcher.sourceNotifier;
  delete gIdleWatcher.childNotifier;
  delete gIdleWatcher.killTimer;
  gIdleWatcher = IdleWatcherRec{};
  return code;
}
