// The frame update's call structure, the emitter and its timing.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/particles.h"
#include "engine/random.h"
#include "engine/rot_angles.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "platform/key_state.h"
#include "platform/messages.h"
#include "render/display.h"
#include "tests/support/test_host.h"

class FrameUpdateTest : public HeadlessTest {};

namespace {

unsigned gPumpsUntilMessage = 0;

// Posts a key message at the n-th pump, so a frame update leaves after a
// chosen number of steps: the first frame's pacing wait pumps once and every
// step's look at the queue pumps once, so n pumps leave at step n - 2.
void PostKeyAtPump() {
  if (gPumpsUntilMessage > 0 && --gPumpsUntilMessage == 0) PostMessage(1, WM_KEYDOWN, 'B', 0);
}

}  // namespace

TEST_F(FrameUpdateTest, WaitingMessageRendersOnceAndLeavesAfterFirstStep) {
  StartHeadlessEngine(640, 480);
  PostMessage(1, WM_KEYDOWN, 'B', 0);
  uint32_t before = gHeadless.tick;
  AddTrailParticle(1);
  EXPECT_EQ(gHeadless.presentCount, 1u);
  EXPECT_EQ(gStepCount, 0u) << "the loop leaves at its first look at the queue";
  EXPECT_EQ(LiveParticleCount(), 0u) << "nothing is spawned after the look";
  EXPECT_LE(gHeadless.tick - before, 20u);
  EXPECT_EQ(QueuedMessageCount(), 1u) << "the message stays for the window procedure";
}

TEST_F(FrameUpdateTest, TimerTicksDoNotInterruptTheLoop) {
  StartHeadlessEngine(640, 480);
  SetTimer(1, 200, 1);
  gHeadless.tick += 5;  // the timer is due
  AddTrailParticle(1);
  EXPECT_GT(gStepCount, 1000u);
}

TEST_F(FrameUpdateTest, CallIsTimeBoxedToOneSecond) {
  StartHeadlessEngine(640, 480);
  uint32_t before = gHeadless.tick;
  AddTrailParticle(1);
  uint32_t spent = gHeadless.tick - before;
  // The loop checks the box once per step; the last frame's pacing wait may
  // carry it past 1000 by at most one frame period (10 ms at 85 fps).
  // On the virtual clock only the pacing waits take time: 10 ms per frame
  // (900 / 85), a frame every 150 steps. The 100th frame ends at 1000 ms, so
  // the step that drew it completes and the next one finds the box full.
  EXPECT_EQ(spent, 1000u);
  EXPECT_EQ(gHeadless.presentCount, 100u);
  EXPECT_EQ(gStepCount, 99u * 150u + 1u);
  EXPECT_GT(LiveParticleCount(), 0u);
}

TEST_F(FrameUpdateTest, CommandKeysLeaveTheLoopAtOnce) {
  for (int vk : {int(VK_PAUSE), int(VK_F4), int(VK_SPACE), int('S')}) {
    StartHeadlessEngine(640, 480);
    unsigned presents = gHeadless.presentCount;
    RecordKeyDown(vk);
    AddTrailParticle(1);
    EXPECT_EQ(gStepCount, 0u) << vk;
    EXPECT_EQ(gHeadless.presentCount, presents) << "left before the first frame: " << vk;
    EXPECT_EQ(GetAsyncKeyState(vk) & 1, 0) << "the press was consumed: " << vk;
    RecordKeyUp(vk);
  }
  StartHeadlessEngine(640, 480);
  RecordKeyDown('B');
  gPumpsUntilMessage = 3;
  gHeadless.onPump = PostKeyAtPump;
  AddTrailParticle(1);
  EXPECT_EQ(gStepCount, 1u) << "other keys reach the window procedure as messages only";
}

TEST_F(FrameUpdateTest, EmitterBeyondTheEdgeIsResetToTheCentre) {
  StartHeadlessEngine(800, 600);
  EngineState.attractorCount = 0;
  EngineState.edgeForce = 0;
  Emitter& m = EngineState.emitter;
  m.x = 800 + 49.99f;
  m.y = 300;
  m.vx = 1000;  // one step moves it 1 pixel, beyond width + 50
  m.vy = 0;
  gPumpsUntilMessage = 3;  // leave at step 1's look at the queue
  gHeadless.onPump = PostKeyAtPump;
  AddTrailParticle(1);
  EXPECT_EQ(gStepCount, 1u);
  EXPECT_FLOAT_EQ(m.x, 400.0f);
  EXPECT_FLOAT_EQ(m.y, 300.0f);
  EXPECT_EQ(m.vx, 0.0f);
  EXPECT_EQ(m.vy, 0.0f);
  EXPECT_EQ(LiveParticleCount(), 0u) << "the particle of step 0 went with the reset";
}

