// GNOME's idle monitor as the watcher hears it, against a stand-in service on
// a private session bus (the test runs under dbus-run-session).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QThread>
#include <string>

#include "platform/idle/idle_sources.h"

class FakeIdleMonitor : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")
 public:
  qulonglong interval = 0;
  uint nextActiveWatch = 100;
 public slots:
  uint AddIdleWatch(qulonglong ms) { return interval = ms, 7; }
  uint AddUserActiveWatch() { return ++nextActiveWatch; }
  void RemoveWatch(uint) {}
  void Fire(uint id) { emit WatchFired(id); }
 signals:
  void WatchFired(uint id);
};

namespace {

std::string gHeard;  // I idle, A active, L lost
void Hear(IdleEvent event) {
  gHeard += event == IdleEvent::Idle ? 'I' : event == IdleEvent::Active ? 'A' : 'L';
}

// Runs the loop until `want` has been heard (two seconds at most), and a
// little longer for anything heard beyond it.
bool HeardWithin(const std::string& want) {
  QElapsedTimer timer;
  timer.start();
  while (gHeard.size() < want.size() && timer.elapsed() < 2000) QCoreApplication::processEvents();
  for (timer.start(); timer.elapsed() < 150;) QCoreApplication::processEvents();
  return gHeard == want;
}

}  // namespace

TEST(MutterIdleTest, WatchesFireAsIdleAndActive) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name};
  QCoreApplication application(argc, argv);
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
  EXPECT_FALSE(ProbeMutterIdle()) << "no monitor on the bus yet";
  // The monitor answers from a thread of its own: the watcher's calls block.
  QThread service;
  auto* monitor = new FakeIdleMonitor;  // deleted in its thread
  QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-mutter");
  ASSERT_TRUE(bus.registerObject("/org/gnome/Mutter/IdleMonitor/Core", monitor,
                                 QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
  ASSERT_TRUE(bus.registerService("org.gnome.Mutter.IdleMonitor"));
  monitor->moveToThread(&service);
  service.start();
  EXPECT_TRUE(ProbeMutterIdle());
  EXPECT_TRUE(StartMutterIdle(300000, Hear));
  EXPECT_EQ(monitor->interval, 300000u) << "the idle time in milliseconds";
  const struct {
    uint fired;
    const char* heard;
  } steps[] = {
      {7, "I"},     // idle: the one-time watch for the next input is set (101)
      {101, "IA"},  // the user is back
      {101, "IA"},  // that watch is spent
      {42, "IA"},   // someone else's watch
      {7, "IAI"},   // idle again: a new watch for the next input (102)
      {102, "IAIA"},
  };
  for (const auto& step : steps) {
    QMetaObject::invokeMethod(monitor, "Fire", Qt::QueuedConnection, Q_ARG(uint, step.fired));
    EXPECT_TRUE(HeardWithin(step.heard)) << step.fired << ": heard " << gHeard;
  }
  bus.unregisterService("org.gnome.Mutter.IdleMonitor");
  EXPECT_TRUE(HeardWithin("IAIAL")) << "the monitor left the bus: heard " << gHeard;
  CloseMutterIdle();
  QMetaObject::invokeMethod(
      monitor, [monitor] { delete monitor; }, Qt::BlockingQueuedConnection);
  service.quit();
  service.wait();
}

#include "mutter_idle_test.moc"
