// The wallpaper export on the headless display: the BMP's bytes at 16, 24
// and 32 bits with and without stretching, the previous file, every logged
// failure, and the desktop call with its notice.
#include "render/wallpaper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diag/log.h"
#include "patterns/options.h"
#include "platform/directories.h"
#include "platform/headless/headless.h"
#include "render/display.h"
#include "render/pixel_format.h"
#include "render/text_overlay.h"
#include "saver/screen_saver.h"
#include "tests/support/heap_hooks.h"
#include "tests/support/log_text.h"
#include "tests/support/test_host.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint32_t U16(const std::vector<uint8_t>& b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }

class WallpaperTest : public HeadlessTest {
 protected:
  // A presented frame of width x height at depth, with a red pixel at the
  // top-left corner, a green one at the bottom-right and blue elsewhere on
  // the bottom row.
  void PresentPicture(uint32_t width, uint32_t height, uint32_t depth) {
    gScreenWidth = width;
    gScreenHeight = height;
    gForcedDepth = depth;
    ASSERT_TRUE(DDInitialise(1));
    DDClearBackSurface();
    ASSERT_TRUE(DDLockBackSurface());
    for (uint32_t x = 0; x < width; ++x) PutPixel(PackPixel(0, 0, 255), int(x), int(height - 1));
    PutPixel(PackPixel(255, 0, 0), 0, 0);
    PutPixel(PackPixel(0, 255, 0), int(width - 1), int(height - 1));
    DDUnlockBackSurface();
    DDPresent();
  }
};

TEST_F(WallpaperTest, HeadersAndSizesAtEveryDepthWithAndWithoutStretch) {
  gDesktopWidth = 1280;
  gDesktopHeight = 1024;
  struct Case {
    uint32_t depth;
    int stretch;
    uint32_t width, height;
    uint32_t colours;
    uint32_t offset;
    uint32_t rowBytes;
  } cases[] = {
      {32, 0, 640, 480, 0, 54, 2560},         {32, 1, 1280, 1024, 0, 54, 5120},
      {24, 0, 640, 480, 0, 54, 1920},         {24, 1, 1280, 1024, 0, 54, 3840},
      {16, 0, 640, 480, 65536, 262198, 1280}, {16, 1, 1280, 1024, 65536, 262198, 2560},
  };
  for (const Case& c : cases) {
    gOptions.StretchWallpaper = c.stretch;
    PresentPicture(640, 480, c.depth);
    MakeWallpaper();
    std::vector<uint8_t> b = ReadFile(WallpaperPath());
    uint32_t imageSize = c.rowBytes * c.height;
    ASSERT_EQ(b.size(), size_t(c.offset) + imageSize) << c.depth << " stretch " << c.stretch;
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 6), 0u);
    EXPECT_EQ(U32(b, 10), c.offset);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(U32(b, 18), c.width);
    EXPECT_EQ(U32(b, 22), c.height);
    EXPECT_EQ(U16(b, 26), 1u);
    EXPECT_EQ(U16(b, 28), c.depth);
    EXPECT_EQ(U32(b, 30), 0u);
    EXPECT_EQ(U32(b, 34), imageSize);
    EXPECT_EQ(U32(b, 38), 0u);
    EXPECT_EQ(U32(b, 42), 0u);
    EXPECT_EQ(U32(b, 46), c.colours);
    EXPECT_EQ(U32(b, 50), 0u);
    bool tableZero = true;
    for (size_t i = 54; i < c.offset; ++i)
      if (b[i] != 0) tableZero = false;
    EXPECT_TRUE(tableZero) << c.depth;

    // Rows run bottom-up: the file's first row is the picture's bottom row.
    const uint8_t* bottom = b.data() + c.offset;
    const uint8_t* top = bottom + size_t(c.height - 1) * c.rowBytes;
    const uint8_t* lastPixel = bottom + size_t(c.width - 1) * (c.depth / 8);
    if (c.depth == 16) {
      EXPECT_EQ(U16(b, size_t(top - b.data())), 0x7C00u) << "red as 5-5-5";
      EXPECT_EQ(U16(b, size_t(bottom - b.data())), 0x001Fu) << "blue";
      EXPECT_EQ(U16(b, size_t(lastPixel - b.data())), 0x03E0u) << "green as 5-5-5";
    } else {
      EXPECT_EQ(top[2], 255);
      EXPECT_EQ(top[0], 0);
      EXPECT_EQ(bottom[0], 255);
      EXPECT_EQ(lastPixel[1], 255);
      EXPECT_EQ(lastPixel[0], 0);
    }
    EXPECT_EQ(gHeadless.wallpaperWidth, c.width);
    EXPECT_EQ(gHeadless.wallpaperHeight, c.height);
  }
  // A width whose rows need padding: 641 pixels at 24 bits are 1923 bytes, padded to 1924.
  gOptions.StretchWallpaper = 0;
  PresentPicture(641, 480, 24);
  MakeWallpaper();
  std::vector<uint8_t> b = ReadFile(WallpaperPath());
  EXPECT_EQ(U32(b, 34), 1924u * 480);
  EXPECT_EQ(b.size(), 54u + 1924u * 480);
}

