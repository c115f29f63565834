// Settings flags over a saver start on the headless host: they hold for the
// run, through a restart and a grab, and never reach the settings file.
#include "saver/settings_flags.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "diag/log.h"
#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "patterns/settings_store.h"
#include "platform/directories.h"
#include "platform/headless/headless.h"
#include "platform/key_state.h"
#include "platform/messages.h"
#include "saver/command_line.h"
#include "saver/screen_saver.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

constexpr WindowHandle kWindow = 1;

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string SettingsFile() { return FileText(ConfigDirectory() + "/settings.reg"); }

class SettingsFlagsTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    WindowRequest request;
    request.mode = WindowMode::FullScreen;
    ASSERT_EQ(gWindows->create(request), kWindow);
  }
  // The flags as the program takes them from its command line.
  void UseFlags(std::vector<const char*> args) {
    args.insert(args.begin(), {"prismora", "/s"});
    CommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(int(args.size()), args.data(), nullptr, &line, &error)) << error;
    gSettingsFlags = line.settings;
  }
  void Start() { ASSERT_NE(ScreenSaverProc(kWindow, WM_CREATE, 0, 0), -1); }
  void RunFrames(int ticks) {
    for (int i = 0; i < ticks; ++i) ScreenSaverProc(kWindow, WM_TIMER, kFrameTimerId, 0);
  }
  // A first run without flags leaves a complete settings file behind.
  void FirstRunWithoutFlags() {
    Start();
    StopSaver(kWindow);
  }
};

}  // namespace

TEST_F(SettingsFlagsTest, FlagsHoldForTheRunAndNeverReachTheFile) {
  FirstRunWithoutFlags();
  const std::string before = SettingsFile();
  ASSERT_NE(before.find("\"Max FPS\"=dword:00000055"), std::string::npos) << before;
  UseFlags({"--pattern",
            "brisels-kandy",
            "--morph-interval",
            "30",
            "--morph-duration",
            "100",
            "--max-fps",
            "30",
            "--names",
            "--double-size",
            "--square-tiled",
            "--simple",
            "--ball-level",
            "7",
            "--painting-level",
            "0",
            "--sphere-level",
            "10",
            "--no-music",
            "--volume",
            "40",
            "--no-random-pattern"});
  ASSERT_TRUE(StartSaver(kWindow));

  const OptionsRec& o = gOptions;
  EXPECT_EQ(gCurrentPattern, 10u);
  EXPECT_EQ(EngineState.trailLength, uint32_t(gPresets[10].TrailLength)) << "the engine runs that pattern";
  EXPECT_EQ(EngineState.armCount, uint32_t(gPresets[10].NumberOfTrails));
  EXPECT_EQ(o.MorphInterval, 30u);
  EXPECT_EQ(o.MorphDuration, 100u);
  EXPECT_EQ(o.MaxFps, 30u);
  EXPECT_EQ(o.ShowNames, 1);
  EXPECT_EQ(o.DoubleSize, 1);
  EXPECT_EQ(o.SquareTiled, 1);
  EXPECT_EQ(o.Simple, 1);
  EXPECT_EQ(gMaxEffects, 2) << "the effect limit follows the simple flag";
  EXPECT_EQ(o.BallLevel, 7);
  EXPECT_EQ(o.PaintingMode, 0);
  EXPECT_EQ(o.SphereLevel, 10);
  EXPECT_EQ(o.MusicIndex, -1);
  EXPECT_EQ(EngineState.musicSelected, 0) << "no music source polled";
  EXPECT_EQ(o.MusicVolume, 40);
  // The morph clock reads the interval and duration from the flags.
  ScheduleNextMorph(5000);
  EXPECT_EQ(EngineState.nextMorph, 5000u + 30000u);
  EXPECT_EQ(gMorph.morphEndTick - gMorphTick, 100u);

  RunFrames(3);
  EXPECT_EQ(SettingsFile(), before) << "the start and the frames wrote no flag";

  // A restart loads the file again; the flags go over it again.
  StopSaver(kWindow);
  ASSERT_TRUE(GetSettings(false));
  ASSERT_TRUE(StartSaver(kWindow));
  EXPECT_EQ(gOptions.MaxFps, 30u);
  EXPECT_EQ(gCurrentPattern, 10u);
  EXPECT_EQ(SettingsFile(), before) << "a restart writes back what the file held";

  // Space stores the running pattern, and only that: the options stay.
  ScreenSaverProc(kWindow, WM_KEYDOWN, WParam(VK_SPACE), 0);
  EXPECT_TRUE(KeyExists(PatternPath("Brisel's Kandy #1")));
  EXPECT_NE(SettingsFile(), before);
  const std::string main = kMainKeyPath;
  struct Stored {
    const char* name;
    int32_t value;
  } const stored[] = {{"Preset", 17},       {"Morph Interval", 20}, {"Morph Duration", 4000},
                      {"Max FPS", 85},      {"Show Names", 0},      {"Double Size", 0},
                      {"Square Tiled", 0},  {"Simple", 0},          {"Ball Level", 2},
                      {"Painting Mode", 2}, {"Sphere Level", 4},    {"Music Index", 0},
                      {"Music Volume", 100}};
  for (const Stored& s : stored) EXPECT_EQ(StoredDword(main, s.name), s.value) << s.name;
}

