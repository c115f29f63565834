// The choice of a morph's target, the values fixed when it begins, and the
// blend of the pattern parameters over its ticks.
#include "patterns/morph_setup.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "patterns/options.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "tests/support/test_host.h"

namespace {

// Arms, trail length, density and sparkle of the standard patterns used here.
constexpr uint32_t kZelo = 0;         // 6, 250, 8, on
constexpr uint32_t kPentagonal = 1;   // 5, 400, 10, on
constexpr uint32_t kSlowRipples = 2;  // 6, 550, 5, off
constexpr uint32_t kSpirograph = 3;   // 20, 700, 30, off

}  // namespace

class MorphSetupTest : public HeadlessTest {
 protected:
  void Start(uint32_t pattern) { StartHeadlessEngine(640, 480, pattern); }

  void BeginTo(uint32_t target, uint32_t tick = 0) {
    gMorphTick = tick;
    gMorph.requestedTarget = int(target);
    ASSERT_TRUE(BeginMorph());
    gMorph.requestedTarget = -1;
  }

  void StepAt(uint32_t tick) {
    gMorphTick = tick;
    MorphStep();
  }

  uint32_t AutomaticMorph() {
    EXPECT_TRUE(BeginMorph());
    EndMorph();
    return gCurrentPattern;
  }
};

TEST_F(MorphSetupTest, FirstAutomaticMorphsGoToSpirographThenPentagonalLines) {
  Start(kZelo);
  SetEffect(kSpherical, 1);
  uint32_t choices = gPatternChoice.gChoiceCount;
  AutomaticMorph();
  EXPECT_EQ(gPatternChoice.gChoiceCount, choices + 1) << "Spherical holds Spirograph back: chosen by weight";
  SetEffect(kSpherical, 0);
  EXPECT_EQ(AutomaticMorph(), kSpirograph);
  EXPECT_EQ(AutomaticMorph(), kPentagonal);
  choices = gPatternChoice.gChoiceCount;
  AutomaticMorph();
  EXPECT_EQ(gPatternChoice.gChoiceCount, choices + 1);
}

TEST_F(MorphSetupTest, UserRequestIsHonouredAtFrequencyZero) {
  Start(kZelo);
  gPresets[6].Frequency = 0;
  BeginTo(6);
  EndMorph();
  EXPECT_EQ(gCurrentPattern, 6u);
  EXPECT_EQ(AutomaticMorph(), kSpirograph) << "a request does not use up the first fixed target";
}

TEST_F(MorphSetupTest, ArmCountThinningAndDensityAtTheStart) {
  struct Case {
    uint32_t from, target;
    int factor;
    uint32_t arms, density;
  } cases[] = {{kZelo, kSpirograph, 3, 20, 30},
               {kSpirograph, kZelo, 0, 20, 30},
               {4, kZelo, 2, 6, 8},
               {kZelo, kSlowRipples, 0, 6, 8},
               {6, kPentagonal, 2, 5, 10}};
  for (const Case& c : cases) {
    Start(c.from);
    BeginTo(c.target, 100);
    EXPECT_EQ(gMorphBlend.armFactor, c.factor) << c.from << " -> " << c.target;
    EXPECT_EQ(EngineState.armCount, c.arms) << c.from << " -> " << c.target;
    EXPECT_EQ(EngineState.trailDensity, c.density) << c.from << " -> " << c.target;
    EXPECT_EQ(gMorph.morphEndTick, 4100u);
    StepAt(4099);
    EXPECT_EQ(EngineState.armCount, c.arms) << "kept until the end";
    EndMorph();
    EXPECT_EQ(EngineState.armCount, uint32_t(gPresets[c.target].NumberOfTrails));
  }
}

TEST_F(MorphSetupTest, BlendsMoveInWholeStepsCutTowardTheStart) {
  struct Case {
    uint32_t from, target, tick, trailLength;
    int sparkle;
  } cases[] = {
      {kZelo, kPentagonal, 250, 287, 1},   // 250 + trunc(37.5)
      {kZelo, kPentagonal, 999, 399, 1},   // 250 + trunc(149.85)
      {kPentagonal, kZelo, 250, 363, 1},   // 400 + trunc(-37.5)
      {kSlowRipples, kZelo, 999, 251, 0},  // 550 + trunc(-299.7); 0 + trunc(0.999)
      {kZelo, kSlowRipples, 999, 549, 1},  // 1 + trunc(-0.999)
  };
  for (const Case& c : cases) {
    Start(c.from);
    gOptions.MorphDuration = 1000;
    BeginTo(c.target);
    StepAt(c.tick);
    EXPECT_EQ(EngineState.trailLength, c.trailLength) << c.from << " -> " << c.target << " at " << c.tick;
    EXPECT_EQ(EngineState.sparkle, c.sparkle) << c.from << " -> " << c.target << " at " << c.tick;
    EndMorph();
    EXPECT_EQ(EngineState.sparkle, gPresets[c.target].Sparkle) << "the target's own value once applied";
  }
  StepAt(500);
  // sin(3.1415929794) = -3.2584e-7: a hair past one half, 0.5 + 3 float steps.
  EXPECT_EQ(gMorphFactor, 0.50000018f) << "pi and half pi as single-precision values";
}

TEST_F(MorphSetupTest, NamesAreRedrawnAtTheirIntervalAndEveryTickBelowTwenty) {
  Start(kZelo);
  gOptions.ShowNames = 1;
  gOptions.MorphDuration = 200;  // every 10 ticks
  BeginTo(kPentagonal, 1);
  std::vector<uint32_t> clearedAt;
  for (uint32_t tick = 2; tick <= 200; ++tick) {
    uint32_t before = gPatternNames.morphCalls;
    StepAt(tick);
    ASSERT_EQ(gPatternNames.morphCalls != before, tick % 10 == 0) << tick;
    if (gPatternNames.morphCalls != before && gPatternNames.lastMorph.clear) clearedAt.push_back(tick);
  }
  EXPECT_EQ(clearedAt, (std::vector<uint32_t>{10, 200})) << "the run's first call and the one at p = 0.995";
  const PatternNamesCall& last = gPatternNames.lastMorph;
  EXPECT_EQ(last.target, kPentagonal);
  EXPECT_EQ(last.from, kZelo);
  EXPECT_EQ(last.slot, 3);
  EXPECT_NEAR(last.weight, 0.005f, 1e-6);
  for (uint32_t duration : {19u, 7u, 1u}) {
    gOptions.MorphDuration = duration;
    BeginTo(kPentagonal, 0);
    uint32_t before = gPatternNames.morphCalls;
    for (uint32_t tick = 1; tick < duration; ++tick) StepAt(tick);
    EXPECT_EQ(gPatternNames.morphCalls - before, duration - 1) << duration;
  }
}

TEST_F(MorphSetupTest, IntoThreeDPaintingStopsAndTheRadialMirrorFades) {
  Start(kZelo);
  SetEffect(kPaintMode, 1);
  SetEffect(kMirroredRadial, 1);
  BeginTo(12);  // "3D Spirograph"
  EXPECT_EQ(EngineState.is3D, 1);
  EXPECT_FALSE(EffectOn(kPaintMode));
  EXPECT_TRUE(!EffectOn(kMirroredRadial) || gEffects.params.mirrorFadingOut);
}
