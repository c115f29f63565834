// Settings flags on the command line: every flag at its bounds, the refused
// values, one and two dashes, and what a host's window does with a refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/command_line.h"
#include "saver/settings_flags.h"

namespace {

struct Parsed {
  bool ok;
  CommandLine line;
  std::string error;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "prismora");
  Parsed p{};
  p.ok = ParseCommandLine(int(args.size()), args.data(), nullptr, &p.line, &p.error);
  return p;
}

// The ranges the settings dialog enforces, written out here rather than
// taken from the flag table, so that a wrong bound in the table shows.
struct NumberFlag {
  const char* name;
  FlagOption option;
  int min, max;
} const kNumbers[] = {
    {"morph-interval", FlagOption::MorphInterval, 0, 3600},
    {"morph-duration", FlagOption::MorphDuration, 1, 20000},
    {"max-fps", FlagOption::MaxFps, 25, 999},
    {"ball-level", FlagOption::BallLevel, 0, 10},
    {"painting-level", FlagOption::PaintingLevel, 0, 10},
    {"sphere-level", FlagOption::SphereLevel, 0, 10},
    {"volume", FlagOption::Volume, 0, 100},
};

struct SwitchFlag {
  const char* name;
  FlagOption option;
} const kSwitches[] = {
    {"random-pattern", FlagOption::RandomPattern},
    {"morph", FlagOption::Morph},
    {"names", FlagOption::ShowNames},
    {"double-size", FlagOption::DoubleSize},
    {"square-tiled", FlagOption::SquareTiled},
    {"simple", FlagOption::Simple},
    {"music", FlagOption::Music},
};

}  // namespace

TEST(SettingsFlagsParseTest, NumbersTakeTheirBoundsWithOneOrTwoDashes) {
  for (const NumberFlag& flag : kNumbers) {
    for (const char* dashes : {"-", "--"}) {
      std::string name = std::string(dashes) + flag.name;
      for (int value : {flag.min, flag.max}) {
        std::string text = std::to_string(value);
        std::string joined = name + "=" + text;
        for (const std::vector<const char*>& args :
             {std::vector<const char*>{"--window", name.c_str(), text.c_str()},
              std::vector<const char*>{joined.c_str(), "/s"}}) {
          Parsed p = Parse(args);
          ASSERT_TRUE(p.ok) << name << " " << value << ": " << p.error;
          EXPECT_TRUE(p.line.settings.given[int(flag.option)]) << name;
          EXPECT_EQ(p.line.settings.value[int(flag.option)], value) << name;
        }
      }
    }
  }
}

TEST(SettingsFlagsParseTest, BadNumbersAreRefusedNamingTheFlagAndItsRange) {
  for (const NumberFlag& flag : kNumbers) {
    std::string name = std::string("--") + flag.name;
    std::string range = "from " + std::to_string(flag.min) + " to " + std::to_string(flag.max);
    std::string below = flag.min > 0 ? std::to_string(flag.min - 1) : "-1";
    std::string above = std::to_string(flag.max + 1);
    for (const char* bad : {below.c_str(), above.c_str(), "ten", "", "5x", "+5", "99999999999999999999"}) {
      Parsed p = Parse({"--window", name.c_str(), bad});
      EXPECT_FALSE(p.ok) << name << " " << bad;
      EXPECT_NE(p.error.find(name), std::string::npos) << p.error;
      EXPECT_NE(p.error.find(range), std::string::npos) << p.error;
    }
    Parsed missing = Parse({"/s", name.c_str()});
    EXPECT_FALSE(missing.ok) << name;
    EXPECT_NE(missing.error.find("needs a value"), std::string::npos) << missing.error;
    EXPECT_NE(missing.error.find(range), std::string::npos) << missing.error;
  }
}

TEST(SettingsFlagsParseTest, SwitchesTurnOnAndOffAndTheLastOneWins) {
  for (const SwitchFlag& flag : kSwitches) {
    std::string on = std::string("--") + flag.name;
    std::string off = std::string("-no-") + flag.name;
    std::string single = std::string("-") + flag.name;
    struct Case {
      std::vector<const char*> args;
      int value;
    } cases[] = {
        {{"/s", on.c_str()}, 1},
        {{"/s", single.c_str()}, 1},
        {{"/s", off.c_str()}, 0},
        {{"/s", on.c_str(), off.c_str()}, 0},
        {{"/s", off.c_str(), single.c_str()}, 1},
    };
    for (const Case& c : cases) {
      Parsed p = Parse(c.args);
      ASSERT_TRUE(p.ok) << c.args[1] << ": " << p.error;
      EXPECT_TRUE(p.line.settings.given[int(flag.option)]) << c.args[1];
      EXPECT_EQ(p.line.settings.value[int(flag.option)], c.value) << c.args[1] << " " << c.args.back();
    }
    std::string withValue = on + "=1";
    Parsed p = Parse({"/s", withValue.c_str()});
    EXPECT_FALSE(p.ok) << withValue;
    EXPECT_NE(p.error.find("takes no value"), std::string::npos) << p.error;
  }
  Parsed none = Parse({"/s"});
  ASSERT_TRUE(none.ok);
  EXPECT_FALSE(AnySettingsFlag(none.line.settings)) << "no flag, nothing over the settings file";
}

