// The display on the headless host: the resolution list, the depth choice,
// the background picture, the frame services, lost surfaces and failures.
#include "render/display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diag/log.h"
#include "patterns/options.h"
#include "platform/headless/headless.h"
#include "platform/message_box.h"
#include "platform/messages.h"
#include "render/pixel_format.h"
#include "tests/support/log_text.h"
#include "tests/support/test_host.h"

namespace {

constexpr WindowHandle kWindow = 1;
constexpr const char* kNoDepthMessage =
    "A screen resolution of 640x480 with a colour depth of 16 or 24 bits per pixel is not supported by your "
    "hardware.";

std::vector<std::string> Resolutions() {
  char list[kResolutionListSize][kResolutionTextSize];
  std::memset(list, 0x5A, sizeof list);
  uint32_t count = 99;
  DDGetResolutions(list, &count);
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < count && i < uint32_t(kResolutionListSize); ++i) texts.emplace_back(list[i]);
  return texts;
}

uint32_t ReadPixel(const uint8_t* base, uint32_t pitch, uint32_t bytesPerPixel, uint32_t x, uint32_t y) {
  const uint8_t* p = base + size_t(y) * pitch + size_t(x) * bytesPerPixel;
  uint32_t value = 0;
  for (uint32_t i = 0; i < bytesPerPixel; ++i) value |= uint32_t(p[i]) << (8 * i);
  return value;
}

// Every pixel of row y of the locked back surface, or UINT32_MAX when they differ.
uint32_t RowValue(uint32_t y) {
  uint32_t first = ReadPixel(FrameBuffer.base, FrameBuffer.pitch, PixelFormat.bytesPerPixel, 0, y);
  for (uint32_t x = 1; x < FrameBuffer.width; ++x)
    if (ReadPixel(FrameBuffer.base, FrameBuffer.pitch, PixelFormat.bytesPerPixel, x, y) != first)
      return UINT32_MAX;
  return first;
}

void FillBackSurface(uint8_t byte) {
  ASSERT_TRUE(DDLockBackSurface());
  std::memset(FrameBuffer.base, byte, size_t(FrameBuffer.pitch) * FrameBuffer.height);
  DDUnlockBackSurface();
}

}  // namespace

class DisplayTest : public HeadlessTest {
 protected:
  bool Start(uint32_t width = 640, uint32_t height = 480) {
    gScreenWidth = width;
    gScreenHeight = height;
    return DDInitialise(kWindow);
  }
};

TEST_F(DisplayTest, ResolutionListStartsWithTheDesktopAndOmitsWhatDoesNotFit) {
  struct Case {
    uint32_t width, height;
    unsigned depths;
    std::vector<std::string> expected;
  } cases[] = {
      {1920,
       1080,
       kDepth16 | kDepth24 | kDepth32,
       {"1920 x 1080", "1680 x 1050", "1600 x 900", "1440 x 900", "1366 x 768", "1280 x 1024", "1280 x 960",
        "1280 x 800", "1280 x 720", "1024 x 768", "800 x 600", "640 x 480"}},
      {1000, 700, kDepth32, {"1000 x 700", "800 x 600", "640 x 480"}},
      {800, 480, kDepth16, {"800 x 480", "640 x 480"}},
      {1280,
       1024,
       kDepth24 | kDepth32,
       {"1280 x 1024", "1280 x 960", "1280 x 800", "1280 x 720", "1024 x 768", "800 x 600", "640 x 480"}},
      {3840,
       2160,
       kDepth16 | kDepth32,
       {"3840 x 2160", "2560 x 1440", "1920 x 1200", "1920 x 1080", "1680 x 1050", "1600 x 1200",
        "1600 x 900", "1440 x 900", "1366 x 768", "1280 x 1024", "1280 x 960", "1280 x 800", "1280 x 720",
        "1024 x 768", "800 x 600", "640 x 480"}},
      {639, 480, kDepth16 | kDepth24 | kDepth32, {}},
      {1024, 479, kDepth16 | kDepth24 | kDepth32, {}},
      {1920, 1080, 0, {}},
  };
  for (const Case& c : cases) {
    ResetResolutionList();
    gHeadless.desktopWidth = c.width;
    gHeadless.desktopHeight = c.height;
    gHeadless.depths = c.depths;
    EXPECT_EQ(Resolutions(), c.expected) << c.width << "x" << c.height << " depths " << c.depths;
  }
}

