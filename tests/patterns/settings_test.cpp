// Loading and storing the options, the patterns and the frequencies, on the
// real store in the test's own directory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/effects.h"
#include "music/music_list.h"
#include "patterns/options.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "patterns/settings_session.h"
#include "patterns/settings_store.h"
#include "platform/directories.h"
#include "platform/headless/headless.h"
#include "platform/registry.h"
#include "render/display.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

class SettingsTest : public HeadlessTest {};

TEST_F(SettingsTest, FirstRunLoadsDefaultsAndLeavesACompleteMainKey) {
  ASSERT_TRUE(GetSettings(false));
  ASSERT_EQ(gPatternCount, 20u);
  EXPECT_EQ(gCurrentPattern, 17u);
  EXPECT_EQ(gOptions.MorphSettings, 1);
  EXPECT_EQ(gOptions.MaxFps, 85u);
  EXPECT_EQ(gOptions.MorphDuration, 4000u);
  EXPECT_EQ(gOptions.PaintingMode, 2);
  EXPECT_EQ(gOptions.SphereLevel, 4);
  EXPECT_EQ(gOptions.MusicVolume, 100);
  EXPECT_STREQ(gOptions.Resolution, "1920 x 1080");
  EXPECT_EQ(gScreenWidth, 1920u);
  EXPECT_EQ(gScreenHeight, 1080u);
  EXPECT_EQ(gMaxEffects, 32);
  for (uint32_t i = 0; i < gPatternCount; ++i) {
    EXPECT_EQ(gPresets[i].Frequency, 50) << i;
    EXPECT_EQ(gPresets[i].Modified, 0) << i;
  }
  // The installer's value first, then the 23 options in the order they are written.
  const std::vector<std::string> expected = {"",
                                             "Show More Options",
                                             "Resolution",
                                             "Preset",
                                             "Use Random Preset",
                                             "Morph Settings",
                                             "Morph Duration",
                                             "Morph Interval",
                                             "Max FPS",
                                             "Show Names",
                                             "Simple",
                                             "No Mouse Move",
                                             "Stretch Wallpaper",
                                             "Square Tiled",
                                             "Standby Enabled",
                                             "Double Size",
                                             "Painting Mode",
                                             "Ball Level",
                                             "Sphere Level",
                                             "Background Brightness",
                                             "Random Background",
                                             "Music Index",
                                             "Music Type",
                                             "Music Volume"};
  EXPECT_EQ(ValueNames(kMainKeyPath), expected);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Preset"), 17);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Morph Duration"), 4000);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Stretch Wallpaper"), 1);
  EXPECT_EQ(StoredText(kMainKeyPath, "Resolution"), "1920 x 1080");
  std::ifstream file(ConfigDirectory() + "/settings.reg");
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_NE(text.str().find("\"Max FPS\"=dword:00000055"), std::string::npos) << text.str();
}

TEST_F(SettingsTest, StoredOptionsAreReadAndSimpleLimitsEffects) {
  StoreDword(kMainKeyPath, "Max FPS", 120);
  StoreDword(kMainKeyPath, "Simple", 1);
  StoreDword(kMainKeyPath, "Music Index", -1);
  StoreDword(kMainKeyPath, "Morph Interval", 3600);
  gActiveEffects = 5;
  ASSERT_TRUE(GetSettings(false));
  EXPECT_EQ(gOptions.MaxFps, 120u);
  EXPECT_EQ(gOptions.Simple, 1);
  EXPECT_EQ(gOptions.MusicIndex, -1);
  EXPECT_EQ(gOptions.MorphInterval, 3600u);
  EXPECT_EQ(gMaxEffects, 2);
  EXPECT_EQ(gActiveEffects, 0);
}

TEST_F(SettingsTest, ValuesOfTheWrongTypeOrSizeReadAsDefaults) {
  StoreText(kMainKeyPath, "Max FPS", "120");
  StoreBinary(kMainKeyPath, "Painting Mode", std::vector<uint8_t>{7, 0, 0});
  StoreDword(kMainKeyPath, "Resolution", 5);
  StoreDword(PatternPath("Zelo"), "Trail Length", 333);
  StoreDword(PatternPath("Zelo"), "Spiral Inc", 1);  // a DWORD, not the float's four bytes
  StoreText(PatternPath("Zelo"), "Sparkle", "1");
  StoreDword(PatternPath("Zelo"), "Grabbed", 1);
  StoreBinary(PatternPath("Zelo"), "Grabbed Settings", std::vector<uint8_t>(211, 0xAB));
  ASSERT_TRUE(GetSettings(false));
  EXPECT_EQ(gOptions.MaxFps, 85u);
  EXPECT_EQ(gOptions.PaintingMode, 2);
  EXPECT_STREQ(gOptions.Resolution, "1920 x 1080");
  const Preset& zelo = gPresets[0];
  EXPECT_EQ(zelo.TrailLength, 333);
  EXPECT_EQ(zelo.SpiralInc, 3.144093f);
  EXPECT_EQ(zelo.Sparkle, 0) << "pattern 17's value";
  EXPECT_EQ(zelo.Grabbed, 1);
  for (uint8_t byte : zelo.GrabbedSettings) ASSERT_EQ(byte, 0) << "a short block reads as all zero";
}

