// Frames shown a changed tile at a time: after every present the window shows
// exactly what presenting the whole frame would show, pixel for pixel, at
// every depth, scaled or not, across resizes and frames the window skipped.
// Runs on the offscreen platform and, from run_under_xvfb.sh, on a real X
// server, once down each way frames reach it: the window's own MIT-SHM image
// put straight onto the window (PRISMORA_PRESENT=shm), the backing store's
// image (=painter), the host's choice (the backing store for frames in
// memory of their own) and frames in memory the window gave, put straight
// from there when they fit the window as they are.
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/qt/frame_copy.h"
#include "platform/qt/letterbox.h"
#include "platform/qt/qt_host.h"
#include "platform/window.h"
#include "tests/qt/qt_test_support.h"

namespace {

// The way frames go, as PRISMORA_PRESENT asks: nullptr leaves it to the
// host. The variable is restored after each test.
struct PresentPath {
  const char* name;
  const char* choice;
  bool frameMemory;  // frames in memory the window offers, where it does
};

class QtTilePresentTest : public QtHostTest, public ::testing::WithParamInterface<PresentPath> {
 protected:
  void SetUp() override {
    QtHostTest::SetUp();
    SetPresentChoice(GetParam().choice);
  }
  static bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }
  // The window whose memory the test's frames ask for, 0 for none.
  static WindowHandle MemoryOf(WindowHandle handle) { return GetParam().frameMemory ? handle : 0; }
  static bool SharedImageWanted() {
    return OnX11() && GetParam().choice && std::string(GetParam().choice) == "shm";
  }

  // Which way the window's last frame went: on X11 straight from its memory
  // when that is the window's (never offered for =painter) and the frame fits it unscaled at 32 bits,
  // else the shared image when it is asked for, else the backing store's
  // own image.
  static void ExpectPath(WindowHandle handle, uint32_t bits, uint32_t width, uint32_t height) {
    if (!OnX11()) return;
    QWindow* window = QtHostWindow(handle);
    bool straight = GetParam().frameMemory && !GetParam().choice && bits == 32 &&
                    int(width) == window->width() && int(height) == window->height();
    EXPECT_EQ(QtHostPresentsStraightFromFrame(handle), straight);
    EXPECT_EQ(QtHostPresentsThroughShm(handle), !straight && SharedImageWanted());
    EXPECT_EQ(QtHostPresentsIntoStoreImage(handle), !straight && !SharedImageWanted());
  }

 private:
};

INSTANTIATE_TEST_SUITE_P(Paths, QtTilePresentTest,
                         ::testing::Values(PresentPath{"SharedImage", "shm", false},
                                           PresentPath{"HostChoice", nullptr, false},
                                           PresentPath{"Painter", "painter", false},
                                           PresentPath{"FrameMemory", nullptr, true},
                                           PresentPath{"PainterWithFrameMemory", "painter", true}),
                         [](const ::testing::TestParamInfo<PresentPath>& path) { return path.param.name; });

// A frame of any depth with its map of changed tiles. Its pixels are in
// memory the window gives where the test's path asks for that and the window
// offers some, rows padded to 4 bytes as the display's are; else in memory
// of its own, rows padded by 6.
struct TestFrame {
  uint32_t width = 0, height = 0, bits = 32, pitch = 0;
  std::vector<uint8_t> own;
  uint8_t* windowMemory = nullptr;
  uint8_t* bytes = nullptr;
  std::vector<uint8_t> tiles;

