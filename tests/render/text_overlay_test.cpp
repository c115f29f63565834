// The on-screen text on the headless display with the real font: slot
// regions, the two weight branches and their colours, clipping, the frame
// rate, notices, the effects list, the key-help size, the windowed player's
// slots, all three pixel formats, and the text in presented frames.
#include "render/text_overlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "engine/effects.h"
#include "engine/engine.h"
#include "patterns/morph_setup.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "platform/text.h"
#include "render/display.h"
#include "render/frame_renderer.h"
#include "render/pixel_format.h"
#include "tests/support/headless_engine.h"
#include "tests/support/test_host.h"

namespace {

struct Colour {
  int r = 0, g = 0, b = 0;
  bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator<(const Colour& o) const { return r != o.r ? r < o.r : g != o.g ? g < o.g : b < o.b; }
};

std::ostream& operator<<(std::ostream& out, const Colour& c) {
  return out << "(" << c.r << "," << c.g << "," << c.b << ")";
}

Colour ReadPixel(const uint8_t* pixels, uint32_t pitch, uint32_t bitsPerPixel, int x, int y) {
  const uint8_t* p = pixels + size_t(y) * pitch + size_t(x) * (bitsPerPixel / 8);
  if (bitsPerPixel == 16) {
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
    return Colour{int(v >> 11) << 3, int((v >> 5) & 0x3F) << 2, int(v & 0x1F) << 3};
  }
  return Colour{p[2], p[1], p[0]};
}

// What the lit pixels of an area of the text surface (or the presented
// frame) look like.
struct Ink {
  int count = 0;
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // bounding box, inclusive
  Colour mostCommon;                                           // among the lit pixels
  Colour brightest;                                            // by r + g + b
};

Ink InkIn(const uint8_t* pixels, uint32_t pitch, uint32_t bitsPerPixel, const DDRect& area) {
  Ink ink;
  std::map<Colour, int> counts;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      Colour c = ReadPixel(pixels, pitch, bitsPerPixel, x, y);
      if (c == Colour{}) continue;
      ink.count += 1;
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x);
      ink.top = std::min(ink.top, y);
      ink.bottom = std::max(ink.bottom, y);
      counts[c] += 1;
      if (c.r + c.g + c.b > ink.brightest.r + ink.brightest.g + ink.brightest.b) ink.brightest = c;
    }
  int best = 0;
  for (const auto& [c, n] : counts)
    if (n > best) {
      best = n;
      ink.mostCommon = c;
    }
  return ink;
}

Ink TextSurfaceInk(const DDRect& area) {
  SurfaceDescRec s;
  EXPECT_TRUE(DDLockTextSurface(&s));
  Ink ink = InkIn(s.pixels, s.pitch, s.bitsPerPixel, area);
  DDUnlockTextSurface();
  return ink;
}

DDRect Whole() { return DDRect{0, 0, int32_t(gScreenWidth), int32_t(gScreenHeight)}; }

Colour Grey(int v) { return Colour{v, v, v}; }

uint32_t Width(const char* s, uint32_t height, bool bold) {
  TextFontRec font;
  font.pixelHeight = height;
  font.bold = bold ? 1 : 0;
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(gText->measure(font, s, &w, &h));
  return w;
}

uint32_t LineHeight(uint32_t height, bool bold) {
  TextFontRec font;
  font.pixelHeight = height;
  font.bold = bold ? 1 : 0;
  uint32_t w = 0, h = 0;
  gText->measure(font, "X", &w, &h);
  return h;
}

class TextOverlayTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    GetSettings(false);
  }
  void StartDisplay(uint32_t width, uint32_t height, uint32_t depth = 32) {
    gScreenWidth = width;
    gScreenHeight = height;
    gForcedDepth = depth;
    ASSERT_TRUE(DDInitialise(1));
  }
};

TEST_F(TextOverlayTest, TheFontIsThereAndHasSensibleMetrics) {
  ASSERT_NE(gText, nullptr);
  uint32_t h16 = LineHeight(16, true), h28 = LineHeight(28, true);
  EXPECT_GE(h16, 16u);
  EXPECT_LE(h16, 22u);
  EXPECT_GT(h28, h16);
  EXPECT_GT(Width("Twirlies", 16, true), Width("Twirlies", 16, false)) << "bold is wider";
  EXPECT_EQ(Width("", 16, true), 0u);
  EXPECT_EQ(Width("ab", 16, true), Width("a", 16, true) + Width("b", 16, true));
}

