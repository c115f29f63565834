// The saver host: the whole run loop on the headless host, and the fault
// guard with the real signal handlers.
#include "saver/saver_host.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "diag/log.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "patterns/settings_store.h"
#include "platform/fault_guard.h"
#include "platform/headless/headless.h"
#include "platform/key_state.h"
#include "platform/linux/linux_services.h"
#include "platform/messages.h"
#include "render/display.h"
#include "saver/screen_saver.h"
#include "tests/support/log_text.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

struct ScriptRec {
  unsigned pumps = 0;
  unsigned keyAtPump = 0;
  int key = 0;
  unsigned moveAtPump = 0;
  int moveX = 0, moveY = 0;
  bool morphSeen = false;  // a morph ran after the key
};

ScriptRec gScript;

void RunScript() {
  ++gScript.pumps;
  if (gScript.pumps == gScript.keyAtPump) {
    RecordKeyDown(gScript.key);
    PostMessage(1, WM_KEYDOWN, WParam(gScript.key), 0);
  }
  if (gScript.pumps == gScript.moveAtPump)
    PostMessage(1, WM_MOUSEMOVE, 0, LParam(uint32_t(gScript.moveX) | (uint32_t(gScript.moveY) << 16)));
}

// Runs the saver in a window of MODE under the pump script: a run the script
// ends stops within 1000 pumps, one it does not lasts to the close at 5000.
void ExpectRunEnds(WindowMode mode, bool ends) {
  WindowRequest request;
  request.mode = mode;
  EXPECT_EQ(RunScreenSaver(request), 0);
  if (ends)
    EXPECT_LT(gScript.pumps, 1000u);
  else
    EXPECT_GE(gScript.pumps, 5000u);
}

// The request for a host's window, with the program set as a host starts it.
WindowRequest ForeignWindowRequest() {
  WindowRequest request;
  request.mode = WindowMode::Foreign;
  request.foreignId = 0x400001;
  gWindowMode = 1;
  fChildPreview = true;
  return request;
}

}  // namespace

class SaverHostTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    gScript = ScriptRec{};
    gHeadless.onPump = RunScript;
  }
};

TEST_F(SaverHostTest, AKeyThatIsNoCommandEndsTheRun) {
  gScript.keyAtPump = 500;
  gScript.key = 'B';
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  EXPECT_EQ(RunScreenSaver(request), 0);
  EXPECT_GT(gHeadless.presentCount, 1u) << "frames ran before the key";
  EXPECT_FALSE(gHeadless.windowExists);
  EXPECT_EQ(gPresets, nullptr) << "the saver stopped";
  EXPECT_EQ(gFrameTimer, 0u);
}

TEST_F(SaverHostTest, CommandKeysKeepTheSaverRunning) {
  gScript.keyAtPump = 500;
  gScript.key = 'M';
  gScript.moveAtPump = 4000;                      // ends it later
  StoreDword(kMainKeyPath, "Morph Settings", 0);  // only the key can start a morph
  gScript.moveX = 5;
  gScript.moveY = 5;
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  // The first move only marks where the mouse is; a second one far away ends it.
  gHeadless.onPump = [] {
    RunScript();
    if (gMorphing) gScript.morphSeen = true;
    if (gScript.pumps == 6000) PostMessage(1, WM_MOUSEMOVE, 0, LParam(500 | (500 << 16)));
  };
  EXPECT_EQ(RunScreenSaver(request), 0);
  EXPECT_TRUE(gScript.morphSeen) << "M starts a morph";
  EXPECT_GE(gScript.pumps, 6000u);
}

namespace {

// Pauses, stays paused for five virtual seconds, resumes, then ends the
// run; notes how often the program woke and drew on the way.
struct PauseScriptRec {
  int phase = 0;  // 0 running, 1 paused, 2 resumed, 3 ended
  unsigned pumps = 0, pausedPumps = 0;
  unsigned presentsAtPause = 0, presentsAtResume = 0;
  uint32_t pausedAt = 0, resumedAt = 0, firstFrameAfterResume = 0;
};

PauseScriptRec gPause;

void PressKey(int key) {
  RecordKeyDown(key);
  PostMessage(1, WM_KEYDOWN, WParam(key), 0);
  RecordKeyUp(key);
}

void RunPauseScript() {
  ++gPause.pumps;
  if (gPause.phase == 0 && gPause.pumps == 300) {
    gPause.phase = 1;
    gPause.presentsAtPause = gHeadless.presentCount;
    gPause.pausedAt = gHeadless.tick;
    PressKey(VK_PAUSE);
  } else if (gPause.phase == 1) {
    ++gPause.pausedPumps;
    if (gHeadless.tick - gPause.pausedAt >= 5000) {
      gPause.phase = 2;
      gPause.presentsAtResume = gHeadless.presentCount;
      gPause.resumedAt = gHeadless.tick;
      PressKey(VK_PAUSE);
    }
  } else if (gPause.phase == 2 && gHeadless.presentCount > gPause.presentsAtResume) {
    if (gPause.firstFrameAfterResume == 0) gPause.firstFrameAfterResume = gHeadless.tick;
    if (gHeadless.presentCount > gPause.presentsAtResume + 20) {
      gPause.phase = 3;
      PressKey('B');
    }
  }
}

}  // namespace

