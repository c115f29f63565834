// The window service over Qt: the window the program draws into, its input
// translated into queued messages, and the frames shown in it. Frames are
// scaled nearest-neighbour with black bars, drawn with QPainter into the
// window's backing store or, where a hardware GPU renders OpenGL, uploaded
// as a texture (gl_presenter.h); under a software rasteriser QPainter costs
// less. On X11 a frame of the window's own size that lies in memory shared
// with the server (frameMemory, shared_frame.h) is put straight from there
// onto the window, unscaled: no copy on either side. Other frames may go,
// when asked for, into an MIT-SHM image of our own put straight onto the
// window (shm_image.h). PRISMORA_PRESENT overrides the choice: =painter the
// backing store only, =opengl OpenGL, =shm the own shared image where frames
// cannot be put from their memory (the backing store where the server
// refuses it); unset or anything else, the host chooses: OpenGL on a
// hardware GPU, else frames from their memory where they can, else the
// backing store.
// In full screen and in a host's window that fills a monitor, frames wait
// for that monitor's next refresh (display_refresh.h).
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QtCore/QAbstractNativeEventFilter>
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtGui/QBackingStore>
#include <QtGui/QExposeEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QWidget>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/key_state.h"
#include "platform/qt/display_refresh.h"
#include "platform/qt/frame_copy.h"
#include "platform/qt/gl_presenter.h"
#include "platform/qt/key_mapping.h"
#include "platform/qt/letterbox.h"
#include "platform/qt/monitor_cover.h"
#include "platform/qt/mouse_messages.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_host_internal.h"
#include "platform/qt/shared_frame.h"
#include "platform/qt/shm_image.h"
#include "platform/window.h"

namespace {

class HostWindow;

struct HostWindowRec {
  WindowHandle handle = 0;
  WindowMode mode = WindowMode::Ordinary;
  HostWindow* window = nullptr;  // owned
  QWindow* foreign = nullptr;    // owned wrapper of the foreign parent
  xcb_window_t foreignId = 0;
  uint32_t foreignWidth = 0;  // the foreign window's size, as last heard
  uint32_t foreignHeight = 0;
  bool foreignResizePending = false;
  bool foreignGone = false;
  // As last heard. Unmapped, or mapped but wholly covered: nothing of it
  // can be seen either way.
  bool foreignMapped = true;
  bool foreignObscured = false;
  bool shownTold = true;  // what the program was last told (WM_SHOWWINDOW)
  // Our own windows: whether Qt has the window exposed, and (inside the
  // player's frame) whether the frame's top level is. Minimised, unmapped or
  // wholly covered turns them false.
  bool exposed = true;
  bool frameExposed = true;
  // Qt keeps a wholly covered window exposed: the server's visibility
  // events on our own window tell that, once they are asked for.
  bool ownObscured = false;
  bool ownWatchPending = false;
  xcb_window_t ownId = 0;
  int frameWidth = 0;  // the last presented frame; 0 before the first
  int frameHeight = 0;
  LetterboxRect picture;  // where that frame was drawn
  int frameBits = 0;      // and its depth
  QImage converted;       // 16- and 24-bit frames for OpenGL, converted to 32 bits
  // The QPainter path. A frame's changed tiles are enough only on top of
  // the previous frame shown whole; anything else (a skipped present, an
  // expose, a new size) clears this.
  bool shownWhole = false;
  PictureMapping mapping;            // the frame's pixels in the window, as last drawn
  const void* storeImage = nullptr;  // the backing store's pixels the picture and bars are in
  QSize storeSize;
  bool storeIsImage = false;     // the last frame was written straight into it
  QImage shadow;                 // where frames are drawn when the store is no image of ours
  std::vector<ChangedRun> runs;  // reused from frame to frame
  std::vector<QRect> rects;
  // Frames through a shared image of our own instead of the backing store:
  // chosen for the window, refused by the server once (then the store for
  // good), and the image (owned) with whether it holds a picture yet.
  bool shmWanted = false;
  bool shmFailed = false;
  ShmImage* shm = nullptr;
  bool shmHoldsPicture = false;
  bool presentedShm = false;  // the last frame went through it
  std::vector<ShmRect> shmRects;
  // Frames in shared memory (shared_frame.h) put straight onto the window:
  // whether the window's pixels take them, as checked for the native window
  // directChecked, the GC the puts use, and the last frame put that way.
  bool directWanted = false;  // PRISMORA_PRESENT allows it; decided with the window
  xcb_window_t directChecked = 0;
  bool directFits = false;
  xcb_gcontext_t directGc = 0;
  bool presentedDirect = false;
  const uint8_t* directPixels = nullptr;
  GlPresenter* gl = nullptr;     // owned; nullptr while frames go through QPainter
  bool glFailed = false;         // a redraw failed; the next present falls back to QPainter
  QWidget* container = nullptr;  // the player's frame shows this window in it; the frame owns both
};

class XcbWatcher;

struct QtWindowsRec {
  std::vector<std::unique_ptr<HostWindowRec>> windows;
  WindowHandle nextHandle = 1;
  XcbWatcher* watcher = nullptr;  // installed with the first foreign window; kept
};

QtWindowsRec gQtWindows;

HostWindowRec* FindWindow(WindowHandle handle) {
  for (auto& rec : gQtWindows.windows) {
    if (rec->handle == handle) return rec.get();
  }
  return nullptr;
}

void SetOwnWindowExposed(HostWindowRec* rec, bool exposed);
bool RepaintFromShm(HostWindowRec* rec, QSize area);
bool RepaintDirect(HostWindowRec* rec, QSize area);

// Translates this window's events into messages and nothing more; a foreign
// window's host owns the input, so there only painting is handled.
class HostWindow final : public QWindow {
 public:
  HostWindow(HostWindowRec* rec, QWindow* parent) : QWindow(parent), rec_(rec), store_(this) {}

  void Forget() { rec_ = nullptr; }
  QBackingStore& Store() { return store_; }
  bool painted = false;  // the backing store holds a frame at its current size

