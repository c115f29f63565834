// The Qt window service on the offscreen platform: input becoming messages,
// close and resize, frames shown with their aspect ratio kept.
#include <QtCore/QCoreApplication>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QWidget>
#include <cstdint>
#include <vector>

#include "platform/key_state.h"
#include "platform/qt/qt_host.h"
#include "platform/window.h"
#include "tests/qt/qt_test_support.h"

namespace {

using QtWindowTest = QtHostTest;

WindowHandle CreateOrdinary(uint32_t width, uint32_t height) {
  WindowRequest request;
  request.mode = WindowMode::Ordinary;
  request.width = width;
  request.height = height;
  request.title = "Prismora test";
  return gWindows->create(request);
}

// The window's contents as presented, 0x00RRGGBB per pixel.
QImage Contents(WindowHandle handle) {
  QWindow* window = QtHostWindow(handle);
  return window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

// Creates a window and takes the messages its creation queued (WM_SIZE).
class QtWindowInputTest : public QtHostTest {
 protected:
  void SetUp() override {
    QtHostTest::SetUp();
    handle_ = CreateOrdinary(320, 240);
    ASSERT_NE(handle_, 0u);
    window_ = QtHostWindow(handle_);
    ASSERT_NE(window_, nullptr);
    PumpAfterNextMillisecond();
    TakeMessages();
  }
  WindowHandle handle_ = 0;
  QWindow* window_ = nullptr;
};

TEST_F(QtWindowInputTest, KeyPressesBecomeKeyMessagesAndKeyState) {
  struct {
    const char* name;
    QEvent::Type type;
    int qtKey;
    Qt::KeyboardModifiers modifiers;
    bool autoRepeat;
    uint32_t message;
    WParam vk;
    LParam lParam;
  } cases[] = {
      {"M down", QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, false, WM_KEYDOWN, 'M', 1},
      {"M repeats", QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, true, WM_KEYDOWN, 'M', 1 | (1 << 30)},
      {"M up", QEvent::KeyRelease, Qt::Key_M, Qt::NoModifier, false, WM_KEYUP, 'M', LParam(0xC0000001u)},
      {"Pause", QEvent::KeyPress, Qt::Key_Pause, Qt::NoModifier, false, WM_KEYDOWN, 0x13, 1},
      {"keypad +", QEvent::KeyPress, Qt::Key_Plus, Qt::KeypadModifier, false, WM_KEYDOWN, 0x6B, 1},
      {"F10", QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier, false, WM_SYSKEYDOWN, 0x79, 1},
      {"Alt+F4", QEvent::KeyPress, Qt::Key_F4, Qt::AltModifier, false, WM_SYSKEYDOWN, 0x73, 1 | (1 << 29)},
      {"Alt+F4 up", QEvent::KeyRelease, Qt::Key_F4, Qt::AltModifier, false, WM_SYSKEYUP, 0x73,
       LParam(0xE0000001u)},
  };
  for (const auto& c : cases) {
    QCoreApplication::postEvent(window_,
                                new QKeyEvent(c.type, c.qtKey, c.modifiers, QString(), c.autoRepeat));
    PumpAfterNextMillisecond();
    std::vector<Message> messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u) << c.name;
    EXPECT_EQ(messages[0].window, handle_) << c.name;
    EXPECT_EQ(messages[0].message, c.message) << c.name;
    EXPECT_EQ(messages[0].wParam, c.vk) << c.name;
    EXPECT_EQ(messages[0].lParam, c.lParam) << c.name;
    bool down = (GetAsyncKeyState(int(c.vk)) & 0x8000) != 0;
    EXPECT_EQ(down, c.type == QEvent::KeyPress) << c.name;
  }
}

TEST_F(QtWindowInputTest, HeldKeyRepeatsWithoutReleasesAndUnknownKeysAreDropped) {
  QCoreApplication::postEvent(window_, new QKeyEvent(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier));
  // Qt reports a held key as release + press pairs marked as repeats.
  QCoreApplication::postEvent(window_,
                              new QKeyEvent(QEvent::KeyRelease, Qt::Key_D, Qt::NoModifier, QString(), true));
  QCoreApplication::postEvent(window_,
                              new QKeyEvent(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, QString(), true));
  QCoreApplication::postEvent(window_, new QKeyEvent(QEvent::KeyPress, Qt::Key_VolumeUp, Qt::NoModifier));
  PumpAfterNextMillisecond();
  std::vector<Message> messages = TakeMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].message, uint32_t(WM_KEYDOWN));
  EXPECT_EQ(messages[1].message, uint32_t(WM_KEYDOWN));
  EXPECT_EQ(messages[1].lParam, LParam(1 | (1 << 30)));
  EXPECT_NE(GetAsyncKeyState('D') & 0x8000, 0);
}

