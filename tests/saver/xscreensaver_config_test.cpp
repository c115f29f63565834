// XScreenSaver's settings file for the program: well formed, every argument
// it can pass accepted by the program, and every default the program's own,
// so that a setting left alone adds no flag.
#include <gtest/gtest.h>

#include <algorithm>
#include <pugixml.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "patterns/options.h"
#include "patterns/preset.h"
#include "saver/command_line.h"
#include "saver/settings_flags.h"
#include "tests/support/test_host.h"

namespace {

const char* const kConfigPath = PRISMORA_SOURCE_DIR "/data/xscreensaver/prismora.xml";

struct Parsed {
  bool ok = false;
  CommandLine line;
  std::string error;
  int given = 0;  // settings flags given
  FlagOption option = FlagOption::Count;
};

// The command line the host builds: the program, its mode, the argument's words.
Parsed ParseArg(const char* mode, const std::string& arg) {
  std::vector<std::string> words;
  std::istringstream split(arg);
  for (std::string word; split >> word;) words.push_back(word);
  std::vector<const char*> argv = {"prismora", mode};
  for (const std::string& word : words) argv.push_back(word.c_str());
  Parsed p;
  p.ok = ParseCommandLine(int(argv.size()), argv.data(), nullptr, &p.line, &p.error);
  p.ok = p.ok && p.line.rejectedSettings.empty();
  if (!p.ok && p.error.empty()) p.error = p.line.rejectedSettings;
  for (int i = 0; i < kFlagOptionCount; ++i) {
    if (p.line.settings.given[i] && FlagOption(i) != FlagOption::RandomPattern) {
      ++p.given;
      p.option = FlagOption(i);
    }
  }
  // --random-pattern alone counts; beside --pattern it is implied.
  if (p.given == 0 && p.line.settings.given[int(FlagOption::RandomPattern)] &&
      p.line.settings.pattern.empty()) {
    p.given = 1;
    p.option = FlagOption::RandomPattern;
  }
  return p;
}

// The program's own value of each setting, from the options record, in the
// order of FlagOption.
int32_t ProgramDefault(FlagOption option) {
  const OptionsRec o;
  const int32_t defaults[] = {o.UseRandomPreset,
                              o.MorphSettings,
                              int32_t(o.MorphInterval),
                              int32_t(o.MorphDuration),
                              int32_t(o.MaxFps),
                              o.ShowNames,
                              o.DoubleSize,
                              o.SquareTiled,
                              o.Simple,
                              o.BallLevel,
                              o.PaintingMode,
                              o.SphereLevel,
                              o.MusicIndex != -1,
                              o.MusicVolume};
  static_assert(sizeof defaults / sizeof defaults[0] == kFlagOptionCount);
  return defaults[int(option)];
}

class XScreenSaverConfigTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    pugi::xml_parse_result result = document_.load_file(kConfigPath);
    ASSERT_TRUE(result) << kConfigPath << ": " << result.description() << " at byte " << result.offset;
    root_ = document_.child("screensaver");
    ASSERT_TRUE(root_) << "the root element is <screensaver>";
  }
  pugi::xml_document document_;
  pugi::xml_node root_;
};

}  // namespace

TEST_F(XScreenSaverConfigTest, NamesTheProgramAndRunsItInTheHostsWindow) {
  EXPECT_STREQ(root_.attribute("name").value(), "prismora");
  EXPECT_STREQ(root_.attribute("_label").value(), "Prismora");
  EXPECT_STREQ(root_.child("command").attribute("arg").value(), "--root");
  EXPECT_GT(std::string(root_.child_value("_description")).size(), 40u);
  // The settings tool sizes its window to the longest paragraph: short ones,
  // ending as the stock hacks' do.
  std::string text = root_.child_value("_description");
  for (size_t start = 0, end = 0; start < text.size(); start = end + 2) {
    end = std::min(text.find("\n\n", start), text.size());
    EXPECT_LE(end - start, 112u) << text.substr(start, end - start);
  }
  EXPECT_NE(text.find("\nWritten by "), std::string::npos);
  std::set<std::string> ids;
  for (pugi::xpath_node found : root_.select_nodes("//*[@id]")) {
    std::string id = found.node().attribute("id").value();
    EXPECT_TRUE(ids.insert(id).second) << "id used twice: " << id;
  }
}

