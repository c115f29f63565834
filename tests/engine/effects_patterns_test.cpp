// What effects do as they switch, Spherical's timing by "Sphere Level", and
// the stored states of grabbed patterns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "patterns/pattern_apply.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "render/display.h"
#include "render/renderer_state.h"
#include "saver/program_reset.h"
#include "tests/support/test_host.h"

class EffectsPatternsTest : public HeadlessTest {
 protected:
  // A fresh program each time, so table cases do not inherit each other's effects.
  void Start(unsigned pattern = 0, unsigned width = 640, unsigned height = 480) {
    ResetProgram();
    StartHeadlessEngine(width, height, pattern);
    gOptions.MorphSettings = 0;
    ScheduleAllEffects(Now());
  }
  static uint32_t Now() { return gHeadless.tick; }
  static void Pass() {
    RunEffectScheduler(Now());
    RunDisplayEffectScheduling(Now());
  }
};

TEST_F(EffectsPatternsTest, OneColourDrawsItsSetInOrder) {
  Start();
  prismora::srand(1);  // 41, 18467, 6334, 26500, 19169
  TurnEffectOn(kOneColour, Now());
  const EffectParamsRec& q = gEffects.params;
  // 1 + 41 % 6, 1 + 18467 % 6, 1 + 6334 % 6; 26500 % 3 = 1 zeroes green.
  EXPECT_EQ(q.oneColourMultiplier[0], 6);
  EXPECT_EQ(q.oneColourMultiplier[1], 0);
  EXPECT_EQ(q.oneColourMultiplier[2], 5);
  EXPECT_EQ(q.oneColourThreshold, 42) << "256 / 6";
  EXPECT_EQ(q.oneColourPeriod, 51) << "256 / 5";
  EXPECT_FLOAT_EQ(q.oneColourRate[0], 42.666668f);
  EXPECT_EQ(q.oneColourRate[1], 0.0f);
  EXPECT_FLOAT_EQ(q.oneColourRate[2], 51.2f);
  EXPECT_EQ(q.oneColourSpeedMode, 1) << "19169 is odd";
  TurnEffectOff(kOneColour, Now());
  EXPECT_EQ(q.oneColourValue, 25);
}

TEST_F(EffectsPatternsTest, FocusOnCentreHoldsTheEmitterAtTheCentre) {
  struct Case {
    unsigned pattern, width, height;
    float edgeOn, edgeOff;
  } cases[] = {{0, 640, 480, 3500, 175}, {10, 800, 600, 1750, 70}};
  for (const Case& c : cases) {
    Start(c.pattern, c.width, c.height);
    prismora::srand(1);  // 41: odd, an attractor
    TurnEffectOn(kFocusOnCentre, Now());
    const EngineStateRec& e = EngineState;
    EXPECT_EQ(e.attractors[0].strength, 2500.0f);
    EXPECT_EQ(e.attractors[0].x, int(c.width / 2));
    EXPECT_EQ(e.keepOut[0], 5.0f);
    EXPECT_EQ(e.edgeForce, c.edgeOn) << c.pattern;
    EXPECT_LT(std::fabs(e.emitter.x - float(c.width / 2)), float(c.width / 20) + 1)
        << "jumped near the centre";
    TurnEffectOff(kFocusOnCentre, Now());
    EXPECT_EQ(e.edgeForce, c.edgeOff) << c.pattern;
  }
  // On Jellyfish it never comes on; its passing end still runs the off-action.
  Start(4);
  RequestEffectToggle(kFocusOnCentre);
  EngineState.edgeForce = 999;
  gEffects.slot[kFocusOnCentre].endTime = Now() - 1;
  Pass();
  EXPECT_FALSE(EffectOn(kFocusOnCentre));
  EXPECT_EQ(EngineState.edgeForce, 175.0f);
  EXPECT_GT(gEffects.slot[kFocusOnCentre].endTime, Now());
}

TEST_F(EffectsPatternsTest, SphericalStartsByItsLevel) {
  struct Case {
    int level;
    uint32_t first, second;  // s
  } cases[] = {{1, 480, 600}, {2, 360, 360}, {3, 240, 360}, {4, 120, 240}, {5, 100, 120},
               {6, 80, 100},  {7, 60, 80},   {8, 40, 60},   {9, 20, 40}};
  Start();
  for (const Case& c : cases) {
    gOptions.SphereLevel = c.level;
    uint32_t lowest = ~0u, highest = 0;
    prismora::srand(5);
    for (int draw = 0; draw < 60; ++draw) {
      ScheduleEffect(kSpherical, Now());
      const EffectSlot& s = gEffects.slot[kSpherical];
      uint32_t delay = s.startTime - Now();
      ASSERT_GE(delay, c.first * 1000) << c.level;
      ASSERT_LE(delay, c.second * 1000) << c.level;
      ASSERT_EQ(s.endTime - s.startTime, 15000u);
      lowest = std::min(lowest, delay);
      highest = std::max(highest, delay);
    }
    if (c.first != c.second) {
      EXPECT_GT(highest - lowest, (c.second - c.first) * 500) << c.level;
    }
  }
}