 protected:
  bool event(QEvent* e) override {
    if (!rec_) return QWindow::event(e);
    bool input = rec_->mode != WindowMode::Foreign;
    switch (e->type()) {
      case QEvent::Close:
        // The program destroys the window itself when it is done.
        if (input) PostMessage(rec_->handle, WM_CLOSE, 0, 0);
        e->ignore();
        return true;
      case QEvent::Resize:
        // Inside the player's frame the frame reports sizes, with its state.
        if (input && !rec_->container) PostMessage(rec_->handle, WM_SIZE, 0, PackPoint(width(), height()));
        RefreshPacingMoved(rec_->handle);
        break;
      case QEvent::Move:
        RefreshPacingMoved(rec_->handle);
        break;
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        if (input) PostKey(static_cast<QKeyEvent*>(e));
        return true;
      case QEvent::MouseMove:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
        if (input) PostMouse(static_cast<QMouseEvent*>(e));
        return true;
      case QEvent::MouseButtonDblClick:
        return true;  // the press before it was already posted
      case QEvent::FocusOut:
        // A grab or a switch of virtual terminal takes the keyboard while a
        // key is down; its release then never comes here.
        ReleaseAllKeys();
        break;
      default:
        break;
    }
    return QWindow::event(e);
  }

  void exposeEvent(QExposeEvent*) override {
    if (rec_ && rec_->mode != WindowMode::Foreign) SetOwnWindowExposed(rec_, isExposed());
    if (rec_) rec_->shownWhole = false;
    if (!isExposed()) return;
    QSize area = size();
    if (area.isEmpty()) return;
    if (rec_ && rec_->gl) {
      // The window is replaced by a raster one from the frame loop, not here.
      if (!rec_->glFailed && !GlRedraw(rec_->gl, this)) rec_->glFailed = true;
      return;
    }
    if (rec_ && RepaintDirect(rec_, area)) return;
    if (rec_ && RepaintFromShm(rec_, area)) return;
    if (!painted || store_.size() != area) {
      store_.resize(area);
      QRect all(QPoint(0, 0), area);
      store_.beginPaint(all);
      QPainter painter(store_.paintDevice());
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.fillRect(all, Qt::black);
      painter.end();
      store_.endPaint();
    }
    store_.flush(QRect(QPoint(0, 0), area));
  }

 private:
  void PostKey(QKeyEvent* e) {
    int vk = QtKeyToVirtualKey(e->key(), (e->modifiers() & Qt::KeypadModifier) != 0, e->nativeScanCode());
    // Ctrl is held when the event says so, whatever was recorded before
    // (its release may have gone to another window). Its own press and
    // release are recorded as they come.
    if (vk != VK_CONTROL) RecordKeyHeld(VK_CONTROL, (e->modifiers() & Qt::ControlModifier) != 0);
    if (vk == 0) return;
    bool alt = (e->modifiers() & Qt::AltModifier) != 0;
    bool system = alt || vk == VK_MENU || vk == VK_F10;
    uint32_t context = alt ? 1u << 29 : 0u;
    if (e->type() == QEvent::KeyPress) {
      RecordKeyDown(vk);
      uint32_t repeat = e->isAutoRepeat() ? 1u << 30 : 0u;
      PostMessage(rec_->handle, system ? WM_SYSKEYDOWN : WM_KEYDOWN, WParam(vk),
                  LParam(1u | repeat | context));
    } else {
      // Held keys repeat as presses only, as on Windows.
      if (e->isAutoRepeat()) return;
      RecordKeyUp(vk);
      PostMessage(rec_->handle, system ? WM_SYSKEYUP : WM_KEYUP, WParam(vk), LParam(0xC0000001u | context));
    }
  }

  void PostMouse(QMouseEvent* e) {
    int x = int(e->position().x());
    int y = int(e->position().y());
    if (rec_->frameWidth > 0) {
      WindowToFramePixel(rec_->picture, rec_->frameWidth, rec_->frameHeight, x, y, &x, &y);
    }
    PostMouseMessage(rec_->handle, *e, x, y);
  }

  HostWindowRec* rec_;
  QBackingStore store_;
};

// Tells the program when its window stops or starts being seen: a foreign
// window unmapped or wholly covered, our own not exposed.
void PostVisibility(HostWindowRec* rec) {
  bool shown =
      rec->foreignMapped && !rec->foreignObscured && rec->exposed && rec->frameExposed && !rec->ownObscured;
  if (shown == rec->shownTold) return;
  rec->shownTold = shown;
  PostMessage(rec->handle, WM_SHOWWINDOW, shown ? 1 : 0, 0);
}

void SetOwnWindowExposed(HostWindowRec* rec, bool exposed) {
  rec->exposed = exposed;
  if (exposed && rec->ownId == 0) rec->ownWatchPending = true;
  PostVisibility(rec);
}

// Sees the X events of the foreign windows: their new sizes, whether they
// can be seen, and their end. It records and posts only; the child window
// follows the size in ApplyQtWindowWork.
class XcbWatcher final : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7F) {
      case XCB_CONFIGURE_NOTIFY: {
        auto* configure = reinterpret_cast<xcb_configure_notify_event_t*>(event);
        for (auto& rec : gQtWindows.windows) {
          if (rec->foreignId != configure->window || rec->foreignGone) continue;
          if (configure->width == rec->foreignWidth && configure->height == rec->foreignHeight) continue;
          rec->foreignWidth = configure->width;
          rec->foreignHeight = configure->height;
          rec->foreignResizePending = true;
          PostMessage(rec->handle, WM_SIZE, 0, PackPoint(configure->width, configure->height));
        }
        return false;
      }
      case XCB_MAP_NOTIFY:
      case XCB_UNMAP_NOTIFY: {
        xcb_window_t window = (event->response_type & 0x7F) == XCB_MAP_NOTIFY
                                  ? reinterpret_cast<xcb_map_notify_event_t*>(event)->window
                                  : reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window;
        for (auto& rec : gQtWindows.windows) {
          if (rec->foreignId != window || rec->foreignGone) continue;
          rec->foreignMapped = (event->response_type & 0x7F) == XCB_MAP_NOTIFY;
          PostVisibility(rec.get());
        }
        return false;
      }
      case XCB_VISIBILITY_NOTIFY: {
        auto* visibility = reinterpret_cast<xcb_visibility_notify_event_t*>(event);
        for (auto& rec : gQtWindows.windows) {
          if (rec->ownId != 0 && rec->ownId == visibility->window) {
            rec->ownObscured = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
            PostVisibility(rec.get());
          }
          if (rec->foreignId != visibility->window || rec->foreignGone) continue;
          rec->foreignObscured = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
          PostVisibility(rec.get());
        }
        return false;
      }
      case XCB_DESTROY_NOTIFY: {
        auto* destroyed = reinterpret_cast<xcb_destroy_notify_event_t*>(event);
        for (auto& rec : gQtWindows.windows) {
          if (rec->foreignId != destroyed->window || rec->foreignGone) continue;
          rec->foreignGone = true;
          PostMessage(rec->handle, WM_CLOSE, 0, 0);
        }
        return false;
      }
      default:
        return false;
    }
  }
};

