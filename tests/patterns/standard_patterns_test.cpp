// The standard pattern table, the revert to built-in values, table growth and
// the byte order of the grabbed effect states.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <map>

#include "patterns/preset.h"

namespace {

struct ExpectedPattern {
  const char* name;
  int kink, len, dens, wid, num, spk, spkl, fade, col, jump, spir;
  float inc;
  int afh, aq, pr, uw, is3d, grb;
};

// Typed from the pattern table; Inc in decimal as printed there (the exact
// bits are checked separately).
const ExpectedPattern kExpected[20] = {
    {"Zelo", 30, 250, 8, 20, 6, 1, 40, 50, 50, 15, 0, 0.0f, 0, 0, 0, 0, 0, 0},
    {"Pentagonal Lines", 15, 400, 10, 0, 5, 1, 50, 50, 75, 20, 0, 0.0f, 0, 0, 0, 0, 0, 0},
    {"Slow Ripples", 50, 550, 5, 35, 6, 0, 50, 20, 50, 20, 0, 0.0f, 0, 0, 0, 0, 0, 0},
    {"Spirograph", 10, 700, 30, 0, 20, 0, 50, 60, 17, 25, 0, 0.0f, 0, 0, 0, 0, 0, 0},
    {"Jellyfish", 15, 150, 3, 0, 3, 0, 50, 20, 100, 30, 1, 1.0474477f, 0, 0, 0, 0, 0, 0},
    {"Wormholes", 30, 200, 3, 0, 6, 0, 50, 20, 75, 20, 1, 0.3f, 0, 0, 0, 0, 0, 0},
    {"Ribbons", 10, 600, 7, 2, 2, 1, 50, 30, 75, 40, 0, 0.0f, 1, 0, 0, 0, 0, 0},
    {"Rose Tattoo", 50, 550, 5, 35, 6, 0, 50, 40, 25, 30, 0, 0.0f, 1, 1, 0, 0, 0, 0},
    {"Angry Spaghetti", 50, 330, 7, 0, 14, 0, 50, 20, 50, 20, 1, 1.0474477f, 1, 0, 0, 0, 0, 0},
    {"Sea Snakes", 20, 135, 2, 2, 7, 0, 50, 50, 75, 30, 1, 0.0010471976f, 0, 0, 0, 0, 0, 0},
    {"Brisel's Kandy", 20, 1000, 13, 90, 8, 1, 4, 95, 1, 20, 0, 0.0f, 1, 1, 0, 0, 0, 0},
    {"Orvane", 50, 113, 4, 81, 6, 0, 4, 0, 30, 30, 0, 0.0f, 1, 1, 1, 0, 0, 0},
    {"3D Spirograph", 15, 638, 30, 0, 30, 0, 40, 50, 34, 25, 0, 0.0f, 0, 0, 0, 0, 1, 0},
    {"3D Zelo", 30, 250, 8, 11, 12, 1, 40, 50, 50, 20, 0, 0.0f, 0, 0, 0, 0, 1, 0},
    {"3D Sea Snakes", 20, 354, 11, 2, 12, 0, 50, 100, 75, 30, 1, 0.0012566372f, 0, 0, 0, 0, 1, 0},
    {"Dorn's Quads", 10, 360, 6, 2, 4, 1, 75, 10, 75, 25, 0, 0.0f, 1, 0, 2, 1, 0, 0},
    {"Supernova", 50, 550, 5, 35, 6, 0, 50, 20, 50, 20, 0, 0.0f, 0, 0, 0, 0, 0, 1},
    {"Twirlies", 20, 180, 5, 0, 5, 0, 50, 20, 75, 20, 1, 3.144093f, 0, 0, 0, 0, 0, 0},
    {"Anenome", 4, 135, 2, 3, 8, 0, 50, 0, 1, 30, 0, 0.0f, 0, 0, 2, 0, 0, 1},
    {"Aura", 5, 175, 3, 3, 7, 0, 50, 0, 1, 30, 0, 0.0f, 0, 0, 2, 0, 0, 1},
};

// Non-zero slots of the pre-grabbed patterns; every other slot is 0.
const std::map<int, int32_t> kSupernovaSlots = {{13, 1}, {18, 1}, {19, 1}};
const std::map<int, int32_t> kAnenomeAuraSlots = {{18, 1}, {20, 3}, {26, 1}, {28, 1}, {41, 1}};

void ExpectBuiltIn(const Preset& p, int index) {
  const ExpectedPattern& e = kExpected[index];
  SCOPED_TRACE(testing::Message() << "pattern " << index << " \"" << e.name << "\"");
  EXPECT_STREQ(p.Name, e.name);
  EXPECT_EQ(p.TrailKinkiness, e.kink);
  EXPECT_EQ(p.TrailLength, e.len);
  EXPECT_EQ(p.TrailDensity, e.dens);
  EXPECT_EQ(p.TrailWidth, e.wid);
  EXPECT_EQ(p.NumberOfTrails, e.num);
  EXPECT_EQ(p.Sparkle, e.spk);
  EXPECT_EQ(p.Sparkliness, e.spkl);
  EXPECT_EQ(p.FadeSpeed, e.fade);
  EXPECT_EQ(p.ColourSpeed, e.col);
  EXPECT_EQ(p.JumpSpeed, e.jump);
  EXPECT_EQ(p.SpiralTrail, e.spir);
  EXPECT_FLOAT_EQ(p.SpiralInc, e.inc);
  EXPECT_EQ(p.AlwaysFadeHead, e.afh);
  EXPECT_EQ(p.AlwaysQuicksand, e.aq);
  EXPECT_EQ(p.PaintRule, e.pr);
  EXPECT_EQ(p.AlwaysUltraWide, e.uw);
  EXPECT_EQ(p.Is3DPattern, e.is3d);
  EXPECT_EQ(p.Grabbed, e.grb);
  EXPECT_EQ(p.Modified, 0);
}

void ExpectSlots(const Preset& p, const std::map<int, int32_t>& nonZero) {
  for (int slot = 0; slot < kGrabbedSlotCount; ++slot) {
    auto it = nonZero.find(slot);
    EXPECT_EQ(GetGrabbedSlot(p, slot), it == nonZero.end() ? 0 : it->second) << "slot " << slot;
  }
}

// Fills every field, name and block with values no built-in pattern has.
void Scribble(Preset& p) {
  memset(p.Name, 'x', sizeof p.Name - 1);
  p.Name[31] = '\0';
  p.TrailKinkiness = p.TrailLength = p.TrailDensity = p.TrailWidth = p.NumberOfTrails = 999;
  p.Sparkle = p.Sparkliness = p.FadeSpeed = p.ColourSpeed = p.JumpSpeed = p.SpiralTrail = 999;
  p.SpiralInc = -7.5f;
  p.AlwaysFadeHead = p.AlwaysQuicksand = p.PaintRule = p.AlwaysUltraWide = 999;
  p.Modified = 1;
  p.Is3DPattern = 999;
  p.Grabbed = 1;
  for (int slot = 0; slot < kGrabbedSlotCount; ++slot) SetGrabbedSlot(p, slot, 1000 + slot);
}

class StandardPatterns : public testing::Test {
 protected:
  void SetUp() override { ResetPatterns(); }
  void TearDown() override { ResetPatterns(); }
};

TEST_F(StandardPatterns, FreshTableHoldsTheTwentyBuiltIns) {
  ASSERT_TRUE(AllocateStandardPatternTable());
  ASSERT_NE(gPresets, nullptr);
  ASSERT_EQ(gPatternCount, 20u);
  for (int i = 0; i < 20; ++i) {
    ExpectBuiltIn(gPresets[i], i);
    EXPECT_EQ(gPresets[i].Frequency, 50) << "pattern " << i;
  }
  ExpectSlots(gPresets[16], kSupernovaSlots);
  ExpectSlots(gPresets[18], kAnenomeAuraSlots);
  ExpectSlots(gPresets[19], kAnenomeAuraSlots);
  // The blocks of patterns that are not grabbed are left as allocated: zero.
  ExpectSlots(gPresets[0], {});
}

TEST_F(StandardPatterns, SpiralIncHasExactBits) {
  ASSERT_TRUE(AllocateStandardPatternTable());
  const std::map<int, uint32_t> bits = {{4, 0x3F8612C4u}, {5, 0x3E99999Au},  {8, 0x3F8612C4u},
                                        {9, 0x3A89421Fu}, {14, 0x3AA4B5BFu}, {17, 0x404938D2u}};
  for (int i = 0; i < 20; ++i) {
    auto it = bits.find(i);
    // Every other pattern has +0.0, not -0.0.
    uint32_t expected = it == bits.end() ? 0u : it->second;
    EXPECT_EQ(std::bit_cast<uint32_t>(gPresets[i].SpiralInc), expected) << "pattern " << i;
  }
}

TEST_F(StandardPatterns, RevertRestoresBuiltInsButKeepsFrequency) {
  ASSERT_TRUE(AllocateStandardPatternTable());
  for (int i = 0; i < 20; ++i) {
    Scribble(gPresets[i]);
    gPresets[i].Frequency = 7 + i;
    SetStandardPattern(uint32_t(i));
    ExpectBuiltIn(gPresets[i], i);
    EXPECT_EQ(gPresets[i].Frequency, 7 + i) << "pattern " << i;
  }
  // Pre-grabbed patterns get their whole block back, the scribbled slots cleared.
  ExpectSlots(gPresets[16], kSupernovaSlots);
  ExpectSlots(gPresets[18], kAnenomeAuraSlots);
  ExpectSlots(gPresets[19], kAnenomeAuraSlots);
  // The others drop the grab but keep the block as it was.
  for (int i : {0, 10, 15, 17}) {
    for (int slot = 0; slot < kGrabbedSlotCount; ++slot)
      EXPECT_EQ(GetGrabbedSlot(gPresets[i], slot), 1000 + slot) << "pattern " << i << " slot " << slot;
  }
}

TEST_F(StandardPatterns, IndexOutsideTheStandardsOrNoTableDoesNothing) {
  SetStandardPattern(0);  // no table: must not touch memory
  EXPECT_EQ(gPresets, nullptr);

  ASSERT_TRUE(AllocateStandardPatternTable());
  ASSERT_EQ(AppendPattern(), 20);
  Scribble(gPresets[20]);
  gPresets[20].Frequency = 3;
  Preset before = gPresets[20];
  for (uint32_t index : {20u, 21u, 1000u, 0xFFFFFFFFu}) SetStandardPattern(index);
  EXPECT_EQ(memcmp(&gPresets[20], &before, sizeof before), 0);
  EXPECT_EQ(gPatternCount, 21u);
}

TEST_F(StandardPatterns, TableGrowsOneZeroedRecordAtATime) {
  ASSERT_TRUE(AllocateStandardPatternTable());
  gPresets[3].Frequency = 81;
  ASSERT_EQ(AppendPattern(), 20);
  ASSERT_EQ(AppendPattern(), 21);
  EXPECT_EQ(gPatternCount, 22u);
  EXPECT_EQ(gPresets[3].Frequency, 81);  // earlier records survive the move
  ExpectBuiltIn(gPresets[19], 19);
  const Preset zero{};
  EXPECT_EQ(memcmp(&gPresets[21], &zero, sizeof zero), 0);

  // A new table replaces the old one whole.
  ASSERT_TRUE(AllocateStandardPatternTable());
  EXPECT_EQ(gPatternCount, 20u);
  EXPECT_EQ(gPresets[3].Frequency, 50);

  FreePatternTable();
  EXPECT_EQ(gPresets, nullptr);
  EXPECT_EQ(gPatternCount, 0u);
  FreePatternTable();
  EXPECT_EQ(gPatternCount, 0u);

  // Growing an absent table starts it.
  ASSERT_EQ(AppendPattern(), 0);
  EXPECT_EQ(gPatternCount, 1u);
}

TEST_F(StandardPatterns, GrabbedSlotsAreLittleEndian) {
  Preset p;
  SetGrabbedSlot(p, 5, 0x11223344);
  SetGrabbedSlot(p, kSlotPaletteChoice, -1);
  SetGrabbedSlotFloat(p, kSlotTwistyRadius, 1.0f);
  const uint8_t slot5[4] = {0x44, 0x33, 0x22, 0x11};
  const uint8_t slot47[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  const uint8_t slot32[4] = {0x00, 0x00, 0x80, 0x3F};
  EXPECT_EQ(memcmp(p.GrabbedSettings + 20, slot5, 4), 0);
  EXPECT_EQ(memcmp(p.GrabbedSettings + 188, slot47, 4), 0);
  EXPECT_EQ(memcmp(p.GrabbedSettings + 128, slot32, 4), 0);
  EXPECT_EQ(p.GrabbedSettings[19], 0);
  EXPECT_EQ(p.GrabbedSettings[24], 0);

  const uint8_t stored[8] = {0xFE, 0xFF, 0xFF, 0xFF, 0xC4, 0x12, 0x86, 0x3F};
  memcpy(p.GrabbedSettings + 4 * 8, stored, 8);
  EXPECT_EQ(GetGrabbedSlot(p, 8), -2);
  EXPECT_EQ(std::bit_cast<uint32_t>(GetGrabbedSlotFloat(p, 9)), 0x3F8612C4u);
  EXPECT_EQ(GetGrabbedSlot(p, 52), 0);

  // Slots past the block neither read nor write outside it.
  Preset q;
  SetGrabbedSlot(q, 53, 5);
  SetGrabbedSlot(q, -1, 5);
  EXPECT_EQ(q.Grabbed, 0);
  EXPECT_EQ(q.Frequency, 0);
  EXPECT_EQ(GetGrabbedSlot(q, 53), 0);
}

}  // namespace
