// The refresh of the monitor that shows a window, from RandR and Present,
// and the frame pacing that follows it (display_refresh.h).
#include "platform/qt/display_refresh.h"

#include <xcb/present.h>
#include <xcb/randr.h>

#include <QtCore/QAbstractNativeEventFilter>
#include <QtCore/QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/event_source.h"
#include "platform/refresh_pacing.h"

namespace {

struct PacedWindowRec {
  WindowHandle handle = 0;
  xcb_window_t window = 0;
  bool stale = true;  // the monitor is read again before the next frame
  RefreshPaceRec pace;
  xcb_present_event_t presentEvents = 0;  // 0: no Present events asked for
  uint32_t serial = 0;
  bool blankAsked = false;  // a notification of the next blank is on its way
  bool blankKnown = false;  // the last blank heard, for the spacing of the next
  uint64_t blankUst = 0;
  uint64_t blankMsc = 0;
  uint64_t blanksUsed = 0;
};

class RefreshEventFilter;

struct RefreshPacingRec {
  xcb_connection_t* connection = nullptr;
  bool extensionsRead = false;
  uint8_t randrEventBase = 0;  // 0: no RandR
  uint8_t presentOpcode = 0;   // 0: no Present
  xcb_window_t watchedRoot = 0;
  RefreshEventFilter* filter = nullptr;  // installed once; kept, as the application is
  std::vector<PacedWindowRec> windows;
};

RefreshPacingRec gRefreshPacing;

PacedWindowRec* FindPaced(WindowHandle handle) {
  for (PacedWindowRec& rec : gRefreshPacing.windows) {
    if (rec.handle == handle) return &rec;
  }
  return nullptr;
}

uint64_t NowMicroseconds() {
  uint64_t now = 0;
  return MonotonicMicroseconds(&now) ? now : 0;
}

// A vertical blank Present reported for rec's window: where it is the
// display's own and on our clock, its time moves the refresh grid onto the
// display's.
void HeardBlank(PacedWindowRec* rec, uint64_t ust, uint64_t msc) {
  rec->blankAsked = false;
  uint64_t now = NowMicroseconds();
  if (rec->blankKnown && ust <= now && now - ust < 1000000 &&
      BlankFromDisplay(ust, msc, rec->blankUst, rec->blankMsc, rec->pace.refreshUs)) {
    RefreshPaceBlank(&rec->pace, ust);
    ++rec->blanksUsed;
  }
  rec->blankKnown = true;
  rec->blankUst = ust;
  rec->blankMsc = msc;
}

// Records what the server says: a monitor's mode changed (every paced
// window reads its monitor again), or a blank happened.
class RefreshEventFilter final : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    uint8_t type = event->response_type & 0x7F;
    uint8_t randr = gRefreshPacing.randrEventBase;
    if (randr != 0 && (type == randr + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == randr + XCB_RANDR_NOTIFY)) {
      for (PacedWindowRec& rec : gRefreshPacing.windows) rec.stale = true;
      return false;
    }
    if (type != XCB_GE_GENERIC || gRefreshPacing.presentOpcode == 0) return false;
    auto* generic = reinterpret_cast<xcb_ge_generic_event_t*>(event);
    if (generic->extension != gRefreshPacing.presentOpcode ||
        generic->event_type != XCB_PRESENT_COMPLETE_NOTIFY)
      return false;
    auto* done = reinterpret_cast<xcb_present_complete_notify_event_t*>(event);
    if (done->kind != XCB_PRESENT_COMPLETE_KIND_NOTIFY_MSC) return false;
    for (PacedWindowRec& rec : gRefreshPacing.windows) {
      if (rec.window == done->window && rec.presentEvents == done->event)
        HeardBlank(&rec, done->ust, done->msc);
    }
    return true;  // ours alone
  }
};

