// The power service over D-Bus, against a private bus daemon that stands in
// for both the session and the system bus, with stand-ins for the desktop's
// screen saver and the login manager. Without dbus-daemon the tests that
// need a bus are skipped.
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusVirtualObject>
#include <QtGui/QWindow>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/power.h"
#include "platform/qt/qt_host.h"
#include "platform/window.h"
#include "tests/qt/qt_test_support.h"

namespace {

constexpr WParam kSuspend = 4;  // PBT_APMSUSPEND
constexpr WParam kResume = 7;   // PBT_APMRESUMESUSPEND

// A dbus-daemon of the test's own, which owns nothing and starts nothing.
class PrivateBus {
 public:
  ~PrivateBus() {
    if (daemon_.state() != QProcess::NotRunning) {
      daemon_.kill();
      daemon_.waitForFinished(5000);
    }
  }

  bool Start() {
    if (!dir_.isValid()) return false;
    QString configPath = dir_.filePath("bus.conf");
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly)) return false;
    config.write(("<busconfig><type>session</type><listen>unix:dir=" + dir_.path().toUtf8() +
                  "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                  "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                  "<allow own=\"*\"/></policy></busconfig>\n"));
    config.close();
    daemon_.start("dbus-daemon", {"--config-file=" + configPath, "--nofork", "--print-address=1"});
    if (!daemon_.waitForStarted(5000)) return false;
    QElapsedTimer timer;
    timer.start();
    while (!daemon_.canReadLine() && timer.elapsed() < 5000) daemon_.waitForReadyRead(100);
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    return !address_.isEmpty();
  }

  std::string Address() const { return address_.toStdString(); }
  QDBusConnection Connect(const char* name) { return QDBusConnection::connectToBus(address_, name); }

 private:
  QTemporaryDir dir_;
  QProcess daemon_;
  QString address_;
};

struct ScreenSaverCall {
  std::string path, member;
  QList<QVariant> arguments;
};

// The desktop's screen saver: answers Inhibit with cookies 41, 42, ... or
// refuses it. It runs in its own thread, since the host waits for its
// answer on the main one.
class FakeScreenSaver final : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override { return QString(); }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({message.path().toStdString(), message.member().toStdString(), message.arguments()});
    if (message.member() == "Inhibit" && refuse_) {
      connection.send(message.createErrorReply("org.freedesktop.DBus.Error.AccessDenied", "not now"));
    } else if (message.member() == "Inhibit") {
      connection.send(message.createReply(QVariant::fromValue(nextCookie_++)));
    } else {
      connection.send(message.createReply());
    }
    return true;
  }

  void SetRefusing(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuse_ = refuse;
  }
  std::vector<ScreenSaverCall> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<ScreenSaverCall> calls_;
  uint32_t nextCookie_ = 41;
  bool refuse_ = false;
};

class QtPowerTest : public QtHostTest {
 protected:
  void SetUp() override {
    QtHostTest::SetUp();
    ASSERT_NE(gPower, nullptr);
    if (!bus_.Start()) GTEST_SKIP() << "no dbus-daemon to stand up a private bus";
    QtHostUsePowerBuses(bus_.Address().c_str(), bus_.Address().c_str());
  }

  void TearDown() override {
    QtHostTest::TearDown();
    QtHostUsePowerBuses(nullptr, nullptr);
    if (saver_) {
      QDBusConnection connection("fake-screensaver");
      for (const char* path : {"/org/freedesktop/ScreenSaver", "/ScreenSaver"})
        connection.unregisterObject(path);
      saverThread_.quit();
      saverThread_.wait();
      saver_.reset();
    }
    for (const char* name : {"fake-screensaver", "fake-login1", "fake-spoofer"}) {
      QDBusConnection::disconnectFromBus(name);
    }
  }

  // Puts the desktop's screen saver on the bus at path.
  FakeScreenSaver* StartScreenSaver(const char* path) {
    QDBusConnection connection = bus_.Connect("fake-screensaver");
    saver_ = std::make_unique<FakeScreenSaver>();
    saver_->moveToThread(&saverThread_);
    saverThread_.start();
    EXPECT_TRUE(connection.registerVirtualObject(path, saver_.get()));
    EXPECT_TRUE(connection.registerService("org.freedesktop.ScreenSaver"));
    return saver_.get();
  }

  // Sends PrepareForSleep from a connection that owns the login manager's
  // name (or, with spoofed, from one that does not), and waits until the
  // bus has routed it.
  void SendPrepareForSleep(bool sleeping, bool spoofed = false) {
    QDBusConnection connection = bus_.Connect(spoofed ? "fake-spoofer" : "fake-login1");
    if (!spoofed) {
      ASSERT_TRUE(connection.registerService("org.freedesktop.login1"));
    }
    QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/login1",
                                                     "org.freedesktop.login1.Manager", "PrepareForSleep");
    signal << sleeping;
    ASSERT_TRUE(connection.send(signal));
    // The daemon handles a connection's messages in order: once it answered
    // this, the signal is on its way to the host.
    connection.interface()->isServiceRegistered("org.freedesktop.login1");
  }

  // The power broadcasts that reach the queue within the time given.
  static std::vector<Message> PowerMessages(int waitMs, size_t expected) {
    std::vector<Message> found;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < waitMs && found.size() < expected) {
      PumpAfterNextMillisecond();
      for (const Message& m : TakeMessages()) {
        if (m.message == WM_POWERBROADCAST) found.push_back(m);
      }
    }
    return found;
  }

  static WindowHandle CreateOrdinary() {
    WindowRequest request;
    request.width = 160;
    request.height = 120;
    return gWindows->create(request);
  }

  PrivateBus bus_;
  QThread saverThread_;
  std::unique_ptr<FakeScreenSaver> saver_;
};

