// Presenting through OpenGL: when the host chooses it, that it shows exactly
// what QPainter shows, and that a failure falls back to QPainter silently.
// The comparisons need a platform with OpenGL on a screen (X11, also with a
// software rasteriser); elsewhere they are skipped.
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/qt/gl_presenter.h"
#include "platform/qt/qt_host.h"
#include "platform/window.h"
#include "tests/qt/qt_test_support.h"

namespace {

TEST(PresentChoice, ReadsOnlyTheThreeNames) {
  const struct {
    const char* value;
    PresentChoice expected;
  } cases[] = {
      {nullptr, PresentChoice::Automatic}, {"", PresentChoice::Automatic},
      {"painter", PresentChoice::Painter}, {"opengl", PresentChoice::OpenGL},
      {"gl", PresentChoice::Automatic},    {"opengl ", PresentChoice::Automatic},
      {"shm", PresentChoice::SharedImage}, {"SHM", PresentChoice::Automatic},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PresentChoiceFrom(c.value), c.expected) << (c.value ? c.value : "(none)");
  }
}

TEST(SoftwareRenderer, KnowsMesaSoftwareRasterisersAndNoOtherRenderer) {
  const struct {
    const char* renderer;
    bool software;
  } cases[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
      {"softpipe", true},
      {"Mesa X11 swrast", true},
      {"Software Rasterizer", true},
      {"zink (llvmpipe (LLVM 15.0.6, 256 bits))", true},
      {"", true},
      {nullptr, true},
      // Hardware, some naming the compiler they were built with.
      {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-18-amd64)", false},
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
      {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", false},
      {"virgl (Mesa Intel(R) Xe Graphics)", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSoftwareRenderer(c.renderer), c.software) << (c.renderer ? c.renderer : "(none)");
  }
}

TEST(RenderNode, FoundOnlyByItsNumberedName) {
  const struct {
    std::vector<const char*> entries;
    bool found;
  } cases[] = {
      {{}, false},          {{"card0", "by-path"}, false},           {{"card0", "renderD128"}, true},
      {{"renderD"}, false}, {{"renderD12x", "renderDevice"}, false}, {{"renderD129"}, true},
  };
  for (const auto& c : cases) {
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "prismora-dri-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (const char* entry : c.entries) std::ofstream(dir / entry).put('\n');
    EXPECT_EQ(HasRenderNode(dir.c_str()), c.found) << c.entries.size() << " entries";
    std::filesystem::remove_all(dir);
  }
  EXPECT_FALSE(HasRenderNode("/nonexistent/prismora-dri")) << "a missing directory has none";
}

class QtOpenGLPresentTest : public QtHostTest {
 protected:
  // An ordinary window presenting as choice asks (nullptr: automatic).
  static WindowHandle Create(const char* choice, uint32_t width, uint32_t height) {
    SetPresentChoice(choice);
    WindowRequest request;
    request.width = width;
    request.height = height;
    return gWindows->create(request);
  }

  // A window whose frames go through OpenGL, or 0 when none can be made here.
  static WindowHandle CreateOpenGL(uint32_t width, uint32_t height) {
    WindowHandle window = Create("opengl", width, height);
    if (window != 0 && !QtHostPresentsWithOpenGL(window)) {
      gWindows->destroy(window);
      return 0;
    }
    return window;
  }
};

QImage Contents(WindowHandle handle) {
  QWindow* window = QtHostWindow(handle);
  return window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels that differ between two grabs, as "x,y a b" for the first few.
std::string Differences(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return "sizes differ";
  std::string text;
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      uint32_t pa = a.pixel(x, y) & 0xFFFFFFu, pb = b.pixel(x, y) & 0xFFFFFFu;
      if (pa == pb) continue;
      if (++count <= 5) text += std::to_string(x) + "," + std::to_string(y) + " ";
    }
  }
  return count == 0 ? "" : std::to_string(count) + " pixels differ, first at " + text;
}

// A frame in which every pixel has its own colour, rows padded by two pixels.
struct TestFrame {
  std::vector<uint8_t> bytes;
  FrameImage image;
};

TestFrame MakeFrame(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  TestFrame frame;
  uint32_t bytesPerPixel = bitsPerPixel / 8;
  uint32_t pitch = (width + 2) * bytesPerPixel;
  frame.bytes.assign(size_t(pitch) * height, 0xA5);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* p = frame.bytes.data() + size_t(y) * pitch + x * bytesPerPixel;
      uint32_t r = (x * 37 + y * 11) & 0xFF, g = (y * 41 + 7) & 0xFF, b = (x * 13 + y * 59 + 3) & 0xFF;
      if (bitsPerPixel == 16) {
        uint16_t v = uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
      } else {
        p[0] = uint8_t(b);
        p[1] = uint8_t(g);
        p[2] = uint8_t(r);
        if (bitsPerPixel == 32) p[3] = 0;
      }
    }
  }
  frame.image = FrameImage{frame.bytes.data(), pitch, width, height, bitsPerPixel};
  return frame;
}