TEST_F(TextOverlayTest, SlotsSitInTheirRowsCentredAcrossTheDisplay) {
  StartDisplay(640, 480);
  uint32_t h16 = LineHeight(16, true), h28 = LineHeight(28, true);
  struct Case {
    int slot;
    uint32_t size;
    const char* text;
    int32_t top;
  } cases[] = {
      {0, 28, "Help one", 0},
      {1, 28, "Help two", int32_t(h28)},
      {2, 16, "  60  ", int32_t(480 - 2 * h16)},
      {3, 16, "Twirlies", int32_t(480 - h16)},
  };
  for (const Case& c : cases) {
    uint32_t w = DrawTextSlot(true, c.size, "", c.text, 1.0f, true, c.slot, 0, false);
    EXPECT_EQ(w, Width(c.text, c.size, true)) << c.slot;
    const DDRect& r = gTextOverlay.slots[c.slot];
    EXPECT_EQ(r.left, int32_t((640 - w) >> 1)) << c.slot;
    EXPECT_EQ(r.right - r.left, int32_t(w)) << c.slot;
    EXPECT_EQ(r.top, c.top) << c.slot;
    EXPECT_EQ(r.bottom - r.top, int32_t(LineHeight(c.size, true))) << c.slot;
    Ink ink = TextSurfaceInk(r);
    EXPECT_GT(ink.count, 20) << c.slot;
    // The glyphs lie inside the region, their box centred in it.
    EXPECT_NEAR((ink.left + ink.right) / 2.0, (r.left + r.right) / 2.0, 3.0) << c.slot;
    EXPECT_EQ(TextSurfaceInk(Whole()).count,
              [&] {
                int n = 0;
                for (int s = 0; s <= c.slot; ++s) n += TextSurfaceInk(gTextOverlay.slots[s]).count;
                return n;
              }())
        << "nothing drawn outside the slots, slot " << c.slot;
  }
  // Slot 2's row follows the height of the text last drawn into it.
  DrawTextSlot(true, 28, "", "Grabbed Twirlies #1", 1.0f, true, 2, kTextYellow, false);
  EXPECT_EQ(gTextOverlay.slots[2].top, int32_t(480 - 2 * h28));
  DrawTextSlot(true, 16, "", "  60  ", 1.0f, true, 2, kTextRed, false);
  EXPECT_EQ(gTextOverlay.slots[2].top, int32_t(480 - 2 * h16));
}

TEST_F(TextOverlayTest, WeightChoosesTheBranchAndTheBrighterStringLiesOnTop) {
  StartDisplay(640, 480);
  // Label and text are the same word, so where glyphs cover a pixel fully
  // the string drawn last shows; the rest of its pixels are blends.
  struct Case {
    float weight;
    uint32_t colour;
    Colour top;
  } cases[] = {
      {1.0f, 0, Grey(128)},                      // grey 128, not white
      {1.0f, kTextYellow, Colour{255, 255, 0}},  // a colour only from 0.5 up
      {0.75f, 0, Grey(96)},                      // text 96 over label 32
      {0.5f, 0, Grey(64)},                       // the second branch: label 64, then text 64
      {0.5f, kTextRed, Colour{255, 0, 0}},       // 0.5 takes the colour
      {0.49f, kTextRed, Grey(66)},               // below 0.5 no colour: text 62, then label 66 on top
      {0.25f, 0, Grey(96)},                      // text 32, then label 96 on top
      {0.0f, 0, Grey(128)},                      // the label alone at full grey
  };
  for (const Case& c : cases) {
    DrawTextSlot(true, 16, "Jellyfish", "Jellyfish", c.weight, true, 3, c.colour, false);
    Ink ink = TextSurfaceInk(gTextOverlay.slots[3]);
    EXPECT_EQ(ink.mostCommon, c.top) << "weight " << c.weight;
    EXPECT_EQ(ink.brightest, c.top) << "weight " << c.weight;
  }
  // Different strings: the label's own pixels carry the label's grey.
  DrawTextSlot(true, 16, "WWWWWWWWWWWW", "i", 0.5f, true, 3, 0, false);
  const DDRect& r = gTextOverlay.slots[3];
  Ink labelOnly = TextSurfaceInk(DDRect{r.left, r.top, r.left + 20, r.bottom});
  EXPECT_EQ(labelOnly.mostCommon, Grey(64));
  DrawTextSlot(true, 16, "WWWWWWWWWWWW", "i", 0.875f, true, 3, 0, false);
  labelOnly = TextSurfaceInk(DDRect{r.left, r.top, r.left + 20, r.bottom});
  EXPECT_EQ(labelOnly.mostCommon, Grey(16));
}