  TestFrame(uint32_t w, uint32_t h, uint32_t depth, WindowHandle memoryOf = 0)
      : width(w), height(h), bits(depth) {
    if (memoryOf != 0) {
      pitch = (w * (depth / 8) + 3) & ~3u;
      windowMemory = gWindows->frameMemory(memoryOf, w, h, depth, pitch);
    }
    if (windowMemory) {
      bytes = windowMemory;
    } else {
      pitch = w * (depth / 8) + 6;
      own.resize(size_t(pitch) * h);
      bytes = own.data();
    }
    std::fill(bytes, bytes + size_t(pitch) * h, uint8_t(0x5A));
    tiles.assign(size_t(FrameTileColumns(w)) * FrameTileRows(h), 0);
  }
  TestFrame(const TestFrame&) = delete;
  TestFrame& operator=(const TestFrame&) = delete;
  ~TestFrame() {
    if (windowMemory) gWindows->releaseFrameMemory(windowMemory);
  }
  FrameImage Image(bool withMap) const {
    FrameImage image{bytes, pitch, width, height, bits};
    image.changedTiles = withMap ? tiles.data() : nullptr;
    return image;
  }
  uint8_t* At(uint32_t x, uint32_t y) { return bytes + size_t(y) * pitch + size_t(x) * (bits / 8); }
  // The colour shown for the pixel, 0x00RRGGBB.
  uint32_t Shown(uint32_t x, uint32_t y) const {
    const uint8_t* p = bytes + size_t(y) * pitch + size_t(x) * (bits / 8);
    if (bits == 32) return (uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    if (bits == 24) return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
    uint32_t r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
    return (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
  }
  void Set(uint32_t x, uint32_t y, uint32_t value) {
    uint8_t* p = At(x, y);
    for (uint32_t i = 0; i < bits / 8; ++i) p[i] = uint8_t(value >> (8 * i));
    // A 32-bit frame's top byte is 0.
    if (bits == 32) p[3] = 0;
  }
};

void FillRandom(TestFrame* frame, std::mt19937* random) {
  for (uint32_t y = 0; y < frame->height; ++y) {
    for (uint32_t x = 0; x < frame->width; ++x) frame->Set(x, y, (*random)());
  }
}

// Changes a few pixels of a tile, its far corner among them.
void ChangeTile(TestFrame* frame, size_t tile, std::mt19937* random) {
  uint32_t columns = FrameTileColumns(frame->width);
  frame->tiles[tile] = 1;
  uint32_t x0 = uint32_t(tile % columns) * kFrameTileWidth, y0 = uint32_t(tile / columns) * kFrameTileHeight;
  uint32_t w = std::min(kFrameTileWidth, frame->width - x0),
           h = std::min(kFrameTileHeight, frame->height - y0);
  for (int n = 0; n < 6; ++n) frame->Set(x0 + (*random)() % w, y0 + (*random)() % h, (*random)());
  frame->Set(x0 + w - 1, y0 + h - 1, (*random)());
}

// Changes about a fifth of the tiles (among them the first and the last,
// cut short by the frame's edges) and marks those tiles, plus a few
// unchanged ones, which a map may also mark.
void ChangeRandomTiles(TestFrame* frame, std::mt19937* random) {
  std::fill(frame->tiles.begin(), frame->tiles.end(), 0);
  for (size_t tile = 0; tile < frame->tiles.size(); ++tile) {
    uint32_t roll = (*random)() % 10;
    bool last = tile + 1 == frame->tiles.size();
    if (roll == 9) frame->tiles[tile] = 1;  // marked, unchanged
    if (roll <= 1 || tile == 0 || last) ChangeTile(frame, tile, random);
  }
}

// Changes every tile of every third column, or every tile: tile rows alike.
void ChangeColumns(TestFrame* frame, uint32_t every, std::mt19937* random) {
  std::fill(frame->tiles.begin(), frame->tiles.end(), 0);
  uint32_t columns = FrameTileColumns(frame->width);
  for (size_t tile = 0; tile < frame->tiles.size(); ++tile) {
    if (tile % columns % every == 0) ChangeTile(frame, tile, random);
  }
}

// What a whole repaint shows in a windowWidth x windowHeight window, as
// QPainter has always drawn it: the frame as 32 bits, scaled
// nearest-neighbour into its letterbox, the bars black.
QImage WholeRepaint(const TestFrame& frame, int windowWidth, int windowHeight) {
  QImage source(int(frame.width), int(frame.height), QImage::Format_RGB32);
  for (uint32_t y = 0; y < frame.height; ++y) {
    for (uint32_t x = 0; x < frame.width; ++x)
      source.setPixel(int(x), int(y), 0xFF000000u | frame.Shown(x, y));
  }
  QImage image(windowWidth, windowHeight, QImage::Format_RGB32);
  image.fill(Qt::black);
  LetterboxRect picture = FitLetterbox(windowWidth, windowHeight, int(frame.width), int(frame.height));
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QRect(picture.x, picture.y, picture.width, picture.height), source);
  return image;
}

QImage Shown(WindowHandle handle) {
  QWindow* window = QtHostWindow(handle);
  return window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Empty when the window shows the whole repaint, else where it first does not.
std::string Difference(WindowHandle handle, const TestFrame& frame) {
  QWindow* window = QtHostWindow(handle);
  QImage shown = Shown(handle);
  QImage expected = WholeRepaint(frame, window->width(), window->height());
  if (shown.size() != expected.size()) return "window image of another size";
  int differing = 0;
  std::string first;
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) {
      uint32_t a = shown.pixel(x, y) & 0xFFFFFFu, b = expected.pixel(x, y) & 0xFFFFFFu;
      if (a == b) continue;
      if (differing++ == 0) {
        first = "at " + std::to_string(x) + "," + std::to_string(y) + " shown " + std::to_string(a) +
                " wanted " + std::to_string(b);
      }
    }
  }
  return differing == 0 ? std::string() : std::to_string(differing) + " pixels differ, first " + first;
}