TEST_F(SettingsTest, PatternKeysUpdateStandardPatternsIgnoringCaseAndAddUserPatterns) {
  StoreDword(PatternPath("zelo"), "Trail Length", 250);
  StoreDword(PatternPath("Mine"), "Trail Length", 400);
  StoreDword(PatternPath("Mine"), "Number Of Trails", 7);
  StoreDword(PatternPath("Another"), "Always Fade Head", 1);
  ASSERT_TRUE(GetSettings(false));
  ASSERT_EQ(gPatternCount, 22u);
  EXPECT_STREQ(gPresets[0].Name, "zelo");
  EXPECT_EQ(gPresets[0].Modified, 1);
  EXPECT_EQ(gPresets[0].TrailLength, 250);
  // Every value the key lacks comes from pattern 17, not from the pattern's own built-ins.
  EXPECT_EQ(gPresets[0].TrailKinkiness, 20);
  EXPECT_EQ(gPresets[0].NumberOfTrails, 5);
  EXPECT_EQ(gPresets[0].SpiralInc, 3.144093f);
  EXPECT_EQ(gPresets[0].AlwaysFadeHead, 0);
  EXPECT_EQ(gPresets[1].Modified, 0);
  EXPECT_STREQ(gPresets[20].Name, "Mine");
  EXPECT_EQ(gPresets[20].TrailLength, 400);
  EXPECT_EQ(gPresets[20].NumberOfTrails, 7);
  EXPECT_EQ(gPresets[20].ColourSpeed, 75);
  EXPECT_EQ(gPresets[20].PaintRule, 0);
  EXPECT_EQ(gPresets[20].Frequency, 50);
  EXPECT_STREQ(gPresets[21].Name, "Another");
  EXPECT_EQ(gPresets[21].AlwaysFadeHead, 1);
}

TEST_F(SettingsTest, AKeyWhoseNameIsTooLongIsSkippedWithALogLine) {
  const std::string longName(35, 'q');
  StoreDword(PatternPath(longName), "Trail Length", 10);
  StoreDword(PatternPath("Kept"), "Trail Length", 11);
  ASSERT_TRUE(GetSettings(false));
  ASSERT_EQ(gPatternCount, 21u) << "the unreadable key takes no slot";
  EXPECT_STREQ(gPresets[20].Name, "Kept");
  std::ifstream log(StateDirectory() + "/Prismora.txt");
  std::stringstream text;
  text << log.rdbuf();
  std::string expected =
      "Couldn't open registry key \"Software\\Quillfen\\Prismora\\Patterns\" for setting \"" +
      std::string(30, 'q') + "\"";
  EXPECT_NE(text.str().find(expected), std::string::npos) << text.str();
}

TEST_F(SettingsTest, FrequenciesMatchNamesExactlyAndTakeTheLowByte) {
  StoreDword(kFrequenciesKeyPath, "ZELO", 0);
  StoreDword(kFrequenciesKeyPath, "Spirograph", 0x105);
  StoreDword(kFrequenciesKeyPath, "Nobody", 90);
  StoreDword(kFrequenciesKeyPath, "Aura", 100);
  ASSERT_TRUE(GetSettings(false));
  EXPECT_EQ(gPresets[0].Frequency, 50);
  EXPECT_EQ(gPresets[3].Frequency, 5);
  EXPECT_EQ(gPresets[19].Frequency, 100);
  EXPECT_EQ(gOptions.MorphSettings, 1);
}

TEST_F(SettingsTest, PresetIsClampedAndMorphingStopsWhenOnlyOnePatternCanRun) {
  StoreDword(PatternPath("One"), "Trail Length", 100);
  StoreDword(PatternPath("Two"), "Trail Length", 100);
  StoreDword(kMainKeyPath, "Preset", 40);
  ASSERT_TRUE(GetSettings(false));
  ASSERT_EQ(gPatternCount, 22u);
  EXPECT_EQ(gCurrentPattern, 21u);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Preset"), 21);

  for (uint32_t i = 0; i < gPatternCount; ++i) {
    gPresets[i].Frequency = i == 4 ? 70 : 0;
    SaveFrequency(i);
  }
  StoreDword(kMainKeyPath, "Morph Settings", 1);
  ASSERT_TRUE(GetSettings(false));
  EXPECT_EQ(gOptions.MorphSettings, 0);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Morph Settings"), 0);
}