TEST_F(FrameUpdateTest, EmitterInsideTheMarginIsKept) {
  StartHeadlessEngine(800, 600);
  EngineState.attractorCount = 0;
  EngineState.edgeForce = 0;
  Emitter& m = EngineState.emitter;
  m.x = 800 + 49.0f;
  m.y = 300;
  m.vx = 500;  // half a pixel: still inside width + 50
  m.vy = 0;
  gPumpsUntilMessage = 3;
  gHeadless.onPump = PostKeyAtPump;
  AddTrailParticle(1);
  EXPECT_FLOAT_EQ(m.x, 849.5f);
  EXPECT_EQ(LiveParticleCount(), 1u);
}

TEST_F(FrameUpdateTest, SmallScreensGetUnitScaleAndStrongerEdges) {
  StartHeadlessEngine(640, 480);
  float afterFirst = EngineState.edgeForce;
  EXPECT_EQ(EngineState.attractorScale, 1.0f);
  // The fixture's start-up reset once from the initial 70.
  EXPECT_FLOAT_EQ(afterFirst, 70.0f * 2.5f);
  for (int reset = 0; reset < 5; ++reset) InitialiseEngine();
  EXPECT_FLOAT_EQ(EngineState.edgeForce, 70.0f * 2.5f) << "a reset boosts an edge value once, not again";
  EXPECT_EQ(EngineState.attractorScale, 1.0f);
  // Focus On Centre's own edge is boosted once at the next reset; its end
  // brings back 175, which is the boosted 70 already.
  FocusOnCentreOnAction();
  float focused = EngineState.edgeForce;
  InitialiseEngine();
  InitialiseEngine();
  EXPECT_FLOAT_EQ(EngineState.edgeForce, focused * 2.5f);
  FocusOnCentreOffAction();
  InitialiseEngine();
  EXPECT_FLOAT_EQ(EngineState.edgeForce, 175.0f);
  StartHeadlessEngine(320, 200);
  FocusOnCentreOffAction();
  InitialiseEngine();
  EXPECT_FLOAT_EQ(EngineState.edgeForce, 175.0f) << "70 below 640 wide, boosted at the reset";

  StartHeadlessEngine(1280, 1024);
  EngineState.edgeForce = 70.0f;
  InitialiseEngine();
  EXPECT_FLOAT_EQ(EngineState.edgeForce, 70.0f);
  EXPECT_FLOAT_EQ(EngineState.attractorScale, 3.0f);
}

TEST_F(FrameUpdateTest, ResetDrawsColourStepsAndSchedulesTimers) {
  StartHeadlessEngine(640, 480, 0);  // Zelo: colour speed 50, jump speed 15
  gHeadless.tick = 5000;
  InitialiseEngine();
  for (int step : EngineState.colourCycleStep) {
    EXPECT_GE(step, 1);
    EXPECT_LE(step, 3);
  }
  EXPECT_EQ(EngineState.nextColourStep, 5050u);
  EXPECT_EQ(EngineState.nextJump, 5000u + 15000u);
  EXPECT_EQ(EngineState.fadeAge, 125u) << "(100 - 50) * 250 / 100";
  EXPECT_EQ(gRotAngleCount, 6u);
  EXPECT_EQ(EngineState.loopRadius, 12.0f);
}

