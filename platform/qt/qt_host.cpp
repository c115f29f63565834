// The Qt host's application object and event source. Window-system events
// reach the program's queue only through pump() and wait(): the toolkit runs
// its handlers inside them, and the handlers only post messages.
#include "platform/qt/qt_host.h"

#include <xcb/xcb.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtCore/QSocketNotifier>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/event_source.h"
#include "platform/linux/linux_services.h"
#include "platform/qt/qt_host_internal.h"
#include "platform/termination.h"

namespace {

struct QtHostRec {
  QApplication* app = nullptr;  // never deleted: the toolkit lives as long as the process
  QTimer* waitTimer = nullptr;  // wakes a waiting event loop at the end of a wait
  QSocketNotifier* terminationNotifier = nullptr;
  int64_t lastProcessedMs = -1;  // monotonic ms of the last processEvents from pump()
  bool terminationPosted = false;
  bool processing = false;  // inside processEvents: a nested pump does nothing
};

QtHostRec gQtHost;

int64_t MonotonicNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The termination pipe stays readable once written, so the notifier is
// switched off when it fires and on again when the request is cleared.
void WatchTerminationPipe() {
  int fd = TerminationWakeFd();
  if (fd < 0) return;
  if (!gQtHost.terminationNotifier) {
    gQtHost.terminationNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, gQtHost.app);
    QSocketNotifier* notifier = gQtHost.terminationNotifier;
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier] { notifier->setEnabled(false); });
  }
  if (!TerminationRequested() && !gQtHost.terminationNotifier->isEnabled()) {
    gQtHost.terminationNotifier->setEnabled(true);
  }
}

}  // namespace

QSocketNotifier* QtTerminationNotifier() {
  if (!gQtHost.app) return nullptr;
  WatchTerminationPipe();
  return gQtHost.terminationNotifier;
}

namespace {

void PostTerminationClose() {
  if (!TerminationRequested()) {
    gQtHost.terminationPosted = false;
    return;
  }
  if (gQtHost.terminationPosted) return;
  gQtHost.terminationPosted = true;
  PostMessage(QtMainWindowHandle(), WM_CLOSE, 0, 0);
}

void ProcessEvents(QEventLoop::ProcessEventsFlags flags) {
  gQtHost.processing = true;
  QCoreApplication::processEvents(flags);
  // deleteLater() only runs from an event loop's exec(), which this
  // program never enters.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  gQtHost.processing = false;
  ApplyQtWindowWork();
  WatchTerminationPipe();
  PostTerminationClose();
}

void QtPump() {
  if (gQtHost.processing) return;
  int64_t nowMs = MonotonicNanoseconds() / 1000000;
  if (nowMs != gQtHost.lastProcessedMs) {
    gQtHost.lastProcessedMs = nowMs;
    ProcessEvents(QEventLoop::AllEvents);
  } else {
    PostTerminationClose();
  }
}

// Sleeps in the toolkit's own wait, so window events (and the termination
// pipe) end it early; the precise timer ends it on time. The toolkit's
// timers have millisecond resolution, so the last fraction is slept here.
void WaitNanoseconds(int64_t timeout) {
  if (gQtHost.processing) return;
  const int64_t deadline = MonotonicNanoseconds() + timeout;
  const unsigned queuedBefore = QueuedMessageCount();
  gQtHost.lastProcessedMs = MonotonicNanoseconds() / 1000000;
  ProcessEvents(QEventLoop::AllEvents);
  for (;;) {
    if (QueuedMessageCount() != queuedBefore) return;
    int64_t remaining = deadline - MonotonicNanoseconds();
    if (remaining <= 0) return;
    if (remaining >= 1000000) {
      gQtHost.waitTimer->start(std::chrono::milliseconds(remaining / 1000000));
      ProcessEvents(QEventLoop::WaitForMoreEvents);
      gQtHost.waitTimer->stop();
      gQtHost.lastProcessedMs = MonotonicNanoseconds() / 1000000;
    } else {
      timespec pause{0, long(remaining)};
      nanosleep(&pause, nullptr);
    }
  }
}

void QtWait(uint32_t timeoutMs) { WaitNanoseconds(int64_t(timeoutMs) * 1000000); }
void QtWaitMicroseconds(uint64_t timeoutUs) { WaitNanoseconds(int64_t(timeoutUs) * 1000); }

const EventSourceService kQtEvents = {QtPump, QtWait, QtWaitMicroseconds};

// The platform Qt will pick: the -platform option, else QT_QPA_PLATFORM;
// only the first of a ';' list and without its ':' options.
std::string RequestedPlatform(int argc, char** argv, const char** display) {
  std::string platform;
  if (const char* env = std::getenv("QT_QPA_PLATFORM")) platform = env;
  for (int i = 1; i + 1 < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] == '-' && arg[1] == '-') ++arg;
    if (std::strcmp(arg, "-platform") == 0) platform = argv[i + 1];
    if (std::strcmp(arg, "-display") == 0) *display = argv[i + 1];
  }
  platform = platform.substr(0, platform.find(';'));
  return platform.substr(0, platform.find(':'));
}

// Qt aborts the process when its platform cannot connect; for the X11
// platform that is checked here first.
bool DisplayAvailable(int argc, char** argv) {
  const char* display = nullptr;
  std::string platform = RequestedPlatform(argc, argv, &display);
  if (!platform.empty() && platform != "xcb") return true;
  xcb_connection_t* connection = xcb_connect(display, nullptr);
  bool connected = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  if (connected) return true;
  // Without a platform named, a Wayland session may still be served.
  return platform.empty() && std::getenv("WAYLAND_DISPLAY") != nullptr;
}

}  // namespace

bool InstallQtHost(int& argc, char** argv) {
  if (!gQtHost.app) {
    if (QCoreApplication::instance()) {
      gQtHost.app = qobject_cast<QApplication*>(QCoreApplication::instance());
      if (!gQtHost.app) return false;  // message boxes need the widget application
    } else {
      if (!DisplayAvailable(argc, argv)) return false;
      gQtHost.app = new QApplication(argc, argv);
    }
    gQtHost.waitTimer = new QTimer(gQtHost.app);
    gQtHost.waitTimer->setSingleShot(true);
    gQtHost.waitTimer->setTimerType(Qt::PreciseTimer);
  }
  InstallLinuxServices();
  gEvents = &kQtEvents;
  InstallQtWindowService();
  InstallQtMessageBoxService();
  InstallQtPowerService();
  InstallQtFrameWindowService();
  InstallLinuxProcessPriority();
  return true;
}

void ResetQtHost() {
  ResetQtPower();
  ResetQtWindows();
  gQtHost.lastProcessedMs = -1;
  gQtHost.terminationPosted = false;
}