TEST_F(QtPowerTest, InhibitHoldsOneCookieUntilReleased) {
  FakeScreenSaver* saver = StartScreenSaver("/org/freedesktop/ScreenSaver");
  EXPECT_TRUE(gPower->inhibitIdle("Prismora keeps the display on"));
  EXPECT_TRUE(gPower->inhibitIdle("asked again"));
  gPower->releaseIdle();
  gPower->releaseIdle();
  EXPECT_TRUE(gPower->inhibitIdle("once more"));
  ResetQtHost();  // lets go as well

  QElapsedTimer timer;
  timer.start();
  while (saver->Calls().size() < 4 && timer.elapsed() < 2000) QThread::msleep(5);
  std::vector<ScreenSaverCall> calls = saver->Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].member, "Inhibit");
  ASSERT_EQ(calls[0].arguments.size(), 2);
  EXPECT_FALSE(calls[0].arguments[0].toString().isEmpty());  // the application's name
  EXPECT_EQ(calls[0].arguments[1].toString(), QString("Prismora keeps the display on"));
  EXPECT_EQ(calls[1].member, "UnInhibit");
  ASSERT_EQ(calls[1].arguments.size(), 1);
  EXPECT_EQ(calls[1].arguments[0], QVariant::fromValue(uint32_t(41)));
  EXPECT_EQ(calls[2].member, "Inhibit");
  EXPECT_EQ(calls[3].member, "UnInhibit");
  EXPECT_EQ(calls[3].arguments.value(0), QVariant::fromValue(uint32_t(42)));
  for (const auto& call : calls) EXPECT_EQ(call.path, "/org/freedesktop/ScreenSaver");
}

TEST_F(QtPowerTest, InhibitFollowsTheDesktopsAnswer) {
  // Older desktops export the interface at /ScreenSaver only.
  FakeScreenSaver* saver = StartScreenSaver("/ScreenSaver");
  EXPECT_TRUE(gPower->inhibitIdle("old path"));
  gPower->releaseIdle();
  saver->SetRefusing(true);
  std::string errors = CapturedStderr([] { EXPECT_FALSE(gPower->inhibitIdle("refused")); });
  EXPECT_EQ(errors, "");
  gPower->releaseIdle();  // nothing is held: nothing is sent

  QElapsedTimer timer;
  timer.start();
  while (saver->Calls().size() < 3 && timer.elapsed() < 2000) QThread::msleep(5);
  QThread::msleep(50);
  std::vector<ScreenSaverCall> calls = saver->Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].member, "Inhibit");
  EXPECT_EQ(calls[1].member, "UnInhibit");
  EXPECT_EQ(calls[1].path, "/ScreenSaver");
  EXPECT_EQ(calls[1].arguments.value(0), QVariant::fromValue(uint32_t(41)));
  EXPECT_EQ(calls[2].member, "Inhibit");
}

TEST_F(QtPowerTest, NoScreenSaverServiceOrNoBusMeansNoInhibition) {
  std::string errors = CapturedStderr([] {
    EXPECT_FALSE(gPower->inhibitIdle("nobody listens"));
    gPower->releaseIdle();
  });
  EXPECT_EQ(errors, "");

  errors = CapturedStderr([] {
    QtHostUsePowerBuses("unix:path=/nonexistent/prismora-bus", "unix:path=/nonexistent/prismora-bus");
    EXPECT_FALSE(gPower->inhibitIdle("no bus"));
    gPower->releaseIdle();
  });
  EXPECT_EQ(errors, "");
}

TEST_F(QtPowerTest, SleepAndResumeReachTheMainWindow) {
  SendPrepareForSleep(true);  // no window yet: nowhere to go
  EXPECT_TRUE(PowerMessages(200, 1).empty());

  WindowHandle window = CreateOrdinary();
  ASSERT_NE(window, 0u);
  CreateOrdinary();  // not the main window
  PumpAfterNextMillisecond();
  TakeMessages();
  SendPrepareForSleep(true);
  SendPrepareForSleep(true, true);  // not from the login manager
  SendPrepareForSleep(false);
  std::vector<Message> messages = PowerMessages(2000, 2);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].window, window);
  EXPECT_EQ(messages[0].wParam, kSuspend);
  EXPECT_EQ(messages[0].lParam, 0);
  EXPECT_EQ(messages[1].window, window);
  EXPECT_EQ(messages[1].wParam, kResume);
}

TEST_F(QtPowerTest, AForeignWindowsHostOwnsPower) {
  // A window of our own stands in for the host's.
  QWindow host;
  host.resize(160, 120);
  host.show();
  WindowRequest request;
  request.mode = WindowMode::Foreign;
  request.foreignId = host.winId();
  WindowHandle window = gWindows->create(request);
  if (window == 0) GTEST_SKIP() << "no foreign windows on this platform";
  FakeScreenSaver* saver = StartScreenSaver("/org/freedesktop/ScreenSaver");

  EXPECT_FALSE(gPower->inhibitIdle("preview"));
  SendPrepareForSleep(true);
  EXPECT_TRUE(PowerMessages(200, 1).empty());
  EXPECT_TRUE(saver->Calls().empty());
}

}  // namespace
