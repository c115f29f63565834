// The cover windows over the monitors the picture is not on.
#include "platform/qt/monitor_cover.h"

#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QtCore/QCoreApplication>
#include <QtGui/QBackingStore>
#include <QtGui/QExposeEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <algorithm>

#include "platform/key_state.h"
#include "platform/qt/monitor_plan.h"
#include "platform/qt/mouse_messages.h"

namespace {

class CoverWindow;
class ScreenWatcher;

struct MonitorCoversRec {
  WindowHandle handle = 0;  // the picture's window, which all input goes to
  QWindow* main = nullptr;  // its toolkit window; not owned
  bool allMonitors = false;
  std::vector<CoverWindow*> covers;  // owned
  ScreenWatcher* watcher = nullptr;  // owned
  bool stale = false;                // monitors changed since the covers were laid out
  LetterboxRect picture;             // where the last frame landed in main
  int frameWidth = 0;                // that frame's size; 0 before the first
  int frameHeight = 0;
};

MonitorCoversRec gMonitorCovers;

// Marks the layout stale; the work itself waits for ApplyMonitorCoverWork.
class ScreenWatcher final : public QObject {
 public:
  void MarkStale() { gMonitorCovers.stale = true; }
  void Watch(QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, this, &ScreenWatcher::MarkStale,
                     Qt::UniqueConnection);
  }
};

// Input on a cover is measured in the picture's frame pixels, the grid
// carried on past the picture, so a move on another monitor has the same
// size as the same move over the picture, and a move from one monitor to
// the other is as long as it looks.
void PostCoverMouse(const QMouseEvent& event) {
  QPoint local = gMonitorCovers.main->mapFromGlobal(event.globalPosition().toPoint());
  int x = local.x(), y = local.y();
  if (gMonitorCovers.frameWidth > 0) {
    WindowToFramePosition(gMonitorCovers.picture, gMonitorCovers.frameWidth, gMonitorCovers.frameHeight, x, y,
                          &x, &y);
  }
  // The message carries 16-bit signed halves.
  x = std::clamp(x, -32768, 32767);
  y = std::clamp(y, -32768, 32767);
  PostMouseMessage(gMonitorCovers.handle, event, x, y);
}

class CoverWindow final : public QWindow {
 public:
  explicit CoverWindow(const QRect& area) : area_(area), store_(this) {}

  const QRect& Area() const { return area_; }

  // Draws image scaled to fit with black bars, or all black for nullptr.
  void Paint(const QImage* image) {
    QSize size = this->size();
    if (size.isEmpty()) return;
    if (store_.size() != size) store_.resize(size);
    QRect all(QPoint(0, 0), size);
    store_.beginPaint(all);
    QPainter painter(store_.paintDevice());
    // Opaque, as in the picture's window: a frame's top byte is 0.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    if (image && !image->isNull()) {
      LetterboxRect fit = FitLetterbox(size.width(), size.height(), image->width(), image->height());
      QRect target(fit.x, fit.y, fit.width, fit.height);
      painter.drawImage(target, *image);
      // Only the bars around the picture: filling the whole window first
      // would write every pixel twice a frame.
      painter.fillRect(QRect(0, 0, size.width(), target.top()), Qt::black);
      painter.fillRect(QRect(0, target.bottom() + 1, size.width(), size.height() - target.bottom() - 1),
                       Qt::black);
      painter.fillRect(QRect(0, target.top(), target.left(), target.height()), Qt::black);
      painter.fillRect(
          QRect(target.right() + 1, target.top(), size.width() - target.right() - 1, target.height()),
          Qt::black);
    } else {
      painter.fillRect(all, Qt::black);
    }
    painter.end();
    store_.endPaint();
    store_.flush(all);
    painted_ = true;
  }

 protected:
  bool event(QEvent* e) override {
    switch (e->type()) {
      case QEvent::Close:
        // Closing a cover is asking the saver to end, as for its main window.
        PostMessage(gMonitorCovers.handle, WM_CLOSE, 0, 0);
        e->ignore();
        return true;
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        // The picture's window turns keys into messages with its rules.
        if (gMonitorCovers.main) QCoreApplication::sendEvent(gMonitorCovers.main, e);
        return true;
      case QEvent::MouseMove:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
        PostCoverMouse(*static_cast<QMouseEvent*>(e));
        return true;
      case QEvent::MouseButtonDblClick:
        return true;  // the press before it was already posted
      case QEvent::FocusOut:
        ReleaseAllKeys();
        break;
      default:
        break;
    }
    return QWindow::event(e);
  }

  void exposeEvent(QExposeEvent*) override {
    if (!isExposed()) return;
    // A plain black cover is the X server's own background: no image of
    // ours, a monitor-sized buffer each, is kept for it.
    if (!gMonitorCovers.allMonitors && ServerPaintsBlack()) return;
    // Black at once, before any frame: the desktop must not show through.
    if (!painted_ || store_.size() != size()) {
      Paint(nullptr);
      return;
    }
    store_.flush(QRect(QPoint(0, 0), size()));
  }

 public:
  // True once the server fills this window with black itself (X11 only).
  bool ServerPaintsBlack() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return false;
    auto xid = xcb_window_t(winId());
    if (xid == serverBlack_) return true;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    uint32_t black = screens.rem ? screens.data->black_pixel : 0;
    xcb_change_window_attributes(connection, xid, XCB_CW_BACK_PIXEL, &black);
    xcb_clear_area(connection, 0, xid, 0, 0, 0, 0);
    xcb_flush(connection);
    serverBlack_ = xid;
    return true;
  }

 private:
  QRect area_;
  QBackingStore store_;
  bool painted_ = false;
  xcb_window_t serverBlack_ = 0;  // the native window given a black background
};