TEST_F(EffectsPatternsTest, SphericalComesOnRunsFifteenSecondsAndHandsOverToTheRenderer) {
  Start();
  gOptions.SphereLevel = 9;
  ScheduleEffect(kSpherical, Now());
  TurnEffectOn(kMirroredRadial, Now());
  HeadlessAdvance(gEffects.slot[kSpherical].startTime - Now() + 1);
  Pass();
  ASSERT_TRUE(EffectOn(kSpherical));
  EXPECT_FLOAT_EQ(gSphereRadius, 480 * 2.6f);
  EXPECT_EQ(gSphereEnding, 0);
  EXPECT_EQ(gEffects.params.mirrorFadingOut, 1) << "Spherical asks Mirrored Radial to fade out";
  EXPECT_EQ(gEffects.slot[kSpherical].endTime - Now(), 15000u);
  HeadlessAdvance(15000);
  Pass();
  EXPECT_TRUE(EffectOn(kSpherical)) << "the renderer switches it off";
  EXPECT_EQ(gSphereEnding, 1);
  EXPECT_GE(gEffects.slot[kSpherical].startTime - Now(), 20000u);
  EXPECT_LT(gEffects.slot[kSpherical].startTime - Now(), 40000u);
}

TEST_F(EffectsPatternsTest, SphereLevelTenIsForGoodAndZeroIsNever) {
  for (int level : {10, 0}) {
    ResetProgram();
    StartHeadlessEngine(640, 480, 0);
    gOptions.MorphSettings = 0;
    gOptions.SphereLevel = level;
    ScheduleAllEffects(Now());
    for (int second = 0; second < 3600; ++second) {
      HeadlessAdvance(1000);
      if (second == 100) RequestEffectToggle(kSpherical);
      Pass();
      ASSERT_EQ(EffectOn(kSpherical), level == 10) << level << " at " << second;
    }
    EXPECT_EQ(gSphereEnding, 0);
  }
}

TEST_F(EffectsPatternsTest, StandardGrabbedPatternsRestoreTheirStates) {
  struct Case {
    unsigned pattern;
    std::vector<EffectId> on;
    int counted;  // Tunnel and Reverse ride on Double Bounce
  } cases[] = {
      {16, {kCentre, kZeroAngle, kAngleSpeed}, 3},
      {18, {kZeroAngle, kReverse, kTunnel, kDoubleBounce, kHelix}, 3},
      {19, {kZeroAngle, kReverse, kTunnel, kDoubleBounce, kHelix}, 3},
  };
  for (const Case& c : cases) {
    Start(0);
    TurnEffectOn(kCoriolis, Now());
    TurnEffectOn(kTwisty, Now());
    ASSERT_EQ(gActiveEffects, 2);
    gCurrentPattern = c.pattern;
    ApplyPattern();
    ASSERT_TRUE(gPresets[c.pattern].Grabbed);
    RestoreGrabbedEffects();
    for (int id = 0; id < kEffectCount; ++id) {
      bool expected = false;
      for (EffectId e : c.on) expected |= e == id;
      EXPECT_EQ(EffectOn(EffectId(id)), expected) << "pattern " << c.pattern << " effect " << id;
    }
    if (c.pattern != 16) {
      EXPECT_EQ(gEffects.slot[kReverse].on, 3);
    }
    EXPECT_EQ(gActiveEffects, c.counted) << "the count follows the copied states, pattern " << c.pattern;
  }
}

TEST_F(EffectsPatternsTest, GrabbedPatternTakesOverAtTheNextFrame) {
  Start(16);
  RequestEffectToggle(kCoriolis);
  AddTrailParticle(1);
  EXPECT_TRUE(EffectOn(kCentre));
  EXPECT_EQ(gEffects.grabbedEffectsPending, 0);
  EXPECT_FALSE(EffectOn(kCoriolis)) << "no automaton on a grabbed pattern";
  EXPECT_EQ(gEffects.slot[kCoriolis].toggleRequest, 1);
}

