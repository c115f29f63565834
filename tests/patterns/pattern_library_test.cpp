// Grabbing, copying, renaming and deleting patterns, on the real store.
#include "patterns/pattern_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "engine/effects.h"
#include "engine/grabbed_slots.h"
#include "patterns/options.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "patterns/settings_store.h"
#include "platform/headless/headless.h"
#include "render/text_overlay.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

class PatternLibraryTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    ASSERT_TRUE(GetSettings(false));
  }

  // A user pattern stored under name, loaded as the next record.
  uint32_t AddStoredPattern(const char* name, int frequency = 50) {
    StoreDword(PatternPath(name), "Trail Length", 100);
    StoreDword(kFrequenciesKeyPath, name, frequency);
    EXPECT_TRUE(GetSettings(true));
    return gPatternCount - 1;
  }
};

TEST_F(PatternLibraryTest, GrabTakesTheFirstFreeNumberAndTheEffectStates) {
  StoreDword(PatternPath("Zelo #1"), "Trail Length", 5);
  ASSERT_TRUE(GetSettings(true));
  uint32_t stored = gPatternCount;
  gCurrentPattern = 0;
  gPresets[0].Frequency = 80;
  SetEffect(kTunnel, 1);
  SetEffect(kReverse, 3);
  gEffects.params.tunnelPhase = 42;
  gEffects.params.twistyRadius = 17.5f;
  gEffects.params.oneColourMultiplier[2] = 6;
  gEffects.params.paletteChoice = -1;
  gHeadless.tick = 50000;
  GrabPattern();
  ASSERT_EQ(gPatternCount, stored + 1);
  const Preset& grab = gPresets[stored];
  EXPECT_STREQ(grab.Name, "Zelo #2");
  EXPECT_EQ(grab.Grabbed, 1);
  EXPECT_EQ(grab.TrailLength, gPresets[0].TrailLength);
  EXPECT_EQ(grab.Frequency, 80);
  EXPECT_EQ(GetGrabbedSlot(grab, kSlotTunnel), 1);
  EXPECT_EQ(GetGrabbedSlot(grab, kSlotReverse), 3);
  EXPECT_EQ(GetGrabbedSlot(grab, kSlotTunnelPhase), 42);
  EXPECT_EQ(GetGrabbedSlotFloat(grab, kSlotTwistyRadius), 17.5f);
  EXPECT_EQ(GetGrabbedSlot(grab, kSlotOneColourMultiplier3), 6);
  EXPECT_EQ(GetGrabbedSlot(grab, kSlotPaletteChoice), -1);
  EXPECT_EQ(GetGrabbedSlot(grab, kSlotStop), 0);
  EXPECT_EQ(StoredDword(kFrequenciesKeyPath, "Zelo #2"), 80);
  EXPECT_EQ(StoredBinarySize(PatternPath("Zelo #2"), "Grabbed Settings"), 212u);
  EXPECT_EQ(gTextOverlay.grabNotice.on, 1);
  EXPECT_STREQ(gTextOverlay.grabNotice.text, "Grabbed Zelo #2");
  EXPECT_EQ(gTextOverlay.grabNotice.endTick, 54000u);

  GrabPattern();
  EXPECT_STREQ(gPresets[stored + 1].Name, "Zelo #3");

  // Both grabs come back from the store with their states.
  ASSERT_TRUE(GetSettings(true));
  ASSERT_EQ(gPatternCount, stored + 2);
  EXPECT_EQ(GetGrabbedSlot(gPresets[stored], kSlotReverse), 3);
  EXPECT_EQ(gPresets[stored].Grabbed, 1);
}

