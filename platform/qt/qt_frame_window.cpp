// The player's frame over Qt: a main window with a menu bar built from the
// menu table and the drawing window inside it. Like every toolkit callback
// here, its handlers only post messages: the menu's actions become
// WM_COMMAND, the user's resizes WM_SIZING and WM_SIZE, minimising and the
// focus WM_ACTIVATE, the close button WM_CLOSE.
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEvent>
#include <QtCore/QPointer>
#include <QtGui/QActionGroup>
#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QWindow>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "platform/frame_window.h"
#include "platform/qt/qt_host_internal.h"

namespace {

LParam PackSize(int w, int h) { return LParam((uint32_t(w) & 0xFFFFu) | ((uint32_t(h) & 0xFFFFu) << 16)); }

// The smallest client width: the menu bar's titles must stay readable.
constexpr int kLeastClientWidth = 112;

class PlayerFrame final : public QMainWindow {
 public:
  PlayerFrame(WindowHandle handle, QWindow* content, const MenuTemplate* menu, int count) : handle_(handle) {
    BuildMenu(menu, count);
    container_ = QWidget::createWindowContainer(content, this);
    container_->setFocusPolicy(Qt::StrongFocus);
    container_->setMinimumSize(1, 1);
    container_->installEventFilter(this);
    setCentralWidget(container_);
  }

  QWidget* Container() const { return container_; }

  void SetCheck(int id, bool checked) {
    auto it = actions_.find(id);
    if (it == actions_.end()) return;
    it->second->setCheckable(true);
    it->second->setChecked(checked);
  }

  void ExpectSize(QSize size) { expected_ = size; }

  int MinimumClientWidth() const { return std::max(kLeastClientWidth, menuBar()->sizeHint().width()); }

 protected:
  void closeEvent(QCloseEvent* e) override {
    // The program closes the window once it has written its options.
    PostMessage(handle_, WM_CLOSE, 0, 0);
    e->ignore();
  }

  void moveEvent(QMoveEvent* e) override {
    QMainWindow::moveEvent(e);
    // A drag of the left or top edge moves and resizes at once; the size is
    // compared when the picture's area has followed it.
    if (geometry().size() == last_.size()) last_ = geometry();
  }

