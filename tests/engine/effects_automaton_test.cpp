// The effect automaton: the limit on counted effects, key toggles, Double
// Bounce's companions, the fade-out, rest periods, the particle events and
// the switch-off at a pattern change.
#include <gtest/gtest.h>

#include <initializer_list>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "patterns/pattern_apply.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "render/renderer_state.h"
#include "saver/program_reset.h"
#include "tests/support/test_host.h"

class EffectsAutomatonTest : public HeadlessTest {
 protected:
  // A fresh program each time, so table cases do not inherit each other's effects.
  void Start(unsigned pattern = 0) {
    ResetProgram();
    StartHeadlessEngine(640, 480, pattern);
    gOptions.MorphSettings = 0;
    prismora::srand(7);
    ScheduleAllEffects(Now());
  }
  static uint32_t Now() { return gHeadless.tick; }
  static void Pass() {
    RunEffectScheduler(Now());
    RunDisplayEffectScheduling(Now());
  }
  static int CountedOn() {
    int n = 0;
    for (int id = 0; id < kEffectCount; ++id)
      if (EffectCounts(EffectId(id)) && EffectOn(EffectId(id))) ++n;
    return n;
  }
};

TEST_F(EffectsAutomatonTest, SimpleKeepsAtMostTwoCountedEffectsOn) {
  Start();
  gOptions.Simple = 1;
  gMaxEffects = 2;
  int mostOn = 0, blocked = 0;
  bool seen[kEffectCount] = {};
  for (int second = 0; second < 4 * 3600; ++second) {
    HeadlessAdvance(1000);
    uint32_t now = Now();
    bool full = gActiveEffects >= 2;
    bool due[kEffectCount] = {};
    for (int id = 0; id < kEffectCount; ++id) {
      const EffectSlot& s = gEffects.slot[id];
      due[id] = EffectCounts(EffectId(id)) && !s.on && s.startTime != 0 && s.startTime < now &&
                EffectAllowed(EffectId(id)) && !gEffects.rest.on;
    }
    Pass();
    for (int i = 0; i < 150; ++i) AdvanceEffectFades(now);
    if (gSphereEnding) {  // as the renderer would once the sphere has run out
      SetEffect(kSpherical, 0);
      gSphereEnding = 0;
    }
    int on = CountedOn();
    ASSERT_LE(on, 2) << "at second " << second;
    ASSERT_EQ(on, gActiveEffects) << "at second " << second;
    mostOn = std::max(mostOn, on);
    for (int id = 0; id < kEffectCount; ++id) {
      if (EffectOn(EffectId(id))) seen[id] = true;
      if (full && due[id] && CountedOn() == 2 && !EffectOn(EffectId(id))) {
        ++blocked;
        ASSERT_GT(gEffects.slot[id].startTime, now) << "a blocked effect is rescheduled: " << id;
      }
    }
  }
  EXPECT_EQ(mostOn, 2);
  EXPECT_GT(blocked, 0) << "the limit was put to the test";
  int kinds = 0;
  for (bool s : seen) kinds += s;
  EXPECT_GT(kinds, 15) << "the effects take turns";
}

TEST_F(EffectsAutomatonTest, ToggleTurnsOnForItsDurationAndOffWithAFreshSchedule) {
  // Durations and later starts of the table, in ms.
  struct Case {
    EffectId id;
    uint32_t onMin, onMax, startMin, startMax;
  } cases[] = {
      {kCoriolis, 10000, 15000, 60000, 140000},     {kTwisty, 20000, 40000, 60000, 150000},
      {kLoopTheLoop, 15000, 20000, 100000, 200000}, {kCurvyTrails, 15000, 25000, 50000, 140000},
      {kStop, 3000, 7000, 60000, 140000},
  };
  for (const Case& c : cases) {
    Start();
    HeadlessAdvance(2000);
    const EffectSlot& s = gEffects.slot[c.id];
    RequestEffectToggle(c.id);
    Pass();
    ASSERT_TRUE(EffectOn(c.id)) << c.id;
    EXPECT_EQ(s.toggleRequest, 0);
    EXPECT_EQ(gActiveEffects, 1);
    EXPECT_GE(s.endTime - Now(), c.onMin) << c.id;
    EXPECT_LT(s.endTime - Now(), c.onMax) << c.id;

    HeadlessAdvance(500);
    RequestEffectToggle(c.id);
    Pass();
    EXPECT_FALSE(EffectOn(c.id)) << c.id;
    EXPECT_EQ(gActiveEffects, 0);
    EXPECT_GE(s.startTime - Now(), c.startMin) << c.id;
    EXPECT_LT(s.startTime - Now(), c.startMax) << c.id;
    EXPECT_GE(s.endTime - s.startTime, c.onMin) << c.id;
  }
}

