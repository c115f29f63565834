// The Qt event source: pumping at most once a millisecond, waiting that
// sleeps on the real clock yet wakes for events, and termination requests.
#include <signal.h>
#include <unistd.h>

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtGui/QFocusEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QWindow>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/event_source.h"
#include "platform/key_state.h"
#include "platform/qt/qt_host.h"
#include "platform/termination.h"
#include "platform/window.h"
#include "tests/qt/qt_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using QtEventSourceTest = QtHostTest;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double ThreadCpuMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

WindowHandle CreateWindow() {
  WindowRequest request;
  request.width = 200;
  request.height = 100;
  WindowHandle handle = gWindows->create(request);
  PumpAfterNextMillisecond();
  TakeMessages();
  return handle;
}

TEST_F(QtEventSourceTest, PumpProcessesToolkitEventsAtMostOnceAMillisecond) {
  unsigned loops = 0;
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                   QCoreApplication::instance(), [&loops] { ++loops; });
  unsigned pumps = 0;
  Clock::time_point start = Clock::now();
  while (MillisecondsSince(start) < 50.0) {
    gEvents->pump();
    ++pumps;
  }
  double elapsed = MillisecondsSince(start);
  QObject::disconnect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake,
                      QCoreApplication::instance(), nullptr);
  EXPECT_GT(pumps, 1000u);
  EXPECT_GE(loops, 3u);
  EXPECT_LE(double(loops), elapsed + 2.0) << pumps << " pumps in " << elapsed << " ms";
}

TEST_F(QtEventSourceTest, KeyReachesTheQueueWithinMillisecondsOfPumping) {
  WindowHandle handle = CreateWindow();
  QCoreApplication::postEvent(QtHostWindow(handle),
                              new QKeyEvent(QEvent::KeyPress, Qt::Key_S, Qt::NoModifier));
  Clock::time_point start = Clock::now();
  Message message;
  while (!PeekMessage(&message, true) && MillisecondsSince(start) < 100.0) {
  }
  EXPECT_LT(MillisecondsSince(start), 5.0);
  EXPECT_EQ(message.message, uint32_t(WM_KEYDOWN));
  EXPECT_EQ(message.wParam, WParam('S'));
}

TEST_F(QtEventSourceTest, WaitSleepsForTheTimeAskedWithoutSpinning) {
  for (uint32_t ms : {1u, 7u, 50u}) {
    Clock::time_point start = Clock::now();
    double cpuStart = ThreadCpuMilliseconds();
    gEvents->wait(ms);
    double elapsed = MillisecondsSince(start);
    double cpu = ThreadCpuMilliseconds() - cpuStart;
    EXPECT_GE(elapsed, double(ms)) << ms;
    EXPECT_LT(elapsed, double(ms) + 15.0) << ms;
    if (ms >= 50) {
      EXPECT_LT(cpu, double(ms) / 5) << "cpu ms while waiting " << ms;
    }
  }
  Clock::time_point start = Clock::now();
  gEvents->wait(0);
  EXPECT_LT(MillisecondsSince(start), 5.0);
}

TEST_F(QtEventSourceTest, WaitReturnsEarlyWhenAnEventBecomesAMessage) {
  WindowHandle handle = CreateWindow();
  QWindow* window = QtHostWindow(handle);
  QTimer::singleShot(20, window, [window] {
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  });
  Clock::time_point start = Clock::now();
  gEvents->wait(2000);
  double elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 19.0);
  EXPECT_LT(elapsed, 500.0);
  std::vector<Message> messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, uint32_t(WM_KEYDOWN));
  EXPECT_EQ(messages[0].wParam, WParam(VK_ESCAPE));
}

TEST_F(QtEventSourceTest, WaitKeepsSleepingThroughEventsThatPostNothing) {
  WindowHandle handle = CreateWindow();
  QWindow* window = QtHostWindow(handle);
  QTimer::singleShot(10, window, [window] {
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_VolumeUp, Qt::NoModifier));
  });
  Clock::time_point start = Clock::now();
  gEvents->wait(60);
  EXPECT_GE(MillisecondsSince(start), 60.0);
  EXPECT_EQ(QueuedMessageCount(), 0u);
}

