// The frame renderer on the headless host: particles projected into arms
// and tiles with the drawing effects, mirror and morph colours, the sphere,
// stars, the frame-rate window and load shedding, overlays, pacing, and the
// picture as a whole (symmetry, a pinned hash, no heap use once warm).
#include "render/frame_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/particles.h"
#include "engine/random.h"
#include "engine/rot_angles.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/headless/headless.h"
#include "platform/image/png_writer.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/pixel_format.h"
#include "render/text_overlay.h"
#include "saver/program_reset.h"
#include "tests/support/heap_hooks.h"
#include "tests/support/test_host.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

constexpr uint32_t Rgb32(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }

constexpr uint32_t kHead = Rgb32(200, 100, 50);
constexpr uint32_t kArm = Rgb32(10, 20, 30);
constexpr uint32_t kWhite = Rgb32(255, 255, 255);

// A live particle at (x, y), head colour (200, 100, 50) and arm colour
// (10, 20, 30), young, with no effect flags. The record comes from the
// engine, so it belongs to its lists.
TrailParticle& AddParticle(float x, float y) {
  EXPECT_TRUE(SpawnParticle());
  TrailParticle* p = gParticles;
  TrailParticle* prev = p->prev;
  TrailParticle* next = p->next;
  *p = TrailParticle{};
  p->prev = prev;
  p->next = next;
  p->x = x;
  p->y = y;
  p->headRed = 200;
  p->headGreen = 100;
  p->headBlue = 50;
  p->pixel = kHead;
  p->armRed = 10;
  p->armGreen = 20;
  p->armBlue = 30;
  p->pixel2 = kArm;
  p->lifetime = 1000;
  p->age = 1;
  p->ballSize = 2;
  return *p;
}

uint32_t PixelAt(int x, int y) {
  const FrameImage& f = gHeadless.lastFrame;
  const uint8_t* p = gHeadless.lastFramePixels.data() + size_t(y) * f.pitch + size_t(x) * 4;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}

struct Lit {
  int x, y;
  uint32_t colour;
  bool operator<(const Lit& o) const { return std::make_pair(y, x) < std::make_pair(o.y, o.x); }
};

std::vector<Lit> LitPixels() {
  std::vector<Lit> lit;
  const FrameImage& f = gHeadless.lastFrame;
  for (int y = 0; y < int(f.height); ++y)
    for (int x = 0; x < int(f.width); ++x)
      if (uint32_t c = PixelAt(x, y)) lit.push_back({x, y, c});
  return lit;
}

std::string Describe(const std::vector<Lit>& lit) {
  std::string s;
  char buffer[48];
  for (size_t i = 0; i < lit.size() && i < 40; ++i) {
    snprintf(buffer, sizeof buffer, "(%d,%d)=%06X ", lit[i].x, lit[i].y, lit[i].colour);
    s += buffer;
  }
  return s;
}

uint64_t FrameHash() {
  const FrameImage& f = gHeadless.lastFrame;
  uint64_t hash = 14695981039346656037ull;
  for (uint32_t y = 0; y < f.height; ++y) {
    const uint8_t* row = gHeadless.lastFramePixels.data() + size_t(y) * f.pitch;
    for (uint32_t i = 0; i < f.width * (f.bitsPerPixel / 8); ++i) hash = (hash ^ row[i]) * 1099511628211ull;
  }
  return hash;
}

uint32_t SeedForDivisibleChoice(bool divisible) {
  for (uint32_t seed = 1;; ++seed) {
    prismora::srand(seed);
    if ((prismora::rand() % 3 > 0) == divisible) return seed;
  }
}

// A morph from pattern 4 ("Jellyfish", 3 arms) to pattern 0 ("Zelo", 6
// arms), or back, with the divisible table: arms 0, 2, 4 are the common
// ones, 1, 3, 5 the extra ones, all at multiples of 60 degrees.
void StartDivisibleMorph(bool growing, float factor) {
  gMorphing = 1;
  gMorphBlend.fromPattern = growing ? 4 : 0;
  gMorphBlend.targetPattern = growing ? 0 : 4;
  gMorphBlend.fromArms = growing ? 3 : 6;
  gMorphBlend.targetArms = growing ? 6 : 3;
  EngineState.armCount = 6;
  prismora::srand(SeedForDivisibleChoice(true));
  SetupMorphRotAngles();
  gMorphFactor = factor;
  gMorphProgress = factor;
}

// A particle at 100 pixels right of the centre lands, arm by arm at
// 0, 60, ..., 300 degrees, here.
const Lit kSixArmSpots[6] = {{420, 240, 0}, {370, 153, 0}, {270, 153, 0},
                             {220, 240, 0}, {270, 327, 0}, {370, 327, 0}};

}  // namespace

class FrameRendererTest : public HeadlessTest {
 protected:
  // The engine on a 640 x 480 32-bit display with the given number of arms,
  // no particles, no effects, frames kept.
  void Start(uint32_t arms) {
    InstallHeadlessHost();
    ResetProgram();
    StartHeadlessEngine(kWidth, kHeight, 0);
    SetEffect(kPaintMode, 0);
    gPainting = 0;
    EngineState.armCount = arms;
    SetupRotAngles();
    gHeadless.keepFrames = true;
    gFpsWindowStart = gHeadless.tick;
    ASSERT_EQ(gRotAngleCount, arms);
  }

  // One frame; the lit pixels must be exactly these.
  void ExpectFrame(std::vector<Lit> expected, const char* what) {
    unsigned presents = gHeadless.presentCount;
    DrawFrame();
    ASSERT_EQ(gHeadless.presentCount, presents + 1) << what;
    ASSERT_EQ(gHeadless.lastFrame.bitsPerPixel, 32u);
    std::vector<Lit> lit = LitPixels();
    std::set<Lit> want(expected.begin(), expected.end());
    bool same = lit.size() == want.size();
    for (const Lit& l : lit) {
      auto found = want.find(l);
      if (found == want.end() || found->colour != l.colour) same = false;
    }
    EXPECT_TRUE(same) << what << "\n  got:  " << Describe(lit)
                      << "\n  want: " << Describe(std::vector<Lit>(want.begin(), want.end()));
  }
};