TEST_F(QtWindowInputTest, MouseMovesAndButtonsUseFramePixelsOnceAFrameWasShown) {
  auto send = [this](QEvent::Type type, QPointF at, Qt::MouseButton button) {
    Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QCoreApplication::postEvent(
        window_, new QMouseEvent(type, at, window_->mapToGlobal(at), button, buttons, Qt::NoModifier));
    PumpAfterNextMillisecond();
    return TakeMessages();
  };
  // Before any frame: window coordinates.
  std::vector<Message> messages = send(QEvent::MouseMove, QPointF(123, 45), Qt::NoButton);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, uint32_t(WM_MOUSEMOVE));
  EXPECT_EQ(messages[0].lParam, LParam(123 | (45 << 16)));

  // A 640x480 frame in 800x300 is drawn 400x300 from x = 200: 1.6 frame
  // pixels a window pixel.
  window_->resize(800, 300);
  // An X server confirms the new size a little later; its WM_SIZE must not
  // be taken for a mouse message below.
  bool resized = false;
  for (int i = 0; i < 500 && !resized; ++i) {
    PumpAfterNextMillisecond();
    for (const Message& m : TakeMessages())
      resized |= m.message == WM_SIZE && m.lParam == LParam(800 | (300 << 16));
  }
  ASSERT_TRUE(resized);
  std::vector<uint32_t> black(640 * 480, 0);
  FrameImage frame{reinterpret_cast<const uint8_t*>(black.data()), 640 * 4, 640, 480, 32};
  gWindows->present(handle_, frame);

  struct {
    QEvent::Type type;
    Qt::MouseButton button;
    int x, y;
    uint32_t message;
    int frameX, frameY;
  } cases[] = {
      {QEvent::MouseMove, Qt::NoButton, 200, 0, WM_MOUSEMOVE, 0, 0},
      {QEvent::MouseMove, Qt::NoButton, 400, 150, WM_MOUSEMOVE, 320, 240},
      {QEvent::MouseMove, Qt::NoButton, 599, 299, WM_MOUSEMOVE, 639, 479},
      {QEvent::MouseMove, Qt::NoButton, 100, 100, WM_MOUSEMOVE, 0, 160},  // on the left bar
      {QEvent::MouseButtonPress, Qt::LeftButton, 300, 100, WM_LBUTTONDOWN, 160, 160},
      {QEvent::MouseButtonPress, Qt::RightButton, 300, 100, WM_RBUTTONDOWN, 160, 160},
      {QEvent::MouseButtonPress, Qt::MiddleButton, 300, 100, WM_MBUTTONDOWN, 160, 160},
  };
  for (const auto& c : cases) {
    messages = send(c.type, QPointF(c.x, c.y), c.button);
    ASSERT_EQ(messages.size(), 1u) << c.x << "," << c.y;
    EXPECT_EQ(messages[0].window, handle_);
    EXPECT_EQ(messages[0].message, c.message) << c.x << "," << c.y;
    EXPECT_EQ(messages[0].lParam, LParam(c.frameX | (c.frameY << 16))) << c.x << "," << c.y;
  }
  EXPECT_NE(GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0);
  EXPECT_TRUE(send(QEvent::MouseButtonRelease, QPointF(300, 100), Qt::LeftButton).empty());
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0);
}

TEST_F(QtWindowInputTest, CloseRequestPostsCloseAndKeepsTheWindow) {
  window_->close();
  PumpAfterNextMillisecond();
  std::vector<Message> messages = TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].window, handle_);
  EXPECT_EQ(messages[0].message, uint32_t(WM_CLOSE));
  EXPECT_TRUE(window_->isVisible());
  uint32_t width = 0, height = 0;
  EXPECT_TRUE(gWindows->clientSize(handle_, &width, &height));

  gWindows->destroy(handle_);
  EXPECT_EQ(QtHostWindow(handle_), nullptr);
  EXPECT_FALSE(gWindows->clientSize(handle_, &width, &height));
  gWindows->destroy(handle_);  // harmless twice
  PumpAfterNextMillisecond();
  EXPECT_TRUE(TakeMessages().empty());  // destroying is not a close request
}