TEST_F(DisplayTest, ResolutionListIsBuiltOnceAndNotesTheStoredResolution) {
  std::strcpy(gOptions.Resolution, "1280 x 720");
  ASSERT_EQ(Resolutions().size(), 12u);
  EXPECT_EQ(gResolutionList.storedResolutionAvailable, 1);

  gHeadless.desktopWidth = 800;
  gHeadless.desktopHeight = 600;
  EXPECT_EQ(Resolutions().size(), 12u) << "the list of the first call stays";

  ResetResolutionList();
  std::strcpy(gOptions.Resolution, "1920 x 1080");
  EXPECT_EQ(Resolutions(), (std::vector<std::string>{"800 x 600", "640 x 480"}));
  EXPECT_EQ(gResolutionList.storedResolutionAvailable, 0) << "1920 x 1080 does not fit on 800 x 600";
}

TEST_F(DisplayTest, ModeCallbackSkipsRepeatsAndSmallModesAndStopsAtFifty) {
  auto Mode = [](uint32_t w, uint32_t h, uint32_t bpp) {
    DisplayModeRec m;
    m.width = w;
    m.height = h;
    m.bitsPerPixel = bpp;
    m.redMask = 0xF800;
    m.greenMask = 0x07E0;
    m.blueMask = 0x001F;
    return m;
  };
  EXPECT_EQ(EnumModesCallback(Mode(1024, 768, 8)), DDENUMRET_OK);
  EXPECT_EQ(EnumModesCallback(Mode(639, 1000, 32)), DDENUMRET_OK);
  EXPECT_EQ(EnumModesCallback(Mode(2000, 479, 32)), DDENUMRET_OK);
  EXPECT_EQ(gResolutionList.count, 0u) << "8-bit modes and sizes below 640 x 480 are not listed";

  EXPECT_EQ(EnumModesCallback(Mode(1024, 768, 16)), DDENUMRET_OK);
  EXPECT_EQ(EnumModesCallback(Mode(1024, 768, 32)), DDENUMRET_OK);
  EXPECT_EQ(gResolutionList.count, 1u);

  int answer = DDENUMRET_OK;
  int calls = 0;
  while (answer == DDENUMRET_OK && calls < 100)
    answer = EnumModesCallback(Mode(700 + uint32_t(calls++), 600, 24));
  EXPECT_EQ(answer, DDENUMRET_CANCEL);
  EXPECT_EQ(calls, 49) << "the 49th new size fills the list and ends the enumeration";
  EXPECT_EQ(gResolutionList.count, 50u);
  EXPECT_STREQ(gResolutionList.texts[49], "748 x 600");
  EXPECT_EQ(EnumModesCallback(Mode(900, 600, 24)), DDENUMRET_CANCEL);
  EXPECT_EQ(gResolutionList.count, 50u);
}

TEST_F(DisplayTest, DepthFollowsTheOfferedModesTheDesktopAndTheForcedDepth) {
  constexpr unsigned kAll = kDepth16 | kDepth24 | kDepth32;
  struct Case {
    unsigned offered;
    uint32_t desktopDepth;
    uint32_t forced;
    uint32_t expected;
  } cases[] = {
      {kAll, 32, 0, 32},
      {kAll, 16, 0, 16},
      {kAll, 24, 0, 24},
      {kAll, 8, 0, 32},
      {kDepth16 | kDepth24, 32, 0, 24},
      {kDepth16, 32, 0, 16},
      {kDepth24 | kDepth32, 16, 0, 32},
      {kAll, 32, 16, 16},
      {kAll, 16, 24, 24},
      {kDepth16 | kDepth32, 32, 24, 32},
      {kDepth16 | kDepth32, 16, 24, 16},
  };
  for (const Case& c : cases) {
    ResetDisplay();
    gHeadless.depths = c.offered;
    gHeadless.desktopBitsPerPixel = c.desktopDepth;
    gForcedDepth = c.forced;
    ASSERT_TRUE(Start()) << "offered " << c.offered;
    EXPECT_EQ(PixelFormat.bytesPerPixel, c.expected / 8)
        << "offered " << c.offered << " desktop " << c.desktopDepth << " forced " << c.forced;
    DDPresent();
    EXPECT_EQ(gHeadless.lastFrame.bitsPerPixel, c.expected);
  }
  EXPECT_TRUE(gHeadless.messageBoxes.empty());
}

