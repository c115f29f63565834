// The command line: modes, hack conventions, and refusals.
#include "saver/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  bool ok;
  CommandLine line;
  std::string error;
};

Parsed Parse(std::vector<const char*> args, const char* xscreensaverWindow = nullptr) {
  args.insert(args.begin(), "prismora");
  Parsed p{};
  p.ok = ParseCommandLine(int(args.size()), args.data(), xscreensaverWindow, &p.line, &p.error);
  return p;
}

}  // namespace

TEST(CommandLineTest, Modes) {
  struct Case {
    std::vector<const char*> args;
    SaverMode mode;
    uint64_t id;
  } cases[] = {
      {{}, SaverMode::Settings, 0},
      {{"/s"}, SaverMode::FullScreen, 0},
      {{"/S"}, SaverMode::FullScreen, 0},
      {{"-s"}, SaverMode::FullScreen, 0},
      {{"--fullscreen"}, SaverMode::FullScreen, 0},
      {{"/c"}, SaverMode::Settings, 0},
      {{"/c:1234"}, SaverMode::Settings, 0},
      {{"--settings"}, SaverMode::Settings, 0},
      {{"--window"}, SaverMode::Window, 0},
      {{"/p", "1234"}, SaverMode::Preview, 1234},
      {{"/p:0x2a"}, SaverMode::Preview, 42},
      {{"--preview", "0x400007"}, SaverMode::Preview, 0x400007},
      {{"-window-id", "0x1e00004"}, SaverMode::Foreign, 0x1e00004},
      {{"--window-id", "31457284"}, SaverMode::Foreign, 31457284},
      {{"-window-id", "0X1F"}, SaverMode::Foreign, 31},
      {{"--help"}, SaverMode::Help, 0},
      {{"/s", "--help"}, SaverMode::Help, 0},
      {{"--idle", "86400", "--all-monitors"}, SaverMode::Idle, 0},
      {{"--idle=300"}, SaverMode::Idle, 0},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.args);
    std::string shown;
    for (const char* a : c.args) shown += std::string(a) + " ";
    ASSERT_TRUE(p.ok) << shown << p.error;
    EXPECT_EQ(p.line.mode, c.mode) << shown;
    EXPECT_EQ(p.line.windowId, c.id) << shown;
  }
  EXPECT_EQ(Parse({"--idle", "86400"}).line.idleSeconds, 86400u);
  EXPECT_EQ(Parse({"--idle=300"}).line.idleSeconds, 300u);
  EXPECT_EQ(Parse({"/s", "--output=HDMI-A-1"}).line.outputName, "HDMI-A-1");
}

TEST(CommandLineTest, RootAndTheLockersWindow) {
  Parsed root = Parse({"-root"});
  ASSERT_TRUE(root.ok);
  EXPECT_EQ(root.line.mode, SaverMode::Foreign);
  EXPECT_TRUE(root.line.rootWindow);

  Parsed given = Parse({"--root"}, "0x600001");
  ASSERT_TRUE(given.ok);
  EXPECT_FALSE(given.line.rootWindow);
  EXPECT_EQ(given.line.windowId, 0x600001u);

  // xsecurelock writes the id in decimal and passes no arguments.
  Parsed bare = Parse({}, "6291457");
  ASSERT_TRUE(bare.ok);
  EXPECT_EQ(bare.line.mode, SaverMode::Foreign);
  EXPECT_EQ(bare.line.windowId, 6291457u);

  // An explicit mode is not overridden by the variable.
  Parsed full = Parse({"/s"}, "6291457");
  ASSERT_TRUE(full.ok);
  EXPECT_EQ(full.line.mode, SaverMode::FullScreen);

  // -window-id wins over -root, in either order.
  for (auto args : {std::vector<const char*>{"-root", "-window-id", "77"},
                    std::vector<const char*>{"-window-id", "77", "-root"}}) {
    Parsed both = Parse(args, "0x600001");
    ASSERT_TRUE(both.ok) << both.error;
    EXPECT_FALSE(both.line.rootWindow);
    EXPECT_EQ(both.line.windowId, 77u);
  }
}