TEST_F(SaverHostTest, PausedTheProgramSleepsAndResumesAtOnce) {
  gPause = PauseScriptRec{};
  gHeadless.onPump = RunPauseScript;
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  EXPECT_EQ(RunScreenSaver(request), 0);
  ASSERT_EQ(gPause.phase, 3) << "the script ran to its end";
  EXPECT_GT(gPause.presentsAtPause, 0u);
  EXPECT_LE(gPause.presentsAtResume, gPause.presentsAtPause + 1) << "nothing drawn while paused";
  // Without a due timer the program wakes for window events or a 100 ms
  // look-around; a 1 ms frame timer would have woken it 5,000 times.
  EXPECT_LE(gPause.pausedPumps, 120u);
  // The script sees the frame at the first pump after it, which is after the
  // frame's 10 ms pacing wait; a resume left to the next look-around would
  // take 100 ms.
  EXPECT_LE(gPause.firstFrameAfterResume - gPause.resumedAt, 11u) << "resumed at once";
}

TEST_F(SaverHostTest, AMoveOffTheCentreAfterAMoveOntoItEndsTheRun) {
  // The first move lands within the centre's square, which the window
  // procedure ignores; it still marks where the mouse rests.
  gHeadless.onPump = [] {
    ++gScript.pumps;
    if (gScript.pumps == 300) PostMessage(1, WM_MOUSEMOVE, 0, LParam(961 | (541 << 16)));
    if (gScript.pumps == 600) PostMessage(1, WM_MOUSEMOVE, 0, LParam(1500 | (900 << 16)));
    if (gScript.pumps == 5000) PostMessage(1, WM_CLOSE, 0, 0);  // ends a run the move failed to end
  };
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  EXPECT_EQ(RunScreenSaver(request), 0);
  EXPECT_LT(gScript.pumps, 1000u) << "the second move ended it";
}

TEST_F(SaverHostTest, AnOrdinaryWindowIgnoresMouseMovesButNotKeysOrClicks) {
  // Trying the saver out in a window: the mouse moves freely over it.
  struct Case {
    uint32_t message;  // sent at pump 600, after a resting move at pump 300
    bool ends;
  };
  const Case cases[] = {{WM_MOUSEMOVE, false}, {WM_LBUTTONDOWN, true}, {WM_KEYDOWN, true}};
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    if (!first) {
      TearDown();
      SetUp();
    }
    first = false;
    static uint32_t message;
    message = c.message;
    gHeadless.onPump = [] {
      ++gScript.pumps;
      if (gScript.pumps == 300) PostMessage(1, WM_MOUSEMOVE, 0, LParam(10 | (10 << 16)));
      if (gScript.pumps == 600) {
        if (message == WM_KEYDOWN) RecordKeyDown('B');
        PostMessage(1, message, message == WM_KEYDOWN ? 'B' : 0, LParam(500 | (400 << 16)));
      }
      if (gScript.pumps == 5000) PostMessage(1, WM_CLOSE, 0, 0);
    };
    gWindowMode = 1;
    ExpectRunEnds(WindowMode::Ordinary, c.ends);
  }
}

TEST_F(SaverHostTest, MovesAreMeasuredWithSignedPositions) {
  // Positions left of or above the picture (another monitor) are negative:
  // a small move across the picture's edge is jitter, not a long jump.
  struct Case {
    int restX, restY, moveX, moveY;
    bool ends;
  };
  const Case cases[] = {
      {-2, 10, 1, 10, false},         // across the left edge by 3
      {-100, -50, -103, -47, false},  // on a monitor up and to the left
      {2, 10, -3, 10, true},          // across the left edge by 5
      {-400, 300, -100, 300, true},   // along a monitor on the left
      {1500, 300, -1500, 300, true},  // from a monitor on the right to one on the left
  };
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.restX << "," << c.restY << " to " << c.moveX << "," << c.moveY);
    if (!first) {
      TearDown();
      SetUp();
    }
    first = false;
    static LParam rest, move;
    rest = LParam((uint32_t(c.restX) & 0xFFFF) | ((uint32_t(c.restY) & 0xFFFF) << 16));
    move = LParam((uint32_t(c.moveX) & 0xFFFF) | ((uint32_t(c.moveY) & 0xFFFF) << 16));
    gHeadless.onPump = [] {
      ++gScript.pumps;
      if (gScript.pumps == 300) PostMessage(1, WM_MOUSEMOVE, 0, rest);
      if (gScript.pumps == 600) PostMessage(1, WM_MOUSEMOVE, 0, move);
      if (gScript.pumps == 5000) PostMessage(1, WM_CLOSE, 0, 0);
    };
    ExpectRunEnds(WindowMode::FullScreen, c.ends);
  }
}