TEST_F(FrameUpdateTest, SpawnPeriodMultipliesItsFactors) {
  StartHeadlessEngine(640, 480);
  struct Case {
    uint32_t density, width;
    int reverse, mirrored, ball, paint;
    uint32_t period;
  } cases[] = {
      {3, 5, 0, 0, 0, 0, 3},  {3, 5, 3, 1, 0, 0, 12}, {3, 5, 2, 0, 0, 0, 3},  {2, 5, 0, 0, 1, 1, 22},
      {2, 1, 0, 0, 1, 0, 14}, {2, 5, 0, 0, 1, 0, 8},  {1, 1, 3, 1, 1, 1, 44}, {5, 0, 0, 1, 0, 1, 10},
  };
  for (const Case& c : cases) {
    EngineState.trailDensity = c.density;
    EngineState.trailWidth = c.width;
    SetEffect(kReverse, c.reverse);
    SetEffect(kMirroredRadial, c.mirrored);
    SetEffect(kBallMode, c.ball);
    SetEffect(kPaintMode, c.paint);
    EXPECT_EQ(SpawnPeriod(), c.period)
        << c.density << " " << c.width << " " << c.reverse << c.mirrored << c.ball << c.paint;
  }
  SetEffect(kReverse, 0);
  SetEffect(kMirroredRadial, 0);
  SetEffect(kBallMode, 0);
  EngineState.trailDensity = 3;
  EngineState.lowDensity = 1;
  EXPECT_EQ(SpawnPeriod(), 5u) << "3 x 1.75 = 5.25 rounds to 5";
  EngineState.trailDensity = 2;
  EXPECT_EQ(SpawnPeriod(), 4u) << "2 x 1.75 = 3.5 rounds up";
}

TEST_F(FrameUpdateTest, SpawnsFollowThePeriodWithinACall) {
  StartHeadlessEngine(640, 480, 0);
  gOptions.MorphSettings = 0;  // a morph would change the density
  EngineState.trailDensity = 3;
  EngineState.trailLength = 100000;  // nothing dies in this call
  SetEffect(kReverse, 3);
  SetEffect(kMirroredRadial, 1);
  gPumpsUntilMessage = 122;  // leave at step 120
  gHeadless.onPump = PostKeyAtPump;
  AddTrailParticle(1);
  ASSERT_EQ(gStepCount, 120u);
  EXPECT_EQ(LiveParticleCount(), 10u) << "steps 0, 12, ..., 108";
}

TEST_F(FrameUpdateTest, AttractorPlacementDrawsInOrder) {
  StartHeadlessEngine(640, 480);
  EngineState.attractorCount = 2;
  prismora::srand(1);  // 41, 18467, 6334, 26500 | 19169, 15724, 11478, 29358
  PlaceAttractors();
  const Attractor& a = EngineState.attractors[0];
  EXPECT_EQ(a.strength, float(2000 + 41 % 500));
  EXPECT_EQ(a.x, 20 + 6334 % 600);
  EXPECT_EQ(a.y, 20 + 26500 % 440);
  EXPECT_FLOAT_EQ(EngineState.keepOut[0], 41.0f / 500 + 1.5f);
  const Attractor& b = EngineState.attractors[1];
  EXPECT_EQ(b.strength, 2169.0f) << "15724 % 10 is 4: an attractor, not a repeller";
  EXPECT_EQ(b.x, 98);
  EXPECT_EQ(b.y, 338);
  // A repeller, from the first seed whose sign draw is a multiple of 10.
  for (uint32_t seed = 1;; ++seed) {
    prismora::srand(seed);
    prismora::rand();
    if (prismora::rand() % 10 != 0) continue;
    prismora::srand(seed);
    EngineState.attractorCount = 1;
    PlaceAttractors();
    EXPECT_LT(EngineState.attractors[0].strength, -2000.0f);
    EXPECT_GE(EngineState.keepOut[0], 1.5f) << "the keep-out distance uses the magnitude";
    break;
  }
}

TEST_F(FrameUpdateTest, EmitterFallsTowardASingleAttractor) {
  StartHeadlessEngine(1280, 1024);
  EngineState.attractorCount = 1;
  EngineState.attractors[0] = Attractor{2000, 840, 512, 0};
  EngineState.keepOut[0] = 1.5f;
  EngineState.edgeForce = 0;
  Emitter& m = EngineState.emitter;
  m.x = 640;
  m.y = 512;
  m.vx = m.vy = 0;
  MoveEmitter();
  // F = 2000 * 3 / 200^2 along +x; the first step moves by forceGain * F.
  float force = 2000.0f * 3.0f / (200.0f * 200.0f);
  EXPECT_FLOAT_EQ(m.vx, 0.001f * force);
  EXPECT_FLOAT_EQ(m.x, 640 + 5.0e-7f * force);
  EXPECT_EQ(m.y, 512.0f);
  // Inside the keep-out distance the attractor does nothing.
  m.x = 839;
  m.vx = 0;
  MoveEmitter();
  EXPECT_EQ(m.vx, 0.0f);
}

