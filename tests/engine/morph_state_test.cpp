// The morph state machine: when morphs start, how long they run on the
// morph clock, and what their end does to the pattern and the effects.
#include <gtest/gtest.h>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/rot_angles.h"
#include "patterns/morph_setup.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "saver/program_reset.h"
#include "tests/support/test_host.h"

class MorphStateTest : public HeadlessTest {
 protected:
  void Start(uint32_t pattern) {
    InstallHeadlessHost();
    ResetProgram();
    StartHeadlessEngine(640, 480, pattern);
    gOptions.MorphDuration = 50;
    now_ = gHeadless.tick;
    // As after a morph: the next automatic one an interval away.
    ScheduleNextMorph(now_);
  }

  void Tick() {
    now_ += 1;
    gMorphTick += 1;
    RunMorphStateMachine(now_);
  }

  void MorphTo(uint32_t target) {
    MorphToPattern(int(target));
    for (Tick(); gMorphing;) Tick();
    ASSERT_EQ(gCurrentPattern, target);
  }

  uint32_t now_ = 0;
};

TEST_F(MorphStateTest, MorphLastsItsDurationOnTheMorphClock) {
  Start(0);
  MorphToPattern(3);
  Tick();
  uint32_t begin = gMorphTick;
  EXPECT_EQ(gMorph.morphRequest, 0);
  EXPECT_EQ(gRotAngleCount, 20u) << "the morph table has the larger count";
  while (gMorphing) Tick();
  EXPECT_EQ(gMorphTick, begin + 50);
  EXPECT_EQ(gCurrentPattern, 3u);
  EXPECT_EQ(gPatternNames.lastName, 3u);
  EXPECT_EQ(gEffects.grabbedEffectsPending, 1);
}

TEST_F(MorphStateTest, PatternsEighteenAndNineteenMorphAtHalfTheInterval) {
  struct Case {
    uint32_t pattern, interval, wait;
  } cases[] = {{0, 21, 21000}, {17, 21, 21000}, {18, 21, 10000}, {19, 21, 10000}, {19, 1, 0}};
  for (const Case& c : cases) {
    Start(c.pattern);
    gOptions.MorphInterval = c.interval;
    MorphToPattern(-1);
    Tick();
    EXPECT_EQ(EngineState.nextMorph - now_, c.wait) << "leaving " << c.pattern << ", interval " << c.interval;
  }
  Start(0);
  gOptions.MorphInterval = 21;
  MorphTo(18);
  EXPECT_EQ(EngineState.nextMorph - now_, 10000u) << "at the end, into 18";
}

TEST_F(MorphStateTest, WithoutMorphSettingsOrARequestThePatternNeverChanges) {
  for (int automatic : {0, 1}) {
    Start(0);
    gOptions.MorphSettings = automatic;
    gOptions.MorphInterval = 2;
    uint32_t changes = 0, last = gCurrentPattern;
    for (int i = 0; i < 200000; ++i, last = gCurrentPattern) {  // 200 s at 1 ms a tick
      Tick();
      if (gCurrentPattern != last) ++changes;
    }
    if (automatic) {
      EXPECT_GT(changes, 50u);
    } else {
      EXPECT_EQ(changes, 0u);
    }
  }
}

TEST_F(MorphStateTest, RequestDuringAMorphWaitsForItsEnd) {
  Start(0);
  gOptions.MorphSettings = 0;
  MorphToPattern(5);
  Tick();
  MorphToPattern(9);
  while (gMorphing) Tick();
  EXPECT_EQ(gCurrentPattern, 5u);
  Tick();
  EXPECT_EQ(gMorphing, 1);
  EXPECT_EQ(gMorphBlend.targetPattern, 9);
}

TEST_F(MorphStateTest, EndOfAMorphUndoesWhatThePatternLeftHadFixed) {
  struct Case {
    uint32_t from, target;
    int rest, fadeHead, quicksand;
  } cases[] = {{16, 0, 1, 0, 0}, {18, 16, 1, 0, 0}, {0, 16, 0, 0, 0}, {7, 0, 0, 0, 0}, {0, 7, 0, 1, 1}};
  for (const Case& c : cases) {
    Start(c.from);
    for (EffectId id : {kFadeHead, kQuicksand}) gEffects.slot[id].endTime = 123456;
    MorphTo(c.target);
    const Preset& left = gPresets[c.from];
    EXPECT_EQ(gEffects.rest.toggleRequest, c.rest) << c.from << " -> " << c.target;
    EXPECT_EQ(EffectOn(kFadeHead), c.fadeHead != 0) << c.from << " -> " << c.target;
    EXPECT_EQ(EffectOn(kQuicksand), c.quicksand != 0) << c.from << " -> " << c.target;
    EXPECT_EQ(gEffects.slot[kFadeHead].endTime == 0, left.AlwaysFadeHead != 0) << c.from;
    EXPECT_EQ(gEffects.slot[kQuicksand].endTime == 0, left.AlwaysQuicksand != 0) << c.from;
  }
}

TEST_F(MorphStateTest, ARunOpensWithAMorphToItsFirstAutomaticTarget) {
  for (int automatic : {1, 0}) {
    InstallHeadlessHost();
    ResetProgram();
    StartHeadlessEngine(640, 480, 0);
    gOptions.MorphSettings = automatic;
    now_ = gHeadless.tick;
    Tick();
    EXPECT_EQ(gMorphing, automatic) << "automatic " << automatic;
    if (automatic) {
      EXPECT_EQ(gMorphBlend.targetPattern, 3) << "Spirograph first";
      EXPECT_EQ(EngineState.nextMorph - now_, 20000u) << "the next one an interval after this one began";
    }
  }
}

TEST_F(MorphStateTest, FrameUpdatesCarryAMorphThrough) {
  StartHeadlessEngine(640, 480, 0);
  gOptions.MorphDuration = 200;
  // The opening morph begins at the first tick; a call's second of steps
  // is some 1,500 ticks of the morph clock.
  AddTrailParticle(1);
  EXPECT_EQ(gMorphing, 0);
  EXPECT_EQ(gCurrentPattern, 3u);
}