TEST_F(TextOverlayTest, ClearMeasureOnlyAndCrossFadingNames) {
  StartDisplay(640, 480);
  DrawTextSlot(true, 16, "", "Aura", 1.0f, true, 3, 0, false);
  DDRect first = gTextOverlay.slots[3];
  ASSERT_GT(TextSurfaceInk(first).count, 0);
  // Measure only: the region moves, nothing is drawn, the old text stays.
  uint32_t w = DrawTextSlot(true, 16, "", "Brisel's Kandy", 1.0f, false, 3, 0, true);
  EXPECT_EQ(w, Width("Brisel's Kandy", 16, true));
  EXPECT_EQ(gTextOverlay.slots[3].right - gTextOverlay.slots[3].left, int32_t(w));
  EXPECT_GT(TextSurfaceInk(first).count, 0);
  // A clear with measure only empties the region and draws nothing.
  DrawTextSlot(true, 16, "", "Brisel's Kandy", 1.0f, true, 3, 0, true);
  EXPECT_EQ(TextSurfaceInk(gTextOverlay.slots[3]).count, 0);
  // Without a clear, names drawn again add up (the morph's cross-fade).
  DrawTextSlot(true, 16, "Aura", "Anenome", 0.9f, false, 3, 0, false);
  Ink once = TextSurfaceInk(gTextOverlay.slots[3]);
  DrawTextSlot(true, 16, "Aura", "Anenome", 0.1f, false, 3, 0, false);
  Ink twice = TextSurfaceInk(gTextOverlay.slots[3]);
  EXPECT_GE(twice.count, once.count);
  // Weights far outside 0..1, or none, still draw (the sanitizer build
  // checks that nothing overflows on the way).
  for (float weight : {std::nanf(""), 1e9f, -1e9f, 2.0f})
    EXPECT_EQ(DrawTextSlot(true, 16, "Aura", "Aura", weight, true, 3, 0, false), Width("Aura", 16, true));
}

TEST_F(TextOverlayTest, MorphNamesCrossFadeInTheNameSlot) {
  StartDisplay(640, 480);
  // From "Spirograph" (3) to "Pentagonal Lines" (1), a quarter of the way.
  DrawPatternNames(1, 3, 0.75f, 1, kNameSlot);
  const DDRect& r = gTextOverlay.slots[kNameSlot];
  uint32_t w = std::max(Width(gPresets[1].Name, 16, true), Width(gPresets[3].Name, 16, true));
  EXPECT_EQ(r.right - r.left, int32_t(w));
  EXPECT_EQ(r.bottom, 480);
  Ink ink = TextSurfaceInk(r);
  EXPECT_EQ(ink.brightest, Grey(96)) << "the name being left, still the brighter";
  DrawPatternName(1);
  EXPECT_EQ(TextSurfaceInk(gTextOverlay.slots[kNameSlot]).brightest, Grey(128));
  EXPECT_EQ(gTextOverlay.slots[kNameSlot].right - gTextOverlay.slots[kNameSlot].left,
            int32_t(Width(gPresets[1].Name, 16, true)));
}

TEST_F(TextOverlayTest, TextWiderThanTheDisplayIsCutToIt) {
  StartDisplay(200, 100);
  uint32_t w = DrawTextSlot(true, 28, "", kKeyHelpLine2, 1.0f, true, 0, 0, false);
  ASSERT_GT(w, 200u);
  const DDRect& r = gTextOverlay.slots[0];
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 200);
  Ink ink = TextSurfaceInk(r);
  EXPECT_GT(ink.count, 100);
  EXPECT_LE(ink.left, 8) << "the middle of the line shows, cut at both edges";
  EXPECT_GE(ink.right, 191);
  // A line too tall for its row near the bottom is cut at the top edge.
  DrawTextSlot(true, 90, "", "Tall", 1.0f, true, 2, 0, false);
  EXPECT_EQ(gTextOverlay.slots[2].top, 0);
  EXPECT_LE(gTextOverlay.slots[2].bottom, 100);
}