xcb_connection_t* XcbConnection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

// Shows and waits briefly for the window system to map it, so the first
// frames are not thrown away.
void ShowAndSettle(HostWindow* window, WindowMode mode) {
  if (mode == WindowMode::FullScreen) {
    window->showFullScreen();
    window->raise();
    window->requestActivate();
  } else {
    window->show();
    if (mode == WindowMode::Ordinary) window->requestActivate();
  }
  QElapsedTimer settle;
  settle.start();
  while (!window->isExposed() && settle.elapsed() < 250) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

void InstallXcbWatcher() {
  if (gQtWindows.watcher) return;
  gQtWindows.watcher = new XcbWatcher;
  QCoreApplication::instance()->installNativeEventFilter(gQtWindows.watcher);
}

// Asks the server for the visibility events of our own window, beside the
// events Qt asked for (our client's mask on it is Qt's).
void WatchOwnVisibility(HostWindowRec* rec) {
  rec->ownWatchPending = false;
  xcb_connection_t* connection = XcbConnection();
  if (!connection || !rec->window || rec->ownId != 0) return;  // no X11 here: exposure alone
  auto xid = xcb_window_t(rec->window->winId());
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, xid), nullptr);
  if (!attributes) return;
  uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
  std::free(attributes);
  xcb_change_window_attributes(connection, xid, XCB_CW_EVENT_MASK, &mask);
  InstallXcbWatcher();
  rec->ownId = xid;
}

bool AttachForeign(HostWindowRec* rec, uint64_t id) {
  xcb_connection_t* connection = XcbConnection();
  if (!connection || id == 0 || id > UINT32_MAX) return false;  // no X11 here: no foreign windows
  xcb_window_t xid = xcb_window_t(id);
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, xid), nullptr);
  if (!attributes) return false;
  // Each client has its own event mask on a window: adding to ours leaves
  // the owner's alone.
  uint32_t mask =
      attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_VISIBILITY_CHANGE;
  uint32_t oldMask = attributes->your_event_mask;
  bool mapped = attributes->map_state != XCB_MAP_STATE_UNMAPPED;
  std::free(attributes);
  xcb_change_window_attributes(connection, xid, XCB_CW_EVENT_MASK, &mask);
  // Qt reports a foreign window's size as 0x0; ask the server.
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, xid), nullptr);
  QWindow* foreign = geometry ? QWindow::fromWinId(WId(xid)) : nullptr;
  if (!foreign) {
    std::free(geometry);
    xcb_change_window_attributes(connection, xid, XCB_CW_EVENT_MASK, &oldMask);
    return false;
  }
  bool parentIsRoot = geometry->root == xid;
  rec->foreign = foreign;
  rec->foreignId = xid;
  rec->foreignWidth = geometry->width;
  rec->foreignHeight = geometry->height;
  std::free(geometry);
  rec->foreignMapped = mapped;
  PostVisibility(rec);

  InstallXcbWatcher();
  rec->window = new HostWindow(rec, foreign);
  // Clicks fall through to the host's window, and we never take the focus.
  rec->window->setFlag(Qt::WindowTransparentForInput, true);
  rec->window->setFlag(Qt::WindowDoesNotAcceptFocus, true);
  rec->window->setGeometry(0, 0, int(rec->foreignWidth), int(rec->foreignHeight));
  if (parentIsRoot) {
    // A child of the root is a top-level window to the window manager:
    // keep it from managing (decorating, moving) ours.
    rec->window->create();
    uint32_t overrideRedirect = 1;
    xcb_change_window_attributes(connection, xcb_window_t(rec->window->winId()), XCB_CW_OVERRIDE_REDIRECT,
                                 &overrideRedirect);
  }
  return true;
}