bool WaitFor(QWindow* window, bool exposed, int width, int height) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 3000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (window->isExposed() == exposed &&
        (!exposed || (window->width() == width && window->height() == height))) {
      return true;
    }
  }
  return false;
}

WindowHandle CreateWindow(int width, int height) {
  WindowRequest request;
  request.width = uint32_t(width);
  request.height = uint32_t(height);
  request.title = "Prismora tiles";
  return gWindows->create(request);
}

struct SequenceCase {
  const char* name;
  uint32_t bits;
  uint32_t frameWidth, frameHeight;
  int windowWidth, windowHeight;  // then resized to the second size
  int resizedWidth, resizedHeight;
};

TEST_P(QtTilePresentTest, ShownWindowEqualsWholeRepaintAfterEveryFrame) {
  const SequenceCase cases[] = {
      {"32-bit unscaled", 32, 320, 200, 320, 200, 400, 250},
      {"16-bit unscaled", 16, 320, 200, 320, 200, 340, 200},
      {"24-bit unscaled, edge tiles cut short", 24, 300, 190, 300, 190, 300, 250},
      {"32-bit enlarged with side bars", 32, 160, 100, 400, 200, 300, 300},
      {"16-bit enlarged with bars above and below", 16, 150, 90, 300, 300, 450, 270},
      {"24-bit shrunk", 24, 400, 300, 230, 170, 200, 200},
      {"32-bit shrunk with bars", 32, 330, 130, 150, 150, 100, 90},
      {"32-bit enlarged, then resized to the frame's size", 32, 320, 200, 400, 250, 320, 200},
  };
  for (const SequenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 random(c.frameWidth * 7919u + c.bits);
    WindowHandle handle = CreateWindow(c.windowWidth, c.windowHeight);
    ASSERT_NE(handle, 0u);
    QWindow* window = QtHostWindow(handle);
    ASSERT_TRUE(WaitFor(window, true, c.windowWidth, c.windowHeight));

    TestFrame frame(c.frameWidth, c.frameHeight, c.bits, MemoryOf(handle));
    FillRandom(&frame, &random);
    gWindows->present(handle, frame.Image(false));
    EXPECT_EQ(Difference(handle, frame), "") << "first frame";
    // Straight into a shared image, with no QPainter between.
    ExpectPath(handle, c.bits, c.frameWidth, c.frameHeight);

    for (int n = 0; n < 4; ++n) {
      ChangeRandomTiles(&frame, &random);
      gWindows->present(handle, frame.Image(true));
      EXPECT_EQ(Difference(handle, frame), "") << "changed tiles, frame " << n;
    }
    for (uint32_t every : {3u, 1u}) {
      ChangeColumns(&frame, every, &random);
      gWindows->present(handle, frame.Image(true));
      EXPECT_EQ(Difference(handle, frame), "") << "columns of tiles changed, every " << every;
    }
    std::fill(frame.tiles.begin(), frame.tiles.end(), 0);
    gWindows->present(handle, frame.Image(true));
    EXPECT_EQ(Difference(handle, frame), "") << "nothing changed";

    // A new size: the map tells only what changed since the last frame,
    // which the new size does not show.
    window->resize(c.resizedWidth, c.resizedHeight);
    ASSERT_TRUE(WaitFor(window, true, c.resizedWidth, c.resizedHeight));
    ChangeRandomTiles(&frame, &random);
    gWindows->present(handle, frame.Image(true));
    EXPECT_EQ(Difference(handle, frame), "") << "after a resize";
    ExpectPath(handle, c.bits, c.frameWidth, c.frameHeight);

    // Hidden: the frame is skipped, and the next one's map is relative to
    // the skipped frame.
    window->hide();
    ASSERT_TRUE(WaitFor(window, false, 0, 0));
    FillRandom(&frame, &random);
    gWindows->present(handle, frame.Image(false));
    window->show();
    ASSERT_TRUE(WaitFor(window, true, c.resizedWidth, c.resizedHeight));
    ChangeRandomTiles(&frame, &random);
    gWindows->present(handle, frame.Image(true));
    EXPECT_EQ(Difference(handle, frame), "") << "after a present while hidden";
    ChangeRandomTiles(&frame, &random);
    gWindows->present(handle, frame.Image(true));
    EXPECT_EQ(Difference(handle, frame), "") << "changed tiles after showing again";

    gWindows->destroy(handle);
  }
}

