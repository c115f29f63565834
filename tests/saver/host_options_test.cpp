// Options the program does not know: noted and run past in a host's window,
// where an exit would have the host start the program again and again; an
// error everywhere else.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/command_line.h"

TEST(HostOptionsTest, UnknownOptionsStopOnlyRunsOutsideAHostsWindow) {
  struct Case {
    std::vector<const char*> args;
    const char* xscreensaverWindow;
    bool runs;
    const char* noted;  // what the log is given, or what the error names
  } cases[] = {
      {{"-root", "-shiny"}, nullptr, true, "-shiny"},
      {{"-shiny", "-root"}, nullptr, true, "-shiny"},  // the mode may come last
      {{"-shiny", "3", "-window-id", "0x10", "--glow"}, nullptr, true, "-shiny 3 --glow"},
      {{"--glow"}, "0x10", true, "--glow"},  // the locker's window and no mode
      {{"--glow"}, nullptr, false, "--glow"},
      {{"/s", "-shiny", "--glow"}, nullptr, false, "-shiny"},
      {{"/s", "--glow"}, "0x10", false, "--glow"},  // a mode of our own is no host's window
      {{"/p", "0x10", "--glow"}, nullptr, false, "--glow"},
      {{"--window", "--glow"}, nullptr, false, "--glow"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"prismora"};
    std::string shown;
    for (const char* a : c.args) {
      argv.push_back(a);
      shown += std::string(a) + " ";
    }
    SCOPED_TRACE(shown + (c.xscreensaverWindow ? "with XSCREENSAVER_WINDOW" : ""));
    CommandLine line;
    std::string error;
    bool ok = ParseCommandLine(int(argv.size()), argv.data(), c.xscreensaverWindow, &line, &error);
    EXPECT_EQ(ok, c.runs) << error;
    if (c.runs) {
      EXPECT_EQ(line.mode, SaverMode::Foreign);
      EXPECT_EQ(line.unknownOptions, c.noted);
    } else {
      EXPECT_EQ(error, std::string("unknown option: ") + c.noted + " (try --help)");
    }
  }
}