// OpenGL only where a screen shows it: the offscreen and minimal platforms
// present into memory.
bool PlatformShowsOpenGL() {
  QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

// Frames go through a shared image of our own when it is asked for, and may
// be put straight from shared memory unless the backing store or OpenGL is.
// Both need the X server.
void ChooseSharedWays(HostWindowRec* rec) {
  PresentChoice choice = PresentChoiceFrom(std::getenv("PRISMORA_PRESENT"));
  bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
  rec->shmWanted = x11 && choice == PresentChoice::SharedImage;
  rec->directWanted = x11 && choice != PresentChoice::Painter && choice != PresentChoice::OpenGL;
}

// Decided before the window is first shown, since a window's surface type
// is fixed while it has a native window. Foreign windows keep QPainter: the
// native window there is a child of a window whose visual is the host's.
void ChoosePresenter(HostWindowRec* rec) {
  PresentChoice choice = PresentChoiceFrom(std::getenv("PRISMORA_PRESENT"));
  ChooseSharedWays(rec);
  if (choice == PresentChoice::Painter || choice == PresentChoice::SharedImage || !PlatformShowsOpenGL())
    return;
  // Unasked, OpenGL is tried only where a hardware renderer can answer:
  // loading a software one to refuse it costs about 100 ms and tens of
  // megabytes for the whole run.
  if (choice == PresentChoice::Automatic && !HasRenderNode("/dev/dri")) return;
  rec->gl = CreateGlPresenter(rec->window, choice == PresentChoice::Automatic);
}

// Full screen, and a host's window where it fills a monitor, show at most
// one frame a refresh of that monitor: frames it never shows cost the same
// to draw and send. A window of its own on the desktop is not paced.
void PaceFrames(HostWindowRec* rec) {
  xcb_connection_t* connection = XcbConnection();
  if (!connection || rec->mode == WindowMode::Ordinary || !rec->window) return;
  StartRefreshPacing(rec->handle, connection, xcb_window_t(rec->window->winId()));
}

WindowHandle QtCreate(const WindowRequest& request) {
  auto rec = std::make_unique<HostWindowRec>();
  rec->handle = gQtWindows.nextHandle;
  rec->mode = request.mode;
  switch (request.mode) {
    case WindowMode::Foreign:
      if (!AttachForeign(rec.get(), request.foreignId)) return 0;
      ChooseSharedWays(rec.get());
      break;
    case WindowMode::FullScreen: {
      rec->window = new HostWindow(rec.get(), nullptr);
      rec->window->setFlag(Qt::FramelessWindowHint, true);
      if (QScreen* screen = QGuiApplication::primaryScreen()) rec->window->setGeometry(screen->geometry());
      rec->window->setCursor(Qt::BlankCursor);
      rec->window->setTitle(QString::fromUtf8(request.title ? request.title : ""));
      ChoosePresenter(rec.get());
      StartMonitorCovers(rec->handle, rec->window, request.allMonitors);
      break;
    }
    case WindowMode::Ordinary:
      rec->window = new HostWindow(rec.get(), nullptr);
      rec->window->resize(int(request.width), int(request.height));
      rec->window->setTitle(QString::fromUtf8(request.title ? request.title : ""));
      ChoosePresenter(rec.get());
      break;
  }
  if (request.mode != WindowMode::Foreign) QtPowerWatchSleep();
  ++gQtWindows.nextHandle;
  HostWindowRec* created = rec.get();
  gQtWindows.windows.push_back(std::move(rec));
  ShowAndSettle(created->window, created->mode);
  PaceFrames(created);
  return created->handle;
}

void DeleteWindow(HostWindowRec* rec) {
  StopMonitorCovers(rec->handle);
  StopRefreshPacing(rec->handle);
  if (rec->directGc != 0) {
    if (xcb_connection_t* connection = XcbConnection()) xcb_free_gc(connection, rec->directGc);
    rec->directGc = 0;
  }
  DestroyShmImage(rec->shm);
  rec->shm = nullptr;
  DestroyGlPresenter(rec->gl);
  rec->gl = nullptr;
  if (rec->container) {
    rec->window->Forget();
    delete rec->container->window();
    rec->container = nullptr;
    rec->window = nullptr;
  }
  if (rec->window) {
    rec->window->Forget();
    delete rec->window;
    rec->window = nullptr;
  }
  delete rec->foreign;  // the wrapper only: the foreign window stays
  rec->foreign = nullptr;
}

void QtDestroy(WindowHandle handle) {
  auto it = std::find_if(gQtWindows.windows.begin(), gQtWindows.windows.end(),
                         [handle](const auto& rec) { return rec->handle == handle; });
  if (it == gQtWindows.windows.end()) return;
  DeleteWindow(it->get());
  gQtWindows.windows.erase(it);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (xcb_connection_t* connection = XcbConnection()) xcb_flush(connection);
}

bool QtClientSize(WindowHandle handle, uint32_t* width, uint32_t* height) {
  HostWindowRec* rec = FindWindow(handle);
  if (!rec) return false;
  if (rec->mode == WindowMode::Foreign) {
    *width = rec->foreignWidth;
    *height = rec->foreignHeight;
  } else if (rec->container) {
    *width = uint32_t(std::max(0, rec->container->width()));
    *height = uint32_t(std::max(0, rec->container->height()));
  } else {
    *width = uint32_t(std::max(0, rec->window->width()));
    *height = uint32_t(std::max(0, rec->window->height()));
  }
  return true;
}

// The frame as a 32-bit image: the caller's memory itself for 32 bits, a
// conversion into the window's own buffer for 16 and 24.
QImage FrameAsImage(HostWindowRec* rec, const FrameImage& frame) {
  int w = int(frame.width), h = int(frame.height);
  if (frame.bitsPerPixel == 32) {
    return QImage(frame.pixels, w, h, qsizetype(frame.pitch), QImage::Format_RGB32);
  }
  if (frame.bitsPerPixel != 16 && frame.bitsPerPixel != 24) return QImage();
  if (rec->converted.width() != w || rec->converted.height() != h) {
    rec->converted = QImage(w, h, QImage::Format_RGB32);
  }
  for (int y = 0; y < h; ++y) {
    const uint8_t* source = frame.pixels + size_t(y) * frame.pitch;
    auto* target = reinterpret_cast<uint32_t*>(rec->converted.scanLine(y));
    if (frame.bitsPerPixel == 16) {
      const auto* pixels = reinterpret_cast<const uint16_t*>(source);
      for (int x = 0; x < w; ++x) {
        uint32_t p = pixels[x];
        uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
        // Repeat the top bits into the low ones so full scale stays 0xFF.
        target[x] = 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
      }
    } else {
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = source + 3 * x;
        target[x] = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      }
    }
  }
  return rec->converted;
}

