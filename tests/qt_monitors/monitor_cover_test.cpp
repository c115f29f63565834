// Full screen on a desktop of three monitors (the offscreen platform's
// screen configuration in three_monitors.json; it takes the screens in the
// order of their names, the first as the primary): the covers over the
// other monitors, what they show, and their input reaching the picture's
// window.
#include "platform/qt/monitor_cover.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/qt/qt_host.h"
#include "platform/window.h"
#include "tests/qt/qt_test_support.h"

namespace {

const QRect kPrimary(0, 0, 800, 600);
const QRect kRight(800, 0, 400, 200);
const QRect kLeft(-640, 100, 640, 480);

class MonitorCoverTest : public QtHostTest {
 protected:
  void SetUp() override {
    // Before the application exists: it reads its screens once.
    setenv("QT_QPA_PLATFORM", "offscreen:configfile=" PRISMORA_MONITORS_CONFIG, 1);
    QtHostTest::SetUp();
    ASSERT_EQ(QGuiApplication::screens().size(), 3) << "the screen configuration was not read";
  }

  WindowHandle CreateFullScreen(bool allMonitors) {
    WindowRequest request;
    request.mode = WindowMode::FullScreen;
    request.allMonitors = allMonitors;
    WindowHandle handle = gWindows->create(request);
    PumpAfterNextMillisecond();
    TakeMessages();
    return handle;
  }

  static QWindow* CoverAt(const QRect& area) {
    for (QWindow* cover : MonitorCoverWindows())
      if (cover->geometry() == area) return cover;
    return nullptr;
  }
};

QImage Contents(QWindow* window) {
  return window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

// Pixels of the image that are not black.
int LitPixels(const QImage& image) {
  int lit = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) lit += Rgb(image, x, y) != 0;
  return lit;
}

// A 640x480 frame, red on the left half and blue on the right.
struct TwoColourFrame {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(640 * 480);
  TwoColourFrame() {
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) pixels[size_t(y * 640 + x)] = x < 320 ? 0xFF0000u : 0x0000FFu;
  }
  FrameImage Image() const {
    return {reinterpret_cast<const uint8_t*>(pixels.data()), 640 * 4, 640, 480, 32};
  }
};

TEST_F(MonitorCoverTest, FullScreenCoversEveryOtherMonitorInBlack) {
  WindowHandle handle = CreateFullScreen(false);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(QtHostWindow(handle)->geometry(), kPrimary);
  std::vector<QWindow*> covers = MonitorCoverWindows();
  ASSERT_EQ(covers.size(), 2u);
  for (const QRect& area : {kRight, kLeft}) {
    QWindow* cover = CoverAt(area);
    ASSERT_NE(cover, nullptr) << area.x();
    EXPECT_TRUE(cover->isVisible());
    EXPECT_TRUE(cover->flags() & Qt::FramelessWindowHint);
    EXPECT_EQ(cover->cursor().shape(), Qt::BlankCursor);
  }
  TwoColourFrame frame;
  gWindows->present(handle, frame.Image());
  PumpAfterNextMillisecond();
  EXPECT_EQ(Rgb(Contents(QtHostWindow(handle)), 100, 300), 0xFF0000u) << "the picture is on the primary";
  for (QWindow* cover : covers) EXPECT_EQ(LitPixels(Contents(cover)), 0) << cover->geometry().x();
}

TEST_F(MonitorCoverTest, AllMonitorsShowsEachFrameOnEveryCover) {
  WindowHandle handle = CreateFullScreen(true);
  ASSERT_NE(handle, 0u);
  QWindow* right = CoverAt(kRight);
  QWindow* left = CoverAt(kLeft);
  ASSERT_NE(right, nullptr);
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(LitPixels(Contents(right)), 0) << "black before the first frame";
  TwoColourFrame frame;
  gWindows->present(handle, frame.Image());
  // The left cover is 4:3, as the frame: it fills it. The right one is
  // 400x200: the frame is 267x200 there from x = 66, with black bars.
  struct {
    QWindow* cover;
    int x, y;
    uint32_t rgb;
  } cases[] = {
      {left, 0, 0, 0xFF0000u},      {left, 319, 240, 0xFF0000u}, {left, 320, 240, 0x0000FFu},
      {left, 639, 479, 0x0000FFu},  {right, 10, 100, 0u},        {right, 70, 100, 0xFF0000u},
      {right, 330, 100, 0x0000FFu}, {right, 395, 100, 0u},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rgb(Contents(c.cover), c.x, c.y), c.rgb)
        << c.cover->geometry().x() << ": " << c.x << "," << c.y;
  }
}