QScreen* ScreenAt(const QRect& area) {
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry() == area) return screen;
  }
  return nullptr;
}

void ShowCover(const QRect& area) {
  auto* cover = new CoverWindow(area);
  cover->setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  if (QScreen* screen = ScreenAt(area)) cover->setScreen(screen);
  cover->setGeometry(area);
  cover->setCursor(Qt::BlankCursor);
  cover->setTitle(QStringLiteral("Prismora"));
  // As showFullScreen() but without asking for the focus, which stays with
  // the picture's window.
  cover->setWindowStates(Qt::WindowFullScreen);
  // Black from the moment it is mapped, before any expose reaches us.
  if (!gMonitorCovers.allMonitors) {
    cover->create();
    cover->ServerPaintsBlack();
  }
  cover->setVisible(true);
  gMonitorCovers.covers.push_back(cover);
}

// The picture follows the primary monitor, which may be another one than
// before or one of a new size. Mouse positions are measured from the
// picture, so the saver is told to measure moves afresh.
void FollowPrimary(QScreen* primary) {
  QWindow* main = gMonitorCovers.main;
  QRect area = primary->geometry();
  if (main->geometry() == area) return;
  main->setScreen(primary);
  main->setGeometry(area);
  if (main->isVisible()) main->showFullScreen();
  LParam size = LParam((uint32_t(area.width()) & 0xFFFFu) | ((uint32_t(area.height()) & 0xFFFFu) << 16));
  PostMessage(gMonitorCovers.handle, WM_DISPLAYCHANGE, WParam(primary->depth()), size);
}

void LayOutCovers() {
  gMonitorCovers.stale = false;
  QScreen* primary = QGuiApplication::primaryScreen();
  std::vector<QRect> monitors;
  for (QScreen* screen : QGuiApplication::screens()) {
    gMonitorCovers.watcher->Watch(screen);
    monitors.push_back(screen->geometry());
  }
  if (primary) FollowPrimary(primary);
  std::vector<QRect> plan = PlanMonitorCovers(monitors, primary ? primary->geometry() : QRect());

  std::vector<CoverWindow*> kept;
  for (CoverWindow* cover : gMonitorCovers.covers) {
    auto planned = std::find(plan.begin(), plan.end(), cover->Area());
    if (planned == plan.end()) {
      delete cover;
      continue;
    }
    plan.erase(planned);
    kept.push_back(cover);
  }
  gMonitorCovers.covers = kept;
  for (const QRect& area : plan) ShowCover(area);
  // Where a monitor overlaps the primary, the picture stays on top.
  if (!plan.empty()) gMonitorCovers.main->raise();
}

void DeleteCovers() {
  for (CoverWindow* cover : gMonitorCovers.covers) delete cover;
  gMonitorCovers.covers.clear();
}

}  // namespace

void StartMonitorCovers(WindowHandle handle, QWindow* main, bool allMonitors) {
  StopMonitorCovers(gMonitorCovers.handle);
  if (!main || !qGuiApp) return;
  gMonitorCovers.handle = handle;
  gMonitorCovers.main = main;
  gMonitorCovers.allMonitors = allMonitors;
  auto* watcher = new ScreenWatcher;
  gMonitorCovers.watcher = watcher;
  QObject::connect(qGuiApp, &QGuiApplication::screenAdded, watcher, &ScreenWatcher::MarkStale);
  QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, watcher, &ScreenWatcher::MarkStale);
  QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, watcher, &ScreenWatcher::MarkStale);
  LayOutCovers();
}

void StopMonitorCovers(WindowHandle handle) {
  if (handle == 0 || handle != gMonitorCovers.handle) return;
  DeleteCovers();
  delete gMonitorCovers.watcher;
  gMonitorCovers = MonitorCoversRec{};
}

void PresentOnMonitorCovers(WindowHandle handle, const QImage& image, const LetterboxRect& picture) {
  if (handle == 0 || handle != gMonitorCovers.handle) return;
  gMonitorCovers.picture = picture;
  gMonitorCovers.frameWidth = image.width();
  gMonitorCovers.frameHeight = image.height();
  if (!gMonitorCovers.allMonitors) return;
  for (CoverWindow* cover : gMonitorCovers.covers) {
    if (cover->isExposed()) cover->Paint(&image);
  }
}

void ApplyMonitorCoverWork() {
  if (gMonitorCovers.main && gMonitorCovers.stale) LayOutCovers();
}

std::vector<QWindow*> MonitorCoverWindows() {
  return std::vector<QWindow*>(gMonitorCovers.covers.begin(), gMonitorCovers.covers.end());
}