// Frames the window cannot show (no pixels, a depth it does not offer) are
// dropped silently; the frame after one comes with a map relative to it, so
// it must be shown whole.
TEST_P(QtTilePresentTest, FrameAfterARejectedOneIsShownWhole) {
  struct Rejected {
    const char* name;
    uint32_t bits;
    bool pixels;
  };
  const Rejected cases[] = {{"8-bit frame", 8, true}, {"no pixels", 32, false}};
  WindowHandle handle = CreateWindow(256, 160);
  ASSERT_NE(handle, 0u);
  ASSERT_TRUE(WaitFor(QtHostWindow(handle), true, 256, 160));
  std::mt19937 random(42);
  TestFrame frame(256, 160, 32, MemoryOf(handle));
  FillRandom(&frame, &random);
  gWindows->present(handle, frame.Image(false));
  for (const Rejected& c : cases) {
    SCOPED_TRACE(c.name);
    FillRandom(&frame, &random);
    FrameImage rejected = frame.Image(false);
    rejected.bitsPerPixel = c.bits;
    if (!c.pixels) rejected.pixels = nullptr;
    gWindows->present(handle, rejected);
    ChangeRandomTiles(&frame, &random);
    gWindows->present(handle, frame.Image(true));
    EXPECT_EQ(Difference(handle, frame), "");
  }
}

// A frame of another size or depth than the last is shown whole, whatever
// its map says.
TEST_P(QtTilePresentTest, NewFrameSizeOrDepthIsShownWhole) {
  struct Change {
    const char* name;
    uint32_t width, height, bits;
  };
  const Change cases[] = {{"smaller", 200, 120, 32},
                          {"larger", 320, 200, 32},
                          {"the window's own size", 320, 240, 32},
                          {"16 bits", 320, 200, 16},
                          {"24 bits", 320, 200, 24}};
  WindowHandle handle = CreateWindow(320, 240);
  ASSERT_NE(handle, 0u);
  ASSERT_TRUE(WaitFor(QtHostWindow(handle), true, 320, 240));
  std::mt19937 random(7);
  TestFrame first(256, 160, 32, MemoryOf(handle));
  FillRandom(&first, &random);
  gWindows->present(handle, first.Image(false));
  for (const Change& c : cases) {
    SCOPED_TRACE(c.name);
    TestFrame frame(c.width, c.height, c.bits, MemoryOf(handle));
    FillRandom(&frame, &random);
    ChangeRandomTiles(&frame, &random);
    gWindows->present(handle, frame.Image(true));
    EXPECT_EQ(Difference(handle, frame), "");
    ExpectPath(handle, c.bits, c.width, c.height);
  }
}