TEST_F(DisplayTest, NoOfferedDepthFailsWithTheFixedMessageWhateverTheSize) {
  gHeadless.depths = 0;
  for (auto [width, height] : {std::pair{640u, 480u}, {1920u, 1080u}}) {
    gHeadless.messageBoxes.clear();
    EXPECT_FALSE(Start(width, height));
    EXPECT_FALSE(gSurfacesReady);
    EXPECT_FALSE(DDLockBackSurface());
    ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
    EXPECT_EQ(gHeadless.messageBoxes[0].text, kNoDepthMessage);
    EXPECT_EQ(gHeadless.messageBoxes[0].caption, "Initialisation Error");
    EXPECT_EQ(gHeadless.messageBoxes[0].flags, MB_ICONERROR);
  }
  EXPECT_NE(LogText().find(std::string("DDInitFail: ") + kNoDepthMessage + "\n"), std::string::npos)
      << LogText();
  EXPECT_EQ(QueuedMessageCount(), 0u) << "a failed start leaves the closing to its caller";
}

TEST_F(DisplayTest, PresentHandsTheWholeBufferWithItsPitchAndDepth) {
  // 641 pixels a row: 1282, 1923 and 2564 bytes, padded to 1284, 1924 and 2564.
  for (auto [depth, pitch] : {std::pair{16u, 1284u}, {24u, 1924u}, {32u, 2564u}}) {
    ResetDisplay();
    gHeadless.presentCount = 0;
    gHeadless.keepFrames = true;
    gForcedDepth = depth;
    ASSERT_TRUE(Start(641, 401));
    ASSERT_TRUE(DDLockBackSurface());
    EXPECT_EQ(FrameBuffer.pitch, pitch);
    EXPECT_EQ(FrameBuffer.width, 641u);
    EXPECT_EQ(FrameBuffer.height, 401u);
    for (uint32_t i = 0; i < FrameBuffer.pitch * FrameBuffer.height; ++i)
      FrameBuffer.base[i] = uint8_t(i * 7);
    std::vector<uint8_t> drawn(FrameBuffer.base, FrameBuffer.base + size_t(pitch) * 401);
    DDUnlockBackSurface();
    DDPresent();
    EXPECT_EQ(gHeadless.presentCount, 1u);
    EXPECT_EQ(gHeadless.lastFrame.pitch, pitch);
    EXPECT_EQ(gHeadless.lastFrame.width, 641u);
    EXPECT_EQ(gHeadless.lastFrame.height, 401u);
    EXPECT_EQ(gHeadless.lastFrame.bitsPerPixel, depth);
    EXPECT_TRUE(gHeadless.lastFramePixels == drawn) << depth << " bits";
    ASSERT_TRUE(DDLockBackSurface());
    EXPECT_EQ(std::memcmp(FrameBuffer.base, drawn.data(), drawn.size()), 0)
        << "the back buffer keeps its picture";
  }
}

