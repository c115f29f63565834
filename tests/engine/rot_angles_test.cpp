// The rotation table: the steady arms, the morph tables between arm counts,
// the interpolation of a running morph and the allocation failures.
#include "engine/rot_angles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "diag/log.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"
#include "platform/clock.h"
#include "tests/support/heap_hooks.h"
#include "tests/support/log_text.h"
#include "tests/support/test_host.h"

class RotAnglesTest : public HeadlessTest {};

namespace {

constexpr float kSixty = 1.0471977f;  // 60 degrees with π = 3.141593

// The first seed whose first draw satisfies the wanted divisible choice:
// rand() % 3 > 0 picks the divisible branch.
uint32_t SeedForDivisibleChoice(bool divisible) {
  for (uint32_t seed = 1;; ++seed) {
    prismora::srand(seed);
    if ((prismora::rand() % 3 > 0) == divisible) return seed;
  }
}

void StartMorphTable(int from, int target, uint32_t seed) {
  gMorphing = 1;
  gMorphBlend.fromArms = from;
  gMorphBlend.targetArms = target;
  EngineState.armCount = uint32_t(std::max(from, target));
  prismora::srand(seed);
  SetupMorphRotAngles();
}

struct MorphArm {
  float from, to;
  int extra;
};

void ExpectMorphTable(const MorphArm* expected, uint32_t count, const char* what) {
  ASSERT_NE(gRotAngle, nullptr) << what;
  ASSERT_EQ(gRotAngleCount, count) << what;
  for (uint32_t i = 0; i < count; ++i) {
    const RotAngle& r = gRotAngle[i];
    EXPECT_NEAR(r.fromAngle, expected[i].from, 2e-6) << what << " arm " << i;
    EXPECT_NEAR(r.toAngle, expected[i].to, 2e-6) << what << " arm " << i;
    EXPECT_EQ(r.extra, expected[i].extra) << what << " arm " << i;
    // Every arm starts where it comes from, its matrix with it.
    EXPECT_NEAR(r.angle, expected[i].from, 2e-6) << what << " arm " << i;
    EXPECT_NEAR(r.cosA, std::cos(expected[i].from), 2e-6) << what << " arm " << i;
    EXPECT_NEAR(r.sinA, std::sin(expected[i].from), 2e-6) << what << " arm " << i;
  }
}

}  // namespace

TEST_F(RotAnglesTest, SixArmsAreEvenlySpacedWithTheirMatrices) {
  StartHeadlessEngine(640, 480, 0);  // Zelo: 6 arms
  struct Arm {
    float angle, cos, sin;
  } expected[6] = {
      {0.0f, 1.0f, 0.0f},        {1.0471977f, 0.5f, 0.8660254f},   {2.0943953f, -0.5f, 0.8660254f},
      {3.1415930f, -1.0f, 0.0f}, {4.1887907f, -0.5f, -0.8660254f}, {5.2359883f, 0.5f, -0.8660254f},
  };
  prismora::srand(777);
  SetupRotAngles();
  ASSERT_EQ(gRotAngleCount, 6u);
  for (int i = 0; i < 6; ++i) {
    const RotAngle& r = gRotAngle[i];
    EXPECT_NEAR(r.angle, expected[i].angle, 1e-6) << i;
    EXPECT_NEAR(r.cosA, expected[i].cos, 2e-6) << i;
    EXPECT_NEAR(r.sinA, expected[i].sin, 2e-6) << i;
    EXPECT_EQ(r.cosA2, r.cosA) << i;
    EXPECT_EQ(r.negSinA, -r.sinA) << i;
    EXPECT_EQ(r.extra, 0) << i;
  }
  // The rebuild reseeds from the calendar time.
  int drawn = prismora::rand();
  prismora::srand(uint32_t(CalendarTime()));
  EXPECT_EQ(drawn, prismora::rand());

  EngineState.armCount = 1;
  SetupRotAngles();
  ASSERT_EQ(gRotAngleCount, 1u);
  EXPECT_EQ(gRotAngle[0].angle, 0.0f);
  EXPECT_EQ(gRotAngle[0].cosA, 1.0f);
}

TEST_F(RotAnglesTest, MorphTablesSplitAndMergeArms) {
  StartHeadlessEngine(640, 480, 0);
  const uint32_t divisibleSeed = SeedForDivisibleChoice(true);
  const uint32_t plainSeed = SeedForDivisibleChoice(false);
  const float s = kSixty;
  struct Case {
    const char* what;
    int from, target;
    uint32_t seed;
    MorphArm arms[6];
  } cases[] = {
      // Divisible: every arm keeps its place; those off the 3-arm grid are the extra ones.
      {"3 to 6, divisible",
       3,
       6,
       divisibleSeed,
       {{0, 0, 0}, {s, s, 1}, {2 * s, 2 * s, 0}, {3 * s, 3 * s, 1}, {4 * s, 4 * s, 0}, {5 * s, 5 * s, 1}}},
      // Growing: the odd arms split off their even neighbours.
      {"3 to 6, growing",
       3,
       6,
       plainSeed,
       {{0, 0, 0}, {0, s, 1}, {2 * s, 2 * s, 0}, {2 * s, 3 * s, 1}, {4 * s, 4 * s, 0}, {4 * s, 5 * s, 1}}},
      // Shrinking: the odd arms merge into their even neighbours.
      {"6 to 3, shrinking",
       6,
       3,
       plainSeed,
       {{0, 0, 0}, {s, 0, 1}, {2 * s, 2 * s, 0}, {3 * s, 2 * s, 1}, {4 * s, 4 * s, 0}, {5 * s, 4 * s, 1}}},
      {"6 to 3, divisible",
       6,
       3,
       divisibleSeed,
       {{0, 0, 0}, {s, s, 1}, {2 * s, 2 * s, 0}, {3 * s, 3 * s, 1}, {4 * s, 4 * s, 0}, {5 * s, 5 * s, 1}}},
      // 6 is no multiple of 4: always the growing table, grid step 90 degrees.
      {"4 to 6",
       4,
       6,
       divisibleSeed,
       {{0, 0, 0},
        {0, s, 1},
        {1.5f * s, 2 * s, 0},
        {3 * s, 3 * s, 0},
        {3 * s, 4 * s, 1},
        {4.5f * s, 5 * s, 0}}},
  };
  for (const Case& c : cases) {
    StartMorphTable(c.from, c.target, c.seed);
    ExpectMorphTable(c.arms, 6, c.what);
  }

  // Only divisible counts roll for the branch.
  prismora::srand(99);
  int first = prismora::rand();
  StartMorphTable(4, 6, 99);
  EXPECT_EQ(prismora::rand(), first) << "4 to 6 draws nothing";
}