  void changeEvent(QEvent* e) override {
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange) {
      bool minimised = (windowState() & Qt::WindowMinimized) != 0;
      if (minimised != minimised_) {
        minimised_ = minimised;
        if (minimised) PostMessage(handle_, WM_SIZE, SIZE_MINIMIZED, 0);
        PostMessage(handle_, WM_ACTIVATE, minimised ? WParam(1u << 16) : WParam(WA_ACTIVE), 0);
      }
    } else if (e->type() == QEvent::ActivationChange) {
      WParam state = isActiveWindow() ? WA_ACTIVE : WA_INACTIVE;
      if (isActiveWindow() && container_) container_->setFocus();
      PostMessage(handle_, WM_ACTIVATE, state | (minimised_ ? (1u << 16) : 0u), 0);
    }
  }

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (watched == windowHandle() && e->type() == QEvent::Expose)
      SetQtContentFrameExposed(handle_, windowHandle()->isExposed());
    if (watched == container_ && e->type() == QEvent::Resize && !(windowState() & Qt::WindowMinimized)) {
      // The frame's layout resizes the picture's area before the frame
      // itself hears of its new size, so the edge is found here.
      QRect now = geometry();
      uint32_t edge = 0;
      if (expected_.isValid() && now.size() == expected_) {
        expected_ = QSize();  // a size the program asked for is no drag of the user's
      } else if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) && last_.isValid()) {
        edge = EdgeOf(last_, now);
      }
      last_ = now;
      if (edge != 0) PostMessage(handle_, WM_SIZING, edge, 0);
      WParam kind = (windowState() & Qt::WindowMaximized) ? SIZE_MAXIMIZED : SIZE_RESTORED;
      PostMessage(handle_, WM_SIZE, kind, PackSize(container_->width(), container_->height()));
    }
    return QMainWindow::eventFilter(watched, e);
  }

 private:
  // Which edge the user dragged, from the rectangle before and after.
  static uint32_t EdgeOf(const QRect& before, const QRect& after) {
    bool widthChanged = before.width() != after.width();
    bool heightChanged = before.height() != after.height();
    bool left = widthChanged && before.left() != after.left();
    bool top = heightChanged && before.top() != after.top();
    if (widthChanged && heightChanged) {
      if (top) return left ? WMSZ_TOPLEFT : WMSZ_TOPRIGHT;
      return left ? WMSZ_BOTTOMLEFT : WMSZ_BOTTOMRIGHT;
    }
    if (widthChanged) return left ? WMSZ_LEFT : WMSZ_RIGHT;
    if (heightChanged) return top ? WMSZ_TOP : WMSZ_BOTTOM;
    return 0;
  }

  void BuildMenu(const MenuTemplate* menu, int count) {
    std::vector<QMenu*> open;
    std::vector<QActionGroup*> groups;
    for (int i = 0; i < count; ++i) {
      const MenuTemplate& m = menu[i];
      QString text = QString::fromUtf8(m.text ? m.text : "");
      switch (m.kind) {
        case MenuKind::Popup: {
          QMenu* popup = open.empty() ? menuBar()->addMenu(text) : open.back()->addMenu(text);
          // Keys go back to the picture once a menu closes, not to the bar.
          if (open.empty()) connect(popup, &QMenu::aboutToHide, this, [this] { container_->setFocus(); });
          open.push_back(popup);
          groups.push_back(nullptr);
          break;
        }
        case MenuKind::Item:
        case MenuKind::Radio: {
          if (open.empty()) break;
          QAction* action = open.back()->addAction(text);
          int id = m.id;
          WindowHandle handle = handle_;
          connect(action, &QAction::triggered, this,
                  [handle, id] { PostMessage(handle, WM_COMMAND, WParam(id), 0); });
          if (m.kind == MenuKind::Radio) {
            if (!groups.back()) groups.back() = new QActionGroup(open.back());
            action->setCheckable(true);
            groups.back()->addAction(action);
          }
          actions_[id] = action;
          break;
        }
        case MenuKind::Separator:
          if (!open.empty()) open.back()->addSeparator();
          break;
        case MenuKind::End:
          if (!open.empty()) {
            open.pop_back();
            groups.pop_back();
          }
          break;
      }
    }
  }

  WindowHandle handle_;
  QWidget* container_ = nullptr;
  std::map<int, QAction*> actions_;
  QRect last_;
  QSize expected_;
  bool minimised_ = false;
};

struct QtFramesRec {
  std::map<WindowHandle, QPointer<PlayerFrame>> frames;
};

QtFramesRec gQtFrames;

PlayerFrame* FrameOf(WindowHandle window) {
  auto it = gQtFrames.frames.find(window);
  return it == gQtFrames.frames.end() ? nullptr : it->second.data();
}

WindowHandle QtFrameCreate(const char* title, int32_t left, int32_t top, int32_t width, int32_t height,
                           const MenuTemplate* menu, int menuCount) {
  // Frames destroyed with their window leave empty entries behind.
  std::erase_if(gQtFrames.frames, [](const auto& entry) { return entry.second.isNull(); });
  QWindow* content = nullptr;
  QtPowerWatchSleep();
  WindowHandle handle = CreateQtContentWindow(&content);
  if (handle == 0) return 0;
  auto* frame = new PlayerFrame(handle, content, menu, menuCount);
  SetQtContentContainer(handle, frame->Container());
  frame->setWindowTitle(QString::fromUtf8(title ? title : ""));
  frame->resize(std::max(1, int(width)), std::max(1, int(height)));
  if (left != kDefaultPosition) frame->move(int(left), int(top));
  gQtFrames.frames[handle] = frame;
  PostMessage(handle, WM_GETMINMAXINFO, 0, LParam(frame->MinimumClientWidth()));
  return handle;
}