TEST_F(QtWindowInputTest, OtherWindowsClosingAndResizingPostNothing) {
  QWidget popup(nullptr, Qt::Popup);
  popup.resize(50, 50);
  popup.show();
  popup.resize(60, 70);
  popup.close();
  PumpAfterNextMillisecond();
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(QtWindowInputTest, ResizePostsSizeAndClientSizeFollows) {
  window_->resize(300, 200);
  // On an X server the size is confirmed a few event rounds later.
  std::vector<Message> messages;
  for (int i = 0; i < 500 && messages.empty(); ++i) {
    PumpAfterNextMillisecond();
    messages = TakeMessages();
  }
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().message, uint32_t(WM_SIZE));
  EXPECT_EQ(messages.back().lParam, LParam(300 | (200 << 16)));
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gWindows->clientSize(handle_, &width, &height));
  EXPECT_EQ(width, 300u);
  EXPECT_EQ(height, 200u);
}

TEST_F(QtWindowTest, OrdinaryWindowHasTheAskedSizeAndTitle) {
  WindowHandle handle = CreateOrdinary(321, 123);
  ASSERT_NE(handle, 0u);
  QWindow* window = QtHostWindow(handle);
  EXPECT_EQ(window->title(), QString("Prismora test"));
  EXPECT_TRUE(window->isVisible());
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gWindows->clientSize(handle, &width, &height));
  EXPECT_EQ(width, 321u);
  EXPECT_EQ(height, 123u);
}

TEST_F(QtWindowTest, FullScreenCoversThePrimaryScreenWithoutFrameOrCursor) {
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  WindowHandle handle = gWindows->create(request);
  ASSERT_NE(handle, 0u);
  QWindow* window = QtHostWindow(handle);
  uint32_t desktopWidth = 0, desktopHeight = 0, bits = 0;
  gWindows->desktop(&desktopWidth, &desktopHeight, &bits);
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gWindows->clientSize(handle, &width, &height));
  EXPECT_EQ(width, desktopWidth);
  EXPECT_EQ(height, desktopHeight);
  EXPECT_GT(width, 0u);
  EXPECT_TRUE(window->flags() & Qt::FramelessWindowHint);
  EXPECT_EQ(window->windowStates(), Qt::WindowFullScreen);
  EXPECT_EQ(window->cursor().shape(), Qt::BlankCursor);
}

TEST_F(QtWindowTest, ForeignWindowsNeedX11) {
  WindowRequest request;
  request.mode = WindowMode::Foreign;
  request.foreignId = 0x400001;
  EXPECT_EQ(gWindows->create(request), 0u);
  request.foreignId = 0;
  EXPECT_EQ(gWindows->create(request), 0u);
}

TEST_F(QtWindowTest, OffersEveryDepth) {
  EXPECT_EQ(gWindows->depths(), unsigned(kDepth16 | kDepth24 | kDepth32));
}

// Frames of each depth, 2x2 with a padded pitch: red, green / blue, grey.
struct PresentCase {
  const char* name;
  uint32_t bitsPerPixel;
  uint32_t pitch;
  std::vector<uint8_t> bytes;
  uint32_t expected[4];
};

std::vector<uint8_t> Bytes16(std::vector<uint16_t> pixels) {
  return std::vector<uint8_t>(reinterpret_cast<uint8_t*>(pixels.data()),
                              reinterpret_cast<uint8_t*>(pixels.data() + pixels.size()));
}

std::vector<uint8_t> Bytes32(std::vector<uint32_t> pixels) {
  return std::vector<uint8_t>(reinterpret_cast<uint8_t*>(pixels.data()),
                              reinterpret_cast<uint8_t*>(pixels.data() + pixels.size()));
}