void ReadExtensions(xcb_connection_t* connection) {
  if (gRefreshPacing.extensionsRead && gRefreshPacing.connection == connection) return;
  gRefreshPacing.extensionsRead = true;
  gRefreshPacing.connection = connection;
  gRefreshPacing.watchedRoot = 0;
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(connection, &xcb_randr_id);
  gRefreshPacing.randrEventBase = randr && randr->present ? randr->first_event : 0;
  const xcb_query_extension_reply_t* present = xcb_get_extension_data(connection, &xcb_present_id);
  gRefreshPacing.presentOpcode = present && present->present ? present->major_opcode : 0;
  if (!gRefreshPacing.filter) {
    gRefreshPacing.filter = new RefreshEventFilter;
    QCoreApplication::instance()->installNativeEventFilter(gRefreshPacing.filter);
  }
}

// Hears every change of the monitors' modes: those Qt asks for and the
// mode changes of the CRTCs (each client's RandR mask on the root is its
// own, and this one's is Qt's: asking for a superset keeps its events).
void WatchModes(xcb_window_t root) {
  if (gRefreshPacing.randrEventBase == 0 || gRefreshPacing.watchedRoot == root) return;
  gRefreshPacing.watchedRoot = root;
  xcb_randr_select_input(gRefreshPacing.connection, root,
                         XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                             XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_PROPERTY);
}

// The refresh period of the monitor window fills exactly, 0 where it fills
// none or its mode has no rate.
uint64_t MonitorRefresh(xcb_connection_t* connection, xcb_window_t window) {
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
  if (!geometry) return 0;
  xcb_window_t root = geometry->root;
  int width = geometry->width, height = geometry->height;
  std::free(geometry);
  xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(
      connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr);
  if (!place) return 0;
  int x = place->dst_x, y = place->dst_y;
  std::free(place);
  WatchModes(root);
  if (gRefreshPacing.randrEventBase == 0) return 0;
  xcb_randr_get_screen_resources_current_reply_t* resources = xcb_randr_get_screen_resources_current_reply(
      connection, xcb_randr_get_screen_resources_current(connection, root), nullptr);
  if (!resources) return 0;
  const xcb_randr_crtc_t* crtcs = xcb_randr_get_screen_resources_current_crtcs(resources);
  int crtcCount = xcb_randr_get_screen_resources_current_crtcs_length(resources);
  const xcb_randr_mode_info_t* modes = xcb_randr_get_screen_resources_current_modes(resources);
  int modeCount = xcb_randr_get_screen_resources_current_modes_length(resources);
  uint64_t refresh = 0;
  for (int i = 0; i < crtcCount && refresh == 0; ++i) {
    xcb_randr_get_crtc_info_reply_t* crtc = xcb_randr_get_crtc_info_reply(
        connection, xcb_randr_get_crtc_info(connection, crtcs[i], resources->config_timestamp), nullptr);
    if (!crtc) continue;
    if (crtc->mode != 0 && crtc->x == x && crtc->y == y && crtc->width == width && crtc->height == height) {
      for (int m = 0; m < modeCount; ++m) {
        if (modes[m].id != crtc->mode) continue;
        refresh = ModeRefreshMicroseconds(modes[m].dot_clock, modes[m].htotal, modes[m].vtotal,
                                          modes[m].mode_flags);
      }
    }
    std::free(crtc);
  }
  std::free(resources);
  return refresh;
}

// Asks Present for the next vertical blank of rec's window, one at a time.
void AskNextBlank(PacedWindowRec* rec) {
  if (rec->presentEvents == 0 || rec->blankAsked || rec->pace.refreshUs == 0) return;
  rec->blankAsked = true;
  xcb_present_notify_msc(gRefreshPacing.connection, rec->window, ++rec->serial, 0, 1, 0);
}

void ReadMonitor(PacedWindowRec* rec) {
  rec->stale = false;
  uint64_t refresh = MonitorRefresh(gRefreshPacing.connection, rec->window);
  if (refresh != rec->pace.refreshUs) {
    RefreshPaceSetRefresh(&rec->pace, refresh);
    rec->blankKnown = false;  // blanks of another rate say nothing of this one
  }
}

}  // namespace