TEST_F(RotAnglesTest, MorphArmsMoveWithTheEasedFactor) {
  StartHeadlessEngine(640, 480, 0);
  StartMorphTable(3, 6, SeedForDivisibleChoice(false));
  // Arm 1 slides from arm 0's angle to 60 degrees; arm 2 stays put.
  struct Step {
    float m, arm1;
  } steps[] = {{0.0f, 0.0f}, {0.5f, 0.5235988f}, {0.25f, 0.2617994f}, {1.0f, kSixty}};
  for (const Step& step : steps) {
    InterpolateRotAngles(step.m);
    EXPECT_NEAR(gRotAngle[1].angle, step.arm1, 2e-6) << step.m;
    EXPECT_NEAR(gRotAngle[1].cosA, std::cos(step.arm1), 2e-6) << step.m;
    EXPECT_NEAR(gRotAngle[1].sinA, std::sin(step.arm1), 2e-6) << step.m;
    EXPECT_EQ(gRotAngle[1].negSinA, -gRotAngle[1].sinA);
    EXPECT_EQ(gRotAngle[1].cosA2, gRotAngle[1].cosA);
    EXPECT_EQ(gRotAngle[1].extra, 1);
    EXPECT_NEAR(gRotAngle[2].angle, 2 * kSixty, 2e-6) << step.m;
  }

  // During a morph the rebuild re-interpolates, keeps the attractors and
  // still recomputes the fade age.
  EngineState.attractorCount = 1;
  EngineState.attractors[0].strength = 12345;
  EngineState.fadeSpeed = 40;
  EngineState.trailLength = 250;
  gMorphFactor = 0.5f;
  RotAngle* table = gRotAngle;
  RebuildArms();
  EXPECT_EQ(gRotAngle, table);
  EXPECT_EQ(gRotAngleCount, 6u);
  EXPECT_NEAR(gRotAngle[1].angle, 0.5235988f, 2e-6);
  EXPECT_EQ(gRotAngle[1].extra, 1);
  EXPECT_EQ(EngineState.attractors[0].strength, 12345.0f);
  EXPECT_EQ(EngineState.fadeAge, 150u) << "(100 - 40) * 250 / 100";

  // Outside a morph the rebuild lays the steady table again.
  gMorphing = 0;
  RebuildArms();
  EXPECT_NE(EngineState.attractors[0].strength, 12345.0f);
  ASSERT_EQ(gRotAngleCount, 6u);
  EXPECT_NEAR(gRotAngle[1].angle, kSixty, 2e-6);
  EXPECT_EQ(gRotAngle[1].extra, 0);
}

TEST_F(RotAnglesTest, EqualArmCountsLeaveTheTableAlone) {
  StartHeadlessEngine(640, 480, 0);
  SetupRotAngles();
  RotAngle* table = gRotAngle;
  gRotAngle[2].angle = 0.25f;  // a mark that a rebuild would wipe
  prismora::srand(5);
  int first = prismora::rand();
  StartMorphTable(6, 6, 5);
  EXPECT_EQ(gRotAngle, table);
  EXPECT_EQ(gRotAngleCount, 6u);
  EXPECT_EQ(gRotAngle[2].angle, 0.25f);
  EXPECT_EQ(prismora::rand(), first);
  InterpolateRotAngles(0.7f);
  EXPECT_EQ(gRotAngle[2].angle, 0.25f);
  EXPECT_NEAR(gRotAngle[1].angle, kSixty, 2e-6);
}

TEST_F(RotAnglesTest, AllocationFailuresLeaveNoTable) {
  StartHeadlessEngine(640, 480, 0);
  HeapHooksScope hooks;
  gHeapHooks.failNothrow = 1;
  SetupRotAngles();
  EXPECT_EQ(gRotAngle, nullptr);
  EXPECT_EQ(gRotAngleCount, 0u);
  EXPECT_NE(LogText().find("> SetupRotAngles: Allocating memory for gRotAngle failed.\n"), std::string::npos)
      << LogText();

  SetupRotAngles();
  ASSERT_EQ(gRotAngleCount, 6u);
  gHeapHooks.failNothrow = 1;
  StartMorphTable(3, 6, 1);
  EXPECT_EQ(gRotAngle, nullptr) << "the old table is gone too";
  EXPECT_EQ(gRotAngleCount, 0u);
  EXPECT_NE(LogText().find("> SetupMorphRotAngles: Allocating memory for gRotAngle failed.\n"),
            std::string::npos)
      << LogText();
  InterpolateRotAngles(0.5f);  // nothing to move, and no fault

  ReleaseRotAngles();
  EXPECT_EQ(gRotAngle, nullptr);
  EXPECT_EQ(gRotAngleCount, 0u);
}