TEST_F(SaverHostTest, AfterADisplayChangeMovesAreMeasuredAfresh) {
  // The picture moved to another monitor: the mouse did not move, but its
  // position in the picture's grid did.
  for (bool displayChange : {false, true}) {
    SCOPED_TRACE(displayChange);
    TearDown();
    SetUp();
    static bool change;
    change = displayChange;
    gHeadless.onPump = [] {
      ++gScript.pumps;
      if (gScript.pumps == 300) PostMessage(1, WM_MOUSEMOVE, 0, LParam(100 | (100 << 16)));
      if (gScript.pumps == 400 && change) PostMessage(1, WM_DISPLAYCHANGE, 32, LParam(1280 | (720 << 16)));
      if (gScript.pumps == 600) PostMessage(1, WM_MOUSEMOVE, 0, LParam(500 | (100 << 16)));
      if (gScript.pumps == 900) PostMessage(1, WM_MOUSEMOVE, 0, LParam(502 | (101 << 16)));
      if (gScript.pumps == 5000) PostMessage(1, WM_CLOSE, 0, 0);
    };
    WindowRequest request;
    request.mode = WindowMode::FullScreen;
    EXPECT_EQ(RunScreenSaver(request), 0);
    if (displayChange)
      EXPECT_GE(gScript.pumps, 5000u) << "the moves after the change were jitter";
    else
      EXPECT_LT(gScript.pumps, 1000u) << "a move of 400 pixels ends it";
  }
}