TEST_F(FrameRendererTest, ParticlesLandWhereTheirEffectsPutThem) {
  struct Case {
    const char* what;
    uint32_t arms;
    void (*setup)();
    std::vector<Lit> expected;
  } cases[] = {
      {"plain", 1, [] { AddParticle(420, 240); }, {{420, 240, kHead}}},
      {"half a pixel rounds up", 1, [] { AddParticle(420.49f, 240.5f); }, {{420, 241, kHead}}},
      {"just left of the screen rounds toward zero", 1, [] { AddParticle(-1.2f, 100); }, {{0, 100, kHead}}},
      {"a pixel and a half left is off", 1, [] { AddParticle(-1.6f, 100); }, {}},
      {"below the screen", 1, [] { AddParticle(100, 479.6f); }, {}},
      {"six arms",
       6,
       [] { AddParticle(420, 240); },
       {{420, 240, kHead},
        {370, 153, kHead},
        {270, 153, kHead},
        {220, 240, kHead},
        {270, 327, kHead},
        {370, 327, kHead}}},
      {"sparkle is white", 1, [] { AddParticle(420, 240).sparkle = 1; }, {{420, 240, kWhite}}},
      {"reversing outward is hidden", 1, [] { AddParticle(420, 240).reverseMode = 1; }, {}},
      {"reversing on the way back shows",
       1,
       [] {
         TrailParticle& p = AddParticle(420, 240);
         p.reverseMode = 2;
         p.returning = 1;
       },
       {{420, 240, kHead}}},
      {"reverse mode 3 shows", 1, [] { AddParticle(420, 240).reverseMode = 3; }, {{420, 240, kHead}}},
      // The twists turn the offset and move it by 200 pixels on both axes.
      {"windmill at the centre", 1, [] { AddParticle(320, 240).windmill = 1; }, {{520, 440, kHead}}},
      {"windmill", 1, [] { AddParticle(420, 240).windmill = 1; }, {{610, 397, kHead}}},
      {"coriolis", 1, [] { AddParticle(420, 240).coriolis = 1; }, {{617, 466, kHead}}},
      {"coriolis wins over windmill",
       1,
       [] {
         TrailParticle& p = AddParticle(420, 240);
         p.coriolis = 1;
         p.windmill = 1;
       },
       {{617, 466, kHead}}},
      {"tunnel at half depth",
       1,
       [] {
         TrailParticle& p = AddParticle(420, 240);
         p.tunnel = 1;
         p.age = 25;
         p.lifetime = 100;
       },
       {{370, 240, kHead}}},
      {"tunnel phase adds to the age",
       1,
       [] {
         TrailParticle& p = AddParticle(420, 240);
         p.tunnel = 1;
         p.tunnelPhase = 25;
         p.age = 50;
         p.lifetime = 100;
       },
       {{470, 240, kHead}}},
      {"double bounce at birth",
       1,
       [] {
         TrailParticle& p = AddParticle(420, 240);
         p.tunnel = 1;
         p.doubleBounce = 1;
         p.age = 0;
         p.lifetime = 100;
       },
       {{453, 240, kHead}}},
      {"double bounce half way",
       1,
       [] {
         TrailParticle& p = AddParticle(420, 240);
         p.tunnel = 1;
         p.doubleBounce = 1;
         p.age = 50;
         p.lifetime = 100;
       },
       {{387, 240, kHead}}},
      // The loop radius is 640 / 50 = 12: the loop adds 36 pixels along angle r / 12.
      {"loop the loop at the centre", 1, [] { AddParticle(320, 240).loopTheLoop = 1; }, {{356, 240, kHead}}},
      {"loop the loop a quarter turn out",
       1,
       [] { AddParticle(320 + 6 * 3.1415927f, 240).loopTheLoop = 1; },
       {{339, 276, kHead}}},
      // Inverse Distance with a radius of 50 pulls every point 50 pixels inward.
      {"inverse distance",
       1,
       [] {
         SetEffect(kInverseDistance, 1);
         gInverseRadius = 50;
         AddParticle(420, 240);
         AddParticle(320, 270);
         AddParticle(320, 210);
       },
       {{370, 240, kHead}, {320, 220, kHead}, {320, 260, kHead}}},
      {"inverse distance on odd arms only",
       2,
       [] {
         SetEffect(kInverseDistance, 1);
         gInverseRadius = 50;
         gInverseAlternate = 1;
         AddParticle(420, 240);
       },
       {{420, 240, kHead}, {270, 240, kHead}}},
      {"colourful arms",
       2,
       [] {
         SetEffect(kColourfulArms, 1);
         AddParticle(420, 240).sparkle = 1;
       },
       {{420, 240, kHead}, {220, 240, kArm}}},
  };
  for (const Case& c : cases) {
    Start(c.arms);
    c.setup();
    ExpectFrame(c.expected, c.what);
  }

  // A ball is a sprite with its top-left corner at the point: 21 cells,
  // the top row ".AAH.", the highlight W below the first A.
  Start(1);
  AddParticle(100, 100).ball = 1;
  DrawFrame();
  EXPECT_EQ(LitPixels().size(), 21u);
  EXPECT_EQ(PixelAt(100, 100), 0u);
  EXPECT_EQ(PixelAt(101, 100), kHead) << "A";
  EXPECT_EQ(PixelAt(103, 100), Rgb32(100, 50, 25)) << "H";
  EXPECT_EQ(PixelAt(101, 101), Rgb32(255, 255, 200)) << "W";
}