TEST(CommandLineTest, RefusesWhatItCannotUse) {
  struct Case {
    std::vector<const char*> args;
    const char* env;
    const char* errorMentions;
  } cases[] = {
      {{"--bogus"}, nullptr, "--bogus"},
      {{"-window-id"}, nullptr, "needs a value"},
      {{"-window-id", "zz"}, nullptr, "zz"},
      {{"-window-id", "0"}, nullptr, "not a window id"},
      {{"-window-id", "0x"}, nullptr, "0x"},
      {{"-window-id", "12ab"}, nullptr, "12ab"},
      {{"-window-id", "0x100000000"}, nullptr, "0x100000000"},
      {{"-window-id", "99999999999999999999999"}, nullptr, "not a window id"},
      {{"/p"}, nullptr, "needs a value"},
      {{"/s", "--window"}, nullptr, "more than one mode"},
      {{"--depth", "8"}, nullptr, "--depth"},
      {{"-root"}, "junk", "XSCREENSAVER_WINDOW"},
      {{}, "-5", "XSCREENSAVER_WINDOW"},
      {{"--render", "out"}, nullptr, "--frames"},
      {{"--render", ""}, nullptr, "directory"},
      {{"--render", "out", "/s", "--frames", "3"}, nullptr, "more than one mode"},
      {{"--frames", "3"}, nullptr, "only for --render"},
      {{"/s", "--size", "800x600"}, nullptr, "only for --render"},
      {{"--render", "out", "--frames", "0"}, nullptr, "--frames"},
      {{"--render", "out", "--frames", "1000001"}, nullptr, "--frames"},
      {{"--render", "out", "--frames", "+5"}, nullptr, "+5"},
      {{"--render", "out", "--frames", "3", "--size", "319x200"}, nullptr, "--size"},
      {{"--render", "out", "--frames", "3", "--size", "320x199"}, nullptr, "--size"},
      {{"--render", "out", "--frames", "3", "--size", "8193x600"}, nullptr, "--size"},
      {{"--render", "out", "--frames", "3", "--size", "800 x 600"}, nullptr, "--size"},
      {{"--render", "out", "--frames", "3", "--size", "800x"}, nullptr, "--size"},
      {{"--render", "out", "--frames", "3", "--pattern", "100000"}, nullptr, "--pattern"},
      {{"--render", "out", "--frames", "3", "--config-dir", ""}, nullptr, "--config-dir"},
      {{"--render", "out", "--frames", "3", "--seed", "4294967296"}, nullptr, "--seed"},
      {{"--render", "out", "--frames", "3", "--every", "0"}, nullptr, "--every"},
      {{"--render", "out", "--frames", "3", "--every"}, nullptr, "needs a value"},
      {{"-root", "-visual"}, nullptr, "needs a value"},
      {{"-root", "-nice"}, nullptr, "needs a value"},
      {{"--idle"}, nullptr, "needs a value"},
      {{"--idle", "0"}, nullptr, "--idle must be a whole number of seconds from 1 to 86400, not 0"},
      {{"--idle", "-5"}, nullptr, "not -5"},
      {{"--idle", "abc"}, nullptr, "not abc"},
      {{"--idle", "1.5"}, nullptr, "not 1.5"},
      {{"--idle", "86401"}, nullptr, "not 86401"},
      {{"--idle", "99999999999999999999"}, nullptr, "--idle"},
      {{"/s", "--idle", "5"}, nullptr, "more than one mode"},
      {{"--idle", "5", "--frames", "3"}, nullptr, "only for --render"},
      {{"/s", "--output"}, nullptr, "needs a value"},
      {{"/s", "--output", ""}, nullptr, "--output needs an output name"},
      {{"/s", "--output="}, nullptr, "--output needs an output name"},
      {{"--idle="}, nullptr, "--idle must be a whole number of seconds from 1 to 86400, not "},
      {{"/s", "--fps=1"}, nullptr, "--fps takes no value"},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.args, c.env);
    EXPECT_FALSE(p.ok) << (c.args.empty() ? "(none)" : c.args[0]);
    EXPECT_NE(p.error.find(c.errorMentions), std::string::npos) << p.error;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line: " << p.error;
  }
}

TEST(CommandLineTest, TheCommonHackOptions) {
  // What hack hosts pass to every hack is accepted: a refusal would be a
  // non-zero exit, which such a host answers by starting the program again.
  struct Case {
    std::vector<const char*> args;
    bool frameRate;
    const char* ignored;
  } cases[] = {
      {{"-root", "-fps"}, true, ""},
      {{"--fps", "--root"}, true, ""},
      {{"-root", "-fps", "-no-fps"}, false, ""},
      {{"-root", "-install", "-mono"}, false, "-install -mono"},
      {{"-root", "-no-install", "-noinstall", "-pair"}, false, "-no-install -noinstall -pair"},
      {{"-root", "-visual", "default", "-nice", "10"}, false, "-visual default -nice 10"},
      {{"--window", "--fps", "--visual", "0x21"}, true, "--visual 0x21"},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.args);
    ASSERT_TRUE(p.ok) << c.args[1] << ": " << p.error;
    EXPECT_EQ(p.line.frameRate, c.frameRate) << c.args[1];
    EXPECT_EQ(p.line.ignoredOptions, c.ignored);
    // The value of -visual is not taken for a mode or an option.
    EXPECT_NE(p.line.mode, SaverMode::Settings) << c.args[0];
  }
}