TEST_F(SaverHostTest, ForeignWindowsTakeNoInput) {
  gScript.keyAtPump = 100;
  gScript.key = 'B';
  WindowRequest request = ForeignWindowRequest();
  // Only a close (the window went away, or SIGTERM) ends it.
  gHeadless.onPump = [] {
    RunScript();
    if (gScript.pumps == 3000) PostMessage(1, WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(RunScreenSaver(request), 0);
  EXPECT_GE(gScript.pumps, 3000u);
  EXPECT_EQ(gScreenWidth, 640u);
}

TEST_F(SaverHostTest, TheRunsFirstLogLineNamesItAndTheDrawingSize) {
  WindowRequest request = ForeignWindowRequest();
  gHeadless.onPump = [] {
    ++gScript.pumps;
    if (gScript.pumps == 10) PostMessage(1, WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(RunScreenSaver(request, "Prismora 9.9, in a host's window, window 0x400001"), 0);
  EXPECT_NE(LogText().find("> Prismora 9.9, in a host's window, window 0x400001, drawing 640x480\n"),
            std::string::npos)
      << LogText();
  // And its last, how many frames it showed in how long.
  ASSERT_GT(gHeadless.presentCount, 0u);
  std::string last = "> Prismora 9.9, in a host's window, window 0x400001, " +
                     std::to_string(gHeadless.presentCount) + " frames in ";
  EXPECT_NE(LogText().find(last), std::string::npos) << LogText();
}

TEST_F(SaverHostTest, AWindowThatCannotBeMadeEndsAtOnce) {
  gHeadless.failWindowCreate = true;
  EXPECT_EQ(RunScreenSaver(WindowRequest{}), 1);
  gHeadless.failWindowCreate = false;
  gHeadless.depths = 0;
  EXPECT_EQ(RunScreenSaver(WindowRequest{}), 1);
  EXPECT_FALSE(gHeadless.windowExists);
}

namespace {

// What the saver runs with, noted at the first pump after it started.
struct StartSeenRec {
  bool noted = false;
  uint32_t pattern = 0, trailLength = 0, arms = 0, maxFps = 0;
};

StartSeenRec gStartSeen;

void NoteStartAndRunScript() {
  if (!gStartSeen.noted && gFrameTimer != 0) {
    gStartSeen = {true, gCurrentPattern, EngineState.trailLength, EngineState.armCount, gOptions.MaxFps};
  }
  RunScript();
}

}  // namespace

TEST_F(SaverHostTest, TheStoredSettingsAndPatternsAreWhatRuns) {
  StoreDword(PatternPath("Mine"), "Trail Length", 432);
  StoreDword(PatternPath("Mine"), "Number Of Trails", 7);
  StoreDword(kMainKeyPath, "Preset", 20);
  StoreDword(kMainKeyPath, "Max FPS", 50);
  gStartSeen = StartSeenRec{};
  gScript.keyAtPump = 300;
  gScript.key = 'B';
  gHeadless.onPump = NoteStartAndRunScript;
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  EXPECT_EQ(RunScreenSaver(request), 0);
  ASSERT_TRUE(gStartSeen.noted);
  EXPECT_EQ(gStartSeen.pattern, 20u);
  EXPECT_EQ(gStartSeen.trailLength, 432u);
  EXPECT_EQ(gStartSeen.arms, 7u);
  EXPECT_EQ(gStartSeen.maxFps, 50u);
}

TEST_F(SaverHostTest, AMissingInstallationEndsTheRunAfterItsMessage) {
  std::string gone = TempDir() + "/uninstalled";
  setenv("PRISMORA_INSTALL_DIR", gone.c_str(), 1);
  StoreText(kMainKeyPath, "", gone.c_str());
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  EXPECT_EQ(RunScreenSaver(request), 1);
  EXPECT_EQ(gHeadless.presentCount, 0u);
  ASSERT_FALSE(gHeadless.messageBoxes.empty());
  EXPECT_EQ(gHeadless.messageBoxes[0].text,
            "Can't find the installation directory!\nPlease reinstall Prismora.");
  EXPECT_FALSE(gHeadless.windowExists);
  unsetenv("PRISMORA_INSTALL_DIR");
}

namespace {

void TouchForbiddenPage(void* page) { *static_cast<volatile int*>(page) = 1; }

}  // namespace

TEST_F(SaverHostTest, FaultGuardReportsAnAccessViolation) {
  InstallLinuxServices();
  long size = sysconf(_SC_PAGESIZE);
  void* page = mmap(nullptr, size_t(size), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  FaultReport report;
  EXPECT_FALSE(gFaultGuard->run(TouchForbiddenPage, page, &report));
  EXPECT_EQ(report.code, 0xC0000005u);
  EXPECT_EQ(report.address, reinterpret_cast<uintptr_t>(page));
  // The guard is ready again for the next message.
  int ordinary = 0;
  EXPECT_TRUE(gFaultGuard->run([](void* p) { *static_cast<int*>(p) = 7; }, &ordinary, &report));
  EXPECT_EQ(ordinary, 7);
  munmap(page, size_t(size));
  InstallHeadlessHost();
}

TEST_F(SaverHostTest, AFaultInAMessageIsLoggedAndClosesTheSaver) {
  InstallLinuxServices();
  // Keep the virtual clock: only the guard is real here.
  const FaultGuardService* realGuard = gFaultGuard;
  InstallHeadlessHost();
  gFaultGuard = realGuard;
  gHeadless.onPump = RunScript;
  WindowRequest request;
  request.mode = WindowMode::FullScreen;
  ASSERT_EQ(gWindows->create(request), 1u);
  ASSERT_NE(DispatchSaverMessage(Message{1, WM_CREATE, 0, 0}), -1);
  // The frame update reads the current pattern; make that memory unreadable.
  long size = sysconf(_SC_PAGESIZE);
  void* page = mmap(nullptr, size_t(size), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  Preset* table = gPresets;
  gPresets = static_cast<Preset*>(page);
  gCurrentPattern = 0;
  DispatchSaverMessage(Message{1, WM_TIMER, kFrameTimerId, 0});
  gPresets = table;
  std::string log = LogText();
  const std::string marker = "> !!!! ExceptionCode = c0000005 at address ";
  size_t at = log.find(marker);
  ASSERT_NE(at, std::string::npos) << log;
  // The faulting address is the field read, inside the unreadable page.
  uintptr_t address = std::stoull(log.substr(at + marker.size()), nullptr, 16);
  EXPECT_GE(address, reinterpret_cast<uintptr_t>(page));
  EXPECT_LT(address, reinterpret_cast<uintptr_t>(page) + uintptr_t(size));
  EXPECT_EQ(log.back(), '\n');
  Message close;
  ASSERT_TRUE(PeekMessage(&close, true));
  EXPECT_EQ(close.message, unsigned(WM_CLOSE));
  DispatchSaverMessage(close);
  EXPECT_TRUE(gClosing);
  EXPECT_FALSE(gHeadless.windowExists);
  munmap(page, size_t(size));
}
