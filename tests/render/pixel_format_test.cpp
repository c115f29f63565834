// Pixel formats, packing, single pixels and the two sprites on 16-, 24- and
// 32-bit surfaces.
#include "render/pixel_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint8_t kSentinel = 0xAB;
constexpr int kWidth = 24;
constexpr int kHeight = 18;
constexpr int kRowPadding = 7;  // the pitch is deliberately wider than a row of pixels

// The sprite cells as drawn in the text: A full, H shade, L bright, W highlight.
const char* const kBall[5] = {".AAH.", "AWLAH", "ALLAH", "HAAHH", ".HHH."};
const char* const kStar[7] = {"...L...", ".L.L.L.", "..LWL..", "LLWWWLL", "..LWL..", ".L.L.L.", "...L..."};

struct Levels {
  uint32_t full, shade, bright, highlight;
};

// Colour (200, 100, 40) at size 2, worked out by hand per format:
// A (200,100,40), H (100,50,20), L (255,150,60), W (255,255,160).
constexpr Levels kLevels565 = {0xCB25, 0x6182, 0xFCA7, 0xFFF4};
constexpr Levels kLevels888 = {0xC86428, 0x643214, 0xFF963C, 0xFFFFA0};

class PixelFormatTest : public testing::Test {
 protected:
  void SetUp() override { ResetPixelFormat(); }
  void TearDown() override { ResetPixelFormat(); }

  // A surface of the given depth, every byte (padding too) set to the sentinel.
  void MakeSurface(uint32_t bitsPerPixel, int width = kWidth, int height = kHeight) {
    if (bitsPerPixel == 16)
      DerivePixelFormat(0xF800, 0x07E0, 0x001F, 16);
    else
      DerivePixelFormat(0xFF0000, 0x00FF00, 0x0000FF, bitsPerPixel);
    bpp = bitsPerPixel / 8;
    pitch = uint32_t(width) * bpp + kRowPadding;
    memory.assign(size_t(pitch) * uint32_t(height), kSentinel);
    FrameBuffer.base = memory.data();
    FrameBuffer.pitch = pitch;
    FrameBuffer.width = uint32_t(width);
    FrameBuffer.height = uint32_t(height);
  }

  // The memory expected after drawing cells at (x, y) on an untouched surface.
  std::vector<uint8_t> Expected(const char* const* cells, int n, int x, int y, const Levels& l) const {
    std::vector<uint8_t> expected(memory.size(), kSentinel);
    for (int row = 0; row < n; ++row) {
      for (int col = 0; col < n; ++col) {
        uint32_t value = 0;
        switch (cells[row][col]) {
          case 'A':
            value = l.full;
            break;
          case 'H':
            value = l.shade;
            break;
          case 'L':
            value = l.bright;
            break;
          case 'W':
            value = l.highlight;
            break;
          default:
            continue;
        }
        size_t at = size_t(y + row) * pitch + size_t(x + col) * bpp;
        for (uint32_t byte = 0; byte < bpp; ++byte) expected[at + byte] = uint8_t(value >> (8 * byte));
      }
    }
    return expected;
  }

  uint32_t ReadPixel(int x, int y) const {
    uint32_t value = 0;
    for (uint32_t byte = 0; byte < bpp; ++byte)
      value |= uint32_t(memory[size_t(y) * pitch + size_t(x) * bpp + byte]) << (8 * byte);
    return value;
  }

  bool Untouched() const { return std::vector<uint8_t>(memory.size(), kSentinel) == memory; }

  std::vector<uint8_t> memory;
  uint32_t bpp = 0;
  uint32_t pitch = 0;
};