TEST_F(FrameRendererTest, MirrorColourFollowsFadeAndColourfulArms) {
  struct Case {
    const char* what;
    float fade;
    int colourful, complementary, sparkle;
    uint32_t main, mirror;
  } cases[] = {
      {"half faded", 0.5f, 0, 0, 0, kHead, Rgb32(100, 50, 25)},
      {"half faded, sparkle keeps the head colour", 0.5f, 0, 0, 1, kWhite, Rgb32(100, 50, 25)},
      {"half faded arm colour", 0.5f, 1, 0, 0, kHead, Rgb32(5, 10, 15)},
      {"faded in, complementary", 1.0f, 0, 1, 0, kHead, kArm},
      {"faded in, complementary and colourful", 1.0f, 1, 1, 0, kHead, kArm},
      {"faded in: the pixel's own colour", 1.0f, 0, 0, 1, kWhite, kWhite},
      {"nearly faded in still scales", 0.99f, 0, 0, 1, kWhite, Rgb32(198, 99, 50)},
      {"faded out", 0.0f, 0, 0, 0, kHead, 0},
  };
  for (const Case& c : cases) {
    Start(1);
    SetEffect(kMirroredRadial, 1);
    gMirrorFade = c.fade;
    SetEffect(kColourfulArms, c.colourful);
    SetEffect(kComplementaryMirror, c.complementary);
    AddParticle(420, 240).sparkle = c.sparkle;
    std::vector<Lit> expected = {{420, 240, c.main}};
    if (c.mirror) expected.push_back({219, 240, c.mirror});
    ExpectFrame(expected, c.what);
  }

  // Balls are mirrored about the same line, as sprites in the mirror colour.
  Start(1);
  SetEffect(kMirroredRadial, 1);
  gMirrorFade = 0.5f;
  TrailParticle& ball = AddParticle(420, 240);
  ball.ball = 1;
  DrawFrame();
  EXPECT_EQ(PixelAt(421, 240), kHead);
  EXPECT_EQ(PixelAt(220, 240), Rgb32(100, 50, 25)) << "the mirror ball's A cell";
  EXPECT_EQ(LitPixels().size(), 42u);
}

TEST_F(FrameRendererTest, DoubleSizeStopsOnePixelShortOfTheEdges) {
  struct Case {
    const char* what;
    float x, y, fade;
    std::vector<Lit> expected;
  } cases[] = {
      {"last column is not drawn, nor its mirror", 639, 240, 1.0f, {}},
      {"last row is not drawn", 100, 479, 1.0f, {}},
      {"second last column: both blocks whole",
       638,
       240,
       1.0f,
       {{638, 240, kHead},
        {639, 240, kHead},
        {638, 241, kHead},
        {639, 241, kHead},
        {0, 240, kHead},
        {1, 240, kHead},
        {0, 241, kHead},
        {1, 241, kHead}}},
      {"first column",
       0,
       100,
       0.5f,
       {{0, 100, kHead},
        {1, 100, kHead},
        {0, 101, kHead},
        {1, 101, kHead},
        {638, 100, Rgb32(100, 50, 25)},
        {639, 100, Rgb32(100, 50, 25)},
        {638, 101, Rgb32(100, 50, 25)},
        {639, 101, Rgb32(100, 50, 25)}}},
      // Where the blocks meet at the centre column the later writes win:
      // C (X, Y), C2 (W-1-X, Y), C (X+1, Y), (X, Y+1), (X+1, Y+1), then C2
      // (W-2-X, Y), (W-2-X, Y+1), (W-1-X, Y+1).
      {"at the centre column the later writes win",
       319,
       100,
       0.5f,
       {{319, 100, Rgb32(100, 50, 25)},
        {320, 100, kHead},
        {319, 101, Rgb32(100, 50, 25)},
        {320, 101, Rgb32(100, 50, 25)}}},
  };
  for (const Case& c : cases) {
    Start(1);
    gOptions.DoubleSize = 1;
    SetEffect(kMirroredRadial, 1);
    gMirrorFade = c.fade;
    AddParticle(c.x, c.y);
    ExpectFrame(c.expected, c.what);
  }
}

TEST_F(FrameRendererTest, SquareTilesRepeatThePointInsteadOfTheArms) {
  // Tiles of 640 / 4 = 160 pixels; six arms are ignored.
  Start(6);
  gOptions.SquareTiled = 1;
  SetEffect(kMirroredRadial, 1);
  gMirrorFade = 1;
  AddParticle(10, 20);
  std::vector<Lit> grid;
  for (int y : {20, 180, 340})
    for (int x : {10, 170, 330, 490}) grid.push_back({x, y, kHead});
  ExpectFrame(grid, "a grid of 4 x 3, no mirror");

  Start(6);
  gOptions.SquareTiled = 1;
  AddParticle(-5, 20);
  ExpectFrame({}, "left of the screen: a negative remainder draws nothing");

  Start(6);
  gOptions.SquareTiled = 1;
  AddParticle(100, -3);
  ExpectFrame({}, "above the screen");

  Start(6);
  gOptions.SquareTiled = 1;
  AddParticle(-0.7f, 175);  // truncated toward zero: column 0, row 15
  std::vector<Lit> edge;
  for (int y : {15, 175, 335})
    for (int x : {0, 160, 320, 480}) edge.push_back({x, y, kHead});
  ExpectFrame(edge, "truncated toward zero");

  Start(1);
  gOptions.SquareTiled = 1;
  gOptions.DoubleSize = 1;
  AddParticle(490, 340).sparkle = 1;
  std::vector<Lit> doubled;
  for (int y : {20, 180, 340})
    for (int x : {10, 170, 330, 490})
      for (int d = 0; d < 4; ++d) doubled.push_back({x + d % 2, y + d / 2, kWhite});
  ExpectFrame(doubled, "double size tiles");
}

