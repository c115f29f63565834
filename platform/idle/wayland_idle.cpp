// Idle notification from Wayland compositors: ext-idle-notify-v1 where the
// compositor offers it, else KDE's older protocol (sway 1.7). Both send one
// event when the seat has had no input for the time asked (inhibitors such
// as a playing video hold it off) and one at the next input, over and over.
#include <wayland-client.h>

#include <cstdlib>
#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"
#include "platform/idle/idle_sources.h"

namespace {

struct WaylandIdleRec {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  ext_idle_notifier_v1* notifier = nullptr;
  org_kde_kwin_idle* kdeIdle = nullptr;
  ext_idle_notification_v1* notification = nullptr;
  org_kde_kwin_idle_timeout* kdeTimeout = nullptr;
  IdleEventHandler handler = nullptr;
};
WaylandIdleRec gWaylandIdle;

void OnGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  WaylandIdleRec& w = gWaylandIdle;
  // The first seat: idleness is the session's, and every compositor these
  // protocols run on has one.
  if (!w.seat && std::strcmp(interface, wl_seat_interface.name) == 0)
    w.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  else if (!w.notifier && std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0)
    w.notifier = static_cast<ext_idle_notifier_v1*>(
        wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
  else if (!w.kdeIdle && std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0)
    w.kdeIdle =
        static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
}

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

void Report(IdleEvent event) {
  if (gWaylandIdle.handler) gWaylandIdle.handler(event);
}

void OnIdled(void*, ext_idle_notification_v1*) { Report(IdleEvent::Idle); }
void OnResumed(void*, ext_idle_notification_v1*) { Report(IdleEvent::Active); }
const ext_idle_notification_v1_listener kNotificationListener = {OnIdled, OnResumed};

void OnKdeIdle(void*, org_kde_kwin_idle_timeout*) { Report(IdleEvent::Idle); }
void OnKdeResumed(void*, org_kde_kwin_idle_timeout*) { Report(IdleEvent::Active); }
const org_kde_kwin_idle_timeout_listener kKdeTimeoutListener = {OnKdeIdle, OnKdeResumed};

}  // namespace

uint32_t ProbeWaylandIdle() {
  CloseWaylandIdle();
  const char* socket = std::getenv("WAYLAND_DISPLAY");
  if (!socket || !*socket) return 0;
  WaylandIdleRec& w = gWaylandIdle;
  w.display = wl_display_connect(nullptr);
  if (!w.display) return 0;
  w.registry = wl_display_get_registry(w.display);
  wl_registry_add_listener(w.registry, &kRegistryListener, nullptr);
  if (wl_display_roundtrip(w.display) < 0 || !w.seat) return 0;
  return (w.notifier ? kOffersExtIdleNotify : 0) | (w.kdeIdle ? kOffersKdeIdle : 0);
}

int StartWaylandIdle(IdleSource source, uint32_t timeoutMs, IdleEventHandler handler) {
  WaylandIdleRec& w = gWaylandIdle;
  if (!w.display || !w.seat) return -1;
  w.handler = handler;
  if (source == IdleSource::ExtIdleNotify && w.notifier) {
    w.notification = ext_idle_notifier_v1_get_idle_notification(w.notifier, timeoutMs, w.seat);
    ext_idle_notification_v1_add_listener(w.notification, &kNotificationListener, nullptr);
  } else if (source == IdleSource::KdeIdle && w.kdeIdle) {
    w.kdeTimeout = org_kde_kwin_idle_get_idle_timeout(w.kdeIdle, w.seat, timeoutMs);
    org_kde_kwin_idle_timeout_add_listener(w.kdeTimeout, &kKdeTimeoutListener, nullptr);
  } else {
    return -1;
  }
  if (wl_display_roundtrip(w.display) < 0) return -1;
  return wl_display_get_fd(w.display);
}

void DispatchWaylandIdle() {
  WaylandIdleRec& w = gWaylandIdle;
  if (!w.display) return;
  // The descriptor is readable, so this reads without waiting.
  if (wl_display_dispatch(w.display) < 0 || wl_display_flush(w.display) < 0) Report(IdleEvent::SourceLost);
}

void CloseWaylandIdle() {
  WaylandIdleRec& w = gWaylandIdle;
  if (w.notification) ext_idle_notification_v1_destroy(w.notification);
  if (w.kdeTimeout) org_kde_kwin_idle_timeout_release(w.kdeTimeout);
  if (w.notifier) ext_idle_notifier_v1_destroy(w.notifier);
  if (w.kdeIdle) org_kde_kwin_idle_destroy(w.kdeIdle);
  if (w.seat) wl_seat_destroy(w.seat);
  if (w.registry) wl_registry_destroy(w.registry);
  if (w.display) {
    wl_display_flush(w.display);
    wl_display_disconnect(w.display);
  }
  w = WaylandIdleRec{};
}