TEST_F(SettingsTest, PatternsOnlyKeepsTheOptionsInMemory) {
  ASSERT_TRUE(GetSettings(false));
  gOptions.MaxFps = 33;
  StoreDword(kMainKeyPath, "Max FPS", 50);
  StoreDword(kMainKeyPath, "Preset", 3);
  StoreDword(PatternPath("Later"), "Trail Length", 100);
  ASSERT_TRUE(GetSettings(true));
  EXPECT_EQ(gOptions.MaxFps, 33u);
  EXPECT_EQ(gCurrentPattern, 3u);
  EXPECT_EQ(gPatternCount, 21u);
  EXPECT_EQ(StoredDword(kMainKeyPath, "Max FPS"), 33) << "written back as every load does";
}

TEST_F(SettingsTest, UnavailableResolutionBecomesTheFirstModeAndAWindowDrawsAt640x480) {
  gHeadless.desktopWidth = 1280;
  gHeadless.desktopHeight = 1024;
  StoreText(kMainKeyPath, "Resolution", "123 x 45");
  ASSERT_TRUE(GetSettings(false));
  EXPECT_STREQ(gOptions.Resolution, "1280 x 1024");
  EXPECT_EQ(StoredText(kMainKeyPath, "Resolution"), "1280 x 1024");
  EXPECT_EQ(gScreenWidth, 1280u);

  StoreText(kMainKeyPath, "Resolution", "800 x 600");
  ASSERT_TRUE(GetSettings(false));
  EXPECT_EQ(gScreenWidth, 800u);
  EXPECT_EQ(gScreenHeight, 600u);

  gWindowMode = 1;
  ASSERT_TRUE(GetSettings(false));
  EXPECT_EQ(gScreenWidth, 640u);
  EXPECT_EQ(gScreenHeight, 480u);
  EXPECT_STREQ(gOptions.Resolution, "800 x 600") << "the full-screen choice is kept";
}

TEST_F(SettingsTest, MissingInstallationEndsTheLoadWithItsMessage) {
  std::string gone = TempDir() + "/not-installed";
  HKEY main = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_WRITE, &main, nullptr), ERROR_SUCCESS);
  WriteText(main, nullptr, gone.c_str());
  RegCloseKey(main);
  setenv("PRISMORA_INSTALL_DIR", gone.c_str(), 1);
  SeedInstallationDirectory();
  EXPECT_FALSE(GetSettings(false));
  EXPECT_EQ(gPresets, nullptr);
  ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text,
            "Can't find the installation directory!\nPlease reinstall Prismora.");

  // Once the data is back where the program expects it, the next start records it again.
  unsetenv("PRISMORA_INSTALL_DIR");
  SeedInstallationDirectory();
  EXPECT_TRUE(GetSettings(false));
  EXPECT_EQ(StoredText(kMainKeyPath, ""), InstallationDirectory());
  EXPECT_EQ(std::string(gHelpFilePath), InstallationDirectory() + "/help/index.html");

  CloseRegistryStore();
  gHeadless.messageBoxes.clear();
  EXPECT_FALSE(GetSettings(false));
  ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text, "Can't find the installation directory!\n[Error Code: 1012]");
}

TEST_F(SettingsTest, SavedPatternsComeBackWhole) {
  ASSERT_TRUE(GetSettings(false));
  ASSERT_TRUE(AddPatternSlot());
  Preset& mine = gPresets[20];
  std::snprintf(mine.Name, sizeof mine.Name, "%s", "Mine");
  mine.TrailKinkiness = 12;
  mine.TrailLength = 777;
  mine.TrailDensity = 3;
  mine.TrailWidth = 45;
  mine.NumberOfTrails = 9;
  mine.Sparkle = 1;
  mine.Sparkliness = 150;
  mine.FadeSpeed = 66;
  mine.ColourSpeed = 222;
  mine.JumpSpeed = 3600;
  mine.SpiralTrail = 1;
  mine.SpiralInc = -0.123456f;
  mine.AlwaysFadeHead = 1;
  mine.AlwaysQuicksand = 1;
  mine.Grabbed = 1;
  mine.Frequency = 73;
  for (int i = 0; i < int(sizeof mine.GrabbedSettings); ++i) mine.GrabbedSettings[i] = uint8_t(255 - i);
  const Preset saved = mine;
  SavePattern(20);
  SaveFrequency(20);
  EXPECT_EQ(gPresets[20].Modified, 0) << "only standard patterns are marked";
  SavePattern(5);
  EXPECT_EQ(gPresets[5].Modified, 1);

  ASSERT_TRUE(GetSettings(false));
  ASSERT_EQ(gPatternCount, 21u);
  const Preset& back = gPresets[20];
  EXPECT_EQ(std::memcmp(&back, &saved, sizeof back), 0);
  EXPECT_EQ(gPresets[5].Modified, 1);

  // A pattern that is no longer grabbed keeps its old block in the store.
  gPresets[20].Grabbed = 0;
  SavePattern(20);
  EXPECT_EQ(StoredBinarySize(PatternPath("Mine"), "Grabbed Settings"), 212u);
}