TEST_F(FrameRendererTest, SphereMapsTheCentreAndClipsBeyondTheRim) {
  // R = 100 is inside 0.29 x 480, so the sphere turns: 0.5 + 0.006 = 0.506
  // rad, sin 0.48468; the centre moves by R sin φ on every arm.
  Start(6);
  SetEffect(kSpherical, 1);
  gSphereRadius = 100;
  gSphereAngle = 0.5f;
  gSphereStep = 0.006f;
  AddParticle(320, 240);
  ExpectFrame({{368, 240, kHead}}, "the centre on every arm");
  EXPECT_NEAR(gSphereAngle, 0.506f, 1e-6);
  EXPECT_EQ(LiveParticleCount(), 1u);

  // Beyond π R = 314 pixels: drawn once at the rim, then moved to the free list.
  Start(1);
  SetEffect(kSpherical, 1);
  gSphereRadius = 100;
  gSphereAngle = 0.5f;
  gSphereStep = 0.006f;
  TrailParticle& last = AddParticle(320, 250);
  TrailParticle& far = AddParticle(720, 240);
  TrailParticle& first = AddParticle(320, 230);
  DrawFrame();
  EXPECT_EQ(PixelAt(272, 240), kHead) << Describe(LitPixels());
  EXPECT_EQ(LiveParticleCount(), 2u);
  EXPECT_EQ(gParticles, &first);
  EXPECT_EQ(first.next, &last);
  EXPECT_EQ(last.prev, &first);
  EXPECT_EQ(last.next, nullptr);
  EXPECT_EQ(gFreeParticles, &far);
  EXPECT_EQ(far.prev, nullptr);
}