TEST_F(SettingsFlagsTest, PatternByIndexNameOrLooseName) {
  // A user pattern, and a standard one stored in other letters.
  StoreDword(PatternPath("Mine"), "Trail Length", 500);
  StoreDword(PatternPath("ZELO"), "Trail Length", 260);
  struct Case {
    const char* text;
    int index;  // -1: no such pattern
    const char* error;
  } cases[] = {
      {"20", 20, ""},
      {"mine", 20, ""},
      {"Mine", 20, ""},
      {"0", 0, ""},
      {"Zelo", 0, ""},
      {"zelo", 0, ""},
      {"Brisel's Kandy", 10, ""},
      {"BRISELS-KANDY", 10, ""},
      {"3d-zelo", 13, ""},
      {"3D Sea Snakes", 14, ""},
      {"dorns_quads", 15, ""},
      {"21", -1, "--pattern 21 is past the last pattern, 20"},
      {"nope", -1, "no pattern is called \"nope\""},
      {"zel", -1, "no pattern is called"},
      {"--", -1, "no pattern is called"},
  };
  for (const Case& c : cases) {
    ResetSettingsFlags();
    gSettingsFlags.pattern = c.text;
    std::string error;
    EXPECT_EQ(CheckFlagPattern(&error), c.index >= 0) << c.text;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.text << ": " << error;
    EXPECT_EQ(gPresets, nullptr) << "the check leaves no table behind";

    ASSERT_TRUE(StartSaver(kWindow)) << c.text;
    // Unknown in a host's window: the saver's own choice, and a log line.
    EXPECT_EQ(gCurrentPattern, c.index >= 0 ? uint32_t(c.index) : 17u) << c.text;
    EXPECT_EQ(gSettingsFlags.patternChosen, c.index >= 0) << c.text;
    if (c.index < 0) {
      EXPECT_NE(FileText(LogFilePath()).find("no pattern is called \"" + std::string(c.text) + "\""),
                std::string::npos)
          << c.text;
    }
    StopSaver(kWindow);
  }
}

TEST_F(SettingsFlagsTest, AskedForPatternsStartEvenWhenNeverChosenAtRandom) {
  StoreDword(kFrequenciesKeyPath, "Aura", 0);
  StoreDword(kMainKeyPath, "Preset", 19);
  ASSERT_TRUE(StartSaver(kWindow));
  EXPECT_NE(gCurrentPattern, 19u) << "a stored pattern set to never gives way to a random one";
  StopSaver(kWindow);

  UseFlags({"--pattern", "aura"});
  ASSERT_TRUE(StartSaver(kWindow));
  EXPECT_EQ(gCurrentPattern, 19u);
  StopSaver(kWindow);

  UseFlags({"--pattern", "aura", "--random-pattern"});
  ASSERT_TRUE(StartSaver(kWindow));
  EXPECT_NE(gCurrentPattern, 19u) << "the later --random-pattern wins";
}

TEST_F(SettingsFlagsTest, MusicAndMorphSwitchesOverWhatIsStored) {
  struct Case {
    int storedMusic;
    std::vector<const char*> flags;
    int music;
    int selected;
  } cases[] = {
      {-1, {"--music"}, 0, 1},      // on with none chosen: the built-in track
      {3, {"--music"}, 3, 1},       // on keeps the chosen entry
      {0, {"--no-music"}, -1, 0},   // off
      {-1, {"--no-morph"}, -1, 0},  // a flag about something else changes nothing here
  };
  for (const Case& c : cases) {
    StoreDword(kMainKeyPath, "Music Index", c.storedMusic);
    UseFlags(c.flags);
    ASSERT_TRUE(StartSaver(kWindow));
    EXPECT_EQ(gOptions.MusicIndex, c.music) << c.flags[0] << " over " << c.storedMusic;
    EXPECT_EQ(EngineState.musicSelected, c.selected) << c.flags[0] << " over " << c.storedMusic;
    StopSaver(kWindow);
  }

  // Morphing needs two patterns to go between: with only one left, the
  // loaded settings keep it off whatever the flag says.
  UseFlags({"--morph"});
  StoreDword(kMainKeyPath, "Morph Settings", 0);
  ASSERT_TRUE(StartSaver(kWindow));
  EXPECT_EQ(gOptions.MorphSettings, 1);
  StopSaver(kWindow);
  ASSERT_TRUE(GetSettings(false));
  std::vector<std::string> names;
  for (uint32_t i = 1; i < kStandardPatternCount; ++i) names.push_back(gPresets[i].Name);
  for (const std::string& name : names) StoreDword(kFrequenciesKeyPath, name.c_str(), 0);
  ASSERT_TRUE(StartSaver(kWindow));
  EXPECT_EQ(gOptions.MorphSettings, 0);
  EXPECT_NE(FileText(LogFilePath()).find("--morph: every pattern but one"), std::string::npos);
}

TEST_F(SettingsFlagsTest, APatternAskedForIsShownForAWholeIntervalFirst) {
  // The saver's own start opens with a change of pattern at the first tick.
  struct Case {
    std::vector<const char*> flags;
    bool morphingAtOnce;
  } cases[] = {
      {{}, true},
      {{"--pattern", "3"}, false},
      {{"--pattern", "3", "--morph-interval", "0"}, true},
  };
  for (const Case& c : cases) {
    UseFlags(c.flags);
    gHeadless.tick = 1000;
    ASSERT_TRUE(StartSaver(kWindow));
    const uint32_t start = gCurrentPattern;
    RunFrames(1);
    EXPECT_EQ(gMorphing != 0, c.morphingAtOnce) << c.flags.size() << " flags";
    if (!c.morphingAtOnce) {
      EXPECT_EQ(EngineState.nextMorph, 1000u + 20000u);
      EXPECT_EQ(gCurrentPattern, start);
    }
    StopSaver(kWindow);
    ResetEngine();
  }
}