TEST_F(FrameUpdateTest, JumpLandsInsideTheMarginsWithBriskSpeed) {
  StartHeadlessEngine(1024, 768);
  prismora::srand(3);
  for (int i = 0; i < 200; ++i) {
    JumpEmitter();
    const Emitter& m = EngineState.emitter;
    ASSERT_GE(m.x, 100.0f);
    ASSERT_LT(m.x, 924.0f);
    ASSERT_GE(m.y, 100.0f);
    ASSERT_LT(m.y, 668.0f);
    ASSERT_GE(std::fabs(m.vx), 3.5f);
    ASSERT_LE(std::fabs(m.vx), 6.5f);
    ASSERT_GE(std::fabs(m.vy), 3.5f);
  }
  SetEffect(kFocusOnCentre, 1);
  for (int i = 0; i < 200; ++i) {
    JumpEmitter();
    const Emitter& m = EngineState.emitter;
    ASSERT_GE(m.x, 512.0f - 51);
    ASSERT_LT(m.x, 512.0f - 51 + 102);
    ASSERT_GE(m.y, 384.0f - 51);
    ASSERT_LT(m.y, 384.0f - 51 + 102);
  }
}

TEST_F(FrameUpdateTest, ColourDriftStaysInItsBands) {
  StartHeadlessEngine(640, 480);
  Emitter& m = EngineState.emitter;
  EXPECT_EQ(m.driftStarted, 1);
  StepEmitterColour();
  EXPECT_EQ(m.driftStarted, 0);
  EXPECT_GE(m.lightnessRate, 0.01f);
  EXPECT_LT(m.lightnessRate, 0.1f);
  float hue = m.hue;
  StepEmitterColour();
  EXPECT_NEAR(m.hue, hue + 0.002f > 1 ? hue + 0.002f - 1 : hue + 0.002f, 1e-6);
  for (int i = 0; i < 3000; ++i) {
    StepEmitterColour();
    // Lightness 0.5..0.8 and saturation 0.7..1 keep the colour bright: the
    // strongest channel is at least 0.5 * 255.
    int top = std::max({m.red, m.green, m.blue});
    ASSERT_GE(top, 127);
    ASSERT_LE(top, 255);
    ASSERT_LE(m.lightnessPhase, 6.283186f + 0.1f);
  }
}

TEST_F(FrameUpdateTest, ColourStepAndJumpRunOnTheirTimers) {
  StartHeadlessEngine(640, 480, 0);
  EngineState.nextColourStep = gHeadless.tick + 1000000;
  EngineState.nextJump = gHeadless.tick + 1000000;
  Emitter before = EngineState.emitter;
  PostMessage(1, WM_KEYDOWN, 'B', 0);
  AddTrailParticle(1);
  EXPECT_EQ(EngineState.emitter.red, before.red) << "colour step not due";
  EXPECT_EQ(EngineState.emitter.driftStarted, 1);
  uint32_t start = gHeadless.tick;
  EngineState.nextColourStep = start - 1;
  EngineState.nextJump = start - 1;
  AddTrailParticle(1);
  EXPECT_EQ(EngineState.emitter.driftStarted, 0) << "a colour step ran";
  EXPECT_EQ(EngineState.nextColourStep, start + 50);
  EXPECT_EQ(EngineState.nextJump, start + 15000);
  EXPECT_GE(std::fabs(EngineState.emitter.vx), 3.5f) << "the emitter jumped";
}

TEST_F(FrameUpdateTest, MorphClockCountsEveryCallAndEveryTenthStep) {
  StartHeadlessEngine(640, 480);
  gPumpsUntilMessage = 27;  // steps 0..24 run, the loop leaves at step 25
  gHeadless.onPump = PostKeyAtPump;
  AddTrailParticle(1);
  ASSERT_EQ(gStepCount, 25u);
  // One at the call's start, then at steps 0, 10, 20 and 25's check.
  EXPECT_EQ(gMorphTick, 1u + 3u);
}