TEST_F(EffectsPatternsTest, GrabbedValuesAndSwitchedEffects) {
  Start(0);
  TurnEffectOn(kSpherical, Now());
  gSphereEnding = 0;
  int index = AppendPattern();
  ASSERT_GE(index, 0);
  Preset& p = gPresets[index];
  p = gPresets[0];
  p.Grabbed = 1;
  for (auto [slot, value] : std::initializer_list<std::pair<int, int32_t>>{{kSlotOneColour, 1},
                                                                           {kSlotOneColourSpeedMode, 1},
                                                                           {kSlotOneColourMultiplier1, 3},
                                                                           {kSlotOneColourMultiplier3, 2},
                                                                           {kSlotOneColourThreshold, 85},
                                                                           {kSlotOneColourPeriod, 128},
                                                                           {kSlotTunnel, 1},
                                                                           {kSlotTunnelPhase, 42},
                                                                           {kSlotMirroredRadial, 1},
                                                                           {kSlotComplementaryMirror, 1},
                                                                           {kSlotFlickMode, 2},
                                                                           {kSlotReverse, 2}})
    SetGrabbedSlot(p, slot, value);
  SetGrabbedSlotFloat(p, kSlotOneColourRate1, 85.333336f);
  SetGrabbedSlotFloat(p, kSlotOneColourRate3, 128.0f);
  SetGrabbedSlotFloat(p, kSlotTwistyRadius, 17.5f);
  gOptions.PaintingMode = 10;
  gCurrentPattern = uint32_t(index);
  RestoreGrabbedEffects();

  const EffectParamsRec& q = gEffects.params;
  EXPECT_TRUE(EffectOn(kOneColour));
  EXPECT_EQ(q.oneColourMultiplier[0], 3);
  EXPECT_EQ(q.oneColourMultiplier[1], 0);
  EXPECT_EQ(q.oneColourMultiplier[2], 2);
  EXPECT_FLOAT_EQ(q.oneColourRate[0], 85.333336f);
  EXPECT_EQ(q.oneColourPeriod, 128);
  EXPECT_EQ(q.oneColourSpeedMode, 1);
  EXPECT_EQ(q.tunnelPhase, 42);
  EXPECT_EQ(q.flickMode, 2);
  EXPECT_EQ(q.twistyRadius, 17.5f);
  EXPECT_EQ(gEffects.slot[kReverse].on, 2);
  EXPECT_TRUE(EffectOn(kMirroredRadial));
  EXPECT_EQ(q.mirrorFadeAmount, 0.0f) << "came on with its on-action";
  EXPECT_TRUE(EffectOn(kComplementaryMirror)) << "the stored mirror colour";
  EXPECT_TRUE(EffectOn(kPaintMode)) << "\"Painting Mode\" 10 paints";
  EXPECT_EQ(gPainting, 1);
  EXPECT_EQ(gSphereEnding, 1) << "stored off while on: asked to run out";
}

namespace {

int CountedEffectsOn() {
  int on = 0;
  for (int id = 0; id < kEffectCount; ++id)
    if (EffectOn(EffectId(id)) && EffectCounts(EffectId(id))) ++on;
  return on;
}

// Frames of 450 ms: a frame update is then a second of effect timers for
// three frames' work; morphs take a few updates.
void UseSlowFrames() {
  gOptions.MaxFps = 2;
  gOptions.MorphDuration = 100;
}

// Runs frame updates until the current pattern is index (at most a minute).
void RunUntilPattern(uint32_t index) {
  MorphToPattern(int(index));
  for (int call = 0; call < 60 && (gCurrentPattern != index || gMorphing); ++call) AddTrailParticle(1);
  AddTrailParticle(1);  // the grabbed states arrive at the next frame
  ASSERT_EQ(gCurrentPattern, index);
}

}  // namespace

// A grabbed pattern's copied states used to bypass the count: entering one
// with two effects on under "Simple" left the count at its limit with
// nothing on, and no counted effect came on again.
TEST_F(EffectsPatternsTest, UnderSimpleEffectsComeOnAgainAfterAGrabbedPattern) {
  Start(0);
  UseSlowFrames();
  gOptions.Simple = 1;
  gMaxEffects = 2;
  TurnEffectOn(kCoriolis, Now());
  TurnEffectOn(kTwisty, Now());
  ASSERT_EQ(gActiveEffects, 2);
  RunUntilPattern(16);
  EXPECT_EQ(gActiveEffects, CountedEffectsOn());
  RunUntilPattern(0);
  int mostOn = 0;
  for (int call = 0; call < 20 * 60; ++call) {
    AddTrailParticle(1);
    ASSERT_EQ(gActiveEffects, CountedEffectsOn()) << "at call " << call;
    mostOn = std::max(mostOn, CountedEffectsOn());
  }
  EXPECT_EQ(mostOn, 2) << "in twenty minutes the effects fill the two places again";
}

TEST_F(EffectsPatternsTest, SphereLevelTenKeepsTheSphereThroughGrabbedPatterns) {
  Start(0);
  UseSlowFrames();
  gOptions.SphereLevel = 10;
  ScheduleAllEffects(Now());
  ASSERT_TRUE(EffectOn(kSpherical));
  RunUntilPattern(16);  // its stored block has Spherical off
  RunUntilPattern(0);
  RunUntilPattern(18);
  for (int call = 0; call < 120; ++call) {
    AddTrailParticle(1);
    ASSERT_TRUE(EffectOn(kSpherical)) << "at call " << call;
  }
  RequestEffectToggle(kSpherical);
  AddTrailParticle(1);
  EXPECT_TRUE(EffectOn(kSpherical)) << "its key is ignored at level 10";
}