TEST_F(MonitorCoverTest, InputOnACoverReachesThePicturesWindow) {
  WindowHandle handle = CreateFullScreen(false);
  ASSERT_NE(handle, 0u);
  QWindow* right = CoverAt(kRight);
  QWindow* left = CoverAt(kLeft);
  ASSERT_NE(right, nullptr);
  ASSERT_NE(left, nullptr);
  auto mouse = [](QWindow* cover, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QCoreApplication::postEvent(cover, new QMouseEvent(type, QPointF(at), QPointF(cover->mapToGlobal(at)),
                                                       button, buttons, Qt::NoModifier));
    PumpAfterNextMillisecond();
    return TakeMessages();
  };
  auto pack = [](int x, int y) { return LParam((uint32_t(x) & 0xFFFFu) | ((uint32_t(y) & 0xFFFFu) << 16)); };

  // Before any frame, positions are the picture window's own pixels.
  std::vector<Message> messages = mouse(right, QEvent::MouseMove, QPoint(10, 20), Qt::NoButton);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].window, handle);
  EXPECT_EQ(messages[0].message, uint32_t(WM_MOUSEMOVE));
  EXPECT_EQ(messages[0].lParam, pack(810, 20));

  // A 640x480 frame fills the 800x600 primary: 1.25 window pixels a frame
  // pixel, carried on over the other monitors.
  TwoColourFrame frame;
  gWindows->present(handle, frame.Image());
  struct {
    QWindow* cover;
    QEvent::Type type;
    Qt::MouseButton button;
    QPoint at;
    uint32_t message;
    int frameX, frameY;
  } cases[] = {
      {right, QEvent::MouseMove, Qt::NoButton, {10, 20}, WM_MOUSEMOVE, 648, 16},     // 810.5, 20.5 / 1.25
      {right, QEvent::MouseMove, Qt::NoButton, {399, 199}, WM_MOUSEMOVE, 959, 159},  // 1199.5, 199.5
      {left, QEvent::MouseMove, Qt::NoButton, {0, 0}, WM_MOUSEMOVE, -512, 80},       // -639.5, 100.5
      {left, QEvent::MouseMove, Qt::NoButton, {639, 479}, WM_MOUSEMOVE, -1, 463},    // -0.5, 579.5
      {right, QEvent::MouseButtonPress, Qt::LeftButton, {10, 20}, WM_LBUTTONDOWN, 648, 16},
      {left, QEvent::MouseButtonPress, Qt::RightButton, {0, 0}, WM_RBUTTONDOWN, -512, 80},
      {left, QEvent::MouseButtonPress, Qt::MiddleButton, {0, 0}, WM_MBUTTONDOWN, -512, 80},
  };
  for (const auto& c : cases) {
    messages = mouse(c.cover, c.type, c.at, c.button);
    std::string where = std::to_string(c.cover->geometry().x()) + ": " + std::to_string(c.at.x()) + "," +
                        std::to_string(c.at.y());
    ASSERT_EQ(messages.size(), 1u) << where;
    EXPECT_EQ(messages[0].window, handle) << where;
    EXPECT_EQ(messages[0].message, c.message) << where;
    EXPECT_EQ(messages[0].lParam, pack(c.frameX, c.frameY)) << where;
  }

  // Keys become the picture window's key messages; closing a cover asks the
  // saver to end.
  QCoreApplication::postEvent(right, new QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier));
  QCoreApplication::postEvent(left, new QKeyEvent(QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier));
  QCoreApplication::postEvent(left, new QEvent(QEvent::Close));
  PumpAfterNextMillisecond();
  messages = TakeMessages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].message, uint32_t(WM_KEYDOWN));
  EXPECT_EQ(messages[0].wParam, WParam('B'));
  EXPECT_EQ(messages[1].message, uint32_t(WM_SYSKEYDOWN));
  EXPECT_EQ(messages[2].message, uint32_t(WM_CLOSE));
  for (const Message& m : messages) EXPECT_EQ(m.window, handle);
  EXPECT_TRUE(left->isVisible()) << "the program closes its windows itself";
}

TEST_F(MonitorCoverTest, CoversLastAsLongAsTheFullScreenWindow) {
  WindowRequest ordinary;
  ordinary.mode = WindowMode::Ordinary;
  WindowHandle window = gWindows->create(ordinary);
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(MonitorCoverWindows().empty()) << "an ordinary window covers nothing";
  gWindows->destroy(window);

  WindowHandle first = CreateFullScreen(false);
  ASSERT_EQ(MonitorCoverWindows().size(), 2u);
  gWindows->destroy(first);
  EXPECT_TRUE(MonitorCoverWindows().empty());
  gWindows->destroy(first);  // harmless twice

  CreateFullScreen(true);
  EXPECT_EQ(MonitorCoverWindows().size(), 2u);
  ResetQtHost();
  EXPECT_TRUE(MonitorCoverWindows().empty()) << "a reset leaves no cover behind";
}

}  // namespace