TEST_F(FrameRendererTest, SphereRunsThroughItsLifeCycle) {
  // Screen height 480: shrinking stops at 0.29 h = 139.2, the sphere ends
  // beyond 2.6 h = 1248; R shrinks by 3.12 (fast 12.48), grows by 1.56.
  struct Case {
    const char* what;
    float radius, angle, step;
    int ending, fast;
    float wantRadius, wantAngle, wantStep;
    int wantOn, wantEnding, wantFast;
  } cases[] = {
      {"shrinking", 200, 1, 0.001f, 0, 0, 196.88f, 1, 0.001f, 1, 0, 0},
      {"shrinking fast", 200, 1, 0.001f, 0, 1, 187.52f, 1, 0.001f, 1, 0, 1},
      {"turning speeds up", 139, 1, 0.001f, 0, 0, 139, 1.00101f, 0.00101f, 1, 0, 0},
      {"turning at full speed", 100, 1, 0.006f, 0, 0, 100, 1.006f, 0.006f, 1, 0, 0},
      {"turning past 2π wraps", 100, 6.28f, 0.006f, 0, 0, 100, 0.002814f, 0.006f, 1, 0, 0},
      {"unwinding slows toward the end", 100, 1, 0.006f, 1, 0, 100, 1.0050451f, 0.0050451f, 1, 1, 0},
      {"unwinding no slower than 0.003", 100, 6, 0.006f, 1, 0, 100, 6.003f, 0.003f, 1, 1, 0},
      {"unwinding fast", 100, 1, 0.006f, 1, 1, 100, 1.036f, 0.036f, 1, 1, 1},
      {"unwinding past 2π stops at 0", 100, 6.282f, 0.006f, 1, 1, 100, 0, 0.036f, 1, 1, 1},
      {"growing at angle 0", 1000, 0, 0.036f, 1, 1, 1001.56f, 0, 0.036f, 1, 1, 1},
      {"grown beyond the screen: off", 1247, 0, 0.036f, 1, 1, 1248.56f, 0, 0.036f, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Start(1);
    SetEffect(kSpherical, 1);
    gSphereRadius = c.radius;
    gSphereAngle = c.angle;
    gSphereStep = c.step;
    gSphereEnding = c.ending;
    gSphereFast = c.fast;
    DrawFrame();
    EXPECT_NEAR(gSphereRadius, c.wantRadius, 1e-3) << c.what;
    EXPECT_NEAR(gSphereAngle, c.wantAngle, 1e-6) << c.what;
    EXPECT_NEAR(gSphereStep, c.wantStep, 1e-7) << c.what;
    EXPECT_EQ(EffectOn(kSpherical), c.wantOn != 0) << c.what;
    EXPECT_EQ(gSphereEnding, c.wantEnding) << c.what;
    EXPECT_EQ(gSphereFast, c.wantFast) << c.what;
  }
  // Off, the sphere stands still.
  Start(1);
  gSphereRadius = 200;
  gSphereAngle = 1;
  DrawFrame();
  EXPECT_EQ(gSphereRadius, 200.0f);
  EXPECT_EQ(gSphereAngle, 1.0f);
}

TEST_F(FrameRendererTest, StarsBrightenAndFadeOverTheSecondHalfOfTheirLife) {
  // Lifetime 100: a pixel to age 50, then t = (age - 50) / 25 up to age 75
  // and (100 - age) / 25 after. The star's top cell is the bright level L
  // (3/2, capped), its centre the highlight W (x 4, capped).
  struct Case {
    uint32_t age;
    uint32_t top, centre;
  } cases[] = {
      {50, 0, kHead},                                   // still a pixel
      {51, Rgb32(12, 6, 3), Rgb32(32, 16, 8)},          // t = 0.04: (8, 4, 2)
      {60, Rgb32(120, 60, 30), Rgb32(255, 160, 80)},    // t = 0.4: (80, 40, 20)
      {75, Rgb32(255, 150, 75), Rgb32(255, 255, 200)},  // t = 1
      {90, Rgb32(120, 60, 30), Rgb32(255, 160, 80)},    // t = 0.4
      {99, Rgb32(12, 6, 3), Rgb32(32, 16, 8)},          // t = 0.04
      {100, 0, 0},                                      // t = 0: drawn black
  };
  for (const Case& c : cases) {
    Start(1);
    TrailParticle& p = AddParticle(420, 240);
    p.star = 1;
    p.lifetime = 100;
    p.age = c.age;
    p.vx = 2.02f;
    p.vy = -1.01f;
    DrawFrame();
    EXPECT_EQ(PixelAt(420, 237), c.top) << c.age;
    EXPECT_EQ(PixelAt(420, 240), c.centre) << c.age;
    if (c.age > 50) {
      EXPECT_FLOAT_EQ(p.vx, 2.0f) << "stars brake: " << c.age;
      EXPECT_FLOAT_EQ(p.vy, -1.0f) << c.age;
    } else {
      EXPECT_EQ(p.vx, 2.02f) << "a young star does not brake";
    }
  }

  // The mirror star is unscaled and sits at (640 - X + 2, Y - 3); every arm brakes.
  Start(2);
  SetEffect(kMirroredRadial, 1);
  gMirrorFade = 1;
  TrailParticle& p = AddParticle(420, 240);
  p.star = 1;
  p.lifetime = 100;
  p.age = 51;
  p.vx = 1.0201f;
  DrawFrame();
  EXPECT_EQ(PixelAt(420, 240), Rgb32(32, 16, 8));
  EXPECT_EQ(PixelAt(225, 240), Rgb32(255, 255, 200)) << "the mirror star of arm 0";
  EXPECT_EQ(PixelAt(220, 240), Rgb32(32, 16, 8)) << "arm 1";
  EXPECT_NEAR(p.vx, 1.0f, 1e-6);
}

TEST_F(FrameRendererTest, TiltLeansTheArmsAndBlendsAcrossA3DMorph) {
  // w = 0.3 sin(π/2) = 0.3; P = y + (Y - 240) w for a particle at (320, 340):
  // arm 0 at Y = 340 gives 370, arm 1 (opposite) at Y = 140 gives 310.
  struct Case {
    const char* what;
    int morphing, from3D, target3D;
    int arm0, arm1;
  } cases[] = {
      {"steady 3D", 0, 0, 0, 370, 310},
      {"between two 3D patterns", 1, 1, 1, 370, 310},
      {"into a 3D pattern, p = 0.2", 1, 0, 1, 346, 174},
      {"out of a 3D pattern, p = 0.2", 1, 1, 0, 364, 276},
  };
  for (const Case& c : cases) {
    Start(2);
    EngineState.is3D = 1;
    g3DPhase = 1.5707964f - 0.015f;
    gMorphing = c.morphing;
    gMorphBlend.from3D = c.from3D;
    gMorphBlend.target3D = c.target3D;
    gMorphProgress = 0.2f;
    AddParticle(320, 340);
    ExpectFrame({{320, c.arm0, kHead}, {320, c.arm1, kHead}}, c.what);
    EXPECT_NEAR(g3DPhase, 1.5707964f, 1e-6);
  }
  Start(1);
  EngineState.is3D = 1;
  g3DPhase = 6.28f;
  DrawFrame();
  EXPECT_NEAR(g3DPhase, 0.011814f, 1e-6) << "6.295 wraps once";
  EngineState.is3D = 0;
  DrawFrame();
  EXPECT_NEAR(g3DPhase, 0.011814f, 1e-6) << "flat patterns leave the phase alone";
}

TEST_F(FrameRendererTest, MorphArmsFadeInAndOut) {
  struct Case {
    const char* what;
    bool growing;
    float factor;
    uint32_t extra;
  } cases[] = {
      {"growing, at the start the new arms are black", true, 0.0f, 0},
      {"growing, half way", true, 0.5f, Rgb32(100, 50, 25)},
      {"growing, at the end", true, 1.0f, kHead},
      {"shrinking, at the start", false, 0.0f, kHead},
      {"shrinking, a quarter of the way", false, 0.25f, Rgb32(150, 75, 38)},
      {"shrinking, at the end the arms are gone", false, 1.0f, 0},
  };
  for (const Case& c : cases) {
    Start(1);
    StartDivisibleMorph(c.growing, c.factor);
    ASSERT_EQ(gRotAngleCount, 6u);
    AddParticle(420, 240).sparkle = 1;  // a sparkle's white does not survive a morph
    std::vector<Lit> expected;
    for (int i = 0; i < 6; ++i) {
      uint32_t colour = i % 2 ? c.extra : kHead;
      if (colour) expected.push_back({kSixArmSpots[i].x, kSixArmSpots[i].y, colour});
    }
    ExpectFrame(expected, c.what);
  }

  // Colourful Arms: odd extra arms fade the arm colour; even arms take the head's.
  Start(1);
  StartDivisibleMorph(true, 0.5f);
  SetEffect(kColourfulArms, 1);
  AddParticle(420, 240);
  std::vector<Lit> expected;
  for (int i = 0; i < 6; ++i)
    expected.push_back({kSixArmSpots[i].x, kSixArmSpots[i].y, i % 2 ? Rgb32(5, 10, 15) : kHead});
  ExpectFrame(expected, "colourful arms in a morph");
}

TEST_F(FrameRendererTest, AnArmAtTheFullTurnEndsTheArmLoop) {
  // Three arms: 0, 120 and 240 degrees land at (420, 240), (270, 153), (270, 327).
  Start(3);
  AddParticle(420, 240);
  gRotAngle[1].angle = 6.2731857f;
  ExpectFrame({{420, 240, kHead}}, "arms 1 and 2 are skipped");
  gRotAngle[1].angle = std::nextafter(6.2731857f, 0.0f);
  ExpectFrame({{420, 240, kHead}, {270, 153, kHead}, {270, 327, kHead}}, "just below the full turn");

  ReleaseRotAngles();
  ExpectFrame({}, "no table, no arms");
}

TEST_F(FrameRendererTest, FrameRateWindowMeasuresAndShedsLoad) {
  struct Case {
    const char* what;
    uint32_t gap, frames;
    int32_t shed;
    int morphing;
    uint32_t wantFps;
    int32_t wantShed;
    uint32_t wantFrames;
    bool restarted;
  } cases[] = {
      {"after a pause the rate is 0, shedding unchanged", 1600, 50, 16, 0, 0, 16, 1, true},
      {"slow: 10 frames in 1.25 s", 1250, 10, 16, 0, 8, 24, 1, true},
      {"fast: 40 frames in 1.25 s", 1250, 40, 16, 0, 32, 8, 1, true},
      {"shedding is capped at 32", 1250, 10, 30, 0, 8, 32, 1, true},
      {"and floored at 0", 1250, 40, 4, 0, 32, 0, 1, true},
      {"1.5 s still counts", 1500, 30, 0, 0, 20, 8, 1, true},
      {"just over 1.5 s does not", 1501, 30, 0, 0, 0, 0, 1, true},
      {"the rate is truncated: 25 in 1.001 s", 1001, 25, 0, 0, 24, 8, 1, true},
      {"25 per second is fast enough", 1200, 30, 8, 0, 25, 0, 1, true},
      {"a window of exactly 1 s is not over", 1000, 7, 8, 0, 55, 8, 8, false},
      {"a morph restarts the window every frame", 500, 7, 8, 1, 55, 8, 8, true},
  };
  for (const Case& c : cases) {
    Start(1);
    uint32_t now = gHeadless.tick;
    gFpsWindowStart = now - c.gap;
    gFpsFrames = c.frames;
    gShedRate = c.shed;
    gFps = 55;
    gMorphing = c.morphing;
    DrawFrame();
    EXPECT_EQ(gFps, c.wantFps) << c.what;
    EXPECT_EQ(gShedRate, c.wantShed) << c.what;
    EXPECT_EQ(gFpsFrames, c.wantFrames) << c.what;
    EXPECT_EQ(gFpsWindowStart, c.restarted ? now : now - c.gap) << c.what;
  }
}

TEST_F(FrameRendererTest, ShedParticlesAgeTenTimesFaster) {
  Start(1);
  for (int i = 0; i < 3000; ++i) AddParticle(float(i % 600), float(i % 400)).reverseMode = i % 2;
  auto shedCount = [] {
    unsigned n = 0;
    for (const TrailParticle* p = gParticles; p; p = p->next) n += p->ageStep == 10;
    return n;
  };

  // Rate 0 draws no random numbers and sheds nothing.
  prismora::srand(42);
  int first = prismora::rand();
  prismora::srand(42);
  gShedRate = 0;
  DrawFrame();
  EXPECT_EQ(shedCount(), 0u);
  EXPECT_EQ(prismora::rand(), first);

  // 32 per mille: about 96 of 3000, hidden particles included; one draw each.
  prismora::srand(42);
  for (int i = 0; i < 3000; ++i) prismora::rand();
  int after = prismora::rand();
  prismora::srand(42);
  gShedRate = 32;
  DrawFrame();
  EXPECT_GT(shedCount(), 50u);
  EXPECT_LT(shedCount(), 150u);
  EXPECT_EQ(prismora::rand(), after);

  for (TrailParticle* p = gParticles; p; p = p->next) p->ageStep = 1;
  gShedRate = 1000;
  DrawFrame();
  EXPECT_EQ(shedCount(), 3000u);
}

TEST_F(FrameRendererTest, FramesArePacedToMaxFps) {
  struct Case {
    uint32_t maxFps, period;
  } cases[] = {{85, 10}, {25, 36}, {60, 15}, {900, 1}, {901, 0}, {0, 0}};
  for (const Case& c : cases) {
    Start(1);
    gOptions.MaxFps = c.maxFps;
    uint32_t before = gHeadless.tick;
    uint64_t waited = gHeadless.waitedMilliseconds;
    DrawFrame();
    EXPECT_EQ(gHeadless.tick - before, c.period) << c.maxFps;
    EXPECT_EQ(gHeadless.waitedMilliseconds - waited, c.period) << "the wait sleeps: " << c.maxFps;
  }
  Start(1);
  uint32_t before = gHeadless.tick;
  for (int i = 0; i < 10; ++i) DrawFrame();
  EXPECT_GE(gHeadless.tick - before, 100u) << "85 fps: 10 frames take at least 100 ms";
}

namespace {

// A clock that runs in microseconds, so that a frame can begin part way
// through a millisecond; waits move it by exactly what they ask, and
// presenting a frame by the frame's work.
uint64_t gFineMicroseconds = 0;
uint64_t gFrameWorkMicroseconds = 0;
const ClockService* gHeadlessClock = nullptr;
const WindowService* gHeadlessWindowService = nullptr;
WindowService gSlowWindows;

const ClockService kFineClock = {
    [] { return uint32_t(gFineMicroseconds / 1000); },
    [] { return gHeadlessClock->calendarSeconds(); },
    [](uint64_t* count) {
      *count = gFineMicroseconds;
      return true;
    },
    [](uint64_t* perSecond) {
      *perSecond = 1000000;
      return true;
    },
    [](LocalTime* out) { gHeadlessClock->localTime(out); },
};
const EventSourceService kFineEvents = {
    [] {},
    [](uint32_t ms) { gFineMicroseconds += uint64_t(ms) * 1000; },
    [](uint64_t us) { gFineMicroseconds += us; },
};

}  // namespace

TEST_F(FrameRendererTest, AFrameLastsItsPeriodToTheMicrosecond) {
  struct Case {
    uint32_t maxFps;
    uint64_t startWithinMs;  // microseconds past a whole millisecond
    uint64_t work;           // microseconds the frame takes before its wait
  } cases[] = {{85, 0, 0},      {85, 100, 2950}, {85, 900, 2100}, {85, 999, 9990},
               {60, 500, 4600}, {25, 999, 1},    {85, 0, 12000}};
  for (const Case& c : cases) {
    Start(1);
    gOptions.MaxFps = c.maxFps;
    gHeadlessClock = gClock;
    gHeadlessWindowService = gWindows;
    const EventSourceService* headlessEvents = gEvents;
    gSlowWindows = *gWindows;
    gSlowWindows.present = [](WindowHandle window, const FrameImage& frame) {
      gFineMicroseconds += gFrameWorkMicroseconds;
      gHeadlessWindowService->present(window, frame);
    };
    gClock = &kFineClock;
    gEvents = &kFineEvents;
    gWindows = &gSlowWindows;
    gFineMicroseconds = 5000000 + c.startWithinMs;
    gFrameWorkMicroseconds = c.work;
    uint64_t begin = gFineMicroseconds;
    DrawFrame();
    uint64_t lasted = gFineMicroseconds - begin;
    gClock = gHeadlessClock;
    gEvents = headlessEvents;
    gWindows = gHeadlessWindowService;
    // A frame that overran its period is not made longer still.
    uint64_t expected = std::max(uint64_t(900 / c.maxFps) * 1000, c.work);
    EXPECT_EQ(lasted, expected) << c.maxFps << " fps, " << c.startWithinMs << " us in, work " << c.work;
  }
}

TEST_F(FrameRendererTest, LockFailureSkipsTheDrawingButNotThePacing) {
  Start(1);
  TrailParticle& p = AddParticle(420, 240);
  gShedRate = 1000;  // every drawn particle would be shed
  gSurfacesReady = 0;
  unsigned presents = gHeadless.presentCount;
  uint32_t frames = gFpsFrames;
  uint32_t before = gHeadless.tick;
  DrawFrame();
  EXPECT_EQ(gHeadless.presentCount, presents);
  EXPECT_EQ(gHeadless.tick - before, 10u);
  EXPECT_EQ(gFpsFrames, frames + 1) << "the frame still counts";
  EXPECT_EQ(p.ageStep, 1u) << "no particle was visited";
}

TEST_F(FrameRendererTest, PaintModeKeepsThePictureUntilAClearIsAsked) {
  Start(1);
  TrailParticle& p = AddParticle(420, 240);
  DrawFrame();
  p.x = 430;
  ExpectFrame({{430, 240, kHead}}, "erased between frames");

  SetEffect(kPaintMode, 1);
  p.x = 440;
  ExpectFrame({{430, 240, kHead}, {440, 240, kHead}}, "painting over the last picture");
  gClearRequest = 1;
  p.x = 450;
  ExpectFrame({{450, 240, kHead}}, "a clear request wipes it once");
  EXPECT_EQ(gClearRequest, 0);
}

TEST_F(FrameRendererTest, TimedNoticesEndAfterTheirEndTick) {
  Start(1);
  gOptions.MaxFps = 0;
  uint32_t t0 = gHeadless.tick;
  gTextOverlay.grabNotice = {1, t0 + 100};
  gTextOverlay.wallpaperNotice = {1, t0 + 50};
  DrawFrame();
  EXPECT_EQ(gTextOverlay.grabNotice.on, 1);
  EXPECT_EQ(gTextOverlay.wallpaperNotice.on, 1);
  gHeadless.tick = t0 + 50;
  DrawFrame();
  EXPECT_EQ(gTextOverlay.wallpaperNotice.on, 1) << "not past its end yet";
  gHeadless.tick = t0 + 51;
  DrawFrame();
  EXPECT_EQ(gTextOverlay.wallpaperNotice.on, 0);
  EXPECT_EQ(gTextOverlay.grabNotice.on, 1);
  gHeadless.tick = t0 + 101;
  DrawFrame();
  EXPECT_EQ(gTextOverlay.grabNotice.on, 0);
}

TEST_F(FrameRendererTest, FirstFrameValuesAreCachedOnce) {
  Start(1);
  DrawFrame();
  EXPECT_EQ(gCentreX, 320.0f);
  EXPECT_EQ(gCentreY, 240.0f);
  EXPECT_EQ(gTileSize, 160u);
  EXPECT_EQ(gWhitePixel, kWhite);
  // A later size change keeps them: they belong to the first frame.
  gScreenWidth = 320;
  DrawFrame();
  EXPECT_EQ(gCentreX, 320.0f);
  EXPECT_EQ(gTileSize, 160u);
}

namespace {

// Particles from the real emitter: the engine's own steps, without the
// effect scheduler, trails unfaded so that no particle is black.
void GrowTrails(uint32_t steps) {
  EngineState.fadeSpeed = 0;
  RebuildArms();
  for (uint32_t step = 0; step < steps; ++step) {
    MoveEmitter();
    if (step % SpawnPeriod() == 0) SpawnParticle();
    if (step % 100 == 0) StepParticles();
  }
}

bool LitNear(int x, int y) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (PixelAt(x + dx, y + dy)) return true;
  return false;
}

}  // namespace