TEST_F(QtWindowTest, PresentsEachDepthScaledWithBlackBars) {
  const PresentCase cases[] = {
      // 5-6-5 with 2 padding pixels a row; 0x8410 has the top bit of each
      // channel: 16/31, 32/63, 16/31 widen to 0x84, 0x82, 0x84.
      {"16-bit",
       16,
       8,
       Bytes16({0xF800, 0x07E0, 0xAAAA, 0xAAAA, 0x001F, 0x8410, 0xAAAA, 0xAAAA}),
       {0xFF0000, 0x00FF00, 0x0000FF, 0x848284}},
      // B,G,R bytes with 2 padding bytes a row.
      {"24-bit",
       24,
       8,
       {0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x55, 0x55, 0xFF, 0x00, 0x00, 0x30, 0x20, 0x10, 0x55, 0x55},
       {0xFF0000, 0x00FF00, 0x0000FF, 0x102030}},
      // 0x00RRGGBB with one padding pixel a row.
      {"32-bit",
       32,
       12,
       Bytes32({0xFF0000, 0x00FF00, 0xDEADBE, 0x0000FF, 0x405060, 0xDEADBE}),
       {0xFF0000, 0x00FF00, 0x0000FF, 0x405060}},
  };
  WindowHandle wide = CreateOrdinary(400, 200);
  WindowHandle tall = CreateOrdinary(200, 400);
  ASSERT_NE(wide, 0u);
  ASSERT_NE(tall, 0u);
  QtHostWindow(tall)->setPosition(500, 0);  // apart, for platforms that grab from the screen
  std::vector<uint32_t> white(4 * 2, 0xFFFFFF);
  FrameImage whiteFrame{reinterpret_cast<const uint8_t*>(white.data()), 4 * 4, 4, 2, 32};
  for (const PresentCase& c : cases) {
    // A frame filling the whole window first, so the bars must be painted.
    gWindows->present(wide, whiteFrame);
    ASSERT_EQ(Rgb(Contents(wide), 10, 100), 0xFFFFFFu) << c.name;

    FrameImage frame{c.bytes.data(), c.pitch, 2, 2, c.bitsPerPixel};
    gWindows->present(wide, frame);
    gWindows->present(tall, frame);
    // Wide: the picture is 200x200 from x = 100; tall: from y = 100.
    QImage image = Contents(wide);
    EXPECT_EQ(Rgb(image, 150, 50), c.expected[0]) << c.name;
    EXPECT_EQ(Rgb(image, 250, 50), c.expected[1]) << c.name;
    EXPECT_EQ(Rgb(image, 150, 150), c.expected[2]) << c.name;
    EXPECT_EQ(Rgb(image, 250, 150), c.expected[3]) << c.name;
    for (int x : {0, 99, 300, 399}) EXPECT_EQ(Rgb(image, x, 100), 0u) << c.name << " bar at x " << x;
    EXPECT_EQ(Rgb(image, 100, 100), c.expected[2]) << c.name;
    EXPECT_EQ(Rgb(image, 299, 99), c.expected[1]) << c.name;

    image = Contents(tall);
    EXPECT_EQ(Rgb(image, 50, 150), c.expected[0]) << c.name;
    EXPECT_EQ(Rgb(image, 150, 150), c.expected[1]) << c.name;
    EXPECT_EQ(Rgb(image, 50, 250), c.expected[2]) << c.name;
    EXPECT_EQ(Rgb(image, 150, 250), c.expected[3]) << c.name;
    for (int y : {0, 99, 300, 399}) EXPECT_EQ(Rgb(image, 100, y), 0u) << c.name << " bar at y " << y;
  }
}

TEST_F(QtWindowTest, PresentToNoWindowOrBadFramesIsSilent) {
  std::vector<uint32_t> pixels(4, 0x123456);
  FrameImage frame{reinterpret_cast<const uint8_t*>(pixels.data()), 8, 2, 2, 32};
  gWindows->present(0, frame);
  gWindows->present(9999, frame);
  WindowHandle handle = CreateOrdinary(100, 100);
  gWindows->present(handle, frame);
  FrameImage unknownDepth = frame;
  unknownDepth.bitsPerPixel = 8;
  gWindows->present(handle, unknownDepth);
  FrameImage empty = frame;
  empty.pixels = nullptr;
  gWindows->present(handle, empty);
  EXPECT_EQ(Rgb(Contents(handle), 50, 50), 0x123456u);  // the good frame stays
}

}  // namespace

// Our own windows say when they stop and start being seen, once each time,
// as a host's window does: the saver then sleeps instead of drawing.
TEST_F(QtWindowTest, HidingAndShowingOurOwnWindowsPostsShowWindowOnceEach) {
  for (WindowMode mode : {WindowMode::Ordinary, WindowMode::FullScreen}) {
    SCOPED_TRACE(mode == WindowMode::Ordinary ? "ordinary" : "full screen");
    WindowRequest request;
    request.mode = mode;
    request.width = 320;
    request.height = 240;
    WindowHandle handle = gWindows->create(request);
    ASSERT_NE(handle, 0u);
    QWindow* window = QtHostWindow(handle);
    PumpAfterNextMillisecond();
    TakeMessages();
    // (window action, wParam of the WM_SHOWWINDOW it posts; -1 for none)
    const struct {
      bool show;
      int posted;
    } steps[] = {{false, 0}, {false, -1}, {true, 1}, {true, -1}, {false, 0}, {true, 1}};
    for (const auto& step : steps) {
      step.show ? window->show() : window->hide();
      PumpAfterNextMillisecond();
      std::vector<Message> shows;
      for (const Message& m : TakeMessages())
        if (m.message == WM_SHOWWINDOW) shows.push_back(m);
      if (step.posted < 0) {
        EXPECT_TRUE(shows.empty()) << "nothing new to tell";
      } else {
        ASSERT_EQ(shows.size(), 1u);
        EXPECT_EQ(shows[0].window, handle);
        EXPECT_EQ(shows[0].wParam, WParam(step.posted));
      }
    }
    gWindows->destroy(handle);
  }
}