TEST_F(PixelFormatTest, ChannelsFromMasks) {
  struct Case {
    const char* what;
    uint32_t red, green, blue, bits;
    PixelFormatRec expected;  // shifts, divisors, bytes per pixel
  };
  const Case cases[] = {
      {"5-6-5", 0xF800, 0x07E0, 0x001F, 16, {11, 5, 0, 8, 4, 8, 2}},
      {"5-5-5", 0x7C00, 0x03E0, 0x001F, 16, {10, 5, 0, 8, 8, 8, 2}},
      {"8-8-8 in 24", 0xFF0000, 0x00FF00, 0x0000FF, 24, {16, 8, 0, 1, 1, 1, 3}},
      {"8-8-8 in 32", 0xFF0000, 0x00FF00, 0x0000FF, 32, {16, 8, 0, 1, 1, 1, 4}},
      {"blue on top", 0x0000FF, 0x00FF00, 0xFF0000, 32, {0, 8, 16, 1, 1, 1, 4}},
      {"zero red mask", 0, 0x00FF00, 0x0000FF, 32, {0, 8, 0, 1, 1, 1, 4}},
      {"gap in a mask stops the run", 0x0F00F0, 0x00FF00, 0x000003, 32, {4, 8, 0, 16, 1, 64, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetPixelFormat();
    DerivePixelFormat(c.red, c.green, c.blue, c.bits);
    EXPECT_EQ(PixelFormat.redShift, c.expected.redShift);
    EXPECT_EQ(PixelFormat.greenShift, c.expected.greenShift);
    EXPECT_EQ(PixelFormat.blueShift, c.expected.blueShift);
    EXPECT_EQ(PixelFormat.redDivisor, c.expected.redDivisor);
    EXPECT_EQ(PixelFormat.greenDivisor, c.expected.greenDivisor);
    EXPECT_EQ(PixelFormat.blueDivisor, c.expected.blueDivisor);
    EXPECT_EQ(PixelFormat.bytesPerPixel, c.expected.bytesPerPixel);
  }
}

TEST_F(PixelFormatTest, PackPixelEdgeCases) {
  struct Case {
    uint32_t red, green, blue, bits;
    uint32_t r, g, b;
    uint32_t packed;
  };
  const Case cases[] = {
      {0xF800, 0x07E0, 0x001F, 16, 255, 255, 255, 0xFFFF},
      {0xF800, 0x07E0, 0x001F, 16, 255, 0, 0, 0xF800},
      {0xF800, 0x07E0, 0x001F, 16, 7, 3, 7, 0},  // below one step of every channel
      {0xF800, 0x07E0, 0x001F, 16, 8, 4, 8, 0x0821},
      {0xF800, 0x07E0, 0x001F, 16, 0, 0, 0, 0},
      {0x7C00, 0x03E0, 0x001F, 16, 255, 255, 255, 0x7FFF},
      {0x7C00, 0x03E0, 0x001F, 16, 0, 255, 0, 0x03E0},
      {0xFF0000, 0x00FF00, 0x0000FF, 24, 1, 2, 3, 0x010203},
      {0xFF0000, 0x00FF00, 0x0000FF, 32, 255, 255, 255, 0xFFFFFF},
  };
  for (const Case& c : cases) {
    DerivePixelFormat(c.red, c.green, c.blue, c.bits);
    EXPECT_EQ(PackPixel(c.r, c.g, c.b), c.packed)
        << c.r << "," << c.g << "," << c.b << " in mask " << std::hex << c.red;
  }
}

TEST_F(PixelFormatTest, PixelsAreStoredLittleEndianInTheirOwnBytesOnly) {
  struct Case {
    uint32_t bits;
    std::vector<uint8_t> bytes;  // what lands at the pixel, then the byte after it
  };
  const Case cases[] = {
      {16, {0x21, 0x08, kSentinel}},              // PackPixel(8, 4, 8) = 0x0821
      {24, {0x03, 0x02, 0x01, kSentinel}},        // 0x010203
      {32, {0x03, 0x02, 0x01, 0x00, kSentinel}},  // top byte written as 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    MakeSurface(c.bits);
    uint32_t packed = c.bits == 16 ? PackPixel(8, 4, 8) : PackPixel(1, 2, 3);
    PutPixel(packed, 2, 1);
    const uint8_t* at = memory.data() + pitch + 2 * bpp;
    EXPECT_EQ(std::vector<uint8_t>(at, at + c.bytes.size()), c.bytes);
    EXPECT_EQ(at[-1], kSentinel);
  }
}

TEST_F(PixelFormatTest, PutPixelStaysInsideTheSurface) {
  struct Case {
    int x, y;
    bool written;
  };
  const Case cases[] = {
      {0, 0, true},       {kWidth - 1, 0, true}, {0, kHeight - 1, true}, {kWidth - 1, kHeight - 1, true},
      {kWidth, 0, false}, {0, kHeight, false},   {-1, 0, false},         {0, -1, false},
      {-100000, 5, false}};
  for (const Case& c : cases) {
    MakeSurface(32);
    PutPixel(0x00123456, c.x, c.y);
    if (c.written) {
      EXPECT_EQ(ReadPixel(c.x, c.y), 0x00123456u) << c.x << "," << c.y;
      memory[size_t(c.y) * pitch + size_t(c.x) * 4 + 0] = kSentinel;
      memory[size_t(c.y) * pitch + size_t(c.x) * 4 + 1] = kSentinel;
      memory[size_t(c.y) * pitch + size_t(c.x) * 4 + 2] = kSentinel;
      memory[size_t(c.y) * pitch + size_t(c.x) * 4 + 3] = kSentinel;
    }
    EXPECT_TRUE(Untouched()) << c.x << "," << c.y;
  }
}

TEST_F(PixelFormatTest, SpriteCellsOnEveryDepth) {
  struct Depth {
    uint32_t bits;
    Levels levels;
  };
  for (const Depth& d : {Depth{16, kLevels565}, Depth{24, kLevels888}, Depth{32, kLevels888}}) {
    SCOPED_TRACE(d.bits);
    MakeSurface(d.bits);
    PlotBall(3, 2, 200, 100, 40, 2);
    EXPECT_EQ(memory, Expected(kBall, 5, 3, 2, d.levels)) << "ball";

    MakeSurface(d.bits);
    PlotStar(9, 6, 200, 100, 40, 2);
    EXPECT_EQ(memory, Expected(kStar, 7, 9, 6, d.levels)) << "star";
  }
}

TEST_F(PixelFormatTest, SizeScalesTheColourLevels) {
  struct Case {
    int r, g, b, size;
    Levels levels;  // 8-8-8, worked out by hand
  };
  const Case cases[] = {
      {200, 100, 0, 2, {0xC86400, 0x643200, 0xFF9600, 0xFFFF00}},
      {200, 100, 0, 0, {0x643200, 0x321900, 0x964B00, 0xFFC800}},
      {200, 100, 40, 0, {0x643214, 0x32190A, 0x964B1E, 0xFFC850}},
      {200, 100, 40, 1, {0x964B1E, 0x4B250F, 0xE1702D, 0xFFFF78}},
      {200, 100, 40, 2, kLevels888},
      {200, 100, 40, 3, kLevels888},
      {200, 100, 40, -1, kLevels888},
      {255, 255, 255, 2, {0xFFFFFF, 0x7F7F7F, 0xFFFFFF, 0xFFFFFF}},
      {1, 1, 1, 2, {0x010101, 0x000000, 0x010101, 0x040404}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.r << "," << c.g << "," << c.b << " size " << c.size);
    MakeSurface(32);
    PlotBall(0, 0, c.r, c.g, c.b, c.size);
    EXPECT_EQ(memory, Expected(kBall, 5, 0, 0, c.levels)) << "ball";
    MakeSurface(32);
    PlotStar(0, 0, c.r, c.g, c.b, c.size);
    EXPECT_EQ(memory, Expected(kStar, 7, 0, 0, c.levels)) << "star";
  }
}

TEST_F(PixelFormatTest, SpritesAreDrawnWholeOrNotAtAll) {
  struct Case {
    bool star;
    int x, y;
    bool drawn;
  };
  const Case cases[] = {
      {false, kWidth - 4, 0, false},
      {false, kWidth - 5, 0, true},
      {false, 0, kHeight - 4, false},
      {false, 0, kHeight - 5, true},
      {false, kWidth - 5, kHeight - 5, true},
      {false, -1, 0, false},
      {false, 0, -1, false},
      {false, -4, -4, false},
      {true, kWidth - 6, 0, false},
      {true, kWidth - 7, 0, true},
      {true, 0, kHeight - 6, false},
      {true, 0, kHeight - 7, true},
      {true, kWidth - 7, kHeight - 7, true},
      {true, -1, 3, false},
      {true, 3, -1, false},
      {true, -3, -3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.star ? "star" : "ball") << " at " << c.x << "," << c.y);
    for (uint32_t bits : {16u, 24u, 32u}) {
      MakeSurface(bits);
      const Levels& levels = bits == 16 ? kLevels565 : kLevels888;
      if (c.star)
        PlotStar(c.x, c.y, 200, 100, 40, 2);
      else
        PlotBall(c.x, c.y, 200, 100, 40, 2);
      if (c.drawn)
        EXPECT_EQ(memory,
                  c.star ? Expected(kStar, 7, c.x, c.y, levels) : Expected(kBall, 5, c.x, c.y, levels))
            << bits;
      else
        EXPECT_TRUE(Untouched()) << bits;
    }
  }

  // The last screen column and row take the ball's shaded edge.
  MakeSurface(32);
  PlotBall(kWidth - 5, kHeight - 5, 200, 100, 40, 2);
  EXPECT_EQ(ReadPixel(kWidth - 1, kHeight - 4), kLevels888.shade);
  EXPECT_EQ(ReadPixel(kWidth - 2, kHeight - 1), kLevels888.shade);

  // A surface narrower than a sprite takes none.
  MakeSurface(32, 3, 3);
  PlotBall(0, 0, 200, 100, 40, 2);
  PlotStar(0, 0, 200, 100, 40, 2);
  EXPECT_TRUE(Untouched());
}

}  // namespace
