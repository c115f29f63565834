// Trail particles: spawning under the effects, the particle step, and the
// two lists. Expected values are worked out by hand from the rules; draws
// come from fixed seeds of the program's generator, whose first values are
//   seed 1: 41, 18467, 6334   seed 2: 45, 29216   seed 4: 51   seed 6: 58
//   seed 8: 64                seed 19: 100
//   seed 2365: 7761, 32500, 32051   seed 2964: 9717, 15500, 17554
//   seed 662: 2200, 12508           seed 424249: 9201, 13500.
#include "engine/particles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "diag/log.h"
#include "engine/colour.h"
#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"
#include "engine/rot_angles.h"
#include "patterns/preset.h"
#include "render/pixel_format.h"
#include "tests/support/test_host.h"

namespace {

// Records come from `new (std::nothrow)`; counting those calls shows when
// the engine allocates, and failing them exercises the allocation failure.
int gNothrowNews = 0;
bool gFailNothrowNew = false;

}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (gFailNothrowNew) return nullptr;
  ++gNothrowNews;
  return ::operator new(size);
}

namespace {

constexpr float kTol = 1e-5f;

struct Colour {
  int red, green, blue;
};

Colour Head(const TrailParticle* p) { return Colour{p->headRed, p->headGreen, p->headBlue}; }
Colour Base(const TrailParticle* p) { return Colour{p->baseRed, p->baseGreen, p->baseBlue}; }
Colour Arm(const TrailParticle* p) { return Colour{p->armRed, p->armGreen, p->armBlue}; }
Colour FromRgb(Rgb c) { return Colour{c.red, c.green, c.blue}; }

bool operator==(Colour a, Colour b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

std::ostream& operator<<(std::ostream& out, Colour c) {
  return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

uint32_t Packed(Colour c) { return PackPixel(uint32_t(c.red), uint32_t(c.green), uint32_t(c.blue)); }

void Steps(int n) {
  for (int i = 0; i < n; ++i) StepParticles();
}

std::vector<float> LiveXs() {
  std::vector<float> xs;
  for (const TrailParticle* p = gParticles; p; p = p->next) xs.push_back(p->x);
  return xs;
}

unsigned FreeCount() {
  unsigned count = 0;
  for (const TrailParticle* p = gFreeParticles; p; p = p->next) ++count;
  return count;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

class ParticlesTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    StartHeadlessEngine(1024, 768, 0);
    Quiet();
  }

  void TearDown() override {
    gFailNothrowNew = false;
    HeadlessTest::TearDown();
  }

  // Every effect off, no spread, no sparkle; emitter at (300, 150), still,
  // in colour (200, 100, 50); particles live 200 steps and fade after 100.
  static void Quiet() {
    for (int id = 0; id < kEffectCount; ++id) SetEffect(EffectId(id), 0);
    gEffects.params = EffectParamsRec{};
    gMorphBlend.armFactor = 0;
    EngineStateRec& e = EngineState;
    e.sparkle = 0;
    e.sparkliness = 40;
    e.trailWidth = 0;
    e.spiralTrail = 0;
    e.spiralAngle = 0;
    e.spiralInc = 0;
    e.is3D = 0;
    e.alwaysFadeHead = 0;
    e.trailLength = 200;
    e.fadeAge = 100;
    e.spawnAngle = 0;
    e.widthPhase = 0;
    e.emitter.x = 300;
    e.emitter.y = 150;
    e.emitter.vx = e.emitter.vy = 0;
    e.emitter.red = 200;
    e.emitter.green = 100;
    e.emitter.blue = 50;
    gCurrentPattern = 0;
    gStepCount = 0;
    FreeAllParticles();
  }

  static TrailParticle* Spawn(uint32_t now = 1000) {
    EXPECT_TRUE(SpawnParticle(now));
    return gParticles;
  }
};

// ---------------------------------------------------------------- fading

TEST_F(ParticlesTest, FadesOutOverTheLastPartOfLife) {
  EngineState.fadeSpeed = 50;
  EngineState.trailLength = 200;
  RebuildArms();
  ASSERT_EQ(EngineState.fadeAge, 100u);
  TrailParticle* p = Spawn();
  ASSERT_EQ(Head(p), (Colour{200, 100, 50}));
  // Steps run so far (the last one saw age steps - 1) and the head after it.
  struct Case {
    int steps;
    Colour head;
  } cases[] = {
      {100, {200, 100, 50}},  // ages 0..99
      {101, {200, 100, 50}},  // age 100 = fadeAge: not yet fading
      {102, {198, 99, 49}},   // age 101: 99/100
      {151, {100, 50, 25}},   // age 150: half
      {199, {4, 2, 1}},       // age 198: 2/100
  };
  int done = 0;
  for (const Case& c : cases) {
    Steps(c.steps - done);
    done = c.steps;
    EXPECT_EQ(Head(p), c.head) << "after " << c.steps << " steps";
    EXPECT_EQ(Base(p), (Colour{200, 100, 50}));
    EXPECT_EQ(p->pixel, Packed(c.head));
    EXPECT_EQ(p->pixel2, Packed(c.head)) << "no effect colours the arms";
    EXPECT_EQ(p->sparkle, 0);
  }
  ASSERT_EQ(LiveParticleCount(), 1u);
  StepParticles();  // age 199: (2, 1, 0), then age 200 ends it
  EXPECT_EQ(LiveParticleCount(), 0u);
}

TEST_F(ParticlesTest, BallsKeepTheirColourWhilePainting) {
  TrailParticle* p = Spawn();
  SetEffect(kBallMode, 1);
  SetEffect(kPaintMode, 1);
  Steps(151);
  EXPECT_EQ(Head(p), (Colour{200, 100, 50}));
  SetEffect(kBallMode, 0);
  StepParticles();  // age 151
  EXPECT_EQ(Head(p), (Colour{98, 49, 24}));
}

TEST_F(ParticlesTest, FadeHeadStartsBlackAndReachesFullColourAtHalfTheFadeAge) {
  SetEffect(kFadeHead, 1);
  TrailParticle* p = Spawn();
  EXPECT_EQ(p->fadeHead, 1);
  EXPECT_EQ(Head(p), (Colour{0, 0, 0}));
  EXPECT_EQ(Base(p), (Colour{200, 100, 50}));
  EXPECT_EQ(p->pixel, Packed({0, 0, 0}));
  EXPECT_EQ(p->pixel2, Packed({0, 0, 0}));
  // fadeAge 100: the fade-in runs over ages 0..50.
  struct Case {
    int steps;
    Colour head;
  } cases[] = {
      {1, {0, 0, 0}},        // age 0
      {11, {40, 20, 10}},    // age 10: 10/50
      {50, {196, 98, 49}},   // age 49
      {51, {200, 100, 50}},  // age 50
      {80, {200, 100, 50}},  // age 79: held
  };
  int done = 0;
  for (const Case& c : cases) {
    Steps(c.steps - done);
    done = c.steps;
    EXPECT_EQ(Head(p), c.head) << "after " << c.steps << " steps";
    EXPECT_EQ(p->pixel, Packed(c.head));
  }
}

TEST_F(ParticlesTest, SparkleOnlyOutsideTheFadeInHalfAndInsteadOfTheFade) {
  EngineState.sparkle = 1;
  EngineState.sparkliness = 1;  // every step is a sparkle step
  TrailParticle* p = Spawn();
  StepParticles();
  EXPECT_EQ(p->sparkle, 1) << "age 0";
  Steps(149);
  EXPECT_EQ(p->sparkle, 1) << "age 149 < 100 + (200 - 100) / 2";
  StepParticles();
  EXPECT_EQ(p->sparkle, 0) << "age 150: too late in the fade";
  EXPECT_EQ(Head(p), (Colour{200, 100, 50})) << "a sparkle step does not fade";

  Quiet();
  EngineState.sparkle = 1;
  EngineState.sparkliness = 1;
  SetEffect(kFadeHead, 1);
  p = Spawn();
  Steps(11);
  EXPECT_EQ(p->sparkle, 0) << "age 10 is in the fade-in half";
  EXPECT_EQ(Head(p), (Colour{40, 20, 10})) << "fading in as usual";
  Steps(39);
  EXPECT_EQ(p->sparkle, 0) << "age 49";
  EXPECT_EQ(Head(p), (Colour{196, 98, 49}));
  StepParticles();
  EXPECT_EQ(p->sparkle, 1) << "age 50 is past the fade-in half";
  EXPECT_EQ(Head(p), (Colour{196, 98, 49}));

  // The flag lasts one step only.
  EngineState.sparkle = 0;
  StepParticles();
  EXPECT_EQ(p->sparkle, 0);
}

// ---------------------------------------------------------------- ageing and motion

TEST_F(ParticlesTest, ReversingParticlesFlyBackAndLiveTwiceTheirLifetime) {
  for (int mode = 0; mode <= 3; ++mode) {
    Quiet();
    EngineState.trailLength = 100;
    EngineState.fadeAge = 100;
    EngineState.emitter.vx = -20;  // the particle moves at (1, 0)
    SetEffect(kReverse, mode);
    TrailParticle* p = Spawn();
    EXPECT_EQ(p->reverseMode, mode);
    Steps(99);
    ASSERT_EQ(LiveParticleCount(), 1u) << mode;
    StepParticles();
    if (mode == 0) {
      EXPECT_EQ(LiveParticleCount(), 0u) << "a plain particle ends at its lifetime";
      continue;
    }
    ASSERT_EQ(LiveParticleCount(), 1u);
    EXPECT_EQ(p->returning, 1);
    EXPECT_EQ(p->age, 100u);
    EXPECT_FLOAT_EQ(p->x, 400);
    EXPECT_FLOAT_EQ(p->vx, -1);
    Steps(50);
    EXPECT_EQ(p->age, 50u);
    EXPECT_FLOAT_EQ(p->x, 350);
    Steps(49);
    EXPECT_EQ(p->age, 1u);
    ASSERT_EQ(LiveParticleCount(), 1u) << "199 steps";
    StepParticles();
    EXPECT_EQ(LiveParticleCount(), 0u) << "200 steps";
  }
}

TEST_F(ParticlesTest, DragSlowsParticlesAndSpeedsUpReturningOnes) {
  struct Case {
    int quicksand, paint, returning;
    float vx;
  } cases[] = {
      {0, 0, 0, 1.0f},      {0, 0, 1, 1.0f},   {1, 0, 0, 0.9708738f}, {1, 0, 1, 1.015f},
      {0, 1, 0, 0.990099f}, {0, 1, 1, 1.005f}, {1, 1, 0, 0.9708738f}, {1, 1, 1, 1.015f},
  };
  for (const Case& c : cases) {
    Quiet();
    EngineState.emitter.vx = -20;
    TrailParticle* p = Spawn();
    if (c.returning) {
      p->reverseMode = 1;
      p->returning = 1;
      p->age = 50;
    }
    SetEffect(kQuicksand, c.quicksand);
    SetEffect(kPaintMode, c.paint);
    StepParticles();
    EXPECT_FLOAT_EQ(p->x, 301) << "the move comes before the drag";
    EXPECT_FLOAT_EQ(p->vx, c.vx) << c.quicksand << c.paint << c.returning;
    EXPECT_EQ(p->vy, 0.0f);
  }
}

TEST_F(ParticlesTest, WhirlShortensLifeToTwoThirdsAndBrakes) {
  EngineState.emitter.vx = -20;
  TrailParticle* a = Spawn();
  TrailParticle* b = Spawn();
  TrailParticle* c = Spawn();
  b->lifetime = 151;
  c->lifetime = 3;
  c->fadeAge = 1;
  gEffects.params.whirlArmed = 1;
  gEffects.params.whirlKeep = 1;  // keeps the velocity, pushes nowhere
  gEffects.params.whirlPush = 0;
  StepParticles();
  EXPECT_EQ(gEffects.params.whirlArmed, 0) << "a whirl lasts one step";
  EXPECT_EQ(a->lifetime, 133u);
  EXPECT_EQ(a->fadeAge, 66u);
  EXPECT_EQ(b->lifetime, 100u);
  EXPECT_EQ(b->fadeAge, 66u);
  EXPECT_EQ(c->lifetime, 2u);
  EXPECT_EQ(c->fadeAge, 0u);
  for (TrailParticle* p : {a, b, c}) {
    EXPECT_EQ(p->braking, 1);
    EXPECT_FLOAT_EQ(p->vx, 1) << "no braking in the whirl step itself";
    EXPECT_FLOAT_EQ(p->x, 301);
  }
  StepParticles();
  EXPECT_FLOAT_EQ(a->vx, 0.990099f);
  EXPECT_FLOAT_EQ(a->x, 301.990099f) << "braked before the move";
  EXPECT_EQ(LiveParticleCount(), 2u) << "the 3-step particle had 2 steps left";
  TrailParticle* fresh = Spawn();
  EXPECT_EQ(fresh->braking, 0);
  EXPECT_EQ(fresh->lifetime, 200u);

  // Keep 0, push 2: a new direction at speed 2 for every particle.
  Quiet();
  EngineState.emitter.vx = -20;
  prismora::srand(7);
  for (int i = 0; i < 20; ++i) Spawn();
  gEffects.params.whirlArmed = 1;
  gEffects.params.whirlKeep = 0;
  gEffects.params.whirlPush = 2;
  StepParticles();
  int distinct = 0;
  float firstVx = gParticles->vx;
  for (const TrailParticle* p = gParticles; p; p = p->next) {
    EXPECT_NEAR(std::hypot(p->vx, p->vy), 2.0f, kTol);
    if (std::fabs(p->vx - firstVx) > 1e-3f) ++distinct;
  }
  EXPECT_GT(distinct, 0) << "every particle draws its own direction";
}

TEST_F(ParticlesTest, BurstModes) {
  struct Case {
    int mode;
    float wave, x, y;
    float vx, vy;
  } cases[] = {
      {0, 1, 100, 100, 3, 4}, {1, 1, 100, 100, -1, -2}, {2, 1, 100, 0, 2, 0}, {2, 1, 0, 50, 0, 2},
      {2, 1, -100, 0, -2, 0}, {3, 2, 256, 192, 0, 1},   {3, 1, 0, 384, 1, 1},
  };
  for (const Case& c : cases) {
    Quiet();
    TrailParticle* p = Spawn();
    p->x = c.x;
    p->y = c.y;
    p->vx = 1;
    p->vy = 2;
    gEffects.params.burstArmed = 1;
    gEffects.params.burstMode = c.mode;
    gEffects.params.burstWave = c.wave;
    StepParticles();
    EXPECT_EQ(gEffects.params.burstArmed, 0);
    EXPECT_NEAR(p->vx, c.vx, kTol) << "mode " << c.mode << " at " << c.x << ", " << c.y;
    EXPECT_NEAR(p->vy, c.vy, kTol) << "mode " << c.mode << " at " << c.x << ", " << c.y;
    EXPECT_NEAR(p->x, c.x + c.vx, kTol) << "the burst comes before the move";
  }
  // Not armed: nothing happens.
  Quiet();
  TrailParticle* p = Spawn();
  p->vx = 1;
  p->vy = 2;
  gEffects.params.burstMode = 0;
  StepParticles();
  EXPECT_FLOAT_EQ(p->vx, 1);
}

TEST_F(ParticlesTest, FlickVelTurnsAtAQuarterOfLife) {
  // Screen 1024 wide: mode 1 aims at (512, 512). Emitter at (300, 150).
  struct Case {
    int mode;
    uint32_t age, lifetime;
    float x, y;
    float vx, vy;
  } cases[] = {
      {0, 25, 100, 300, 250, 0, -5}, {1, 25, 100, 542, 552, -3, -4}, {2, 25, 100, 0, 0, 4, -3},
      {2, 25, 101, 0, 0, 4, -3},     {2, 25, 103, 0, 0, 4, -3},      {2, 24, 100, 0, 0, 3, 4},
      {2, 26, 100, 0, 0, 3, 4},      {0, 25, 104, 300, 250, 3, 4},
  };
  for (const Case& c : cases) {
    Quiet();
    SetEffect(kFlickVel, 1);
    gEffects.params.flickMode = c.mode;
    TrailParticle* p = Spawn();
    p->x = c.x;
    p->y = c.y;
    p->vx = 3;
    p->vy = 4;
    p->age = c.age;
    p->lifetime = c.lifetime;
    p->fadeAge = c.lifetime;
    StepParticles();
    EXPECT_NEAR(p->vx, c.vx, kTol) << "mode " << c.mode << " age " << c.age << "/" << c.lifetime;
    EXPECT_NEAR(p->vy, c.vy, kTol) << "mode " << c.mode << " age " << c.age << "/" << c.lifetime;
  }
}

TEST_F(ParticlesTest, CurvyTrailsScaleTheBirthVelocity) {
  SetEffect(kCurvyTrails, 1);
  gEffects.params.curvyPhase = -0.01f;  // the step brings it to 0: factors (2, 0)
  TrailParticle* p = Spawn();
  p->vx = p->vx0 = 1;
  p->vy = p->vy0 = 1.5f;
  StepParticles();
  EXPECT_FLOAT_EQ(gEffects.params.curvyPhase, 0);
  EXPECT_FLOAT_EQ(gEffects.params.curvyFactorX, 2);
  EXPECT_FLOAT_EQ(gEffects.params.curvyFactorY, 0);
  EXPECT_FLOAT_EQ(p->x, 301) << "moved by the old velocity";
  EXPECT_FLOAT_EQ(p->y, 151.5f);
  EXPECT_FLOAT_EQ(p->vx, 2);
  EXPECT_FLOAT_EQ(p->vy, 0);
}

TEST_F(ParticlesTest, FrostedStopsAParticleOnOneDrawInAHundred) {
  SetEffect(kFrosted, 1);
  EngineState.emitter.vx = -20;
  TrailParticle* p = Spawn();
  // Seed 19 draws 100 first (100 mod 100 = 0), seed 1 draws 41.
  prismora::srand(1);
  StepParticles();
  EXPECT_FLOAT_EQ(p->vx, 1);
  prismora::srand(19);
  StepParticles();
  EXPECT_EQ(p->vx, 0.0f);
  EXPECT_EQ(p->vy, 0.0f);
}

TEST_F(ParticlesTest, ThinningKeepsEveryKthParticle) {
  for (int i = 0; i < 10; ++i) {
    EngineState.emitter.x = float(i);
    Spawn();
  }
  ASSERT_EQ(LiveXs(), (std::vector<float>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
  gMorphBlend.armFactor = 3;
  StepParticles();
  EXPECT_EQ(LiveXs(), (std::vector<float>{9, 6, 3, 0}));
  EXPECT_EQ(FreeCount(), 6u);
  EXPECT_EQ(gMorphBlend.armFactor, 0);
  StepParticles();
  EXPECT_EQ(LiveParticleCount(), 4u) << "thinned once only";
  gMorphBlend.armFactor = 1;
  StepParticles();
  EXPECT_EQ(LiveParticleCount(), 4u);
}

// ---------------------------------------------------------------- colour in flight

TEST_F(ParticlesTest, ColourCycleGentleModeMovesOnlyByThreesAndBounces) {
  SetEffect(kColourCycle, 1);
  gEffects.params.colourCycleMode = 0;
  EngineState.emitter.red = 254;
  EngineState.emitter.green = 100;
  EngineState.emitter.blue = 65;
  int* steps = EngineState.colourCycleStep;
  steps[0] = 3;
  steps[1] = 1;
  steps[2] = -3;
  TrailParticle* p = Spawn();
  struct Case {
    Colour base;
    int steps[3];
  } cases[] = {
      {{255, 100, 64}, {3, 1, -3}},  // reached the bounds, not past them
      {{255, 100, 64}, {-3, 1, 3}},  // pushed past: held and turned
      {{254, 100, 65}, {-3, 1, 3}},
  };
  for (const Case& c : cases) {
    StepParticles();
    EXPECT_EQ(Base(p), c.base);
    EXPECT_EQ(Head(p), c.base);
    EXPECT_EQ(p->pixel, Packed(c.base));
    EXPECT_EQ(steps[0], c.steps[0]);
    EXPECT_EQ(steps[1], c.steps[1]);
    EXPECT_EQ(steps[2], c.steps[2]);
  }
}

TEST_F(ParticlesTest, ColourCycleFullModeHoldsAtTheBounds) {
  SetEffect(kColourCycle, 1);
  gEffects.params.colourCycleMode = 1;
  EngineState.emitter.red = 253;
  EngineState.emitter.green = 100;
  EngineState.emitter.blue = 62;
  int* steps = EngineState.colourCycleStep;
  steps[0] = 3;
  steps[1] = 2;
  steps[2] = 1;
  TrailParticle* p = Spawn();
  StepParticles();
  EXPECT_EQ(Base(p), (Colour{255, 102, 64}));
  StepParticles();
  EXPECT_EQ(Base(p), (Colour{255, 104, 65}));
  EXPECT_EQ(steps[0], 3);
  EXPECT_EQ(steps[2], 1);
}

TEST_F(ParticlesTest, OneColourAgeModeColoursByAge) {
  // Multipliers 2, 0, 4: threshold 256 / 4 = 64, period 256 / 2 = 128,
  // rates 128, 0, 64.
  EffectParamsRec& q = gEffects.params;
  q.oneColourMultiplier[0] = 2;
  q.oneColourMultiplier[1] = 0;
  q.oneColourMultiplier[2] = 4;
  q.oneColourRate[0] = 128;
  q.oneColourRate[1] = 0;
  q.oneColourRate[2] = 64;
  q.oneColourThreshold = 64;
  q.oneColourPeriod = 128;
  q.oneColourSpeedMode = 0;
  SetEffect(kOneColour, 1);
  EngineState.trailLength = 256;
  EngineState.fadeAge = 256;
  TrailParticle* p = Spawn();
  EXPECT_EQ(p->oneColour, 1);
  EXPECT_EQ(Base(p), (Colour{200, 100, 50})) << "age mode: born in the emitter colour";
  struct Case {
    uint32_t age;
    int v;
    Colour colour;
  } cases[] = {
      {0, 0, {255, 255, 255}},  {64, 32, {191, 255, 127}}, {129, 64, {127, 255, 0}},
      {130, 65, {125, 251, 0}}, {200, 100, {55, 111, 0}},
  };
  for (const Case& c : cases) {
    p->age = c.age;
    StepParticles();
    EXPECT_EQ(q.oneColourValue, c.v) << "age " << c.age;
    EXPECT_EQ(Base(p), c.colour) << "age " << c.age;
    EXPECT_EQ(Head(p), c.colour) << "age " << c.age;
    EXPECT_EQ(p->pixel, Packed(c.colour));
  }

  // Born without One Colour: left alone.
  SetEffect(kOneColour, 0);
  TrailParticle* plain = Spawn();
  SetEffect(kOneColour, 1);
  plain->age = 64;
  StepParticles();
  EXPECT_EQ(Base(plain), (Colour{200, 100, 50}));
  // In speed mode the step does not recolour.
  q.oneColourSpeedMode = 1;
  ASSERT_EQ(Base(p), (Colour{55, 111, 0})) << "age 201 in the step above";
  p->age = 0;
  StepParticles();
  EXPECT_EQ(Base(p), (Colour{55, 111, 0})) << "age 0 would have been white";
}

TEST_F(ParticlesTest, OneColourSpeedModeColoursBySpawnSpeed) {
  EffectParamsRec& q = gEffects.params;
  q.oneColourMultiplier[0] = 2;
  q.oneColourMultiplier[2] = 4;
  q.oneColourRate[0] = 128;
  q.oneColourRate[2] = 64;
  q.oneColourThreshold = 64;
  q.oneColourPeriod = 128;
  q.oneColourSpeedMode = 1;
  SetEffect(kOneColour, 1);
  EngineState.emitter.vx = 0;  // speed 0: v = 128, the end of the period
  TrailParticle* slow = Spawn();
  EXPECT_EQ(q.oneColourValue, 128);
  EXPECT_EQ(Base(slow), (Colour{0, 0, 0}));
  EngineState.emitter.vx = -40;  // speed 2, capped at 1.3: v = 0
  TrailParticle* fast = Spawn();
  EXPECT_EQ(q.oneColourValue, 0);
  EXPECT_EQ(Base(fast), (Colour{255, 255, 255}));
  EXPECT_EQ(Head(fast), (Colour{255, 255, 255}));
}

TEST_F(ParticlesTest, PalettedParticlesWalkThePaletteAndWrapAt200) {
  for (int i = 0; i < 256; ++i) {
    EngineState.palette[1][i][0] = uint8_t(i);
    EngineState.palette[1][i][1] = uint8_t(255 - i);
    EngineState.palette[1][i][2] = 7;
  }
  gEffects.params.paletteChoice = 1;
  SetEffect(kPaletted, 1);
  EngineState.palettePosition = 200;
  gEffects.params.paletteMoved = 1000;
  TrailParticle* p = Spawn(1051);
  EXPECT_EQ(p->paletteIndex, 200);
  EXPECT_EQ(Base(p), (Colour{200, 55, 7}));
  EXPECT_EQ(EngineState.palettePosition, 0) << "moved after 51 ms, wrapping after 200";
  TrailParticle* q = Spawn(1101);
  EXPECT_EQ(q->paletteIndex, 0);
  EXPECT_EQ(EngineState.palettePosition, 0) << "50 ms is not more than 50";
  Spawn(1102);
  EXPECT_EQ(EngineState.palettePosition, 1);

  p->paletteIndex = 199;
  struct Case {
    Colour colour;
    int nextIndex;
  } cases[] = {{{199, 56, 7}, 200}, {{200, 55, 7}, 1}, {{1, 254, 7}, 2}};
  for (const Case& c : cases) {
    StepParticles();
    EXPECT_EQ(Base(p), c.colour);
    EXPECT_EQ(Head(p), c.colour);
    EXPECT_EQ(p->paletteIndex, c.nextIndex);
  }

  SetEffect(kPaletted, 0);
  TrailParticle* plain = Spawn(2000);
  EXPECT_EQ(plain->paletteIndex, -1);
  EXPECT_EQ(Base(plain), (Colour{200, 100, 50}));
}

// ---------------------------------------------------------------- spawning

TEST_F(ParticlesTest, SpawnPositionFirstMatchWins) {
  // Screen 1024 x 768, emitter at (300, 150). With the twisty radius 300 / π
  // the circle angles are π (x) and π/2 (y): 768 / 7.68 = 100 pixels out.
  struct Case {
    const char* name;
    std::vector<EffectId> on;
    float x, y;
  } cases[] = {
      {"none", {}, 300, 150},
      {"centre", {kCentre}, 512, 384},
      {"stop", {kStop}, 123, 456},
      {"centre before stop", {kCentre, kStop}, 512, 384},
      {"stop before twisty", {kStop, kTwisty}, 123, 456},
      {"twisty", {kTwisty}, 412, 484},
      {"twisty before helix", {kTwisty, kHelix}, 412, 484},
      {"helix", {kHelix}, 315, 150},
  };
  for (const Case& c : cases) {
    Quiet();
    gEffects.params.stopX = 123;
    gEffects.params.stopY = 456;
    gEffects.params.twistyRadius = 300 / 3.14159265f;
    for (EffectId id : c.on) SetEffect(id, 1);
    TrailParticle* p = Spawn();
    EXPECT_NEAR(p->x, c.x, 1e-3) << c.name;
    EXPECT_NEAR(p->y, c.y, 1e-3) << c.name;
    bool helixPlaced = std::string(c.name) == "helix";
    EXPECT_EQ(gEffects.params.helixSide, helixPlaced ? 1 : 0) << c.name;
  }
}

TEST_F(ParticlesTest, HelixAlternatesSidesAndColoursOneOfThem) {
  SetEffect(kHelix, 1);
  Rgb complement = ComplementaryColour(Rgb{200, 100, 50});
  TrailParticle* first = Spawn();
  EXPECT_FLOAT_EQ(first->x, 315) << "radius 1024 / 1024 x 15";
  EXPECT_FLOAT_EQ(first->y, 150);
  EXPECT_EQ(gEffects.params.helixSide, 1);
  EXPECT_FLOAT_EQ(gEffects.params.helixAngle, 0.004f);
  EXPECT_EQ(Base(first), FromRgb(complement)) << "the side flag is set after this particle";
  EXPECT_EQ(Arm(first), FromRgb(ComplementaryColour(complement))) << "arms complementary under Helix";

  TrailParticle* second = Spawn();
  EXPECT_NEAR(second->x, 300 - 15 * std::cos(0.004f), 1e-4);
  EXPECT_NEAR(second->y, 150 - 15 * std::sin(0.004f), 1e-4);
  EXPECT_EQ(gEffects.params.helixSide, 0);
  EXPECT_FLOAT_EQ(gEffects.params.helixAngle, 0.008f);
  EXPECT_EQ(Base(second), (Colour{200, 100, 50}));
  EXPECT_EQ(Arm(second), FromRgb(complement));

  gCurrentPattern = 18;
  Spawn();
  EXPECT_FLOAT_EQ(gEffects.params.helixAngle, 0.008f + 0.26179942f) << "the fast helix";
  gEffects.params.helixAngle = 6.28f;
  gCurrentPattern = 0;
  Spawn();
  EXPECT_NEAR(gEffects.params.helixAngle, 6.284f - 6.283186f, 1e-5) << "wrapped";

  // Pattern 19 breathes: radius 1024 / 1024 x ((cos 0 + 1) x 50 + 500) = 600.
  gCurrentPattern = 19;
  gEffects.params.helixAngle = 0;
  gEffects.params.helixSide = 0;
  EngineState.pattern19Phase = 0;
  TrailParticle* wide = Spawn();
  EXPECT_FLOAT_EQ(wide->x, 900);
}

TEST_F(ParticlesTest, RadialEchoMovesTowardsTheOppositeSide) {
  // (1024 - 300, 768 - 150) = (724, 618) divided by k = (rand() mod 3) x amount + 1.
  struct Case {
    uint32_t seed;
    float amount;
    int centre;
    float x, y;
  } cases[] = {
      {1, 0.5f, 0, 362, 309},         // 41 mod 3 = 2: k = 2
      {6, 0.5f, 0, 482.66667f, 412},  // 58 mod 3 = 1: k = 1.5
      {2, 0.5f, 0, 724, 618},         // 45 mod 3 = 0: k = 1
      {1, 0.0f, 0, 724, 618},         // no echo amount yet: a plain mirror
      {1, 0.5f, 1, 256, 192},         // from the centre: (512, 384) / 2
  };
  for (const Case& c : cases) {
    Quiet();
    SetEffect(kRadialEcho, 1);
    SetEffect(kCentre, c.centre);
    gEffects.params.echoAmount = c.amount;
    prismora::srand(c.seed);
    TrailParticle* p = Spawn();
    EXPECT_NEAR(p->x, c.x, 1e-3) << "seed " << c.seed;
    EXPECT_NEAR(p->y, c.y, 1e-3) << "seed " << c.seed;
  }
}

TEST_F(ParticlesTest, SpawnSpeedFactors) {
  // Emitter velocity (-30, -40): speed 50, the particle flies along (0.6, 0.8)
  // at 50 x 0.05 = 2.5 before the factors. The emitter sits at (0, 0) so that
  // SpeedXY gives (cos 0 + sin 0) / 2.
  struct Case {
    const char* name;
    int centre, is3D, spiral, speedXY, loopy, variableSpeed;
    float vx, vy;
  } cases[] = {
      {"plain", 0, 0, 0, 0, 0, 0, 1.5f, 2.0f},
      {"centre 0.08", 1, 0, 0, 0, 0, 0, 2.4f, 3.2f},
      {"3D 0.75", 0, 1, 0, 0, 0, 0, 1.125f, 1.5f},
      {"spiral 0.5", 0, 0, 1, 0, 0, 0, 0.75f, 1.0f},
      {"centre and 3D", 1, 1, 0, 0, 0, 0, 1.8f, 2.4f},
      {"SpeedXY", 0, 0, 0, 1, 0, 0, 0.75f, 1.0f},
      {"loopy at π", 0, 0, 0, 0, 1, 0, -1.5f, -2.0f},
      {"variable speed cos a = 0.6", 0, 0, 0, 0, 0, 1, 0.9f, 1.2f},
  };
  for (const Case& c : cases) {
    Quiet();
    EngineStateRec& e = EngineState;
    e.emitter.x = e.emitter.y = 0;
    e.emitter.vx = -30;
    e.emitter.vy = -40;
    SetEffect(kCentre, c.centre);
    e.is3D = c.is3D;
    e.spiralTrail = c.spiral;
    SetEffect(kSpeedXY, c.speedXY);
    SetEffect(kLoopySpeed, c.loopy);
    gEffects.params.loopyPhase = 3.141593f - 0.01f;
    SetEffect(kVariableSpeed, c.variableSpeed);
    TrailParticle* p = Spawn();
    EXPECT_NEAR(p->vx, c.vx, kTol) << c.name;
    EXPECT_NEAR(p->vy, c.vy, kTol) << c.name;
    EXPECT_EQ(p->vx0, p->vx) << c.name;
    EXPECT_EQ(p->vy0, p->vy) << c.name;
  }
}

TEST_F(ParticlesTest, BaseAngleRules) {
  struct Case {
    float emitterVx, emitterVy;
    int zeroAngle, angleSpeed;
    float angle, vx, vy;
  } cases[] = {
      {-20, 0, 0, 0, 0, 1, 0},
      {0, -20, 0, 0, 1.5707965f, 0, 1},               // x = 0, y > 0
      {0, 20, 0, 0, 4.7123895f, 0, -1},               // x = 0, y < 0
      {0, 0, 0, 0, 4.7123895f, 0, 0},                 // x = 0, y = 0
      {20, 0, 0, 0, 3.141593f, -1, 0},                // x < 0: + π
      {-20, 20, 0, 0, 5.4977871f, 1, -1},             // x > 0, y < 0: + 2π
      {20, 20, 0, 0, 3.9269908f, -1, -1},             // x < 0, y < 0
      {-20, 20, 1, 0, 0, 1.4142135f, 0},              // Zero Angle
      {-6, -8, 0, 1, 2.5f, -0.4005718f, 0.2992361f},  // Angle Speed: 0.5 x 5
      {-6, -8, 1, 1, 0, 0.5f, 0},                     // Zero Angle first
  };
  for (const Case& c : cases) {
    Quiet();
    EngineState.emitter.vx = c.emitterVx;
    EngineState.emitter.vy = c.emitterVy;
    SetEffect(kZeroAngle, c.zeroAngle);
    SetEffect(kAngleSpeed, c.angleSpeed);
    TrailParticle* p = Spawn();
    EXPECT_NEAR(EngineState.spawnAngle, c.angle, kTol) << c.emitterVx << ", " << c.emitterVy;
    EXPECT_NEAR(p->vx, c.vx, kTol) << c.emitterVx << ", " << c.emitterVy;
    EXPECT_NEAR(p->vy, c.vy, kTol) << c.emitterVx << ", " << c.emitterVy;
  }
}

TEST_F(ParticlesTest, SidewaysSpreadEdgesTwoToneAndSlowMiddle) {
  // Trail width 20, emitter velocity (-20, 0): speed 1 along angle 0.
  // Seeds 1 and 2 draw an edge (41, 45 < 201) on the minus (18467 odd) and
  // plus (29216 even) side; seeds 2365 and 2964 draw the middle with offsets
  // (500 - 1000) / 1000 and (1500 - 1000) / 1000 of the width and then
  // U = 0.051 and 0.554. Seeds 662 and 424249 sit on the edge boundary:
  // 2200 mod 1000 = 200 is an edge (then 12508, even), 9201 mod 1000 = 201 is
  // not (then 13500 mod 2000 = 1500).
  const Colour emitter{200, 100, 50}, black{0, 0, 0}, inverted{155, 205, 64};
  struct Case {
    uint32_t seed;
    int paint, twoTone, slowMiddle, variableWidth;
    float widthPhase;
    float vx, vy;
    Colour colour;
  } cases[] = {
      {1, 0, 0, 0, 0, 0, 0.9396926f, -0.3420201f, emitter},             // -20 degrees
      {2, 0, 0, 0, 0, 0, 0.9396926f, 0.3420201f, emitter},              // +20 degrees
      {1, 1, 0, 0, 0, 0, 0.9396926f, -0.3420201f, black},               // painted edges are dark
      {2365, 1, 0, 0, 0, 0, 0.9848078f, -0.1736482f, emitter},          // -10 degrees, not an edge
      {2964, 0, 0, 0, 0, 0, 0.9848078f, 0.1736482f, emitter},           // +10 degrees
      {662, 0, 0, 0, 0, 0, 0.9396926f, 0.3420201f, emitter},            // 200: still an edge
      {424249, 0, 0, 0, 0, 0, 0.9848078f, 0.1736482f, emitter},         // 201: the middle
      {1, 0, 1, 0, 0, 0, 0.9396926f, -0.3420201f, inverted},            // an edge always inverts
      {2365, 0, 1, 0, 0, 0, 0.9848078f, -0.1736482f, inverted},         // 0.051 < 0.5
      {2964, 0, 1, 0, 0, 0, 0.9848078f, 0.1736482f, emitter},           // 0.554 >= 0.5
      {2365, 0, 0, 1, 0, 0, 0.4924039f, -0.0868241f, emitter},          // halfway out: half speed
      {1, 0, 0, 1, 0, 0, 0.9396926f, -0.3420201f, emitter},             // at the edge: full speed
      {2964, 0, 0, 0, 1, 0, 0.7071068f, 0.7071068f, emitter},           // width 90: +45 degrees
      {2964, 0, 0, 0, 1, 1.0471976f, 0.2078674f, 0.1388926f, emitter},  // width 67.5, speed x 0.25
  };
  for (const Case& c : cases) {
    Quiet();
    EngineState.trailWidth = 20;
    EngineState.emitter.vx = -20;
    EngineState.widthPhase = c.widthPhase;
    SetEffect(kPaintMode, c.paint);
    SetEffect(kTwoTone, c.twoTone);
    SetEffect(kSlowMiddle, c.slowMiddle);
    SetEffect(kVariableWidth, c.variableWidth);
    prismora::srand(c.seed);
    TrailParticle* p = Spawn();
    EXPECT_NEAR(p->vx, c.vx, kTol) << "seed " << c.seed;
    EXPECT_NEAR(p->vy, c.vy, kTol) << "seed " << c.seed;
    EXPECT_EQ(Base(p), c.colour) << "seed " << c.seed;
    EXPECT_EQ(Head(p), c.colour) << "seed " << c.seed;
    EXPECT_EQ(p->pixel, Packed(c.colour));
  }

  // Width 0: no spread and no draws.
  Quiet();
  EngineState.emitter.vx = -20;
  prismora::srand(1);
  TrailParticle* p = Spawn();
  EXPECT_FLOAT_EQ(p->vx, 1);
  EXPECT_EQ(prismora::rand(), 41);
}

TEST_F(ParticlesTest, SpiralTrailTurnsAndShadesByTheSpiralAngle) {
  // Emitter velocity (-20, 0): angle 0, speed 1, halved by the spiral.
  struct Case {
    float angle, increment;
    float nextAngle, vx, vy;
    Colour colour;
  } cases[] = {
      {0, 0, 0, 0.5f, 0, {200, 100, 50}},                               // shade 1
      {3.141593f, 0, 3.141593f, -0.5f, 0, {50, 25, 12}},                // shade 0.25
      {6.0f, 0.5f, 0.216814f, 0.4800851f, -0.1397077f, {198, 99, 49}},  // wrapped; shade 0.99122
  };
  for (const Case& c : cases) {
    Quiet();
    EngineState.spiralTrail = 1;
    EngineState.spiralAngle = c.angle;
    EngineState.spiralInc = c.increment;
    EngineState.emitter.vx = -20;
    TrailParticle* p = Spawn();
    EXPECT_NEAR(EngineState.spiralAngle, c.nextAngle, kTol) << c.angle;
    EXPECT_NEAR(p->vx, c.vx, kTol) << c.angle;
    EXPECT_NEAR(p->vy, c.vy, kTol) << c.angle;
    EXPECT_EQ(Base(p), c.colour) << c.angle;
  }
}

TEST_F(ParticlesTest, ShadowAndArmColours) {
  const Colour emitter{200, 100, 50};
  const Colour complement = FromRgb(ComplementaryColour(Rgb{200, 100, 50}));
  ASSERT_FALSE(complement == emitter);

  SetEffect(kShadow, 1);
  gStepCount = 1;
  TrailParticle* odd = Spawn();
  EXPECT_FLOAT_EQ(odd->x, 406) << "halfway from 300 to 512";
  EXPECT_FLOAT_EQ(odd->y, 267) << "halfway from 150 to 384";
  EXPECT_EQ(Base(odd), complement);
  gStepCount = 2;
  TrailParticle* even = Spawn();
  EXPECT_FLOAT_EQ(even->x, 300);
  EXPECT_EQ(Base(even), emitter);
  EXPECT_EQ(Arm(even), complement) << "Shadow colours the arms";
  EXPECT_EQ(even->pixel2, Packed(complement));

  for (EffectId id : {kColourfulArms, kComplementaryMirror}) {
    Quiet();
    SetEffect(id, 1);
    TrailParticle* p = Spawn();
    EXPECT_EQ(Head(p), emitter) << id;
    EXPECT_EQ(Arm(p), complement) << id;
    EXPECT_EQ(p->pixel, Packed(emitter)) << id;
    EXPECT_EQ(p->pixel2, Packed(complement)) << id;
  }
  // The fade recomputes the arm colour from the faded head.
  Quiet();
  SetEffect(kColourfulArms, 1);
  TrailParticle* p = Spawn();
  Steps(151);
  EXPECT_EQ(Head(p), (Colour{100, 50, 25}));
  EXPECT_EQ(Arm(p), FromRgb(ComplementaryColour(Rgb{100, 50, 25})));
}

TEST_F(ParticlesTest, BirthSnapshotsOutliveTheEffects) {
  SetEffect(kTunnel, 1);
  SetEffect(kCoriolis, 1);
  SetEffect(kWindmill, 1);
  SetEffect(kLoopTheLoop, 1);
  SetEffect(kOneColour, 1);
  SetEffect(kFadeHead, 1);
  SetEffect(kReverse, 2);
  gEffects.params.tunnelAngle = 0;  // phase trunc((cos 0 + 1) x 50) = 100
  TrailParticle* born = Spawn();
  EXPECT_FLOAT_EQ(gEffects.params.tunnelAngle, 0.0001f);
  EXPECT_EQ(gEffects.params.tunnelPhase, 100);
  for (int id = 0; id < kEffectCount; ++id) SetEffect(EffectId(id), 0);
  TrailParticle* later = Spawn();
  EXPECT_EQ(born->tunnel, 1);
  EXPECT_EQ(born->tunnelPhase, 100);
  EXPECT_EQ(born->doubleBounce, 0);
  EXPECT_EQ(born->coriolis, 1);
  EXPECT_EQ(born->windmill, 1);
  EXPECT_EQ(born->loopTheLoop, 1);
  EXPECT_EQ(born->oneColour, 1);
  EXPECT_EQ(born->fadeHead, 1);
  EXPECT_EQ(born->reverseMode, 2);
  EXPECT_EQ(born->ageStep, 1u);
  EXPECT_EQ(born->lifetime, 200u);
  EXPECT_EQ(born->fadeAge, 100u);
  EXPECT_EQ(later->tunnel + later->coriolis + later->windmill + later->loopTheLoop + later->oneColour +
                later->fadeHead + later->reverseMode,
            0);
  EXPECT_EQ(later->tunnelPhase, 100) << "the last phase is carried";

  // Under Double Bounce the tunnel phase stands still; at angle π it would be 0.
  SetEffect(kTunnel, 1);
  SetEffect(kDoubleBounce, 1);
  gEffects.params.tunnelAngle = 3.141593f;
  gEffects.params.tunnelPhase = 37;
  TrailParticle* bounced = Spawn();
  EXPECT_EQ(bounced->tunnelPhase, 37);
  EXPECT_EQ(bounced->doubleBounce, 1);
  SetEffect(kDoubleBounce, 0);
  TrailParticle* tunnel = Spawn();
  EXPECT_EQ(tunnel->tunnelPhase, 0);

  // The pattern's always fade head counts as Fade Head.
  Quiet();
  EngineState.alwaysFadeHead = 1;
  EXPECT_EQ(Spawn()->fadeHead, 1);
}

TEST_F(ParticlesTest, BallSizesAndStars) {
  struct Case {
    uint32_t seed, width;
    int ballSize;
  } cases[] = {
      {1, 20, 1},  // 41 mod 4 = 1
      {4, 20, 2},  // 51 mod 4 = 3, drawn as 2
      {8, 20, 0},  // 64 mod 4 = 0
      {1, 1, 2},   // narrow trails: 1 + 41 mod 2
      {8, 0, 1},   // 1 + 64 mod 2
  };
  for (const Case& c : cases) {
    Quiet();
    SetEffect(kBallMode, 1);
    EngineState.trailWidth = c.width;
    prismora::srand(c.seed);
    TrailParticle* p = Spawn();
    EXPECT_EQ(p->ball, 1);
    EXPECT_EQ(p->ballSize, c.ballSize) << "seed " << c.seed << " width " << c.width;
  }
  Quiet();
  prismora::srand(1);
  EXPECT_EQ(Spawn()->ball, 0);
  EXPECT_EQ(prismora::rand(), 41) << "no ball, no draw";

  SetEffect(kStarTrail, 1);
  prismora::srand(19);  // 100 mod 50 = 0
  EXPECT_EQ(Spawn()->star, 1);
  prismora::srand(1);
  EXPECT_EQ(Spawn()->star, 0);
  SetEffect(kStarTrail, 0);
  prismora::srand(19);
  EXPECT_EQ(Spawn()->star, 0);
}

TEST_F(ParticlesTest, UltraWideVelocity) {
  // Seed 1: U = 0.041, a = 0.041 x 2π = 0.2576106, cos a = 0.9670015; the
  // velocity is (cos a x 10 / 10, -cos a x 20 / 10).
  EngineState.trailWidth = 20;
  EngineState.emitter.vx = 10;
  EngineState.emitter.vy = 20;
  SetEffect(kUltraWide, 1);
  SetEffect(kZeroAngle, 1);  // ignored: the angle is not recomputed
  prismora::srand(1);
  TrailParticle* p = Spawn();
  EXPECT_NEAR(p->vx, 0.9670015f, kTol);
  EXPECT_NEAR(p->vy, -1.9340030f, kTol);
  EXPECT_NEAR(EngineState.spawnAngle, 0.2576106f, kTol);
  EXPECT_EQ(Base(p), (Colour{200, 100, 50}));
  EXPECT_EQ(prismora::rand(), 18467) << "no spread drawn";

  // With Variable Width the spread is drawn first (41: an edge, 18467: its
  // side), then the direction from 6334: a = 0.334 x 2π, cos a = -0.5036234.
  Quiet();
  EngineState.trailWidth = 20;
  EngineState.emitter.vx = 10;
  EngineState.emitter.vy = 20;
  SetEffect(kUltraWide, 1);
  SetEffect(kVariableWidth, 1);
  SetEffect(kPaintMode, 1);
  prismora::srand(1);
  p = Spawn();
  EXPECT_NEAR(p->vx, -0.5036234f, kTol);
  EXPECT_NEAR(p->vy, 1.0072468f, kTol);
  EXPECT_EQ(Base(p), (Colour{0, 0, 0})) << "the spread still darkens painted edges";
}

// ---------------------------------------------------------------- the lists

TEST_F(ParticlesTest, KillUnlinksAndReturnsTheSuccessor) {
  EngineState.emitter.x = 1;
  TrailParticle* a = Spawn();
  EngineState.emitter.x = 2;
  TrailParticle* b = Spawn();
  EngineState.emitter.x = 3;
  TrailParticle* c = Spawn();
  ASSERT_EQ(LiveXs(), (std::vector<float>{3, 2, 1}));
  EXPECT_EQ(KillParticle(c), b) << "killing the head";
  EXPECT_EQ(gParticles, b);
  EXPECT_EQ(b->prev, nullptr);
  EXPECT_EQ(KillParticle(a), nullptr) << "killing the tail";
  EXPECT_EQ(b->next, nullptr);
  EXPECT_EQ(LiveXs(), (std::vector<float>{2}));
  EXPECT_EQ(gFreeParticles, a) << "the free list is a stack";
  EXPECT_EQ(a->next, c);
  EXPECT_EQ(c->prev, a);
  EXPECT_EQ(KillParticle(b), nullptr);
  EXPECT_EQ(gParticles, nullptr);
  EXPECT_EQ(FreeCount(), 3u);
}

TEST_F(ParticlesTest, RecycledRecordsMeanTheSteadyStateAllocatesNothing) {
  int before = gNothrowNews;
  TrailParticle* first = Spawn();
  EXPECT_EQ(gNothrowNews, before + 1);
  KillParticle(first);
  TrailParticle* again = Spawn();
  EXPECT_EQ(again, first) << "the dead record is reused";
  EXPECT_EQ(gNothrowNews, before + 1);
  EXPECT_EQ(gFreeParticles, nullptr);
  EXPECT_EQ(again->age, 0u) << "a reused record starts afresh";
  EXPECT_EQ(again->next, nullptr);

  // Lifetime 5, one spawn per step: at most five records are ever needed.
  Quiet();
  EngineState.trailLength = 5;
  EngineState.fadeAge = 5;
  before = gNothrowNews;
  for (int i = 0; i < 100; ++i) {
    Spawn();
    StepParticles();
  }
  EXPECT_EQ(gNothrowNews - before, 5);
  EXPECT_EQ(LiveParticleCount(), 4u);
  EXPECT_EQ(FreeCount(), 1u);
}

TEST_F(ParticlesTest, FreeAllEmptiesBothLists) {
  for (int i = 0; i < 5; ++i) Spawn();
  KillParticle(gParticles);
  KillParticle(gParticles);
  ASSERT_EQ(LiveParticleCount(), 3u);
  ASSERT_EQ(FreeCount(), 2u);
  FreeAllParticles();
  EXPECT_EQ(gParticles, nullptr);
  EXPECT_EQ(gFreeParticles, nullptr);
  int before = gNothrowNews;
  Spawn();
  EXPECT_EQ(gNothrowNews, before + 1) << "nothing left to reuse";
}

TEST_F(ParticlesTest, AllocationFailureIsLoggedAndSpawnsNothing) {
  Spawn();
  gFailNothrowNew = true;
  EXPECT_FALSE(SpawnParticle(1000));
  EXPECT_EQ(LiveParticleCount(), 1u);
  EXPECT_NE(ReadWhole(LogFilePath()).find("AddTrailParticle: Allocating NewParticle failed.\n"),
            std::string::npos);
  // A free record needs no allocation.
  KillParticle(gParticles);
  EXPECT_TRUE(SpawnParticle(1000));
  gFailNothrowNew = false;
  EXPECT_TRUE(SpawnParticle(1000));
  EXPECT_EQ(LiveParticleCount(), 2u);
}