// The window is repaired from what it last showed, bars and all, with no
// frame presented: a paused or hidden program's window must not stay
// spoiled. Something else first spoils what the window shows.
TEST_P(QtTilePresentTest, ExposedWindowShowsLastPictureWithoutAFrame) {
  if (!OnX11()) GTEST_SKIP() << "needs an X server to cover the window";
  enum class Spoil { Covered, HiddenAndShown };
  struct Case {
    const char* name;
    Spoil spoil;
    int windowWidth, windowHeight;
  };
  const Case cases[] = {{"covered by another window, then uncovered", Spoil::Covered, 300, 200},
                        {"covered, with bars beside the picture", Spoil::Covered, 420, 200},
                        {"hidden and shown again", Spoil::HiddenAndShown, 300, 200}};
  std::mt19937 random(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WindowHandle handle = CreateWindow(c.windowWidth, c.windowHeight);
    ASSERT_NE(handle, 0u);
    QWindow* window = QtHostWindow(handle);
    window->setPosition(40, 40);
    ASSERT_TRUE(WaitFor(window, true, c.windowWidth, c.windowHeight));
    TestFrame frame(300, 200, 32, MemoryOf(handle));
    FillRandom(&frame, &random);
    gWindows->present(handle, frame.Image(false));
    ASSERT_EQ(Difference(handle, frame), "");
    ExpectPath(handle, 32, 300, 200);

    WindowHandle cover = 0;
    if (c.spoil == Spoil::Covered) {
      cover = CreateWindow(c.windowWidth + 40, c.windowHeight + 40);
      ASSERT_NE(cover, 0u);
      QtHostWindow(cover)->setPosition(20, 20);
      ASSERT_TRUE(WaitFor(QtHostWindow(cover), true, c.windowWidth + 40, c.windowHeight + 40));
      TestFrame other(300, 200, 32, MemoryOf(cover));
      FillRandom(&other, &random);
      gWindows->present(cover, other.Image(false));
      // The cover's picture is where the window's was: the test can fail.
      ASSERT_NE(Difference(handle, frame), "") << "the cover hid nothing";
      gWindows->destroy(cover);
    } else {
      window->hide();
      ASSERT_TRUE(WaitFor(window, false, 0, 0));
      window->show();
    }
    ASSERT_TRUE(WaitFor(window, true, c.windowWidth, c.windowHeight));
    std::string difference = "never compared";
    QElapsedTimer timer;
    timer.start();
    while (!difference.empty() && timer.elapsed() < 2000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      difference = Difference(handle, frame);
    }
    EXPECT_EQ(difference, "");
    gWindows->destroy(handle);
  }
}

