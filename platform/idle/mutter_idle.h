// GNOME's idle monitor on the session bus: the receiver of its WatchFired
// signal (a Qt object, for Qt's D-Bus).
#pragma once
#include <QObject>

#include "platform/idle/idle_sources.h"

class MutterIdleWatch : public QObject {
  Q_OBJECT
 public:
  uint32_t idleWatch = 0;    // fires at each idle time, kept for the session
  uint32_t activeWatch = 0;  // fires once, at the first input after idle
  IdleEventHandler handler = nullptr;
 public slots:
  void OnWatchFired(uint id);
  void OnOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
};