TEST_F(PatternLibraryTest, LongNamesStillGetAFreeGrabName) {
  for (size_t length : {27u, 28u, 29u, 30u}) {
    std::string base(length, 'n');
    base[0] = char('A' + length - 27);
    gCurrentPattern = AddStoredPattern(base.c_str());
    std::set<std::string> names;
    for (int grab = 0; grab < 12; ++grab) {
      GrabPattern();
      std::string name = gPresets[gPatternCount - 1].Name;
      EXPECT_LE(name.size(), 30u) << name;
      EXPECT_TRUE(names.insert(name).second) << "name used twice: " << name;
      EXPECT_TRUE(KeyExists(PatternPath(name))) << name;
    }
    EXPECT_NE(names.count(base.substr(0, 30 - 4) + " #12"), 0u) << "two digits shorten the base once more";
    EXPECT_NE(names.count(base.substr(0, 30 - 3) + " #1"), 0u);
  }
}

TEST_F(PatternLibraryTest, RenameMovesTheKeysAndStoresThePresetBelowIt) {
  for (int i = 20; i <= 25; ++i) AddStoredPattern(("User " + std::to_string(i)).c_str(), 10 + i);
  ASSERT_EQ(gPatternCount, 26u);
  StoreDword(kMainKeyPath, "Preset", 7);
  RenamePattern(25, "Renamed");
  EXPECT_STREQ(gPresets[25].Name, "Renamed");
  EXPECT_EQ(StoredDword(kMainKeyPath, "Preset"), 24);
  EXPECT_FALSE(KeyExists(PatternPath("User 25")));
  EXPECT_TRUE(KeyExists(PatternPath("Renamed")));
  EXPECT_EQ(StoredDword(kFrequenciesKeyPath, "User 25"), -999999);
  EXPECT_EQ(StoredDword(kFrequenciesKeyPath, "Renamed"), 35);

  StoreDword(kMainKeyPath, "Preset", 7);
  RenamePattern(20, "First Renamed");
  EXPECT_EQ(StoredDword(kMainKeyPath, "Preset"), 7) << "renaming pattern 20 leaves Preset alone";

  RenamePattern(3, "Not Allowed");
  EXPECT_STREQ(gPresets[3].Name, "Spirograph") << "standard patterns keep their names";
}

TEST_F(PatternLibraryTest, DeleteAndReloadDropsThePattern) {
  AddStoredPattern("Keep");
  uint32_t gone = AddStoredPattern("Drop");
  ASSERT_EQ(gone, 21u);
  DeletePatternKeys(gone);
  EXPECT_STREQ(gPresets[gone].Name, "Drop") << "memory is changed only by the reload";
  EXPECT_EQ(StoredDword(kMainKeyPath, "Preset"), 20);
  ASSERT_TRUE(GetSettings(true));
  EXPECT_EQ(gPatternCount, 21u);
  EXPECT_STREQ(gPresets[20].Name, "Keep");
  EXPECT_EQ(gCurrentPattern, 20u);

  // Reverting a standard pattern: its stored copy goes, the built-ins come back.
  gPresets[2].TrailLength = 999;
  SavePattern(2);
  DeletePatternKeys(2);
  SetStandardPattern(2);
  ASSERT_TRUE(GetSettings(true));
  EXPECT_EQ(gPresets[2].Modified, 0);
  EXPECT_NE(gPresets[2].TrailLength, 999);
}

TEST_F(PatternLibraryTest, ARecordWithoutANameNeverTouchesOtherKeys) {
  AddStoredPattern("Keep");
  ASSERT_TRUE(AddPatternSlot());
  uint32_t unnamed = gPatternCount - 1;
  SavePattern(unnamed);
  SaveFrequency(unnamed);
  DeletePatternKeys(unnamed);
  EXPECT_TRUE(KeyExists(PatternPath("Keep")));
  EXPECT_EQ(StoredDword(kFrequenciesKeyPath, "Keep"), 50);
  EXPECT_EQ(ValueNames(kPatternsKeyPath).size(), 0u);
}

TEST_F(PatternLibraryTest, ClearFrequenciesRemovesEveryStoredOne) {
  AddStoredPattern("Mine", 90);
  gPresets[4].Frequency = 0;
  SaveFrequency(4);
  ClearFrequencies();
  EXPECT_FALSE(KeyExists(kFrequenciesKeyPath));
  ASSERT_TRUE(GetSettings(true));
  for (uint32_t i = 0; i < gPatternCount; ++i) EXPECT_EQ(gPresets[i].Frequency, 50) << i;
}