// The backing store's image when frames can be written straight into it:
// a 32-bit image of the window's size (no scaling for the screen).
QImage* StoreImage(QPaintDevice* device, QSize area) {
  if (!device || device->devType() != QInternal::Image) return nullptr;
  auto* image = static_cast<QImage*>(device);
  QImage::Format format = image->format();
  if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
      format != QImage::Format_ARGB32_Premultiplied) {
    return nullptr;
  }
  if (image->size() != area || image->devicePixelRatio() != 1.0) return nullptr;
  return image;
}

// The alpha byte of a store image with alpha: the X server takes only the
// colours from an opaque window's image (its format has alpha for
// QPainter's speed), but a Wayland compositor blends every such buffer by
// it, whatever the window's format says, so a frame's zero top byte there
// shows the window behind.
bool StoreAlphaShows(const QWindow* window, const QImage* image) {
  if (!image->hasAlphaChannel()) return false;
  return window->format().hasAlpha() || QGuiApplication::platformName() != QLatin1String("xcb");
}

WindowPixels PixelsOf(QImage* image, bool alpha) {
  return WindowPixels{image->bits(), size_t(image->bytesPerLine()), image->width(), image->height(), alpha};
}

// Each rectangle sent costs a request and its handling on both sides, about
// as much as sending this many more pixels (five tiles' worth).
constexpr int64_t kRectangleCost = 5 * int64_t(kFrameTileWidth) * kFrameTileHeight;

// The window rectangles of runs as bands of rectangles sharing top and
// height, sorted and apart, as QRegion::setRects wants them. A tile row
// whose runs span the same columns as the band above it makes that band
// taller instead of making a band of its own; so does a single run under a
// band of one rectangle when widening both to cover each other sends less
// than another rectangle costs. The tiles sent along unchanged show again
// what they showed.
void BandedRects(const std::vector<ChangedRun>& runs, std::vector<QRect>* rects) {
  rects->clear();
  size_t bandStart = 0;  // the last band's first rectangle
  for (size_t i = 0; i < runs.size();) {
    size_t rowEnd = i;
    while (rowEnd < runs.size() && runs[rowEnd].windowY == runs[i].windowY) ++rowEnd;
    const ChangedRun& run = runs[i];
    size_t bandSize = rects->size() - bandStart;
    bool touching = bandSize > 0 && (*rects)[bandStart].bottom() + 1 == run.windowY;
    bool same = touching && bandSize == rowEnd - i;
    for (size_t k = 0; same && k < bandSize; ++k) {
      const QRect& above = (*rects)[bandStart + k];
      same = above.x() == runs[i + k].windowX && above.width() == runs[i + k].windowWidth;
    }
    if (!same && touching && bandSize == 1 && rowEnd - i == 1) {
      const QRect& above = (*rects)[bandStart];
      int left = std::min(above.x(), run.windowX);
      int right = std::max(above.x() + above.width(), run.windowX + run.windowWidth);
      int64_t extra = int64_t(right - left - above.width()) * above.height() +
                      int64_t(right - left - run.windowWidth) * run.windowHeight;
      if (extra <= kRectangleCost) {
        (*rects)[bandStart] = QRect(left, above.y(), right - left, above.height());
        same = true;
      }
    }
    if (same) {
      for (size_t k = 0; k < bandSize; ++k)
        (*rects)[bandStart + k].setBottom(run.windowY + run.windowHeight - 1);
    } else {
      bandStart = rects->size();
      for (size_t k = i; k < rowEnd; ++k) {
        rects->emplace_back(runs[k].windowX, runs[k].windowY, runs[k].windowWidth, runs[k].windowHeight);
      }
    }
    i = rowEnd;
  }
}

// The window's shared image at area, made again for a new size or a new
// native window; nullptr where the window's frames go to the backing store.
ShmImage* ShmFor(HostWindowRec* rec, QSize area) {
  if (!rec->shmWanted || rec->shmFailed || rec->gl || area.isEmpty()) return nullptr;
  auto xid = xcb_window_t(rec->window->winId());
  ShmImage* shm = rec->shm;
  if (shm && ShmImageWindow(shm) == xid && ShmImageWidth(shm) == area.width() &&
      ShmImageHeight(shm) == area.height()) {
    return shm;
  }
  DestroyShmImage(shm);
  rec->shm = CreateShmImage(XcbConnection(), xid, area.width(), area.height(), nullptr);
  rec->shmFailed = rec->shm == nullptr;
  rec->shmHoldsPicture = false;
  rec->storeImage = nullptr;  // a new image may reuse the old one's address
  return rec->shm;
}

// Puts the whole shared image again (black before the first frame): it
// holds the last picture with its bars, so a paused or hidden program's
// window is repaired without a frame. False where the window has none.
bool RepaintFromShm(HostWindowRec* rec, QSize area) {
  ShmImage* shm = ShmFor(rec, area);
  if (!shm) return false;
  if (!rec->shmHoldsPicture) {
    PaintBars(PictureMapping{}, ShmImagePixels(shm));
    rec->shmHoldsPicture = true;
  }
  ShmRect all{0, 0, area.width(), area.height()};
  PutShmImage(shm, &all, 1);
  return true;
}

// The frames that can be put from shared memory as they lie: 32 bits, rows
// without padding, and sides the protocol can name.
bool PutsAsTheyLie(uint32_t bitsPerPixel, uint32_t width, uint32_t height, uint32_t pitch) {
  return bitsPerPixel == 32 && pitch == width * 4 && width > 0 && height > 0 && width <= 32767 &&
         height <= 32767;
}