TEST_F(WallpaperTest, FirstExportLogsTheCopyAndTwoExportsKeepTheFirstPicture) {
  gOptions.StretchWallpaper = 0;
  PresentPicture(640, 480, 32);
  MakeWallpaper();
  EXPECT_NE(LogText().find("MakeWallpaper: CopyFile failed: 2\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(OldWallpaperPath()));
  std::vector<uint8_t> first = ReadFile(WallpaperPath());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(gHeadless.wallpaperCalls, 1u);
  EXPECT_EQ(gHeadless.wallpaperPath, WallpaperPath());
  EXPECT_EQ(gTextOverlay.wallpaperNotice.on, 1);
  EXPECT_EQ(gTextOverlay.wallpaperNotice.endTick, gHeadless.tick + 4000);

  // A second picture: the first moves to the old file.
  DDClearBackSurface();
  DDPresent();
  MakeWallpaper();
  std::vector<uint8_t> second = ReadFile(WallpaperPath());
  EXPECT_EQ(ReadFile(OldWallpaperPath()), first);
  EXPECT_NE(second, first);
  EXPECT_EQ(second.size(), first.size());
  EXPECT_EQ(gHeadless.wallpaperCalls, 2u);
}

TEST_F(WallpaperTest, FailuresAreLoggedAndLeaveTheWallpaperAlone) {
  gOptions.StretchWallpaper = 0;
  // No display: nothing to capture.
  MakeWallpaper();
  EXPECT_NE(LogText().find("MakeWallpaper: DDGetDC failed: 13\n"), std::string::npos);
  // The next frame has begun drawing: the screen is no longer in the buffer.
  PresentPicture(640, 480, 32);
  DDClearBackSurface();
  MakeWallpaper();
  EXPECT_NE(LogText().find("MakeWallpaper: DDGetDC failed: b\n"), std::string::npos);
  EXPECT_EQ(gHeadless.wallpaperCalls, 0u);

  // Out of memory for the picture.
  {
    HeapHooksScope hooks;
    DDPresent();
    gHeapHooks.failNothrow = 1;
    MakeWallpaper();
    EXPECT_NE(LogText().find("MakeWallpaper: CreateCompatibleBitmap failed: c\n"), std::string::npos);
  }

  // The data directory is a file: the copy and the new file both fail.
  std::string data = DataDirectory();
  std::filesystem::create_directories(std::filesystem::path(data).parent_path());
  std::ofstream(data) << "in the way";
  MakeWallpaper();
  EXPECT_NE(LogText().find("MakeWallpaper: CopyFile failed: 14\n"), std::string::npos);
  EXPECT_NE(LogText().find("MakeWallpaper: CreateFile failed: 14\n"), std::string::npos);
  EXPECT_EQ(gHeadless.wallpaperCalls, 0u);
  EXPECT_EQ(gTextOverlay.wallpaperNotice.on, 0) << "no notice when nothing was written";
  std::filesystem::remove(data);
}

// The notice says what became of the picture: the desktop took it, or only
// the file was written.
TEST_F(WallpaperTest, TheNoticeSaysWhetherTheDesktopTookThePicture) {
  gOptions.StretchWallpaper = 0;
  for (int desktopResult : {0, 5}) {  // took it; its tool failed
    PresentPicture(640, 480, 32);
    gHeadless.wallpaperResult = desktopResult;
    MakeWallpaper();
    EXPECT_STREQ(gTextOverlay.wallpaperNotice.text, desktopResult ? "Wallpaper saved" : "Wallpaper set!");
  }
  size_t logged = LogText().find("SystemParametersInfo failed: 5\n");
  EXPECT_NE(logged, std::string::npos) << LogText();
  EXPECT_EQ(LogText().find("SystemParametersInfo"), logged) << LogText();
  EXPECT_TRUE(std::filesystem::exists(WallpaperPath()));
}

TEST_F(WallpaperTest, LayoutRoundsTheDepthAndPadsRows) {
  struct Case {
    uint32_t width, height, bits;
    uint32_t b, colours;
    uint64_t imageSize, offset;
  } cases[] = {
      {640, 480, 32, 32, 0, 640u * 4 * 480, 54},  {3, 2, 24, 24, 0, 12u * 2, 54},
      {3, 2, 16, 16, 65536, 8u * 2, 54 + 262144}, {5, 1, 15, 16, 65536, 12, 54 + 262144},
      {9, 1, 8, 8, 256, 12, 54 + 1024},
  };
  for (const Case& c : cases) {
    BitmapLayoutRec layout = BitmapLayout(c.width, c.height, c.bits);
    EXPECT_EQ(layout.bitsPerPixel, c.b) << c.bits;
    EXPECT_EQ(layout.colours, c.colours) << c.bits;
    EXPECT_EQ(layout.imageSize, c.imageSize) << c.bits;
    EXPECT_EQ(layout.offset, c.offset) << c.bits;
    EXPECT_EQ(layout.fileSize, c.offset + c.imageSize) << c.bits;
  }
}

}  // namespace