// The shared image follows the window's size and goes with the window:
// one segment attached at a time, none left once the window is destroyed.
TEST_P(QtTilePresentTest, SharedImageIsMadeAgainOnResizeAndFreedWithTheWindow) {
  if (!SharedImageWanted()) GTEST_SKIP() << "only where frames go through the shared image";
  auto attachedSegments = [] {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);) count += line.find("/SYSV") != std::string::npos;
    return count;
  };
  int before = attachedSegments();
  std::mt19937 random(9);
  WindowHandle handle = CreateWindow(200, 120);
  ASSERT_NE(handle, 0u);
  QWindow* window = QtHostWindow(handle);
  ASSERT_TRUE(WaitFor(window, true, 200, 120));
  TestFrame frame(200, 120, 32);
  for (QSize size : {QSize(200, 120), QSize(260, 150), QSize(120, 90)}) {
    SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    window->resize(size);
    ASSERT_TRUE(WaitFor(window, true, size.width(), size.height()));
    FillRandom(&frame, &random);
    gWindows->present(handle, frame.Image(false));
    EXPECT_TRUE(QtHostPresentsThroughShm(handle));
    EXPECT_EQ(Difference(handle, frame), "");
    EXPECT_EQ(attachedSegments(), before + 1);
  }
  // Each image was written only after the server had read the puts before:
  // after the first frame at a size, every present waited once more.
  int64_t waitedBefore = 0, waitsBefore = 0, waited = 0, waits = 0;
  ASSERT_TRUE(QtHostShmWaits(handle, &waitedBefore, &waitsBefore));
  for (int n = 0; n < 3; ++n) {
    ChangeRandomTiles(&frame, &random);
    gWindows->present(handle, frame.Image(true));
  }
  ASSERT_TRUE(QtHostShmWaits(handle, &waited, &waits));
  EXPECT_EQ(waits - waitsBefore, 3);
  EXPECT_EQ(Difference(handle, frame), "");
  gWindows->destroy(handle);
  EXPECT_EQ(attachedSegments(), before);
}

// The window offers memory only for frames it can put from there as they
// are, zero-filled as the display's own; the memory outlives the window,
// since the display frees it when it is done, whatever became of the window.
TEST_P(QtTilePresentTest, FrameMemoryIsOfferedOnlyForFramesPutAsTheyAre) {
  if (!GetParam().frameMemory) GTEST_SKIP() << "only for the paths with frame memory";
  bool anyOffered = OnX11() && !GetParam().choice;
  struct Case {
    const char* name;
    uint32_t bits, pitch;
    bool offered;
  };
  const Case cases[] = {{"32 bits, rows unpadded", 32, 800, true},
                        {"32 bits, rows padded", 32, 804, false},
                        {"24 bits", 24, 600, false},
                        {"16 bits", 16, 400, false}};
  WindowHandle handle = CreateWindow(200, 120);
  ASSERT_NE(handle, 0u);
  ASSERT_TRUE(WaitFor(QtHostWindow(handle), true, 200, 120));
  size_t before = QtHostSharedFrameCount();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint8_t* memory = gWindows->frameMemory(handle, 200, 120, c.bits, c.pitch);
    EXPECT_EQ(memory != nullptr, c.offered && anyOffered);
    if (!memory) continue;
    EXPECT_TRUE(std::all_of(memory, memory + size_t(c.pitch) * 120, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(QtHostSharedFrameCount(), before + 1);
    gWindows->releaseFrameMemory(memory);
  }
  EXPECT_EQ(QtHostSharedFrameCount(), before);
  EXPECT_EQ(gWindows->frameMemory(handle + 1000, 200, 120, 32, 800), nullptr) << "no such window";

  uint8_t* kept = gWindows->frameMemory(handle, 200, 120, 32, 800);
  gWindows->destroy(handle);
  if (kept) {
    std::fill(kept, kept + 800 * 120, uint8_t(0x33));
    gWindows->releaseFrameMemory(kept);
  }
  EXPECT_EQ(QtHostSharedFrameCount(), before);
}

}  // namespace

namespace {

// Every scale shows what QPainter's scaling showed, at the window sizes the
// program meets (the render size is often smaller than the screen) and odd
// ones.
TEST_P(QtTilePresentTest, ScaledPictureEqualsQPainterScaling) {
  struct Scale {
    uint32_t frameWidth, frameHeight;
    int windowWidth, windowHeight;
  };
  const Scale cases[] = {{640, 480, 1280, 720},  {640, 480, 1920, 1080}, {640, 480, 1000, 600},
                         {320, 200, 1366, 768},  {800, 600, 1280, 1024}, {1280, 720, 640, 400},
                         {1920, 1080, 333, 211}, {512, 384, 1023, 767},  {100, 75, 1917, 1079}};
  std::mt19937 random(3);
  for (const Scale& c : cases) {
    SCOPED_TRACE(std::to_string(c.windowWidth) + "x" + std::to_string(c.windowHeight));
    WindowHandle handle = CreateWindow(c.windowWidth, c.windowHeight);
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(WaitFor(QtHostWindow(handle), true, c.windowWidth, c.windowHeight));
    TestFrame frame(c.frameWidth, c.frameHeight, 32, MemoryOf(handle));
    FillRandom(&frame, &random);
    gWindows->present(handle, frame.Image(false));
    EXPECT_EQ(Difference(handle, frame), "");
    gWindows->destroy(handle);
  }
}

}  // namespace