TEST_F(DisplayTest, BackgroundIsAVerticalBlueGradient) {
  struct Case {
    uint32_t depth;
    int brightness;
    uint32_t row0, row1, row240, row479;
  } cases[] = {
      // 255 * 1 / 480 + 0.5 = 1.03; 255 * 240 / 480 + 0.5 = 128; 255 * 479 / 480 + 0.5 = 254.97.
      {32, 255, 0, 0x01, 0x80, 0xFE},
      {24, 100, 0, 0x00, 0x32, 0x64},
      // 5-6-5 keeps the top five bits of blue: 1 / 8, 128 / 8, 254 / 8.
      {16, 255, 0, 0x0000, 0x0010, 0x001F},
      {16, 0, 0, 0, 0, 0},
      {32, 0, 0, 0, 0, 0},
      // Hand-edited values beyond a channel are held to it, never spilling into green.
      {32, int(0xffffffd0u), 0, 0, 0, 0},
      {32, 4000, 0, 0x01, 0x80, 0xFE},
      {16, 4000, 0, 0x0000, 0x0010, 0x001F},
  };
  for (const Case& c : cases) {
    ResetDisplay();
    gForcedDepth = c.depth;
    gOptions.BackgroundBrightness = c.brightness;
    gUseBackground = 1;
    ASSERT_TRUE(Start());
    FillBackSurface(0x77);
    DDClearBackSurface();
    ASSERT_TRUE(DDLockBackSurface());
    EXPECT_EQ(RowValue(0), c.row0) << c.depth << " bits, brightness " << c.brightness;
    EXPECT_EQ(RowValue(1), c.row1) << c.depth << " bits, brightness " << c.brightness;
    EXPECT_EQ(RowValue(240), c.row240) << c.depth << " bits, brightness " << c.brightness;
    EXPECT_EQ(RowValue(479), c.row479) << c.depth << " bits, brightness " << c.brightness;
  }
}

TEST_F(DisplayTest, TheBackgroundShowsTheBrightnessOfItsMakingWhenFirstUsedLater) {
  // The gradient is drawn on first use; what it shows is fixed when it is made.
  gForcedDepth = 32;
  gOptions.BackgroundBrightness = 255;
  gUseBackground = 0;
  ASSERT_TRUE(Start());
  gOptions.BackgroundBrightness = 0;
  DDClearBackSurface();
  ASSERT_TRUE(DDLockBackSurface());
  EXPECT_EQ(RowValue(479), 0u) << "not used yet: the clear is black";
  gUseBackground = 1;
  DDClearBackSurface();
  EXPECT_EQ(RowValue(240), 0x80u);
  EXPECT_EQ(RowValue(479), 0xFEu);
}

TEST_F(DisplayTest, ClearIsBlackWithoutTheBackgroundAndNothingBeforeStart) {
  gOptions.BackgroundBrightness = 255;
  gUseBackground = 0;
  DDClearBackSurface();  // nothing exists yet: must not touch anything
  DDPresent();
  EXPECT_EQ(gHeadless.presentCount, 0u);
  ASSERT_TRUE(Start());
  FillBackSurface(0x77);
  DDClearBackSurface();
  ASSERT_TRUE(DDLockBackSurface());
  for (uint32_t y : {0u, 200u, 479u}) EXPECT_EQ(RowValue(y), 0u) << "row " << y;
  // The background can be switched on between frames (a morph does).
  gUseBackground = 1;
  DDClearBackSurface();
  EXPECT_EQ(RowValue(479), 0xFEu);
}

TEST_F(DisplayTest, LostSurfacesAreRestoredWithABoundedRetry) {
  // Up to three restores a frame; a frame that needed one is not shown.
  struct Case {
    int failingRestores;
    unsigned framesLost;
  } cases[] = {{0, 1}, {1, 1}, {2, 1}, {3, 2}, {5, 2}, {6, 3}};
  for (const Case& c : cases) {
    ResetDisplay();
    gHeadless.presentCount = 0;
    ASSERT_TRUE(Start());
    DDSimulateSurfaceLoss(c.failingRestores);
    EXPECT_FALSE(DDLockBackSurface()) << "a lost surface does not lock";
    unsigned frames = 0;
    while (gHeadless.presentCount == 0 && frames < 10) {
      DDPresent();
      ++frames;
    }
    EXPECT_EQ(frames - 1, c.framesLost) << c.failingRestores << " failing restores";
    EXPECT_TRUE(DDLockBackSurface());
  }
}