// Puts SIGTERM back to its default however the test ends, so a test
// runner's timeout can still end the process.
struct TerminationHandlerScope {
  TerminationHandlerScope() {
    InstallTerminationHandler();
    ResetTerminationRequest();
  }
  ~TerminationHandlerScope() {
    signal(SIGTERM, SIG_DFL);
    ResetTerminationRequest();
  }
};

TEST_F(QtEventSourceTest, AHeldTerminationWaitsUntilReleased) {
  TerminationHandlerScope scope;
  HoldTermination(true);
  // To this thread: the toolkit's threads made before the hold do not hold it.
  raise(SIGTERM);
  EXPECT_FALSE(TerminationRequested()) << "held: nothing may interrupt start-up";
  HoldTermination(false);
  EXPECT_TRUE(TerminationRequested()) << "released: the waiting signal arrives";
}

TEST_F(QtEventSourceTest, TerminationWakesTheWaitAndPostsCloseOnce) {
  TerminationHandlerScope scope;
  WindowHandle handle = CreateWindow();
  // Raised on another thread, so the handler runs there and only the wake
  // pipe can end the main thread's sleep.
  std::thread signaller([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    raise(SIGTERM);
  });
  Clock::time_point start = Clock::now();
  gEvents->wait(3000);
  double elapsed = MillisecondsSince(start);
  signaller.join();
  EXPECT_LT(elapsed, 1000.0);
  EXPECT_TRUE(TerminationRequested());
  PumpAfterNextMillisecond();
  gEvents->wait(5);
  std::vector<Message> messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].window, handle);
  EXPECT_EQ(messages[0].message, uint32_t(WM_CLOSE));

  // A wait after the request still sleeps (the pipe does not spin it).
  start = Clock::now();
  double cpuStart = ThreadCpuMilliseconds();
  gEvents->wait(50);
  EXPECT_GE(MillisecondsSince(start), 50.0);
  EXPECT_LT(ThreadCpuMilliseconds() - cpuStart, 10.0);
  EXPECT_TRUE(TakeMessages().empty());

  // Once cleared, the next request closes again.
  ResetTerminationRequest();
  PumpAfterNextMillisecond();
  kill(getpid(), SIGTERM);
  gEvents->wait(1000);
  messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, uint32_t(WM_CLOSE));
}

}  // namespace

// A grab or a switch of terminal takes the keyboard while Ctrl is down; its
// release never arrives. Ctrl must not stay held, or every digit would be
// read as Ctrl with a digit.
TEST_F(QtEventSourceTest, CtrlIsNotLeftHeldWhenItsReleaseGoesElsewhere) {
  WindowHandle handle = CreateWindow();
  QWindow* window = QtHostWindow(handle);
  auto held = [](int vk) {
    uint8_t keys[256];
    GetKeyboardState(keys);
    return (keys[vk] & 0x80) != 0;
  };
  auto deliver = [](QWindow* target, QEvent* event) {
    QCoreApplication::postEvent(target, event);
    PumpAfterNextMillisecond();
    TakeMessages();
  };

  deliver(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier));
  ASSERT_TRUE(held(VK_CONTROL));
  deliver(window, new QFocusEvent(QEvent::FocusOut, Qt::ActiveWindowFocusReason));
  EXPECT_FALSE(held(VK_CONTROL)) << "focus lost: every key counts as up";

  RecordKeyDown(VK_CONTROL);
  deliver(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier));
  EXPECT_FALSE(held(VK_CONTROL)) << "the key event says Ctrl is up";
  deliver(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_5, Qt::ControlModifier));
  EXPECT_TRUE(held(VK_CONTROL)) << "the key event says Ctrl is down";
  EXPECT_TRUE(held('5'));
  EXPECT_EQ(GetAsyncKeyState(VK_CONTROL) & 1, 1) << "the real press is still reported once";
}