// Whether frames may go straight from shared memory onto the window: asked
// for, and the native window takes a 32-bit frame's pixels as they are
// (depth 24, so the frame's zero top byte is no alpha). Asked of the server
// once per native window.
bool DirectFits(HostWindowRec* rec) {
  xcb_connection_t* connection = XcbConnection();
  // Asking for the native window would make one before its time.
  if (!rec->directWanted || !connection || !rec->window || !rec->window->handle() || rec->gl) return false;
  auto xid = xcb_window_t(rec->window->winId());
  if (rec->directChecked == xid) return rec->directFits;
  rec->directChecked = xid;
  ShmPixelFormat format;
  rec->directFits = WindowShmFormat(connection, xid, &format) && format.depth == 24 &&
                    ShmFormatRefusal(format) == ShmRefusal::None;
  if (rec->directGc != 0) xcb_free_gc(connection, rec->directGc);
  rec->directGc = 0;
  if (rec->directFits) {
    rec->directGc = xcb_generate_id(connection);
    uint32_t values[] = {0 /* black */, 0 /* no exposures */};
    xcb_create_gc(connection, rec->directGc, xid, XCB_GC_FOREGROUND | XCB_GC_GRAPHICS_EXPOSURES, values);
  }
  return rec->directFits;
}

// Where a frame lies in shared memory it can be put from as it is: the
// window's own size, 32 bits, rows without padding. False otherwise.
bool DirectPlace(HostWindowRec* rec, const FrameImage& frame, SharedFramePlace* place) {
  QSize area = rec->window->size();
  if (!PutsAsTheyLie(frame.bitsPerPixel, frame.width, frame.height, frame.pitch) ||
      int(frame.width) != area.width() || int(frame.height) != area.height() || !DirectFits(rec)) {
    return false;
  }
  if (!FindSharedFrame(XcbConnection(), frame.pixels, size_t(frame.pitch) * frame.height, &place->segment,
                       &place->offset)) {
    return false;
  }
  place->rowPixels = int(frame.width);
  place->height = int(frame.height);
  return true;
}

// Puts the frame, or only its changed tiles when the previous frame was
// shown whole the same way, straight from its shared memory onto the
// window. False, with nothing done, where the frame cannot go that way.
bool PresentDirect(HostWindowRec* rec, const FrameImage& frame, const LetterboxRect& picture,
                   bool previousShownWhole) {
  SharedFramePlace place;
  if (!DirectPlace(rec, frame, &place)) return false;
  int width = int(frame.width), height = int(frame.height);
  bool newPlace = UpdatePictureMapping(&rec->mapping, width, height, picture);
  bool whole = !previousShownWhole || !frame.changedTiles || newPlace || !rec->presentedDirect ||
               rec->directPixels != frame.pixels;
  rec->shmRects.clear();
  if (whole) {
    rec->shmRects.push_back({0, 0, width, height});
  } else {
    ChangedRuns(frame, rec->mapping, &rec->runs);
    BandedRects(rec->runs, &rec->rects);
    for (const QRect& rect : rec->rects)
      rec->shmRects.push_back({rect.x(), rect.y(), rect.width(), rect.height()});
  }
  if (!rec->shmRects.empty()) {
    PutSharedFrame(XcbConnection(), rec->directChecked, rec->directGc, 24, place, width, rec->shmRects.data(),
                   rec->shmRects.size());
  }
  rec->presentedDirect = true;
  rec->directPixels = frame.pixels;
  rec->presentedShm = false;
  rec->storeImage = nullptr;  // the next frame through the store is drawn whole
  return true;
}

// Puts the last frame put from shared memory again, whole, when it is
// still there at the window's size; before any frame, where frames may come
// that way, paints the window black on the server without making the
// backing store's image. False where the backing store must repaint.
bool RepaintDirect(HostWindowRec* rec, QSize area) {
  xcb_connection_t* connection = XcbConnection();
  if (rec->presentedDirect) {
    FrameImage last;
    last.pixels = rec->directPixels;
    last.width = uint32_t(rec->frameWidth);
    last.height = uint32_t(rec->frameHeight);
    last.pitch = last.width * 4;
    SharedFramePlace place;
    if (DirectPlace(rec, last, &place)) {
      ShmRect all{0, 0, area.width(), area.height()};
      PutSharedFrame(connection, rec->directChecked, rec->directGc, 24, place, area.width(), &all, 1);
      return true;
    }
    rec->presentedDirect = false;
  }
  if (rec->window->painted || rec->shmWanted || !DirectFits(rec)) return false;
  xcb_rectangle_t all{0, 0, uint16_t(std::min(area.width(), 65535)),
                      uint16_t(std::min(area.height(), 65535))};
  xcb_poly_fill_rectangle(connection, rec->directChecked, rec->directGc, 1, &all);
  xcb_flush(connection);
  return true;
}

// Where a frame is drawn while the store paints: straight into the store's
// image when it is one of the window's size (direct), else into an image of
// our own copied across.
QImage* StoreTarget(HostWindowRec* rec, QBackingStore& store, QSize area, QImage** direct) {
  *direct = StoreImage(store.paintDevice(), area);
  if (*direct) return *direct;
  if (rec->shadow.size() != area) rec->shadow = QImage(area, QImage::Format_RGB32);
  return &rec->shadow;
}