TEST_F(QtOpenGLPresentTest, AutomaticChoiceTakesOpenGLOnlyOnAHardwareRenderer) {
  WindowHandle forced = Create("opengl", 200, 150);
  ASSERT_NE(forced, 0u);
  const char* renderer = nullptr;
  bool openGLWorks = QtHostPresentsWithOpenGL(forced, &renderer);
  std::string rendererName = openGLWorks ? renderer : "";
  gWindows->destroy(forced);

  WindowHandle automatic = Create(nullptr, 200, 150);
  WindowHandle unknown = Create("vulkan", 200, 150);
  WindowHandle painter = Create("painter", 200, 150);
  ASSERT_NE(automatic, 0u);
  bool hardware = openGLWorks && !IsSoftwareRenderer(rendererName.c_str());
  EXPECT_EQ(QtHostPresentsWithOpenGL(automatic), hardware) << rendererName;
  EXPECT_EQ(QtHostPresentsWithOpenGL(unknown), hardware) << rendererName;
  EXPECT_FALSE(QtHostPresentsWithOpenGL(painter));
}

TEST_F(QtOpenGLPresentTest, OpenGLShowsWhatQPainterShows) {
  const struct {
    uint32_t frameWidth, frameHeight, windowWidth, windowHeight;
  } sizes[] = {
      {8, 6, 400, 300},      // scaled 50 times
      {8, 6, 520, 300},      // bars left and right
      {8, 6, 400, 380},      // bars above and below
      {240, 180, 240, 180},  // unscaled
  };
  {
    WindowHandle probe = CreateOpenGL(100, 100);
    if (probe == 0) GTEST_SKIP() << "no OpenGL on a screen here";
    gWindows->destroy(probe);
  }
  for (const auto& s : sizes) {
    for (uint32_t bits : {16u, 24u, 32u}) {
      SCOPED_TRACE(std::to_string(bits) + "-bit " + std::to_string(s.frameWidth) + "x" +
                   std::to_string(s.frameHeight) + " in " + std::to_string(s.windowWidth) + "x" +
                   std::to_string(s.windowHeight));
      TestFrame frame = MakeFrame(s.frameWidth, s.frameHeight, bits);
      WindowHandle reference = Create("painter", s.windowWidth, s.windowHeight);
      ASSERT_NE(reference, 0u);
      gWindows->present(reference, frame.image);
      QImage expected = Contents(reference);
      gWindows->destroy(reference);

      WindowHandle gl = CreateOpenGL(s.windowWidth, s.windowHeight);
      ASSERT_NE(gl, 0u);
      gWindows->present(gl, frame.image);
      QImage shown = Contents(gl);
      gWindows->destroy(gl);

      // Not two blank grabs: the picture's centre is the frame's centre pixel.
      const uint8_t* centre = frame.bytes.data() + size_t(s.frameHeight / 2) * frame.image.pitch +
                              (s.frameWidth / 2) * (bits / 8);
      uint32_t pictureCentre = expected.pixel(int(s.windowWidth) / 2, int(s.windowHeight) / 2) & 0xFFFFFFu;
      if (bits == 24 || bits == 32) {
        EXPECT_EQ(pictureCentre, uint32_t(centre[2]) << 16 | uint32_t(centre[1]) << 8 | centre[0]);
      } else {
        EXPECT_NE(pictureCentre, 0u);
      }
      EXPECT_EQ(Differences(shown, expected), "");
    }
  }
}

TEST_F(QtOpenGLPresentTest, FailureFallsBackToQPainterOnceAndSilently) {
  WindowHandle window = CreateOpenGL(400, 300);
  if (window == 0) GTEST_SKIP() << "no OpenGL on a screen here";
  TestFrame first = MakeFrame(8, 6, 32);
  TestFrame second = MakeFrame(8, 6, 16);
  gWindows->present(window, first.image);

  WindowHandle reference = Create("painter", 400, 300);
  gWindows->present(reference, second.image);
  QImage expected = Contents(reference);
  gWindows->destroy(reference);

  QtHostFailNextOpenGLPresent(window);
  std::string errors = CapturedStderr([&] { gWindows->present(window, second.image); });
  EXPECT_EQ(errors, "");
  EXPECT_FALSE(QtHostPresentsWithOpenGL(window));
  // The window was made again: the frame that failed may not have shown.
  gWindows->present(window, second.image);
  EXPECT_EQ(Differences(Contents(window), expected), "");
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gWindows->clientSize(window, &width, &height));
  EXPECT_EQ(width, 400u);
  EXPECT_EQ(height, 300u);
}

}  // namespace