TEST_F(XScreenSaverConfigTest, NumbersTakeTheProgramsRangeAndDefault) {
  int numbers = 0;
  for (pugi::xml_node number : root_.children("number")) {
    ++numbers;
    std::string arg = number.attribute("arg").value();
    ASSERT_NE(arg.find('%'), std::string::npos) << arg;
    const int low = number.attribute("low").as_int(), high = number.attribute("high").as_int();
    const int fallback = number.attribute("default").as_int();
    auto with = [&arg](int value) {
      std::string text = arg;
      return text.replace(text.find('%'), 1, std::to_string(value));
    };
    for (int value : {low, high, fallback}) {
      for (const char* mode : {"--root", "--window"}) {
        Parsed p = ParseArg(mode, with(value));
        ASSERT_TRUE(p.ok) << with(value) << ": " << p.error;
        ASSERT_EQ(p.given, 1) << with(value);
        EXPECT_EQ(p.line.settings.value[int(p.option)], value) << with(value);
      }
    }
    Parsed p = ParseArg("--window", with(fallback));
    EXPECT_EQ(fallback, ProgramDefault(p.option)) << arg << ": the default is the program's";
    // The slider's ends are the program's: one step past either is refused.
    EXPECT_FALSE(ParseArg("--window", with(high + 1)).ok) << with(high + 1);
    if (low > 0) {
      EXPECT_FALSE(ParseArg("--window", with(low - 1)).ok) << with(low - 1);
    }
  }
  EXPECT_EQ(numbers, 4) << "morph interval and duration, frame rate, volume";
}

TEST_F(XScreenSaverConfigTest, BooleansAddAFlagOnlyAwayFromTheProgramsDefault) {
  std::set<std::string> flags;
  for (pugi::xml_node boolean : root_.children("boolean")) {
    const char* set = boolean.attribute("arg-set").value();
    const char* unset = boolean.attribute("arg-unset").value();
    ASSERT_NE(*set == '\0', *unset == '\0')
        << boolean.attribute("id").value() << ": one of arg-set and arg-unset";
    std::string arg = *set ? set : unset;
    flags.insert(arg);
    for (const char* mode : {"--root", "--window"}) {
      Parsed p = ParseArg(mode, arg);
      ASSERT_TRUE(p.ok) << arg << ": " << p.error;
      if (arg == "--fps") {
        EXPECT_TRUE(p.line.frameRate);
        continue;
      }
      ASSERT_EQ(p.given, 1) << arg;
      // arg-set: the box starts unticked, so the program's default is off.
      EXPECT_EQ(ProgramDefault(p.option), *set ? 0 : 1) << arg;
      EXPECT_NE(p.line.settings.value[int(p.option)], ProgramDefault(p.option)) << arg;
    }
  }
  for (const char* flag :
       {"--no-morph", "--names", "--double-size", "--square-tiled", "--simple", "--no-music", "--fps"})
    EXPECT_EQ(flags.count(flag), 1u) << flag;
}

TEST_F(XScreenSaverConfigTest, ListsLeaveTheSavedSettingAloneUnlessAChoiceIsMade) {
  ASSERT_TRUE(AllocateStandardPatternTable());
  std::set<int> patterns;
  std::set<FlagOption> levels;
  int selects = 0;
  for (pugi::xml_node select : root_.children("select")) {
    ++selects;
    int plain = 0;
    for (pugi::xml_node option : select.children("option")) {
      std::string arg = option.attribute("arg-set").value();
      if (arg.empty()) {
        ++plain;
        continue;
      }
      Parsed p = ParseArg("--root", arg);
      ASSERT_TRUE(p.ok) << arg << ": " << p.error;
      ASSERT_EQ(p.given, arg.rfind("--pattern ", 0) == 0 ? 0 : 1) << arg;
      EXPECT_TRUE(ParseArg("--window", arg).ok) << arg;
      if (p.given == 1) levels.insert(p.option);
      if (p.line.settings.pattern.empty()) continue;
      // Each standard pattern by a name that needs no quoting in a shell.
      int index = FindFlagPattern(p.line.settings.pattern.c_str());
      ASSERT_GE(index, 0) << arg;
      EXPECT_EQ(std::string(option.attribute("_label").value()),
                std::string("Start with ") + gPresets[index].Name);
      EXPECT_EQ(p.line.settings.pattern.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"),
                std::string::npos)
          << arg;
      EXPECT_TRUE(patterns.insert(index).second) << arg;
    }
    EXPECT_EQ(plain, 1) << select.attribute("id").value() << ": one choice that adds no flag, first";
    EXPECT_TRUE(select.first_child().attribute("arg-set").empty()) << select.attribute("id").value();
  }
  EXPECT_EQ(selects, 4);
  EXPECT_EQ(patterns.size(), size_t(kStandardPatternCount));
  EXPECT_EQ(levels, (std::set<FlagOption>{FlagOption::RandomPattern, FlagOption::BallLevel,
                                          FlagOption::PaintingLevel, FlagOption::SphereLevel}));
}