namespace {

// Into a window image with alpha every pixel is written opaque, the bars
// too, whatever a 32-bit frame's top byte holds; without alpha a 32-bit
// frame's rows may go across as they are.
TEST(FrameCopyTest, ImagesWithAlphaGetOpaquePixels) {
  struct Case {
    const char* name;
    uint32_t bits;
    int windowWidth, windowHeight;
  };
  const Case cases[] = {{"32-bit unscaled", 32, 130, 70},
                        {"32-bit enlarged", 32, 300, 100},
                        {"16-bit", 16, 130, 70},
                        {"24-bit shrunk", 24, 90, 60}};
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestFrame frame(130, 70, c.bits);
    FillRandom(&frame, &random);
    QImage image(c.windowWidth, c.windowHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    PictureMapping mapping;
    UpdatePictureMapping(&mapping, 130, 70, FitLetterbox(c.windowWidth, c.windowHeight, 130, 70));
    WindowPixels pixels{image.bits(), size_t(image.bytesPerLine()), image.width(), image.height(), true};
    PaintBars(mapping, pixels);
    DrawFramePart(frame.Image(false), mapping, 0, 0, 130, 70, pixels);
    QImage expected = WholeRepaint(frame, c.windowWidth, c.windowHeight);
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x)
        wrong += image.pixel(x, y) != (expected.pixel(x, y) | 0xFF000000u);
    }
    EXPECT_EQ(wrong, 0);
  }
}

}  // namespace

namespace {

// Runs of changed tiles, one tile row at a time, joined across gaps of up to
// four unchanged tiles; window rectangles follow the scaling.
TEST(FrameCopyTest, ChangedTilesBecomeRunsJoinedAcrossShortGaps) {
  struct Case {
    const char* name;
    int windowWidth;                     // the picture fills it: 640 x 32 frame, 2 tile rows
    std::vector<uint8_t> tiles;          // 10 a row
    std::vector<std::vector<int>> runs;  // x0, y0, x1, y1, window x, width
  };
  const Case cases[] = {
      {"none", 640, std::vector<uint8_t>(20, 0), {}},
      {"one tile",
       640,
       {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, /**/ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       {{128, 0, 192, 16, 128, 64}}},
      {"gap of four joined, of five not",
       640,
       {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, /**/ 1, 0, 0, 0, 0, 0, 1, 0, 0, 1},
       {{0, 0, 384, 16, 0, 384}, {0, 16, 64, 32, 0, 64}, {384, 16, 640, 32, 384, 256}}},
      {"half size",
       320,
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, /**/ 1, 1, 0, 0, 0, 0, 0, 0, 0, 0},
       {{576, 0, 640, 16, 288, 32}, {0, 16, 128, 32, 0, 64}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestFrame frame(640, 32, 32);
    frame.tiles = c.tiles;
    PictureMapping mapping;
    UpdatePictureMapping(&mapping, 640, 32, FitLetterbox(c.windowWidth, c.windowWidth / 20, 640, 32));
    std::vector<ChangedRun> runs;
    ChangedRuns(frame.Image(true), mapping, &runs);
    std::vector<std::vector<int>> got;
    for (const ChangedRun& run : runs)
      got.push_back({run.x0, run.y0, run.x1, run.y1, run.windowX, run.windowWidth});
    EXPECT_EQ(got, c.runs);
  }
}

}  // namespace