bool BlankFromDisplay(uint64_t ust, uint64_t msc, uint64_t lastUst, uint64_t lastMsc, uint64_t refreshUs) {
  if (refreshUs == 0 || msc <= lastMsc || ust <= lastUst) return false;
  // The server's stand-in counts its clock in its own interval: 60 Hz where
  // the driver has no blanks, 1 Hz for a window on no monitor.
  for (uint64_t interval : {uint64_t(1000000 / 60), uint64_t(1000000)}) {
    if (msc == ust / interval || msc == (ust + interval / 2) / interval) return false;
  }
  uint64_t spacing = (ust - lastUst) / (msc - lastMsc);
  uint64_t off = spacing > refreshUs ? spacing - refreshUs : refreshUs - spacing;
  return off * 100 < refreshUs;
}

uint64_t ModeRefreshMicroseconds(uint32_t dotClock, uint32_t htotal, uint32_t vtotal, uint32_t modeFlags) {
  uint64_t dots = uint64_t(htotal) * vtotal;
  if (dots == 0) return 0;
  uint64_t millihertz = (uint64_t(dotClock) * 1000 + dots / 2) / dots;
  if (modeFlags & XCB_RANDR_MODE_FLAG_INTERLACE) millihertz *= 2;
  if (modeFlags & XCB_RANDR_MODE_FLAG_DOUBLE_SCAN) millihertz /= 2;
  return RefreshPeriodFromMillihertz(millihertz);
}

void StartRefreshPacing(WindowHandle handle, xcb_connection_t* connection, xcb_window_t window) {
  if (!connection || window == 0) return;
  ReadExtensions(connection);
  StopRefreshPacing(handle);
  PacedWindowRec rec;
  rec.handle = handle;
  rec.window = window;
  if (gRefreshPacing.presentOpcode != 0) {
    rec.presentEvents = xcb_generate_id(connection);
    xcb_present_select_input(connection, rec.presentEvents, window, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY);
  }
  gRefreshPacing.windows.push_back(rec);
}

void StopRefreshPacing(WindowHandle handle) {
  auto& windows = gRefreshPacing.windows;
  auto it = std::find_if(windows.begin(), windows.end(),
                         [handle](const auto& rec) { return rec.handle == handle; });
  if (it == windows.end()) return;
  // The window may be gone already: an error reply then, and no harm.
  if (it->presentEvents != 0)
    xcb_present_select_input(gRefreshPacing.connection, it->presentEvents, it->window, 0);
  windows.erase(it);
}

void RefreshPacingMoved(WindowHandle handle) {
  if (PacedWindowRec* rec = FindPaced(handle)) rec->stale = true;
}

void WaitForRefresh(WindowHandle handle) {
  PacedWindowRec* rec = FindPaced(handle);
  if (!rec) return;
  if (rec->stale) ReadMonitor(rec);
  uint64_t now = NowMicroseconds();
  uint64_t wait = RefreshPaceWait(rec->pace, now);
  // The record may move while events are let in: nothing of it is kept.
  if (wait > 0) WaitUntilMicroseconds(now + wait);
}

void RefreshPresented(WindowHandle handle) {
  PacedWindowRec* rec = FindPaced(handle);
  if (!rec || rec->pace.refreshUs == 0) return;
  RefreshPaceShown(&rec->pace, NowMicroseconds());
  AskNextBlank(rec);
}

uint64_t RefreshPacingPeriod(WindowHandle handle, uint64_t* blanksUsed) {
  PacedWindowRec* rec = FindPaced(handle);
  if (blanksUsed) *blanksUsed = rec ? rec->blanksUsed : 0;
  return rec ? rec->pace.refreshUs : 0;
}

void ResetRefreshPacing() {
  while (!gRefreshPacing.windows.empty()) StopRefreshPacing(gRefreshPacing.windows.back().handle);
  RefreshEventFilter* filter = gRefreshPacing.filter;
  gRefreshPacing = RefreshPacingRec{};
  gRefreshPacing.filter = filter;
}