TEST_F(DisplayTest, ARestoredBackgroundIsRedrawn) {
  gForcedDepth = 32;
  gOptions.BackgroundBrightness = 255;
  gUseBackground = 1;
  ASSERT_TRUE(Start());
  DDSimulateSurfaceLoss(1);
  DDClearBackSurface();  // lost, restore fails, lost again, restore succeeds
  DDClearBackSurface();
  ASSERT_TRUE(DDLockBackSurface());
  EXPECT_EQ(RowValue(0), 0u);
  EXPECT_EQ(RowValue(479), 0xFEu);
}

TEST_F(DisplayTest, CleanUpIsSafeToRepeatAndStopsTheFrameServices) {
  DDCleanUp();
  ASSERT_TRUE(Start());
  ASSERT_TRUE(DDCreateTextSurface());
  ASSERT_TRUE(DDLockBackSurface());
  DDCleanUp();
  DDCleanUp();
  EXPECT_FALSE(gSurfacesReady);
  EXPECT_FALSE(DDLockBackSurface());
  EXPECT_FALSE(DDTextSurfaceExists());
  EXPECT_EQ(FrameBuffer.base, nullptr);
  DDClearBackSurface();
  DDPresent();
  DDBlitTextRegion(0);
  EXPECT_EQ(gHeadless.presentCount, 0u);
  ASSERT_TRUE(Start()) << "the display can be made again";
  DDPresent();
  EXPECT_EQ(gHeadless.presentCount, 1u);
}

TEST_F(DisplayTest, TextRegionsAreCopiedOpaquely) {
  gForcedDepth = 32;
  ASSERT_TRUE(Start(64, 48));
  ASSERT_TRUE(DDCreateTextSurface());
  SurfaceDescRec text;
  ASSERT_TRUE(DDLockTextSurface(&text));
  ASSERT_EQ(text.width, 64u);
  ASSERT_EQ(text.bitsPerPixel, 32u);
  for (uint32_t y = 0; y < text.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(text.pixels + size_t(y) * text.pitch);
    for (uint32_t x = 0; x < text.width; ++x) EXPECT_EQ(row[x], 0u) << "a new text surface is black";
  }
  // A 4 x 2 region at (2, 3): white except one black pixel at (3, 4).
  for (uint32_t y = 3; y < 5; ++y)
    for (uint32_t x = 2; x < 6; ++x)
      reinterpret_cast<uint32_t*>(text.pixels + size_t(y) * text.pitch)[x] =
          (x == 3 && y == 4) ? 0 : 0xFFFFFF;
  DDUnlockTextSurface();
  DDSetTextRegion(1, DDRect{2, 3, 6, 5}, DDRect{10, 20, 14, 22});
  DDSetTextRegion(2, DDRect{2, 3, 6, 5}, DDRect{60, 20, 64, 22});  // fits exactly at the right edge
  DDSetTextRegion(3, DDRect{2, 3, 6, 5}, DDRect{62, 20, 66, 22});  // sticks out: not copied
  FillBackSurface(0x55);
  for (int slot : {1, 2, 3, 4, -1}) DDBlitTextRegion(slot);
  ASSERT_TRUE(DDLockBackSurface());
  auto Back = [](uint32_t x, uint32_t y) { return ReadPixel(FrameBuffer.base, FrameBuffer.pitch, 4, x, y); };
  EXPECT_EQ(Back(10, 20), 0xFFFFFFu);
  EXPECT_EQ(Back(13, 21), 0xFFFFFFu);
  EXPECT_EQ(Back(11, 21), 0u) << "black in the text is copied too";
  EXPECT_EQ(Back(9, 20), 0x55555555u);
  EXPECT_EQ(Back(14, 20), 0x55555555u);
  EXPECT_EQ(Back(10, 22), 0x55555555u);
  EXPECT_EQ(Back(60, 20), 0xFFFFFFu);
  EXPECT_EQ(Back(63, 21), 0xFFFFFFu);
  EXPECT_EQ(Back(62, 19), 0x55555555u);
  EXPECT_EQ(Back(62, 22), 0x55555555u);
  int changed = 0;
  for (uint32_t y = 0; y < 48; ++y)
    for (uint32_t x = 0; x < 64; ++x) changed += Back(x, y) != 0x55555555u;
  EXPECT_EQ(changed, 16) << "two regions of 4 x 2, nothing else";
}

