// The power service over D-Bus: idle inhibition through the desktop's
// org.freedesktop.ScreenSaver interface on the session bus, and the login
// manager's PrepareForSleep signal on the system bus posted to the main
// window as WM_POWERBROADCAST. Without a bus or a service, nothing happens.
#include <unistd.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <cstdint>
#include <cstdlib>

#include "platform/power.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_host_internal.h"

namespace {

// The wParam values of WM_POWERBROADCAST.
constexpr WParam kPbtApmSuspend = 4;
constexpr WParam kPbtApmResumeSuspend = 7;

const char kScreenSaverService[] = "org.freedesktop.ScreenSaver";
const char kScreenSaverInterface[] = "org.freedesktop.ScreenSaver";
// Desktops export the interface at the first path; older ones only at the
// second.
const char* const kScreenSaverPaths[] = {"/org/freedesktop/ScreenSaver", "/ScreenSaver"};
// Asked once at start-up; a desktop that takes longer is treated as absent.
constexpr int kInhibitTimeoutMs = 1000;

const char kLoginService[] = "org.freedesktop.login1";
const char kLoginPath[] = "/org/freedesktop/login1";
const char kLoginInterface[] = "org.freedesktop.login1.Manager";
const char kSleepSignal[] = "PrepareForSleep";

// Connection names of the buses a test put in place of the desktop's.
const char kTestSessionBus[] = "prismora-power-session";
const char kTestSystemBus[] = "prismora-power-system";

// Receives PrepareForSleep in the toolkit's event processing and only posts.
class SleepWatcher final : public QObject {
  Q_OBJECT

 public slots:
  void PrepareForSleep(bool sleeping) {
    WindowHandle window = QtMainWindowHandle();
    if (window == 0 || QtWindowIsForeign(window)) return;
    PostMessage(window, WM_POWERBROADCAST, sleeping ? kPbtApmSuspend : kPbtApmResumeSuspend, 0);
  }
};

struct QtPowerRec {
  SleepWatcher* watcher = nullptr;  // made once, lives with the application
  bool testBuses = false;           // the buses are the test's, not the desktop's
  bool subscribed = false;          // to PrepareForSleep on the system bus in use
  bool inhibited = false;
  uint32_t cookie = 0;  // the desktop's handle of our inhibition
  const char* inhibitPath = nullptr;
};

QtPowerRec gQtPower;

QDBusConnection SessionBus() {
  return gQtPower.testBuses ? QDBusConnection(QString::fromLatin1(kTestSessionBus))
                            : QDBusConnection::sessionBus();
}

QDBusConnection SystemBus() {
  return gQtPower.testBuses ? QDBusConnection(QString::fromLatin1(kTestSystemBus))
                            : QDBusConnection::systemBus();
}

// Without a system bus there is nothing to listen to, and a connection
// attempt that fails keeps Qt's bus thread busy past a short run's end.
bool SystemBusMayExist() {
  if (gQtPower.testBuses || std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) return true;
  return access("/run/dbus/system_bus_socket", F_OK) == 0 ||
         access("/var/run/dbus/system_bus_socket", F_OK) == 0;
}

void Subscribe() {
  if (!SystemBusMayExist()) return;
  QDBusConnection bus = SystemBus();
  gQtPower.subscribed =
      bus.isConnected() && bus.connect(kLoginService, kLoginPath, kLoginInterface, kSleepSignal,
                                       gQtPower.watcher, SLOT(PrepareForSleep(bool)));
}

void Unsubscribe() {
  if (!gQtPower.subscribed) return;
  SystemBus().disconnect(kLoginService, kLoginPath, kLoginInterface, kSleepSignal, gQtPower.watcher,
                         SLOT(PrepareForSleep(bool)));
  gQtPower.subscribed = false;
}

QString ApplicationName() {
  QString name = QCoreApplication::applicationName();
  return name.isEmpty() ? QStringLiteral("Prismora") : name;
}

bool QtInhibitIdle(const char* reason) {
  if (gQtPower.inhibited) return true;
  // A host that hands us its window decides about power itself.
  WindowHandle window = QtMainWindowHandle();
  if (window != 0 && QtWindowIsForeign(window)) return false;
  QDBusConnection bus = SessionBus();
  if (!bus.isConnected()) return false;
  for (const char* path : kScreenSaverPaths) {
    QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, path, kScreenSaverInterface,
                                                       QStringLiteral("Inhibit"));
    call << ApplicationName() << QString::fromUtf8(reason ? reason : "");
    // Starting a screen saver only to hold it off makes no sense.
    call.setAutoStartService(false);
    QDBusMessage reply = bus.call(call, QDBus::Block, kInhibitTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
      QList<QVariant> arguments = reply.arguments();
      if (arguments.size() != 1 || arguments[0].typeId() != QMetaType::UInt) return false;
      gQtPower.inhibited = true;
      gQtPower.cookie = arguments[0].toUInt();
      gQtPower.inhibitPath = path;
      return true;
    }
    // Only a missing object or method is worth asking the other path for.
    QString error = reply.errorName();
    if (error != QLatin1String("org.freedesktop.DBus.Error.UnknownObject") &&
        error != QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")) {
      return false;
    }
  }
  return false;
}

void QtReleaseIdle() {
  if (!gQtPower.inhibited) return;
  gQtPower.inhibited = false;
  QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, gQtPower.inhibitPath,
                                                     kScreenSaverInterface, QStringLiteral("UnInhibit"));
  call << gQtPower.cookie;
  call.setAutoStartService(false);
  // The reply says nothing worth waiting for.
  SessionBus().send(call);
}

const PowerService kQtPower = {QtInhibitIdle, QtReleaseIdle};

}  // namespace

void InstallQtPowerService() {
  if (!gQtPower.watcher) {
    gQtPower.watcher = new SleepWatcher;
    gQtPower.watcher->setParent(QCoreApplication::instance());
  }
  gPower = &kQtPower;
}

// Only our own windows care about sleep: a host's window leaves power to the
// host, so a run that draws only into one never opens the system bus (whose
// connection thread would still be busy when such a short run exits).
void QtPowerWatchSleep() {
  if (gQtPower.watcher && !gQtPower.subscribed) Subscribe();
}

void ResetQtPower() { QtReleaseIdle(); }

void QtHostUsePowerBuses(const char* sessionAddress, const char* systemAddress) {
  QtReleaseIdle();
  Unsubscribe();
  if (gQtPower.testBuses) {
    QDBusConnection::disconnectFromBus(QString::fromLatin1(kTestSessionBus));
    QDBusConnection::disconnectFromBus(QString::fromLatin1(kTestSystemBus));
  }
  gQtPower.testBuses = sessionAddress || systemAddress;
  if (gQtPower.testBuses) {
    QDBusConnection::connectToBus(QString::fromUtf8(sessionAddress ? sessionAddress : ""),
                                  QString::fromLatin1(kTestSessionBus));
    QDBusConnection::connectToBus(QString::fromUtf8(systemAddress ? systemAddress : ""),
                                  QString::fromLatin1(kTestSystemBus));
  }
  if (gQtPower.watcher) Subscribe();
}

#include "qt_power.moc"