TEST_F(FrameRendererTest, SixArmPictureIsSixFoldSymmetric) {
  Start(6);
  GrowTrails(20000);
  ASSERT_GT(LiveParticleCount(), 100u);
  DrawFrame();
  std::vector<Lit> lit = LitPixels();
  ASSERT_GT(lit.size(), 300u);
  const double c = std::cos(3.14159265358979 / 3), s = std::sin(3.14159265358979 / 3);
  unsigned checked = 0, missing = 0;
  for (const Lit& l : lit) {
    double ox = l.x - double(gCentreX), oy = l.y - double(gCentreY);
    int rx = int(std::lround(gCentreX + ox * c + oy * s));
    int ry = int(std::lround(gCentreY - ox * s + oy * c));
    if (rx < 1 || ry < 1 || rx > kWidth - 2 || ry > kHeight - 2) continue;
    ++checked;
    if (!LitNear(rx, ry)) ++missing;
  }
  EXPECT_GT(checked, lit.size() / 2);
  EXPECT_EQ(missing, 0u) << "of " << checked;

  // Mirrored Radial fully faded in: also mirrored about the centre line, exactly.
  SetEffect(kMirroredRadial, 1);
  gMirrorFade = 1;
  DrawFrame();
  lit = LitPixels();
  unsigned unmatched = 0;
  for (const Lit& l : lit)
    if (PixelAt(kWidth - 1 - l.x, l.y) != l.colour) ++unmatched;
  EXPECT_EQ(unmatched, 0u) << "of " << lit.size();
}