TEST_F(TextOverlayTest, FrameRateAndNoticesUseSlotTwoInTheirColours) {
  StartDisplay(640, 480);
  DrawFrameRateText(60);
  EXPECT_EQ(gTextOverlay.slots[2].right - gTextOverlay.slots[2].left, int32_t(Width("  60  ", 16, true)));
  Ink ink = TextSurfaceInk(gTextOverlay.slots[2]);
  EXPECT_EQ(ink.mostCommon, (Colour{255, 0, 0}));
  // Two spaces either side: the digits sit in the middle with margins.
  uint32_t space = Width(" ", 16, true);
  EXPECT_GE(ink.left, gTextOverlay.slots[2].left + int32_t(2 * space) - 2);
  EXPECT_LE(ink.right, gTextOverlay.slots[2].right - int32_t(2 * space) + 2);

  gHeadless.tick = 5000;
  ShowTimedNotice(&gTextOverlay.wallpaperNotice, "Wallpaper set!");
  EXPECT_EQ(gTextOverlay.wallpaperNotice.on, 1);
  EXPECT_EQ(gTextOverlay.wallpaperNotice.endTick, 9000u);
  EXPECT_STREQ(gTextOverlay.wallpaperNotice.text, "Wallpaper set!");
  EXPECT_EQ(TextSurfaceInk(gTextOverlay.slots[2]).mostCommon, (Colour{255, 255, 0}));
  EXPECT_EQ(gTextOverlay.slots[2].right - gTextOverlay.slots[2].left,
            int32_t(Width("Wallpaper set!", 16, true)));
}

TEST_F(TextOverlayTest, EffectsListGrowsUpwardInItsOrder) {
  StartDisplay(640, 480);
  TextFontRec small;
  small.pixelHeight = 10;
  uint32_t cw = 0, ch = 0;
  gText->measure(small, "XXXXXXXXXXXXXXXXXXXX", &cw, &ch);
  ASSERT_GT(ch, 0u);

  // Nothing on: the top edge stays at the bottom of the display.
  DrawEffectsList();
  EXPECT_EQ(gTextOverlay.effectsListTop, 480);
  EXPECT_EQ(TextSurfaceInk(Whole()).count, 0);

  // Three on, out of order: the first in the list's order at the bottom.
  SetEffect(kComplementaryMirror, 1);
  SetEffect(kCurvyTrails, 1);
  SetEffect(kReverse, 2);
  DrawEffectsList();
  EXPECT_EQ(gTextOverlay.effectsListTop, int32_t(480 - 3 * ch));
  const char* expected[] = {"Curvy Trails", "Reverse (R)", "Complementary Mirror"};
  for (int line = 0; line < 3; ++line) {
    int32_t bottom = 480 - line * int32_t(ch);
    Ink ink = TextSurfaceInk(DDRect{0, bottom - int32_t(ch), int32_t(cw), bottom});
    // Small regular glyphs rarely cover a whole pixel: white, blended.
    EXPECT_EQ(ink.brightest.r, ink.brightest.b) << expected[line];
    EXPECT_GE(ink.brightest.g, 200) << expected[line];
    EXPECT_NEAR(ink.right + 1, int(Width(expected[line], 10, false)), 2) << expected[line];
    EXPECT_LE(ink.left, 1) << expected[line];
  }
  EXPECT_EQ(TextSurfaceInk(DDRect{0, 0, 640, int32_t(480 - 3 * ch)}).count, 0) << "nothing above the list";

  // The copy onto the back surface covers the list; a shorter list later
  // also overwrites the lines the longer one left there.
  SurfaceDescRec back;
  DDClearBackSurface();
  DrawEffectsList();
  ASSERT_TRUE(DDLockBackSurface());
  back.pixels = FrameBuffer.base;
  back.pitch = FrameBuffer.pitch;
  EXPECT_GT(InkIn(back.pixels, back.pitch, 32, DDRect{0, int32_t(480 - 3 * ch), int32_t(cw), 480}).count, 50);
  SetEffect(kComplementaryMirror, 0);
  SetEffect(kReverse, 0);
  DrawEffectsList();
  EXPECT_EQ(gTextOverlay.effectsListTop, int32_t(480 - ch));
  EXPECT_EQ(
      InkIn(back.pixels, back.pitch, 32, DDRect{0, int32_t(480 - 3 * ch), int32_t(cw), int32_t(480 - ch)})
          .count,
      0);
  EXPECT_GT(InkIn(back.pixels, back.pitch, 32, DDRect{0, int32_t(480 - ch), int32_t(cw), 480}).count, 10);

  // With the background picture the cleared area is the picture, not black.
  gOptions.BackgroundBrightness = 255;
  ASSERT_TRUE(DDCreateBgSurface());
  gUseBackground = 1;
  SetEffect(kCurvyTrails, 0);
  DrawEffectsList();
  Ink bg = TextSurfaceInk(DDRect{0, int32_t(480 - ch), int32_t(cw), 480});
  EXPECT_GT(bg.mostCommon.b, 200);
  EXPECT_EQ(bg.mostCommon.r, 0);
}