TEST(SettingsFlagsParseTest, PatternByNameOrIndexAndAgainstTheRandomStart) {
  struct Case {
    std::vector<const char*> args;
    bool ok;
    const char* pattern;
    int random;  // -1: not given
  } cases[] = {
      {{"--window", "--pattern", "17"}, true, "17", 0},
      {{"--window", "-pattern", "brisels-kandy"}, true, "brisels-kandy", 0},
      {{"--window", "--pattern=3D Zelo"}, true, "3D Zelo", 0},
      {{"--window", "--pattern", "99999"}, true, "99999", 0},
      {{"--window", "--random-pattern", "--pattern", "aura"}, true, "aura", 0},
      {{"--window", "--pattern", "aura", "--random-pattern"}, true, "", 1},
      {{"--render", "d", "--frames", "1", "--pattern", "0"}, true, "0", 0},
      {{"--window", "--pattern", "100000"}, false, "", -1},
      {{"--window", "--pattern", "-1"}, false, "", -1},
      {{"--window", "--pattern", ""}, false, "", -1},
      {{"--window", "--pattern"}, false, "", -1},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.args);
    std::string shown;
    for (const char* a : c.args) shown += std::string(a) + " ";
    ASSERT_EQ(p.ok, c.ok) << shown << p.error;
    if (!c.ok) {
      EXPECT_NE(p.error.find("--pattern"), std::string::npos) << p.error;
      continue;
    }
    EXPECT_EQ(p.line.settings.pattern, c.pattern) << shown;
    EXPECT_EQ(p.line.settings.given[int(FlagOption::RandomPattern)], c.random >= 0) << shown;
    if (c.random >= 0) {
      EXPECT_EQ(p.line.settings.value[int(FlagOption::RandomPattern)], c.random) << shown;
    }
  }
}

TEST(SettingsFlagsParseTest, AHostsWindowLogsARefusalAndRunsWithoutIt) {
  // A refusal there would be an exit that the host answers with a restart.
  struct Case {
    std::vector<const char*> args;
    const char* env;
    const char* rejected;
  } cases[] = {
      {{"-root", "-morph-interval", "9999"},
       nullptr,
       "-morph-interval must be a whole number from 0 to 3600, not 9999"},
      {{"--max-fps", "5", "-window-id", "0x42"}, nullptr, "--max-fps must be"},
      {{"/p", "77", "--volume"}, nullptr, "--volume needs a value"},
      {{"--volume", "-root"}, nullptr, "--volume needs a value"},
      {{"-sphere-level", "--window-id", "0x42"}, nullptr, "-sphere-level needs a value"},
      {{"--names=yes"}, "0x600001", "--names takes no value"},
      {{"-root", "--pattern", "-1", "--ball-level", "11"}, nullptr, "--pattern must be"},
  };
  for (const Case& c : cases) {
    CommandLine line;
    std::vector<const char*> args = c.args;
    args.insert(args.begin(), "prismora");
    std::string error;
    ASSERT_TRUE(ParseCommandLine(int(args.size()), args.data(), c.env, &line, &error)) << c.args[0] << error;
    EXPECT_NE(line.rejectedSettings.find(c.rejected), std::string::npos) << line.rejectedSettings;
    EXPECT_FALSE(AnySettingsFlag(line.settings)) << "a refused flag is left out: " << c.args[0];
  }
  // Both refusals of one line are in the log line.
  Parsed two = Parse({"-root", "--pattern", "-1", "--ball-level", "11"});
  EXPECT_NE(two.line.rejectedSettings.find("--ball-level"), std::string::npos) << two.line.rejectedSettings;
  // Good flags beside a bad one still hold.
  Parsed mixed = Parse({"-root", "--volume", "500", "--names"});
  ASSERT_TRUE(mixed.ok);
  EXPECT_TRUE(mixed.line.settings.given[int(FlagOption::ShowNames)]);
  EXPECT_FALSE(mixed.line.settings.given[int(FlagOption::Volume)]);
}

TEST(SettingsFlagsParseTest, TheSettingsDialogTakesNoSettingsFlags) {
  for (auto args : {std::vector<const char*>{"--names"}, std::vector<const char*>{"/c", "--pattern", "zelo"},
                    std::vector<const char*>{"--settings", "--volume", "3"}}) {
    Parsed p = Parse(args);
    EXPECT_FALSE(p.ok) << args[0];
    EXPECT_NE(p.error.find("not for the settings dialog"), std::string::npos) << p.error;
  }
}

TEST(SettingsFlagsParseTest, HelpListsEveryFlag) {
  std::string usage = UsageText();
  for (const SettingsFlag& flag : kSettingsFlags) {
    std::string name = std::string("--") + flag.name;
    EXPECT_NE(usage.find("  " + name + (flag.isSwitch ? ", --no-" + std::string(flag.name) : " ")),
              std::string::npos)
        << name;
  }
  EXPECT_NE(usage.find("--pattern NAME|INDEX"), std::string::npos);
}