TEST_F(FrameRendererTest, PinnedFrameHash) {
  // A fixed scene on the virtual clock: 400 particles placed and flagged
  // from a fixed seed, six arms, most drawing effects at once.
  struct Scene {
    const char* name;
    void (*setup)();
    uint64_t hash;
  } scenes[] = {
      {"arms",
       [] {
         SetEffect(kMirroredRadial, 1);
         gMirrorFade = 0.6f;
         SetEffect(kColourfulArms, 1);
         gShedRate = 16;
       },
       0x7433ea73e657f936ull},
      {"sphere",
       [] {
         SetEffect(kSpherical, 1);
         gSphereRadius = 150;
         gSphereAngle = 2;
         gSphereStep = 0.004f;
         EngineState.is3D = 1;
         g3DPhase = 0.7f;
       },
       0x05f2b3b1e8d76473ull},
      {"inverse",
       [] {
         SetEffect(kInverseDistance, 1);
         gInverseRadius = 80;
         gInverseAlternate = 1;
         gOptions.DoubleSize = 1;
       },
       0x6bc3f0a68de3f337ull},
  };
  for (const Scene& scene : scenes) {
    Start(6);
    scene.setup();
    prismora::srand(20240917);
    for (int i = 0; i < 400; ++i) {
      TrailParticle& p = AddParticle(float(prismora::rand() % 700) - 30, float(prismora::rand() % 540) - 30);
      p.headRed = prismora::rand() % 256;
      p.headGreen = prismora::rand() % 256;
      p.headBlue = prismora::rand() % 256;
      p.pixel = PackPixel(uint32_t(p.headRed), uint32_t(p.headGreen), uint32_t(p.headBlue));
      p.lifetime = 100 + uint32_t(prismora::rand() % 400);
      p.age = uint32_t(prismora::rand()) % p.lifetime;
      int flags = prismora::rand(), more = prismora::rand();
      p.sparkle = (flags & 7) == 0;
      p.coriolis = (flags >> 3 & 7) == 0;
      p.windmill = (flags >> 6 & 7) == 0;
      p.tunnel = (flags >> 9 & 7) == 0;
      p.doubleBounce = p.tunnel && (flags >> 12 & 1);
      p.loopTheLoop = (more & 7) == 0;
      p.ball = (more >> 3 & 15) == 0;
      p.star = !p.ball && (more >> 7 & 7) == 0;
      p.tunnelPhase = more % 100;
      p.ballSize = more % 3;
      p.reverseMode = (more >> 10 & 15) == 0 ? 1 : 0;
    }
    DrawFrame();
    uint64_t hash = FrameHash();
    if (hash != scene.hash) {
      std::string path =
          (std::filesystem::temp_directory_path() / (std::string("prismora-frame-") + scene.name + ".png"))
              .string();
      std::string error;
      bool written = SaveFramePng(path, gHeadless.lastFrame, &error);
      ADD_FAILURE() << scene.name << ": frame hash is 0x" << std::hex << hash << "; picture "
                    << (written ? path : error);
    }
  }
}