TEST_F(EffectsAutomatonTest, KeyOnAFrameUpdateIsAnsweredThatFrame) {
  Start();
  RequestEffectToggle(kTwisty);
  AddTrailParticle(1);
  EXPECT_TRUE(EffectOn(kTwisty));
  // The radius is U x height / 25 + height / 38: 12.63 up to 31.8 pixels.
  EXPECT_GE(gEffects.params.twistyRadius, 480.0f / 38);
  EXPECT_LT(gEffects.params.twistyRadius, 480.0f / 25 + 480.0f / 38);
}

TEST_F(EffectsAutomatonTest, DoubleBounceBringsTunnelAndReverseAndTakesThemAway) {
  for (bool tunnelFirst : {false, true}) {
    Start();
    HeadlessAdvance(1000);
    if (tunnelFirst) {
      RequestEffectToggle(kTunnel);
      Pass();
      ASSERT_EQ(gActiveEffects, 1);
    }
    RequestEffectToggle(kDoubleBounce);
    Pass();
    EXPECT_TRUE(EffectOn(kDoubleBounce));
    EXPECT_TRUE(EffectOn(kTunnel));
    EXPECT_EQ(gEffects.slot[kReverse].on, 3);
    EXPECT_EQ(gActiveEffects, 1) << "the three count once; tunnel first: " << tunnelFirst;
    EXPECT_FALSE(EffectAllowed(kCentre)) << "Centre (W) waits while Double Bounce is on";

    // Tunnel's and Reverse's own ends do not take them from Double Bounce.
    gEffects.slot[kTunnel].endTime = Now() - 1;
    gEffects.slot[kReverse].endTime = Now() - 1;
    HeadlessAdvance(1000);
    Pass();
    EXPECT_TRUE(EffectOn(kTunnel));
    EXPECT_EQ(gEffects.slot[kReverse].on, 3);

    RequestEffectToggle(kDoubleBounce);
    Pass();
    EXPECT_FALSE(EffectOn(kDoubleBounce));
    EXPECT_FALSE(EffectOn(kTunnel));
    EXPECT_FALSE(EffectOn(kReverse));
    EXPECT_EQ(gActiveEffects, 0);
    EXPECT_GT(gEffects.slot[kTunnel].startTime, Now()) << "rescheduled";
  }
}

TEST_F(EffectsAutomatonTest, MirroredRadialFadesOutOverFiveThousandPasses) {
  Start(0);
  HeadlessAdvance(5001);  // its first start is 5000 ms away
  Pass();
  ASSERT_TRUE(EffectOn(kMirroredRadial));
  EXPECT_EQ(gEffects.slot[kMirroredRadial].endTime - gEffects.slot[kMirroredRadial].startTime, 20000u);
  for (int i = 0; i < 2500; ++i) AdvanceEffectFades(Now());
  EXPECT_NEAR(gMirrorFade, 0.5f, 0.002f) << "half way in, half shown";
  for (int i = 0; i < 2600; ++i) AdvanceEffectFades(Now());
  EXPECT_NEAR(gMirrorFade, 1.0f, 1e-4f);

  HeadlessAdvance(20000);
  Pass();
  ASSERT_TRUE(EffectOn(kMirroredRadial)) << "the end only starts the fade-out";
  int passes = 0;
  float last = gMirrorFade;
  while (EffectOn(kMirroredRadial) && passes < 6000) {
    AdvanceEffectFades(Now());
    ++passes;
    if (EffectOn(kMirroredRadial)) {
      ASSERT_LE(gMirrorFade, last);
      last = gMirrorFade;
    }
  }
  EXPECT_GE(passes, 4998);
  EXPECT_LE(passes, 5002);
  EXPECT_EQ(gMirrorFade, 0.0f);
  EXPECT_FALSE(EffectOn(kComplementaryMirror));
  EXPECT_GT(gEffects.slot[kMirroredRadial].startTime, Now());
}

