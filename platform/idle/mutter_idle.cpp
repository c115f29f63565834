// GNOME Shell offers no Wayland idle protocol to clients, but its compositor
// answers on the session bus: a watch that fires each time the user has been
// idle for the time asked, and a one-time watch for the next input, which is
// set again after every idle.
#include "platform/idle/mutter_idle.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace {

const char kService[] = "org.gnome.Mutter.IdleMonitor";
const char kPath[] = "/org/gnome/Mutter/IdleMonitor/Core";
const char kInterface[] = "org.gnome.Mutter.IdleMonitor";

MutterIdleWatch* gMutterWatch = nullptr;

// A call on the monitor: its uint32 answer in *id, false on any error.
bool CallMonitor(const char* method, const QVariantList& arguments, uint32_t* id) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
  call.setArguments(arguments);
  QDBusReply<uint> reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
  if (!reply.isValid()) return false;
  if (id) *id = reply.value();
  return true;
}

}  // namespace

void MutterIdleWatch::OnWatchFired(uint id) {
  if (!handler) return;
  if (id == idleWatch) {
    // The next input is one event; the watch for it is set once idle.
    if (activeWatch == 0 && !CallMonitor("AddUserActiveWatch", {}, &activeWatch)) {
      handler(IdleEvent::SourceLost);
      return;
    }
    handler(IdleEvent::Idle);
  } else if (id == activeWatch && id != 0) {
    activeWatch = 0;
    handler(IdleEvent::Active);
  }
}

void MutterIdleWatch::OnOwnerChanged(const QString& name, const QString&, const QString& newOwner) {
  // The compositor went away: so has the session.
  if (name == kService && newOwner.isEmpty() && handler) handler(IdleEvent::SourceLost);
}

bool ProbeMutterIdle() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()) return false;
  QDBusReply<bool> registered = bus.interface()->isServiceRegistered(kService);
  return registered.isValid() && registered.value();
}

bool StartMutterIdle(uint32_t timeoutMs, IdleEventHandler handler) {
  CloseMutterIdle();
  QDBusConnection bus = QDBusConnection::sessionBus();
  gMutterWatch = new MutterIdleWatch;
  gMutterWatch->handler = handler;
  // Connected before the watch is set, so that no firing is missed.
  bool connected =
      bus.connect(kService, kPath, kInterface, "WatchFired", gMutterWatch, SLOT(OnWatchFired(uint)));
  connected = connected &&
              bus.connect("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "NameOwnerChanged", gMutterWatch, SLOT(OnOwnerChanged(QString, QString, QString)));
  if (!connected ||
      !CallMonitor("AddIdleWatch", {QVariant::fromValue(qulonglong(timeoutMs))}, &gMutterWatch->idleWatch)) {
    CloseMutterIdle();
    return false;
  }
  return true;
}

void CloseMutterIdle() {
  if (!gMutterWatch) return;
  if (gMutterWatch->idleWatch)
    CallMonitor("RemoveWatch", {QVariant::fromValue(uint(gMutterWatch->idleWatch))}, nullptr);
  if (gMutterWatch->activeWatch)
    CallMonitor("RemoveWatch", {QVariant::fromValue(uint(gMutterWatch->activeWatch))}, nullptr);
  delete gMutterWatch;
  gMutterWatch = nullptr;
}