// Text that is redrawn only when it changes comes back whenever something
// else has touched its place on the surface.
TEST_F(TextOverlayTest, UnchangedTextIsRedrawnAfterItsPlaceWasTouched) {
  StartDisplay(640, 480);
  DrawFrameRateText(60);
  ShowTimedNotice(&gTextOverlay.grabNotice, "Grabbed Aura #1");
  DrawFrameRateText(60);
  EXPECT_EQ(TextSurfaceInk(gTextOverlay.slots[2]).mostCommon, (Colour{255, 0, 0}));
  EXPECT_EQ(gTextOverlay.slots[2].right - gTextOverlay.slots[2].left, int32_t(Width("  60  ", 16, true)));

  SetEffect(kTunnel, 1);
  DrawEffectsList();
  DDRect list{0, gTextOverlay.effectsListTop, 120, 480};
  Ink drawn = TextSurfaceInk(list);
  ASSERT_GT(drawn.count, 10);
  DDSimulateSurfaceLoss(0);
  DDRestoreSurfaces();
  DrawEffectsList();
  Ink again = TextSurfaceInk(list);
  EXPECT_EQ(again.count, drawn.count) << "the lost surface's leftovers are cleared and the list drawn again";
  DrawFrameRateText(60);
  EXPECT_EQ(TextSurfaceInk(gTextOverlay.slots[2]).mostCommon, (Colour{255, 0, 0}));
}

TEST_F(TextOverlayTest, EffectLabelsFollowTheListOrder) {
  EXPECT_STREQ(EffectLabel(kCurvyTrails), "Curvy Trails");
  EXPECT_STREQ(EffectLabel(kBallMode), "Ball Mode (F3)");
  EXPECT_STREQ(EffectLabel(kPaintMode), "Paint Mode (P)");
  EXPECT_STREQ(EffectLabel(kComplementaryMirror), "Complementary Mirror");
  for (int id = 0; id < kEffectCount; ++id) EXPECT_STRNE(EffectLabel(id), "") << id;
}

TEST_F(TextOverlayTest, KeyHelpShrinksUntilBothLinesFit) {
  struct Case {
    uint32_t width;
  } cases[] = {{640}, {1024}, {1920}, {80}};
  for (const Case& c : cases) {
    StartDisplay(c.width, 480);
    DrawKeyHelpLines();
    uint32_t size = gTextOverlay.keyHelpHeight;
    uint32_t widest = std::max(Width(kKeyHelpLine1, size, true), Width(kKeyHelpLine2, size, true));
    if (size > 1) {
      EXPECT_LE(widest, c.width) << c.width;
    }
    if (size < kKeyHelpLargest) {
      uint32_t larger = std::max(Width(kKeyHelpLine1, size + 1, true), Width(kKeyHelpLine2, size + 1, true));
      EXPECT_GT(larger, c.width) << "one size up would not fit, width " << c.width;
    }
    EXPECT_EQ(gTextOverlay.slots[0].top, 0);
    EXPECT_EQ(gTextOverlay.slots[1].top, int32_t(LineHeight(size, true)));
    if (c.width >= 640) {
      EXPECT_EQ(TextSurfaceInk(gTextOverlay.slots[1]).brightest, Grey(128));
    }
    DDCleanUp();
  }
  StartDisplay(640, 480);
  DrawKeyHelpLines();
  EXPECT_LT(gTextOverlay.keyHelpHeight, kKeyHelpLargest) << "28 does not fit 640 pixels";
}