TEST_F(EffectsAutomatonTest, RestSwitchesOffWhatItNamesAndLeavesTheRest) {
  Start(0);  // Zelo: trail length 250, neither always fade head nor always quicksand
  const EffectId rested[] = {
      kFocusOnCentre, kSlowMiddle,   kVariableSpeed, kZeroAngle,   kTwoTone,   kLoopySpeed,    kAngleSpeed,
      kFrosted,       kCurvyTrails,  kCoriolis,      kWindmill,    kStarTrail, kOneColour,     kFragmented,
      kTwisty,        kDoubleBounce, kFlickVel,      kColourCycle, kShadow,    kVariableWidth, kHelix,
      kSpeedXY,       kPaletted,     kStop,          kUltraWide,   kFadeHead,  kQuicksand};
  const EffectId kept[] = {kSpherical, kColourfulArms, kInverseDistance, kRadialEcho};
  uint32_t sparkliness = EngineState.sparkliness;
  for (EffectId id : rested) TurnEffectOn(id, Now());
  TurnEffectOn(kLoopTheLoop, Now());
  for (EffectId id : kept) SetEffect(id, 1);
  SetEffect(kMirroredRadial, 1);
  TurnEffectOn(kCentre, Now());
  ASSERT_EQ(EngineState.trailLength, 300u);
  ASSERT_EQ(EngineState.sparkliness, sparkliness * 10);

  HeadlessAdvance(1000);
  RequestRest();
  Pass();
  ASSERT_EQ(gEffects.rest.on, 1);
  for (EffectId id : rested) EXPECT_FALSE(EffectOn(id)) << id;
  for (EffectId id : {kTunnel, kReverse, kLoopTheLoop, kCentre}) EXPECT_FALSE(EffectOn(id)) << id;
  for (EffectId id : kept) EXPECT_TRUE(EffectOn(id)) << id;
  EXPECT_EQ(gActiveEffects, 0);
  EXPECT_EQ(gEffects.params.mirrorFadingOut, 1);
  EXPECT_EQ(EngineState.trailLength, 250u);
  EXPECT_EQ(EngineState.sparkliness, sparkliness);
  EXPECT_EQ(EngineState.edgeForce, 175.0f) << "Focus On Centre's off-action, on a 640 wide screen";

  // Nothing the rest took comes on while it lasts; then the automaton resumes.
  uint32_t end = gEffects.rest.endTime;
  EXPECT_GE(end - Now(), 10000u);
  EXPECT_LT(end - Now(), 15000u);
  gEffects.slot[kCoriolis].startTime = Now() + 1;
  while (Now() < end) {
    HeadlessAdvance(1000);
    Pass();
    if (Now() < end) {
      ASSERT_FALSE(EffectOn(kCoriolis));
    }
  }
  EXPECT_EQ(gEffects.rest.on, 0);
  EXPECT_GE(gEffects.rest.startTime - Now(), 60000u);
  HeadlessAdvance(1000);
  Pass();
  EXPECT_TRUE(EffectOn(kCoriolis));
}

TEST_F(EffectsAutomatonTest, WhirlAndBurstArmOnlyWhenAllowed) {
  struct Case {
    int simple, paint;
    bool armed;
  } cases[] = {{0, 0, true}, {1, 0, false}, {0, 1, false}};
  for (const Case& c : cases) {
    Start();
    gOptions.Simple = c.simple;
    gEffects.slot[kPaintMode].on = c.paint;
    RequestWhirl();
    HeadlessAdvance(1);
    uint32_t burstDue = gEffects.burst.startTime;
    while (Now() <= burstDue) HeadlessAdvance(1000);
    RunWhirlAndBurstTimers(Now());
    const EffectParamsRec& q = gEffects.params;
    EXPECT_EQ(q.whirlArmed != 0, c.armed) << c.simple << c.paint;
    EXPECT_EQ(q.burstArmed != 0, c.armed) << c.simple << c.paint;
    EXPECT_GE(gEffects.whirl.startTime - Now(), 70000u);
    EXPECT_GE(gEffects.burst.startTime - Now(), 20000u);
    if (c.armed) {
      EXPECT_GE(q.whirlKeep, 0.0f);
      EXPECT_LT(q.whirlKeep, 4.0f);
      EXPECT_FLOAT_EQ(q.whirlKeep + q.whirlPush, 5.0f);
      EXPECT_LE(q.burstMode, 3);
    }
  }
  // A request before anything was scheduled only schedules.
  ResetEffects();
  RequestBurst();
  RunWhirlAndBurstTimers(Now());
  EXPECT_EQ(gEffects.params.burstArmed, 0);
  EXPECT_NE(gEffects.burst.startTime, 0u);
}

TEST_F(EffectsAutomatonTest, PatternChangeSwitchesOffWhatTheNewPatternForbids) {
  Start(0);
  for (EffectId id : {kZeroAngle, kCoriolis, kOneColour}) TurnEffectOn(id, Now());
  for (EffectId id : {kSpherical, kMirroredRadial}) TurnEffectOn(id, Now());
  ASSERT_EQ(gActiveEffects, 3);
  ASSERT_EQ(gEffects.params.mirrorFadingOut, 0);
  gCurrentPattern = 12;  // 3D Spirograph
  ApplyPattern();
  SwitchOffDisallowedEffects(Now());
  EXPECT_FALSE(EffectOn(kZeroAngle)) << "no Zero Angle on a 3D pattern";
  EXPECT_TRUE(EffectOn(kCoriolis)) << "allowed everywhere";
  EXPECT_TRUE(EffectOn(kOneColour));
  EXPECT_EQ(gActiveEffects, 2);
  EXPECT_TRUE(EffectOn(kSpherical)) << "the renderer runs it out";
  EXPECT_EQ(gSphereEnding, 1);
  EXPECT_GT(gEffects.slot[kSpherical].startTime, Now() + 100000) << "Sphere Level 4: 120 s or more away";
  EXPECT_EQ(gEffects.params.mirrorFadingOut, 1);
}