TEST_F(SettingsTest, WindowOptions) {
  LoadWindowSettings();
  EXPECT_EQ(gWindowOptions.WindowLeft, int32_t(0x80000000u));
  EXPECT_EQ(gWindowOptions.WindowWidth, 320);
  EXPECT_EQ(gWindowOptions.LowPriority, 1);

  gWindowOptions.LowDensity = 1;
  SaveWindowSettings(100, 50, 740, 530, 3);
  EXPECT_EQ(gWindowOptions.WindowWidth, 640);
  const std::vector<std::string> expected = {
      "Use System Memory", "Low Priority", "Always On Top", "Play Music",    "Low Density",
      "Window Left",       "Window Top",   "Window Width",  "Window Height", "Window State"};
  EXPECT_EQ(ValueNames(kWindowKeyPath), expected);
  EXPECT_EQ(StoredDword(kWindowKeyPath, "Window Height"), 480);
  EXPECT_EQ(StoredDword(kWindowKeyPath, "Window Top"), 50);
  EXPECT_EQ(StoredDword(kWindowKeyPath, "Low Density"), 1);
  EXPECT_EQ(StoredDword(kWindowKeyPath, "Window State"), 3);

  StoreDword(kWindowKeyPath, "Window State", 2);
  StoreDword(kWindowKeyPath, "Play Music", 0);
  gWindowOptions = WindowOptionsRec{};
  LoadWindowSettings();
  EXPECT_EQ(gWindowOptions.WindowState, 1) << "a minimised window comes back restored";
  EXPECT_EQ(gWindowOptions.PlayMusic, 0);
  EXPECT_EQ(gWindowOptions.WindowWidth, 640);
  EXPECT_EQ(gWindowOptions.LowDensity, 1);
}

TEST_F(SettingsTest, MusicListHoldsTheBuiltInsThenTheUsersEntries) {
  ASSERT_TRUE(GetSettings(false));
  ASSERT_EQ(gMusicCount, 4);
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(gMusicList[i].number, i);
  EXPECT_STREQ(gMusicList[0].location, "");
  EXPECT_NE(std::strstr(gMusicList[1].display, " - Ambient ("), nullptr) << gMusicList[1].display;
  EXPECT_NE(std::strstr(gMusicList[2].display, " - Chillout ("), nullptr) << gMusicList[2].display;
  EXPECT_NE(std::strstr(gMusicList[3].display, " - Ambient & Chill (http"), nullptr) << gMusicList[3].display;
  std::ifstream log(StateDirectory() + "/Prismora.txt");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_NE(text.str().find("Couldn't open registry key \"Software\\Quillfen\\Prismora\\Music\""),
            std::string::npos);

  const std::string music = std::string(kMainKeyPath) + "\\Music";
  StoreText(music, "7", "/music/seven.ogg");
  StoreText(music, "4", "/music/four.m3u");
  StoreText(music, "123", "/music/many.ogg");
  StoreText(music, "5", std::string(300, 'x').c_str());
  ASSERT_TRUE(GetSettings(false));
  ASSERT_EQ(gMusicCount, 7) << "the location too long to open is left out";
  EXPECT_EQ(gMusicList[4].number, 7);
  EXPECT_STREQ(gMusicList[4].display, "/music/seven.ogg");
  EXPECT_EQ(gMusicList[5].number, 4);
  EXPECT_EQ(gMusicList[6].number, 123);
  EXPECT_STREQ(MusicEntryLocation(7), "/music/seven.ogg");
  EXPECT_STREQ(MusicEntryLocation(123), "/music/many.ogg");
  EXPECT_STREQ(MusicEntryLocation(9), "");
}

