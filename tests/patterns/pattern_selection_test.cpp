// Frequencies, weights and the choice of the next pattern.
#include "patterns/pattern_selection.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/effects.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "tests/support/test_host.h"

class PatternSelectionTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ASSERT_TRUE(AllocateStandardPatternTable());
    prismora::srand(2024);
  }
};

TEST_F(PatternSelectionTest, WeightsForTwentyPatterns) {
  struct Case {
    int frequency;
    uint32_t weight;
  } cases[] = {{0, 0},   {1, 3},   {10, 5},   {20, 9},   {30, 15},  {40, 28},
               {50, 50}, {60, 90}, {70, 162}, {80, 293}, {90, 527}, {100, 950}};
  for (const Case& c : cases) EXPECT_EQ(PatternWeight(c.frequency), c.weight) << c.frequency;
  EXPECT_EQ(MorphsBetweenUses(50, 3), 20u);
  EXPECT_EQ(MorphsBetweenUses(0, 3), 0u);
  gPresets[0].Frequency = 100;
  // (950 + 19 * 50) / 50
  EXPECT_EQ(MorphsBetweenUses(50, 3), (950u + 50u + 18u * 50u) / 50u);
  EXPECT_EQ(MorphsBetweenUses(100, 0), (950u + 19u * 50u) / 950u);
}

TEST_F(PatternSelectionTest, FirstPassShowsEveryStandardPatternOnce) {
  std::set<uint32_t> firstPass;
  for (int i = 0; i < 20; ++i) firstPass.insert(ChooseNextPattern());
  EXPECT_EQ(firstPass.size(), 20u);
  std::vector<uint32_t> history;
  for (int i = 0; i < 400; ++i) {
    uint32_t j = ChooseNextPattern();
    for (size_t back = 1; back <= 5 && back <= history.size(); ++back)
      ASSERT_NE(history[history.size() - back], j) << "repeated within the last five at choice " << i;
    history.push_back(j);
  }
}

TEST_F(PatternSelectionTest, NeverPatternsAreNeverChosen) {
  for (uint32_t i = 0; i < 20; ++i) gPresets[i].Frequency = i % 2 ? 0 : 50;
  for (int i = 0; i < 200; ++i) EXPECT_EQ(ChooseNextPattern() % 2, 0u);
  ResetPatternChoice();
  for (uint32_t i = 0; i < 20; ++i) gPresets[i].Frequency = i == 7 ? 80 : 0;
  for (int i = 0; i < 30; ++i) ASSERT_EQ(ChooseNextPattern(), 7u) << "window 0: the one pattern every time";
}

TEST_F(PatternSelectionTest, SphericalExcludesThreeDPaintingAndJellyfish) {
  SetEffect(kSpherical, 1);
  gPresets[5].PaintRule = 1;
  for (int i = 0; i < 300; ++i) {
    uint32_t j = ChooseNextPattern();
    ASSERT_NE(j, 4u);
    ASSERT_NE(j, 5u);
    ASSERT_FALSE(gPresets[j].Is3DPattern) << j;
  }
}

TEST_F(PatternSelectionTest, NoAcceptableCandidateStillEnds) {
  // Painting Mode 10 excludes the three 3D patterns; once the others have run,
  // the first pass has nothing left to show.
  gOptions.PaintingMode = 10;
  std::set<uint32_t> seen;
  for (int i = 0; i < 60; ++i) {
    uint32_t j = ChooseNextPattern();
    ASSERT_FALSE(gPresets[j].Is3DPattern);
    seen.insert(j);
  }
  EXPECT_EQ(seen.size(), 17u);
  // Every allowed pattern excluded by Spherical: a pattern is still returned.
  ResetPatternChoice();
  for (uint32_t i = 0; i < 20; ++i) gPresets[i].Frequency = (i == 4 || gPresets[i].Is3DPattern) ? 50 : 0;
  SetEffect(kSpherical, 1);
  uint32_t j = ChooseNextPattern();
  EXPECT_GT(gPresets[j].Frequency, 0);
  // And with every pattern at never, the current one stays.
  for (uint32_t i = 0; i < 20; ++i) gPresets[i].Frequency = 0;
  gCurrentPattern = 9;
  EXPECT_EQ(ChooseNextPattern(), 9u);
}

TEST_F(PatternSelectionTest, FrequencyChecksAndSlots) {
  EXPECT_TRUE(CheckFrequencies());
  for (uint32_t i = 0; i < 20; ++i) gPresets[i].Frequency = 0;
  EXPECT_EQ(CountNeverPatterns(), 20u);
  EXPECT_FALSE(CheckFrequencies());
  ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text, "You can't select \"Use This Pattern: Never\" for all patterns!");
  EXPECT_EQ(gHeadless.messageBoxes[0].caption, "Prismora");
  ResetFrequencies();
  EXPECT_EQ(CountNeverPatterns(), 0u);
  EXPECT_EQ(gPresets[19].Frequency, 50);
  ASSERT_TRUE(AddPatternSlot());
  EXPECT_EQ(gPatternCount, 21u);
  EXPECT_EQ(gPresets[20].Name[0], '\0');
  EXPECT_EQ(gPresets[20].Frequency, 0);
  EXPECT_EQ(std::string(gPresets[19].Name), "Aura") << "existing records are kept";
}