TEST_F(PatternLibraryTest, CopyTakesTheControlsAndTheSourcesSpiral) {
  PatternControlValues controls;
  controls.TrailLength = 300;
  controls.TrailWidth = 12;
  controls.TrailDensity = 4;
  controls.TrailKinkiness = 9;
  controls.Sparkliness = 80;
  controls.Sparkle = 1;
  controls.FadeSpeed = 30;
  controls.ColourSpeed = 120;
  controls.NumberOfTrails = 8;
  controls.JumpSpeed = 45;
  controls.Frequency = 60;
  controls.AlwaysFadeHead = 1;
  controls.AlwaysQuicksand = 0;
  ASSERT_TRUE(CopyPattern(3, controls, "Spiro Copy"));
  ASSERT_EQ(gPatternCount, 21u);
  const Preset& copy = gPresets[20];
  EXPECT_STREQ(copy.Name, "Spiro Copy");
  EXPECT_EQ(copy.NumberOfTrails, 8);
  EXPECT_EQ(copy.Frequency, 60);
  EXPECT_EQ(copy.SpiralTrail, gPresets[3].SpiralTrail);
  EXPECT_EQ(copy.SpiralInc, gPresets[3].SpiralInc);
  EXPECT_EQ(copy.Is3DPattern, 0);
  EXPECT_EQ(copy.PaintRule, 0);
  EXPECT_EQ(copy.Grabbed, 0);
  EXPECT_EQ(StoredDword(PatternPath("Spiro Copy"), "Trail Length"), 300);
  EXPECT_EQ(StoredDword(kFrequenciesKeyPath, "Spiro Copy"), 60);
}

TEST_F(PatternLibraryTest, NamesThatAreTakenOrCannotBeStoredAreRefused) {
  struct Case {
    std::string name;
    bool allowed;
    const char* message;
  } cases[] = {
      {"zelo", false, "There is already a pattern called \"zelo\".\nChoose a different name."},
      {"AURA", false, "There is already a pattern called \"AURA\".\nChoose a different name."},
      {"Brand New", true, nullptr},
      {"", true, nullptr},
      {"With\\Backslash", false, "\"With\\Backslash\" can't be used as a pattern name."},
      {"Tab\there", false, "can't be used as a pattern name."},
      {std::string(30, 'x'), true, nullptr},
      {std::string(31, 'x'), false, "Use at most 30 characters, and no backslash."},
  };
  for (const Case& c : cases) {
    gHeadless.messageBoxes.clear();
    EXPECT_EQ(CheckPatternName(c.name.c_str()), c.allowed) << c.name;
    if (c.allowed) {
      EXPECT_TRUE(gHeadless.messageBoxes.empty()) << c.name;
    } else {
      ASSERT_EQ(gHeadless.messageBoxes.size(), 1u) << c.name;
      EXPECT_NE(gHeadless.messageBoxes[0].text.find(c.message), std::string::npos)
          << gHeadless.messageBoxes[0].text;
    }
  }
}

TEST_F(PatternLibraryTest, AGrabComesBackWithTheStatesItCaptured) {
  gCurrentPattern = 1;
  int n = 0;
  for (const SlotEffect& e : kGrabbedCopiedEffects) gEffects.slot[e.id].on = n++ % 3 == 0 ? 1 : 0;
  gEffects.slot[kReverse].on = 2;
  EffectsRec captured = gEffects;
  GrabPattern();
  uint32_t grab = gPatternCount - 1;
  ResetEffects();
  gCurrentPattern = grab;
  RestoreGrabbedEffects();
  for (const SlotEffect& e : kGrabbedCopiedEffects)
    EXPECT_EQ(gEffects.slot[e.id].on, captured.slot[e.id].on)
        << "effect " << int(e.id) << ", slot " << e.slot;
}