// A hand-edited pattern holds any number; what the engine gets is held to
// the pattern's ranges, and the file keeps what its author wrote.
TEST_F(SettingsTest, PatternValuesOutsideTheirRangesAreHeldToThemInMemoryOnly) {
  struct Case {
    const char* name;
    int32_t stored;
    int32_t Preset::*field;
    int32_t loaded;
  } cases[] = {
      {"Trail Density", 0, &Preset::TrailDensity, 1},
      {"Trail Length", -5, &Preset::TrailLength, 1},
      {"Number Of Trails", 0x7fffffff, &Preset::NumberOfTrails, 100},
      {"Sparkliness", 0, &Preset::Sparkliness, 4},
      {"Trail Kinkiness", 1000, &Preset::TrailKinkiness, 50},
      {"Trail Width", -90, &Preset::TrailWidth, 0},
      {"Fade Speed", 500, &Preset::FadeSpeed, 100},
      {"Colour Speed", -1, &Preset::ColourSpeed, 1},
      {"Jump Speed", int32_t(0x80000000u), &Preset::JumpSpeed, 1},
      {"Trail Length", 1000, &Preset::TrailLength, 1000},
  };
  for (const Case& c : cases) {
    StoreDword(PatternPath("Mine"), c.name, c.stored);
    ASSERT_TRUE(GetSettings(false));
    ASSERT_EQ(gPatternCount, 21u);
    EXPECT_EQ(gPresets[20].*c.field, c.loaded) << c.name << " " << c.stored;
    EXPECT_EQ(StoredDword(PatternPath("Mine"), c.name), c.stored) << c.name;
    FreePatternTable();
  }
}

TEST_F(SettingsTest, SpiralIncThatIsNoFiniteNumberReadsAsTheDefault) {
  struct Case {
    uint32_t bits;
    float loaded;
  } cases[] = {
      {0x7fc00000u, 3.144093f},                     // NaN
      {0x7f800000u, 3.144093f},                     // +infinity
      {0xff800000u, 3.144093f},                     // -infinity
      {0x3f8612c4u, 1.0474477f},                    // an ordinary value stays bit for bit
      {0x42c80000u, std::fmod(100.0f, 6.283186f)},  // 100 rad: the same angle within a turn
  };
  for (const Case& c : cases) {
    StoreBinary(PatternPath("Mine"), "Spiral Inc",
                {uint8_t(c.bits), uint8_t(c.bits >> 8), uint8_t(c.bits >> 16), uint8_t(c.bits >> 24)});
    ASSERT_TRUE(GetSettings(false));
    EXPECT_EQ(gPresets[20].SpiralInc, c.loaded) << std::hex << c.bits;
    FreePatternTable();
  }
}

TEST_F(SettingsTest, AFrequencyOfTheWrongTypeOrSizeReadsAsFifty) {
  StoreText(kFrequenciesKeyPath, "Zelo", "50");
  StoreBinary(kFrequenciesKeyPath, "Pentagonal Lines", {0, 0, 0, 0, 0});
  StoreBinary(kFrequenciesKeyPath, "Slow Ripples", {7, 0, 0, 0});
  StoreDword(kFrequenciesKeyPath, "Spirograph", 0);
  ASSERT_TRUE(GetSettings(false));
  EXPECT_EQ(gPresets[0].Frequency, 50) << "text \"50\" is not the byte '5'";
  EXPECT_EQ(gPresets[1].Frequency, 50) << "five bytes are not a number";
  EXPECT_EQ(gPresets[2].Frequency, 50) << "binary, even of four bytes, is not a DWORD";
  EXPECT_EQ(gPresets[3].Frequency, 0);
  EXPECT_EQ(gOptions.MorphSettings, 1) << "only one pattern is at never";
}

TEST_F(SettingsTest, AMusicLocationFillsItsRecordAndALongerOneIsLoggedAndLeftOut) {
  const std::string music = std::string(kMainKeyPath) + "\\Music";
  const std::string longest = "/" + std::string(258, 'm');  // 259 characters: 260 bytes with the end
  StoreText(music, "4", longest.c_str());
  StoreText(music, "5", (longest + "x").c_str());
  ASSERT_TRUE(GetSettings(false));
  ASSERT_EQ(gMusicCount, 5);
  EXPECT_EQ(gMusicList[4].number, 4);
  EXPECT_EQ(std::string(gMusicList[4].location), longest);
  std::ifstream log(StateDirectory() + "/Prismora.txt");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_NE(text.str().find("LoadMusicList: music entry 1 does not fit and was left out (261 bytes)"),
            std::string::npos)
      << text.str();
}