// Draws the frame, or only its changed tiles when the previous frame was
// shown whole, and sends the window system only what was drawn. The frame
// goes into the window's shared image, put straight onto the window, where
// it has one; else straight into the backing store's image where that is
// one; elsewhere into an image of our own, copied across rectangle by
// rectangle.
void PresentWithPainter(HostWindowRec* rec, const FrameImage& frame, const LetterboxRect& picture,
                        bool previousShownWhole) {
  HostWindow* window = rec->window;
  QSize area = window->size();
  QBackingStore& store = window->Store();
  ShmImage* shm = ShmFor(rec, area);
  rec->presentedShm = shm != nullptr;
  if (!shm && store.size() != area) store.resize(area);
  QRect all(QPoint(0, 0), area);
  bool newPlace = UpdatePictureMapping(&rec->mapping, int(frame.width), int(frame.height), picture);
  const void* shmBits = shm ? static_cast<const void*>(ShmImagePixels(shm).bits) : nullptr;
  bool whole = !previousShownWhole || !frame.changedTiles || newPlace || area != rec->storeSize ||
               (shm && shmBits != rec->storeImage) || int(frame.bitsPerPixel) != rec->frameBits;
  QRegion region;
  if (whole) {
    region = QRegion(all);
  } else {
    ChangedRuns(frame, rec->mapping, &rec->runs);
    BandedRects(rec->runs, &rec->rects);
    region.setRects(rec->rects.data(), int(rec->rects.size()));
    if (region.isEmpty()) return;
  }

  // The store's image is asked for only once painting has begun: a Wayland
  // store hands out another of its buffers at each beginning, and the one
  // asked for before is the one the compositor still shows.
  QImage* direct = nullptr;
  QImage* target = nullptr;
  if (!shm) {
    store.beginPaint(region);
    target = StoreTarget(rec, store, area, &direct);
    if (!whole && target->constBits() != rec->storeImage) {
      // Not the image the last frame went into: this one is drawn whole.
      whole = true;
      region = QRegion(all);
      store.endPaint();
      store.beginPaint(region);
      target = StoreTarget(rec, store, area, &direct);
    }
  }
  const void* bits = shm ? shmBits : target->constBits();
  bool newStore = bits != rec->storeImage || area != rec->storeSize;
  WindowPixels pixels =
      shm ? ShmImagePixels(shm) : PixelsOf(target, direct && StoreAlphaShows(window, direct));
  // A store image with alpha comes to us cleared to transparent where painted.
  if (newPlace || newStore || (whole && target && target->hasAlphaChannel())) PaintBars(rec->mapping, pixels);
  if (whole) {
    DrawFramePart(frame, rec->mapping, 0, 0, int(frame.width), int(frame.height), pixels);
  } else {
    for (const ChangedRun& run : rec->runs) {
      DrawFramePart(frame, rec->mapping, run.x0, run.y0, run.x1, run.y1, pixels);
    }
  }
  if (shm) {
    rec->shmRects.clear();
    for (const QRect& rect : region)
      rec->shmRects.push_back({rect.x(), rect.y(), rect.width(), rect.height()});
    PutShmImage(shm, rec->shmRects.data(), rec->shmRects.size());
    rec->shmHoldsPicture = true;
  } else {
    if (!direct) {
      QPainter painter(store.paintDevice());
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      for (const QRect& rect : region) painter.drawImage(rect.topLeft(), rec->shadow, rect);
    }
    store.endPaint();
    store.flush(region);
  }
  rec->storeImage = bits;
  rec->storeSize = area;
  rec->storeIsImage = direct != nullptr;
  window->painted = true;
}

// Once OpenGL has failed the window stays with QPainter: its native window
// is made again as a raster window and shown as before.
void FallBackToPainter(HostWindowRec* rec) {
  DestroyGlPresenter(rec->gl);
  rec->gl = nullptr;
  rec->glFailed = false;
  MakeRasterWindow(rec->window);
  rec->window->painted = false;
  rec->shownWhole = false;
  ShowAndSettle(rec->window, rec->mode);
  PaceFrames(rec);  // a new native window
}

// The frame for the other monitors' windows, without a copy where it can
// be. Those draw it with QPainter, from 32 bits as they always did: where
// such windows exist, 16- and 24-bit frames are converted first.
QImage FrameForCovers(HostWindowRec* rec, const FrameImage& frame) {
  if (frame.bitsPerPixel != 32 && !MonitorCoverWindows().empty()) return FrameAsImage(rec, frame);
  QImage::Format format = frame.bitsPerPixel == 32   ? QImage::Format_RGB32
                          : frame.bitsPerPixel == 24 ? QImage::Format_BGR888
                                                     : QImage::Format_RGB16;
  return QImage(frame.pixels, int(frame.width), int(frame.height), qsizetype(frame.pitch), format);
}

void QtPresent(WindowHandle handle, const FrameImage& frame) {
  HostWindowRec* rec = FindWindow(handle);
  if (!rec) return;
  // Whatever happens below short of showing this frame whole or its
  // changes, the next frame's changes are no longer enough.
  bool shownWhole = rec->shownWhole;
  rec->shownWhole = false;
  if (rec->foreignGone || !frame.pixels || frame.width == 0 || frame.height == 0) return;
  if (frame.bitsPerPixel != 16 && frame.bitsPerPixel != 24 && frame.bitsPerPixel != 32) return;
  if (frame.width > uint32_t(INT_MAX / 4) || frame.height > uint32_t(INT_MAX / 4)) return;
  HostWindow* window = rec->window;
  if (rec->glFailed) {
    FallBackToPainter(rec);
    shownWhole = false;
  }
  if (!window->isExposed()) return;
  // Events come in while this waits: the window is looked at again after.
  WindowHandle paced = rec->handle;
  WaitForRefresh(paced);
  rec = FindWindow(paced);
  if (!rec || rec->foreignGone) return;
  window = rec->window;
  if (!window->isExposed()) return;
  QSize area = window->size();
  if (area.isEmpty()) return;

  int width = int(frame.width), height = int(frame.height);
  LetterboxRect picture = FitLetterbox(area.width(), area.height(), width, height);
  if (rec->gl) {
    QImage image = FrameAsImage(rec, frame);
    if (!GlPresentFrame(rec->gl, window, image.constBits(), width, height, int(image.bytesPerLine() / 4))) {
      FallBackToPainter(rec);
      shownWhole = false;
      if (!window->isExposed()) return;
    }
  }
  if (!rec->gl) {
    if (!PresentDirect(rec, frame, picture, shownWhole)) {
      rec->presentedDirect = false;
      PresentWithPainter(rec, frame, picture, shownWhole);
    }
    rec->shownWhole = true;
  }
  rec->frameWidth = width;
  rec->frameHeight = height;
  rec->frameBits = int(frame.bitsPerPixel);
  rec->picture = picture;
  PresentOnMonitorCovers(rec->handle, FrameForCovers(rec, frame), picture);
  RefreshPresented(rec->handle);
}