TEST_F(FrameRendererTest, SteadyFramesAllocateNothing) {
  StartHeadlessEngine(kWidth, kHeight, 0);
  SetEffect(kPaintMode, 0);
  GrowTrails(20000);
  ASSERT_GT(LiveParticleCount(), 100u);
  struct Setting {
    EffectId effect;
    int on;
  } settings[] = {{kSpherical, 1}, {kMirroredRadial, 1}, {kInverseDistance, 1}, {kColourfulArms, 1}};
  // Every text on: names, the frame rate, the effects list and the help.
  gOptions.ShowNames = 1;
  gTextOverlay.frameRate = 1;
  gTextOverlay.effectsList = 1;
  gTextOverlay.keyHelp = 1;
  DrawKeyHelpLines();
  DrawTextSlot(true, 16, gPresets[1].Name, gPresets[0].Name, 0.5f, true, kNameSlot, 0, false);
  SetEffect(kTunnel, 1);
  DrawFrame();
  HeapHooksScope hooks;
  gShedRate = 8;
  gHeadless.keepFrames = false;
  for (int round = 0; round < 3; ++round) {
    gHeadless.keepFrames = false;
    gHeapHooks.counting = true;
    for (const Setting& s : settings) {
      SetEffect(s.effect, s.on);
      gSphereRadius = 300;
      DrawFrame();
      SetEffect(s.effect, 0);
      DrawFrame();
    }
    gOptions.SquareTiled = 1;
    DrawFrame();
    gOptions.SquareTiled = 0;
    // A new frame rate and a new notice are drawn without the heap too.
    gFps = 10 + uint32_t(round) * 37;
    ShowTimedNotice(&gTextOverlay.grabNotice, "Grabbed Twirlies #12");
    DrawFrame();
    gHeapHooks.counting = false;
    // Particles die and are born between the frames, from the free list.
    for (int i = 0; i < 5; ++i) {
      MoveEmitter();
      StepParticles();
    }
  }
  EXPECT_EQ(gHeapHooks.allocations, 0u);

  // Whole frame updates, once their particle lists have grown.
  EngineState.nextJump = gHeadless.tick + 1000000;
  for (int i = 0; i < 3; ++i) AddTrailParticle(1);
  gHeapHooks.counting = true;
  for (int i = 0; i < 3; ++i) AddTrailParticle(1);
  gHeapHooks.counting = false;
  EXPECT_EQ(gHeapHooks.allocations, 0u) << "frame updates";

  // The counter does see the heap: a rebuilt table is one allocation.
  gHeapHooks.counting = true;
  SetupRotAngles();
  EXPECT_EQ(gHeapHooks.allocations, 1u);
}