TEST(CommandLineTest, MonitorOptions) {
  struct Case {
    std::vector<const char*> args;
    bool allMonitors;
    const char* output;
    bool x11;
  } cases[] = {
      {{"/s"}, false, "", false},
      {{"/s", "--all-monitors"}, true, "", false},
      {{"--all-monitors", "--fullscreen"}, true, "", false},
      {{"/s", "--output", "HDMI-A-1"}, false, "HDMI-A-1", false},
      {{"--x11", "/s", "--all-monitors"}, true, "", true},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.args);
    ASSERT_TRUE(p.ok) << c.args[0] << ": " << p.error;
    EXPECT_EQ(p.line.mode, SaverMode::FullScreen) << c.args[0];
    EXPECT_EQ(p.line.allMonitors, c.allMonitors) << c.args[0];
    EXPECT_EQ(p.line.outputName, c.output) << c.args[0];
    EXPECT_EQ(p.line.forceX11, c.x11) << c.args[0];
  }
  for (const char* option : {"--all-monitors", "--output NAME", "--x11"})
    EXPECT_NE(std::string(UsageText()).find(option), std::string::npos) << option;
}

TEST(CommandLineTest, DepthOption) {
  for (auto [text, depth] : {std::pair{"16", 16u}, {"24", 24u}, {"32", 32u}}) {
    Parsed p = Parse({"/s", "--depth", text});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.line.depth, depth);
  }
}

TEST(CommandLineTest, RenderOptions) {
  Parsed plain = Parse({"--render", "out", "--frames", "10"}, "0x600001");
  ASSERT_TRUE(plain.ok) << plain.error;
  EXPECT_EQ(plain.line.mode, SaverMode::Render) << "a locker's window does not turn a render into a hack";
  EXPECT_EQ(plain.line.renderDirectory, "out");
  EXPECT_EQ(plain.line.frames, 10u);
  EXPECT_EQ(plain.line.width, 640u);
  EXPECT_EQ(plain.line.height, 480u);
  EXPECT_EQ(plain.line.settings.pattern, "");
  EXPECT_EQ(plain.line.seed, 1u);
  EXPECT_EQ(plain.line.every, 1u);
  EXPECT_EQ(plain.line.depth, 0u);

  Parsed full = Parse({"--every", "7", "--seed", "4294967295", "--pattern", "0", "--depth", "16", "--size",
                       "8192X200", "--frames", "1000000", "--render", "a dir"});
  ASSERT_TRUE(full.ok) << full.error;
  EXPECT_EQ(full.line.mode, SaverMode::Render);
  EXPECT_EQ(full.line.renderDirectory, "a dir");
  EXPECT_EQ(full.line.frames, 1000000u);
  EXPECT_EQ(full.line.width, 8192u);
  EXPECT_EQ(full.line.height, 200u);
  EXPECT_EQ(full.line.settings.pattern, "0");
  EXPECT_EQ(full.line.seed, 4294967295u);
  EXPECT_EQ(full.line.every, 7u);
  EXPECT_EQ(full.line.depth, 16u);

  Parsed smallest = Parse({"--render", "d", "--frames", "1", "--size", "320x200", "--pattern", "19"});
  ASSERT_TRUE(smallest.ok) << smallest.error;
  EXPECT_EQ(smallest.line.width, 320u);
  EXPECT_EQ(smallest.line.height, 200u);
  EXPECT_EQ(smallest.line.settings.pattern, "19");
}

TEST(CommandLineTest, HelpNamesEveryMode) {
  std::string usage = UsageText();
  for (const char* mode :
       {"/s",      "/c",        "/p ID",        "--window",   "-window-id", "-root",    "XSCREENSAVER_WINDOW",
        "--depth", "--help",    "--fullscreen", "--settings", "--preview",  "--render", "--frames",
        "--size",  "--pattern", "--seed",       "--every",    "-fps",       "-install", "-no-install",
        "-pair",   "-mono",     "-visual V",    "-nice N"})
    EXPECT_NE(usage.find(mode), std::string::npos) << mode;
}