TEST_F(DisplayTest, SurfacesThatCannotBeMadeAreReported) {
  DDSimulateOutOfMemory(DisplaySurface::Back);
  EXPECT_FALSE(Start());
  ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text,
            "Back surface CreateSurface failed with error: DDERR_OUTOFMEMORY\n");
  EXPECT_EQ(gHeadless.messageBoxes[0].caption, "Initialisation Error");

  gHeadless.messageBoxes.clear();
  DDSimulateOutOfMemory(DisplaySurface::Background);
  EXPECT_FALSE(Start());
  ASSERT_EQ(gHeadless.messageBoxes.size(), 2u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text, "DDCreateBgSurface failed with error: DDERR_OUTOFMEMORY\n");
  EXPECT_EQ(gHeadless.messageBoxes[1].text, "DDCreateBgSurface failed\n");
  EXPECT_FALSE(gSurfacesReady);
  EXPECT_EQ(QueuedMessageCount(), 0u);

  std::string log = LogText();
  EXPECT_NE(log.find("DDInitFail: Back surface CreateSurface failed with error: DDERR_OUTOFMEMORY\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("DDInitFail: DDCreateBgSurface failed\n"), std::string::npos) << log;
}

TEST_F(DisplayTest, ATextSurfaceFailureWhileFramesRunEndsTheSaver) {
  ASSERT_TRUE(Start());
  gHeadless.messageBoxes.clear();
  DDSimulateOutOfMemory(DisplaySurface::Text);
  EXPECT_FALSE(DDCreateTextSurface());
  ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text, "DDCreateTextSurface failed with error: DDERR_OUTOFMEMORY\n");
  EXPECT_FALSE(gSurfacesReady);
  Message m;
  ASSERT_TRUE(PeekMessage(&m, true));
  EXPECT_EQ(m.message, uint32_t(WM_CLOSE));
  EXPECT_EQ(m.window, kWindow);
  DDPresent();
  EXPECT_EQ(gHeadless.presentCount, 0u);
}

TEST_F(DisplayTest, InitFailTextIsAtMost256Characters) {
  std::string longText(300, 'x');
  DDInitFail("%s", longText.c_str());
  ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text, std::string(256, 'x'));
}

TEST_F(DisplayTest, ErrorNames) {
  struct Case {
    uint32_t code;
    const char* name;
  } cases[] = {
      {0x887601C2, "DDERR_SURFACELOST"},
      {0x8007000E, "DDERR_OUTOFMEMORY"},
      {0x80070057, "DDERR_INVALIDPARAMS"},
      {0x80004001, "DDERR_UNSUPPORTED"},
      {0x80004005, "DDERR_GENERIC"},
      {0x800401F0, "DDERR_NOTINITIALIZED"},
      {0x88760005, "DDERR_ALREADYINITIALIZED"},
      {0x88760082, "DDERR_INVALIDOBJECT"},
      {0x8876005F, "DDERR_INCOMPATIBLEPRIMARY"},
      {0x88760233, "DDERR_NODIRECTDRAWHW"},
      {0x88760250, "DDERR_INVALIDSURFACETYPE"},
      {0x887602A8, "DDERR_NOTPAGELOCKED"},
      {0, "Unknown error"},
      {0x88760001, "Unknown error"},
      {0x8876010E, "Unknown error"},  // DDERR_OVERLAPPINGRECTS is not among the names
      {0x887602B2, "Unknown error"},
  };
  for (const Case& c : cases) EXPECT_STREQ(DDErrorName(c.code), c.name) << std::hex << c.code;
}
