// The diagnostic log on the virtual clock, and the two message boxes.
#include "diag/log.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/directories.h"
#include "platform/headless/headless.h"
#include "platform/message_box.h"

namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class DiagnosticLog : public testing::Test {
 protected:
  void SetUp() override {
    InstallHeadlessHost();
    ResetLog();
    if (const char* old = getenv("PRISMORA_STATE_DIR")) savedStateDir = old, hadStateDir = true;
    std::string pattern = (std::filesystem::temp_directory_path() / "prismora-log-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    // Not created yet: the log must make it.
    stateDir = root + "/state/nested";
    UseStateDir(stateDir);
  }

  void TearDown() override {
    ResetLog();
    if (hadStateDir)
      setenv("PRISMORA_STATE_DIR", savedStateDir.c_str(), 1);
    else
      unsetenv("PRISMORA_STATE_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

  static void UseStateDir(const std::string& dir) { setenv("PRISMORA_STATE_DIR", dir.c_str(), 1); }
  std::string LogText() const { return ReadWhole(stateDir + "/Prismora.txt"); }

  std::string root, stateDir, savedStateDir;
  bool hadStateDir = false;
};

// The headless calendar starts at 1970-01-01 00:00:01 at tick 1000, and its
// counter runs at 1 MHz with the tick.
TEST_F(DiagnosticLog, LinesCarryElapsedTimeAndDelta) {
  LogDebug("first %d\n", 1);
  HeadlessAdvance(2500);
  LogDebug("second %s\n", "line");
  HeadlessAdvance(1250);
  LogDebug("third\n");
  EXPECT_EQ(LogText(),
            "1/1/1970 0:00:01 (0.000000 - 0.000000)> first 1\n"
            "1/1/1970 0:00:03 (2.500000 - 2.500000)> second line\n"
            "1/1/1970 0:00:04 (3.750000 - 1.250000)> third\n");
  EXPECT_EQ(LogFilePath(), stateDir + "/Prismora.txt");
}

TEST_F(DiagnosticLog, ElapsedTimeDoesNotWrapAfterLongRuns) {
  LogDebug("start\n");
  // Past 2^32 counts of the 1 MHz counter (about 4295 s).
  HeadlessAdvance(5000000);
  LogDebug("late\n");
  EXPECT_EQ(LogText(),
            "1/1/1970 0:00:01 (0.000000 - 0.000000)> start\n"
            "1/1/1970 1:23:21 (5000.000000 - 5000.000000)> late\n");
}

TEST_F(DiagnosticLog, WithoutACounterEveryLineHasTheShortPrefix) {
  gHeadless.haveHighResCounter = false;
  LogDebug("a\n");
  HeadlessAdvance(2000);
  LogDebug("b %u\n", 7u);
  EXPECT_EQ(LogText(), "1/1/1970 0:00:01> a\n1/1/1970 0:00:03> b 7\n");
}

TEST_F(DiagnosticLog, LaterRunsAppendToTheSameFile) {
  ASSERT_TRUE(std::filesystem::create_directories(stateDir));
  std::ofstream(stateDir + "/Prismora.txt") << "earlier line\n";
  LogDebug("saver\n");
  // A second program starting: its first line is a first line again.
  ResetLog();
  HeadlessAdvance(3000);
  LogDebug("player\n");
  EXPECT_EQ(LogText(),
            "earlier line\n"
            "1/1/1970 0:00:01 (0.000000 - 0.000000)> saver\n"
            "1/1/1970 0:00:04 (0.000000 - 0.000000)> player\n");
}

TEST_F(DiagnosticLog, UnwritableDirectoryIsSilentAndRetried) {
  std::string blocker = root + "/blocker";
  std::ofstream(blocker).put('x');
  UseStateDir(blocker + "/state");
  LogDebug("lost\n");
  EXPECT_TRUE(gHeadless.messageBoxes.empty());
  EXPECT_EQ(ReadWhole(blocker), "x");

  // The failed call still started the clock; the next call tries the file again.
  UseStateDir(stateDir);
  HeadlessAdvance(500);
  LogDebug("found\n");
  EXPECT_EQ(LogText(), "1/1/1970 0:00:01 (0.500000 - 0.500000)> found\n");
}

// The toolkit switches the C library to the user's locale; the log reads
// the same everywhere all the same.
TEST_F(DiagnosticLog, ThePrefixIgnoresACommaDecimalLocale) {
  std::string before = setlocale(LC_ALL, nullptr);
  if (!setlocale(LC_ALL, "de_DE.UTF-8"))
    GTEST_SKIP() << "no de_DE.UTF-8 locale (scripts/deps.sh test makes it)";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  EXPECT_STREQ(probe, "0,5") << "the locale really uses a comma";
  LogDebug("first\n");
  HeadlessAdvance(1250);
  LogDebug("second\n");
  setlocale(LC_ALL, before.c_str());
  EXPECT_EQ(LogText(),
            "1/1/1970 0:00:01 (0.000000 - 0.000000)> first\n"
            "1/1/1970 0:00:02 (1.250000 - 1.250000)> second\n");
}

// The store can report a damaged settings file before a host is installed.
TEST_F(DiagnosticLog, ALineBeforeAnyClockIsWrittenWithoutTime) {
  const ClockService* installed = gClock;
  gClock = nullptr;
  LogDebug("early %d\n", 8);
  gClock = installed;
  HeadlessAdvance(1000);
  LogDebug("later\n");
  EXPECT_EQ(LogText(), "> early 8\n1/1/1970 0:00:02 (0.000000 - 0.000000)> later\n")
      << "timing starts with the first line that has a clock";
}

TEST_F(DiagnosticLog, AFullLogIsKeptAsTheOldOneAndANewOneStarts) {
  LogDebug("first run\n");
  // Just under the cap the file still grows; at the cap the next line
  // rotates it, replacing an older .old file.
  {
    std::ofstream pad(LogFilePath(), std::ios::app | std::ios::binary);
    pad << std::string(size_t(kLogRotateBytes) - 1 - LogText().size(), 'x');
  }
  LogDebug("still here\n");
  EXPECT_NE(LogText().find("first run"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(OldLogFilePath()));
  std::ofstream(OldLogFilePath()) << "an older log";
  LogDebug("new file\n");
  std::string text = LogText();
  EXPECT_EQ(text.find("first run"), std::string::npos);
  EXPECT_NE(text.find("new file"), std::string::npos);
  EXPECT_LT(text.size(), 100u);
  std::string old = ReadWhole(OldLogFilePath());
  EXPECT_NE(old.find("still here"), std::string::npos);
  EXPECT_GE(old.size(), size_t(kLogRotateBytes));
  EXPECT_EQ(OldLogFilePath(), stateDir + "/Prismora.txt.old");
}

TEST_F(DiagnosticLog, InAHostsWindowBoxesGoToTheLogAndQuestionsTakeTheDefault) {
  SendMessageBoxesToLog(true);
  ReportError("Can't find the installation directory!");
  EXPECT_TRUE(AskYesNo(true, "Save it?"));
  EXPECT_FALSE(AskYesNo(false, "Delete it?"));
  EXPECT_TRUE(gHeadless.messageBoxes.empty()) << "no box may be shown";
  std::string text = LogText();
  EXPECT_NE(text.find("Error: Can't find the installation directory!\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Question: Save it? (answered Yes)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Question: Delete it? (answered No)\n"), std::string::npos) << text;
  ResetLog();
  EXPECT_FALSE(MessageBoxesGoToLog()) << "reset shows boxes again";
  ReportError("Shown.");
  EXPECT_EQ(gHeadless.messageBoxes.size(), 1u);
}

TEST(Directories, WithoutHomeTheAccountsHomeHoldsTheFiles) {
  // A locker's stripped environment: no $HOME and no XDG variables.
  const char* names[] = {"HOME",
                         "XDG_STATE_HOME",
                         "XDG_CONFIG_HOME",
                         "XDG_DATA_HOME",
                         "PRISMORA_STATE_DIR",
                         "PRISMORA_CONFIG_DIR",
                         "PRISMORA_DATA_DIR"};
  std::vector<std::pair<std::string, std::string>> saved;
  for (const char* name : names)
    if (const char* value = getenv(name)) saved.emplace_back(name, value);
  for (const char* name : names) unsetenv(name);
  const passwd* entry = getpwuid(getuid());
  ASSERT_NE(entry, nullptr);
  std::string home = entry->pw_dir;
  EXPECT_EQ(StateDirectory(), home + "/.local/state/prismora");
  EXPECT_EQ(ConfigDirectory(), home + "/.config/prismora");
  EXPECT_EQ(DataDirectory(), home + "/.local/share/prismora");
  setenv("HOME", "", 1);
  EXPECT_EQ(ConfigDirectory(), home + "/.config/prismora") << "an empty $HOME is no home";
  setenv("HOME", "/somewhere", 1);
  EXPECT_EQ(ConfigDirectory(), "/somewhere/.config/prismora");
  setenv("XDG_CONFIG_HOME", "rel/x", 1);
  EXPECT_EQ(ConfigDirectory(), "/somewhere/.config/prismora") << "a relative XDG path is ignored";
  for (const char* name : names) unsetenv(name);
  for (auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
}

class MessageBoxes : public testing::Test {
 protected:
  void SetUp() override { InstallHeadlessHost(); }
};

TEST_F(MessageBoxes, ErrorBox) {
  ReportError("Out of memory.");
  ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
  EXPECT_EQ(gHeadless.messageBoxes[0].text, "Out of memory.");
  EXPECT_EQ(gHeadless.messageBoxes[0].caption, "Prismora");
  EXPECT_EQ(gHeadless.messageBoxes[0].flags, 0x40010u);
}

TEST_F(MessageBoxes, YesNoFlagsAndAnswers) {
  struct Case {
    bool defaultYes;
    int answer;  // 0: the host's default for a yes/no box, which is Yes
    uint32_t flags;
    bool result;
  };
  const Case cases[] = {
      {true, 0, 0x40024, true},          {false, 0, 0x40124, true},     {true, IDYES, 0x40024, true},
      {true, IDNO, 0x40024, false},      {false, IDNO, 0x40124, false}, {true, IDOK, 0x40024, false},
      {false, IDCANCEL, 0x40124, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "defaultYes " << c.defaultYes << " answer " << c.answer);
    InstallHeadlessHost();
    gHeadless.messageBoxAnswer = c.answer;
    EXPECT_EQ(AskYesNo(c.defaultYes, "Delete this pattern?"), c.result);
    ASSERT_EQ(gHeadless.messageBoxes.size(), 1u);
    EXPECT_EQ(gHeadless.messageBoxes[0].text, "Delete this pattern?");
    EXPECT_EQ(gHeadless.messageBoxes[0].caption, "Prismora");
    EXPECT_EQ(gHeadless.messageBoxes[0].flags, c.flags);
  }
}

}  // namespace