TEST_F(TextOverlayTest, PlayerSlotsCountFromTheBottomInBoldSixteen) {
  StartDisplay(640, 480);
  gTextOverlay.playerRules = 1;
  uint32_t h = LineHeight(16, true);
  DrawTextSlot(false, 40, "", "  60  ", 1.0f, true, 2, kTextRed, true);  // size and measure-only ignored
  EXPECT_EQ(gTextOverlay.slots[2].top, int32_t(480 - 2 * h));
  EXPECT_EQ(gTextOverlay.slots[2].right - gTextOverlay.slots[2].left, int32_t(Width("  60  ", 16, true)));
  EXPECT_EQ(TextSurfaceInk(gTextOverlay.slots[2]).mostCommon, (Colour{255, 0, 0}));
  DrawPlayerTextSlot("", "Aura", 1.0f, true, 3, 0);
  EXPECT_EQ(gTextOverlay.slots[3].top, int32_t(480 - h));
  DrawPlayerTextSlot("", "Aura", 1.0f, true, 0, 0);
  EXPECT_EQ(gTextOverlay.slots[0].top, int32_t(480 - 4 * h));
}

TEST_F(TextOverlayTest, EveryPixelFormatGetsTheSameGlyphsInItsColour) {
  struct Case {
    uint32_t depth;
    Colour yellow;
  } cases[] = {{16, Colour{248, 252, 0}}, {24, Colour{255, 255, 0}}, {32, Colour{255, 255, 0}}};
  Ink reference;
  for (const Case& c : cases) {
    StartDisplay(640, 480, c.depth);
    DrawTextSlot(true, 16, "", "Wallpaper set!", 1.0f, true, 2, kTextYellow, false);
    Ink ink = TextSurfaceInk(gTextOverlay.slots[2]);
    EXPECT_EQ(ink.mostCommon, c.yellow) << c.depth;
    if (c.depth == 16) {
      reference = ink;
    } else {
      EXPECT_EQ(ink.left, reference.left) << c.depth;
      EXPECT_EQ(ink.right, reference.right) << c.depth;
      EXPECT_EQ(ink.top, reference.top) << c.depth;
      EXPECT_EQ(ink.bottom, reference.bottom) << c.depth;
    }
    DDCleanUp();
  }
}

TEST_F(TextOverlayTest, NothingWithoutADisplay) {
  EXPECT_EQ(DrawTextSlot(true, 16, "", "Aura", 1.0f, true, 3, 0, false), 0u);
  DrawEffectsList();
  EXPECT_EQ(gTextOverlay.effectsListShown, 0);
}

// The text reaches presented frames: the name at the bottom centre, the
// frame rate in red above it, the list at the bottom left, the help on top.
TEST_F(TextOverlayTest, PresentedFramesCarryTheSwitchedOnText) {
  StartHeadlessEngine(640, 480, 17);
  gHeadless.keepFrames = true;
  DrawKeyHelpLines();
  DrawTextSlot(true, 16, "", gPresets[17].Name, 1.0f, true, 3, 0, false);
  SetEffect(kTunnel, 1);
  auto frameInk = [](const DDRect& area) {
    return InkIn(gHeadless.lastFramePixels.data(), gHeadless.lastFrame.pitch, 32, area);
  };
  DrawFrame();
  EXPECT_EQ(frameInk(DDRect{0, 0, 640, 40}).count, 0) << "nothing is switched on yet";

  gOptions.ShowNames = 1;
  gTextOverlay.frameRate = 1;
  gTextOverlay.effectsList = 1;
  gTextOverlay.keyHelp = 1;
  gFps = 60;
  gFpsWindowStart = gHeadless.tick;
  DrawFrame();
  uint32_t h = LineHeight(16, true);
  Ink name = frameInk(DDRect{200, int32_t(480 - h), 440, 480});
  EXPECT_EQ(name.brightest, Grey(128));
  EXPECT_NEAR((name.left + name.right) / 2.0, 320, 4);
  Ink fps = frameInk(DDRect{280, int32_t(480 - 2 * h), 360, int32_t(480 - h)});
  EXPECT_EQ(fps.mostCommon, (Colour{255, 0, 0}));
  Ink list = frameInk(DDRect{0, 440, 120, 480});
  EXPECT_EQ(list.brightest.r, list.brightest.b);
  EXPECT_GE(list.brightest.g, 200);
  Ink help = frameInk(DDRect{0, 0, 640, 30});
  EXPECT_GT(help.count, 500);
}

}  // namespace