void QtDesktop(uint32_t* width, uint32_t* height, uint32_t* bitsPerPixel) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) {
    *width = *height = 0;
    *bitsPerPixel = 32;
    return;
  }
  *width = uint32_t(screen->size().width());
  *height = uint32_t(screen->size().height());
  // Bits a pixel takes in memory: colour depth 24 is stored in 32.
  int depth = screen->depth();
  *bitsPerPixel = depth > 16 ? 32 : uint32_t(depth);
}

unsigned QtDepths() { return kDepth16 | kDepth24 | kDepth32; }

// Shared memory only for frames that can be put from it as they are.
uint8_t* QtFrameMemory(WindowHandle handle, uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                       uint32_t pitch) {
  HostWindowRec* rec = FindWindow(handle);
  if (!rec || rec->foreignGone || !PutsAsTheyLie(bitsPerPixel, width, height, pitch) || !DirectFits(rec))
    return nullptr;
  return CreateSharedFrame(XcbConnection(), size_t(pitch) * height);
}

// A host's window fills a monitor when it is the root window or covers one
// monitor's whole rectangle, in the server's pixels.
bool QtFillsMonitor(WindowHandle handle) {
  HostWindowRec* rec = FindWindow(handle);
  if (!rec || rec->mode != WindowMode::Foreign) return rec && rec->mode == WindowMode::FullScreen;
  xcb_connection_t* connection = XcbConnection();
  if (!connection || rec->foreignGone) return false;
  xcb_get_geometry_reply_t* geometry =
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, rec->foreignId), nullptr);
  if (!geometry) return false;
  xcb_window_t root = geometry->root;
  std::free(geometry);
  if (root == rec->foreignId) return true;
  xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
      connection, xcb_translate_coordinates(connection, rec->foreignId, root, 0, 0), nullptr);
  if (!at) return false;
  QRect window(at->dst_x, at->dst_y, int(rec->foreignWidth), int(rec->foreignHeight));
  std::free(at);
  for (QScreen* screen : QGuiApplication::screens()) {
    QRect g = screen->geometry();
    qreal r = screen->devicePixelRatio();
    if (window.contains(
            QRect(qRound(g.x() * r), qRound(g.y() * r), qRound(g.width() * r), qRound(g.height() * r))))
      return true;
  }
  return false;
}

const WindowService kQtWindows = {QtCreate, QtDestroy,     QtClientSize,       QtPresent,     QtDesktop,
                                  QtDepths, QtFrameMemory, ReleaseSharedFrame, QtFillsMonitor};

}  // namespace

void InstallQtWindowService() { gWindows = &kQtWindows; }

WindowHandle CreateQtContentWindow(QWindow** window) {
  auto rec = std::make_unique<HostWindowRec>();
  rec->handle = gQtWindows.nextHandle++;
  rec->mode = WindowMode::Ordinary;
  rec->window = new HostWindow(rec.get(), nullptr);
  ChoosePresenter(rec.get());
  *window = rec->window;
  WindowHandle handle = rec->handle;
  gQtWindows.windows.push_back(std::move(rec));
  return handle;
}

void SetQtContentContainer(WindowHandle handle, QWidget* container) {
  if (HostWindowRec* rec = FindWindow(handle)) rec->container = container;
}

void SetQtContentFrameExposed(WindowHandle handle, bool exposed) {
  HostWindowRec* rec = FindWindow(handle);
  if (!rec) return;
  rec->frameExposed = exposed;
  PostVisibility(rec);
}

void ApplyQtWindowWork() {
  ApplyMonitorCoverWork();
  for (auto& rec : gQtWindows.windows) {
    if (rec->ownWatchPending) WatchOwnVisibility(rec.get());
    if (!rec->foreignResizePending) continue;
    rec->foreignResizePending = false;
    if (!rec->foreignGone) rec->window->setGeometry(0, 0, int(rec->foreignWidth), int(rec->foreignHeight));
  }
}

WindowHandle QtMainWindowHandle() {
  return gQtWindows.windows.empty() ? 0 : gQtWindows.windows.front()->handle;
}

bool QtWindowIsForeign(WindowHandle window) {
  HostWindowRec* rec = FindWindow(window);
  return rec && rec->mode == WindowMode::Foreign;
}

void ResetQtWindows() {
  for (auto& rec : gQtWindows.windows) DeleteWindow(rec.get());
  gQtWindows.windows.clear();
  ResetRefreshPacing();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWindow* QtHostWindow(WindowHandle window) {
  HostWindowRec* rec = FindWindow(window);
  return rec ? rec->window : nullptr;
}

bool QtHostPresentsWithOpenGL(WindowHandle window, const char** renderer) {
  HostWindowRec* rec = FindWindow(window);
  if (!rec || !rec->gl) return false;
  if (renderer) *renderer = GlRendererName(rec->gl);
  return true;
}

bool QtHostPresentsIntoStoreImage(WindowHandle window) {
  HostWindowRec* rec = FindWindow(window);
  return rec && !rec->gl && !rec->presentedShm && !rec->presentedDirect && rec->storeIsImage;
}

bool QtHostPresentsStraightFromFrame(WindowHandle window) {
  HostWindowRec* rec = FindWindow(window);
  return rec && !rec->gl && rec->presentedDirect;
}

size_t QtHostSharedFrameCount() { return SharedFrameCount(); }

bool QtHostPresentsThroughShm(WindowHandle window) {
  HostWindowRec* rec = FindWindow(window);
  return rec && !rec->gl && rec->presentedShm;
}

bool QtHostShmWaits(WindowHandle window, int64_t* nanoseconds, int64_t* waits) {
  HostWindowRec* rec = FindWindow(window);
  if (!rec || !rec->shm) return false;
  ShmImageWaitTotals(rec->shm, nanoseconds, waits);
  return true;
}

void QtHostFailNextOpenGLPresent(WindowHandle window) {
  if (HostWindowRec* rec = FindWindow(window); rec && rec->gl) FailNextGlPresent(rec->gl);
}