// The frame's top level exists once it is shown; its expose events tell
// when it can be seen.
void WatchFrameExposure(PlayerFrame* frame) {
  if (QWindow* top = frame->windowHandle()) {
    top->removeEventFilter(frame);
    top->installEventFilter(frame);
  }
}

void QtFrameShow(WindowHandle window, int showState) {
  PlayerFrame* frame = FrameOf(window);
  if (!frame) return;
  switch (showState) {
    case kShowMinimised:
      frame->showMinimized();
      WatchFrameExposure(frame);
      return;
    case kShowMaximised:
      frame->showMaximized();
      break;
    default:
      frame->showNormal();
      break;
  }
  frame->activateWindow();
  frame->Container()->setFocus();
  WatchFrameExposure(frame);
  // Wait briefly for the window system to map it, so the first frames are
  // not thrown away.
  QElapsedTimer settle;
  settle.start();
  while (!(frame->windowHandle() && frame->windowHandle()->isExposed()) && settle.elapsed() < 250)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool QtFrameGetPlacement(WindowHandle window, FramePlacement* placement) {
  PlayerFrame* frame = FrameOf(window);
  if (!frame) return false;
  Qt::WindowStates state = frame->windowState();
  bool normal = !(state & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
  QRect rect = normal || !frame->normalGeometry().isValid() ? frame->geometry() : frame->normalGeometry();
  // Wayland keeps windows' positions from their clients.
  const bool positioned = !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  placement->left = positioned ? rect.x() : kDefaultPosition;
  placement->top = positioned ? rect.y() : kDefaultPosition;
  placement->width = rect.width();
  placement->height = rect.height();
  placement->showState = (state & Qt::WindowMinimized)   ? kShowMinimised
                         : (state & Qt::WindowMaximized) ? kShowMaximised
                                                         : kShowNormal;
  return true;
}

void QtFrameSetPlacement(WindowHandle window, const FramePlacement& placement) {
  PlayerFrame* frame = FrameOf(window);
  if (!frame) return;
  frame->setGeometry(placement.left, placement.top, std::max(1, int(placement.width)),
                     std::max(1, int(placement.height)));
  if (frame->isVisible()) QtFrameShow(window, placement.showState);
}

void QtFrameSetClientSize(WindowHandle window, uint32_t width, uint32_t height) {
  PlayerFrame* frame = FrameOf(window);
  if (!frame) return;
  QSize chrome = frame->size() - frame->Container()->size();
  QSize wanted(int(width) + chrome.width(), int(height) + chrome.height());
  if (wanted == frame->size()) return;
  frame->ExpectSize(wanted);
  frame->resize(wanted);
}

void QtFrameSetTopmost(WindowHandle window, bool topmost) {
  PlayerFrame* frame = FrameOf(window);
  if (!frame) return;
  if (!frame->isVisible()) {
    frame->setWindowFlag(Qt::WindowStaysOnTopHint, topmost);
    return;
  }
  // A shown widget given new flags is hidden and made again; its native
  // window instead asks the window manager for the "above" state.
  if (QWindow* native = frame->windowHandle()) native->setFlag(Qt::WindowStaysOnTopHint, topmost);
}

void QtFrameSetMenuCheck(WindowHandle window, int id, bool checked) {
  if (PlayerFrame* frame = FrameOf(window)) frame->SetCheck(id, checked);
}

const FrameWindowService kQtFrameWindows = {
    QtFrameCreate,        QtFrameShow,       QtFrameGetPlacement, QtFrameSetPlacement,
    QtFrameSetClientSize, QtFrameSetTopmost, QtFrameSetMenuCheck,
};

}  // namespace

void InstallQtFrameWindowService() { gFrameWindows = &kQtFrameWindows; }
