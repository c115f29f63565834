// The windowed player on the headless host: start-up, the 4:3 shape, the
// menu's options and the window options they write, pauses and restarts
// around the programs it starts, keys, and frames only while shown.
#include "player/player.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "engine/engine_state.h"
#include "engine/morph.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "patterns/settings_store.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_dialog.h"
#include "platform/headless/scripted_sound.h"
#include "platform/key_state.h"
#include "platform/message_box.h"
#include "render/text_overlay.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

constexpr WindowHandle kWindow = 1;

LParam Size(uint32_t w, uint32_t h) { return LParam(w | (h << 16)); }

}  // namespace

class PlayerTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    InstallHeadlessDialogs();
    gScriptedSound.embeddedTrack = "built-in track";
  }
  void Open() {
    ASSERT_EQ(OpenPlayer(), kWindow);
    Drain();
  }
  // Handles every queued message, as the loop does before it draws.
  void Drain() {
    Message m;
    while (PeekMessage(&m, true)) {
      ASSERT_NE(m.message, uint32_t(WM_QUIT));
      PlayerWindowProc(m.window, m.message, m.wParam, m.lParam);
    }
  }
  void Command(int id) { PlayerWindowProc(kWindow, WM_COMMAND, WParam(id), 0); }
  bool Check(int id) { return gHeadless.menuChecks[id]; }
  void Activate(bool minimised = false) {
    PlayerWindowProc(kWindow, WM_ACTIVATE, WParam(minimised ? (1u << 16) : WA_ACTIVE), 0);
  }
  int32_t Stored(const char* name) { return StoredDword(kWindowKeyPath, name); }
};

TEST_F(PlayerTest, FirstRunOpensASmallTopmostLowPriorityWindowWithMusic) {
  ASSERT_EQ(OpenPlayer(), kWindow);
  EXPECT_EQ(gHeadless.frameWidth, 320);
  EXPECT_EQ(gHeadless.frameHeight, 240);
  Drain();
  EXPECT_EQ(gHeadless.frameLeft, gHeadless.defaultLeft) << "the desktop places a first window";
  EXPECT_EQ(gHeadless.frameShowState, kShowNormal);
  EXPECT_TRUE(gHeadless.topmost);
  EXPECT_TRUE(gHeadless.lowPriority);
  EXPECT_NE(gSound, nullptr) << "the built-in track plays";
  EXPECT_TRUE(gPlayer.ready);
  EXPECT_EQ(gOptions.DoubleSize, 1);
  EXPECT_EQ(gTextOverlay.playerRules, 1);
  EXPECT_EQ(gTextOverlay.keyHelp, 0);
  // The menu shows what was applied.
  EXPECT_FALSE(Check(kIdMenuPause));
  EXPECT_TRUE(Check(kIdMenuAlwaysOnTop));
  EXPECT_TRUE(Check(kIdMenuMusic));
  EXPECT_FALSE(Check(kIdMenuLowDensity));
  EXPECT_TRUE(Check(kIdMenuVideoMemory));
  EXPECT_FALSE(Check(kIdMenuSystemMemory));
  EXPECT_TRUE(Check(kIdMenuPriorityLow));
  EXPECT_FALSE(Check(kIdMenuPriorityNormal));
  // Its client area took the 4:3 shape at once.
  EXPECT_EQ(gHeadless.windowWidth * 3, gHeadless.windowHeight * 4);
}

TEST_F(PlayerTest, StoredOptionsAndPlaceAreAppliedAndAMinimisedWindowReopensNormal) {
  const struct {
    const char* name;
    int32_t value;
  } stored[] = {{"Always On Top", 0},  {"Play Music", 0},      {"Low Density", 1},
                {"Low Priority", 0},   {"Window Left", 300},   {"Window Top", 200},
                {"Window Width", 488}, {"Window Height", 406}, {"Window State", 2}};
  for (const auto& s : stored) StoreDword(kWindowKeyPath, s.name, s.value);
  Open();
  EXPECT_EQ(gHeadless.frameShowState, kShowNormal);
  EXPECT_EQ(gHeadless.frameLeft, 300);
  EXPECT_EQ(gHeadless.frameTop, 200);
  EXPECT_EQ(gHeadless.windowWidth, 480u);
  EXPECT_EQ(gHeadless.windowHeight, 360u);
  EXPECT_FALSE(gHeadless.topmost);
  EXPECT_FALSE(gHeadless.lowPriority);
  EXPECT_EQ(gSound, nullptr);
  EXPECT_EQ(EngineState.lowDensity, 1);
  EXPECT_TRUE(Check(kIdMenuLowDensity));
  EXPECT_TRUE(Check(kIdMenuPriorityNormal));
}

TEST_F(PlayerTest, FourThreeShapeFollowsTheDraggedEdge) {
  const struct {
    uint32_t edge, w, h;
    bool change;
    uint32_t newW, newH;
  } cases[] = {
      {WMSZ_RIGHT, 400, 250, true, 400, 300},
      {WMSZ_LEFT, 400, 100, true, 400, 300},
      {WMSZ_BOTTOM, 500, 300, true, 400, 300},
      {WMSZ_TOP, 100, 300, true, 400, 300},
      {WMSZ_BOTTOMRIGHT, 500, 300, true, 500, 375},
      {WMSZ_TOPLEFT, 200, 400, true, 533, 400},
      {0, 640, 400, true, 640, 480},
      {0, 300, 300, true, 400, 300},
      {WMSZ_RIGHT, 80, 300, true, 112, 84},
      {WMSZ_BOTTOM, 400, 60, true, 112, 84},
      {WMSZ_RIGHT, 400, 300, false, 0, 0},
      {WMSZ_RIGHT, 401, 300, false, 0, 0},
  };
  for (const auto& c : cases) {
    uint32_t w = 0, h = 0;
    EXPECT_EQ(FourThreeClientSize(c.w, c.h, c.edge, 112, &w, &h), c.change)
        << c.edge << " " << c.w << "x" << c.h;
    if (c.change) {
      EXPECT_EQ(w, c.newW) << c.edge << " " << c.w << "x" << c.h;
      EXPECT_EQ(h, c.newH) << c.edge << " " << c.w << "x" << c.h;
    }
  }
}

TEST_F(PlayerTest, DraggingTheWindowKeepsItsClientAtFourToThree) {
  Open();
  const struct {
    uint32_t edge, w, h, wantW, wantH;
  } drags[] = {
      {WMSZ_RIGHT, 400, 250, 400, 300},       {WMSZ_BOTTOM, 500, 300, 400, 300},
      {WMSZ_BOTTOMRIGHT, 700, 300, 700, 525}, {WMSZ_BOTTOMRIGHT, 300, 600, 800, 600},
      {WMSZ_RIGHT, 30, 600, 112, 84},
  };
  for (const auto& d : drags) {
    HeadlessDragFrame(d.edge, d.w, d.h);
    Drain();
    EXPECT_EQ(gHeadless.windowWidth, d.wantW) << d.edge << " " << d.w << "x" << d.h;
    EXPECT_EQ(gHeadless.windowHeight, d.wantH) << d.edge << " " << d.w << "x" << d.h;
  }
  // A maximised window keeps the desktop's shape.
  PlayerWindowProc(kWindow, WM_SIZE, SIZE_MAXIMIZED, Size(1912, 1034));
  EXPECT_EQ(QueuedMessageCount(), 0u);
}

TEST_F(PlayerTest, RunNowPausesUntilTheUserComesBackAndKeepsAUserPause) {
  Open();
  Command(kIdMenuRunNow);
  ASSERT_EQ(gHeadlessDialogs.started.size(), 1u);
  EXPECT_EQ(gHeadlessDialogs.started[0].first, "prismora");
  EXPECT_EQ(gHeadlessDialogs.started[0].second, "/s");
  EXPECT_EQ(gPlayer.paused, 2);
  EXPECT_FALSE(Check(kIdMenuPause)) << "an automatic pause is not the user's";
  int opens = ScriptedCallCount("System_CreateSound");
  Activate();
  EXPECT_EQ(gPlayer.paused, 0);
  EXPECT_FALSE(gPlayer.saverLaunched);
  EXPECT_TRUE(gPlayer.ready);
  EXPECT_GT(ScriptedCallCount("System_CreateSound"), opens) << "the player restarted";
  Activate();
  EXPECT_EQ(ScriptedCallCount("System_CreateSound"), opens + 1) << "one restart per launch";

  Command(kIdMenuPause);
  EXPECT_EQ(gPlayer.paused, 1);
  EXPECT_TRUE(Check(kIdMenuPause));
  Command(kIdMenuRunNow);
  EXPECT_EQ(gPlayer.paused, 1);
  Activate();
  EXPECT_EQ(gPlayer.paused, 1) << "the user's pause survives the saver";
  EXPECT_TRUE(Check(kIdMenuPause));
  Command(kIdMenuPause);
  EXPECT_EQ(gPlayer.paused, 0);
}

TEST_F(PlayerTest, PauseClearsAnAutomaticPause) {
  Open();
  Command(kIdMenuRunNow);
  ASSERT_EQ(gPlayer.paused, 2);
  Command(kIdMenuPause);
  EXPECT_EQ(gPlayer.paused, 0);
  EXPECT_FALSE(Check(kIdMenuPause));
}

TEST_F(PlayerTest, LaunchesStartThePromptedModeAndSayWhenTheSaverIsMissing) {
  Open();
  const struct {
    int id;
    const char* argument;
    const char* failure;
  } launches[] = {
      {kIdMenuSettings, "--settings", "Couldn't find prismora to display the settings!"},
      {kIdMenuRunNow, "/s", "Couldn't find prismora!"},
  };
  for (const auto& l : launches) {
    gHeadlessDialogs.failLaunch = false;
    gHeadlessDialogs.started.clear();
    gHeadless.messageBoxes.clear();
    Command(l.id);
    ASSERT_EQ(gHeadlessDialogs.started.size(), 1u);
    EXPECT_EQ(gHeadlessDialogs.started[0].second, l.argument);
    EXPECT_TRUE(gHeadless.messageBoxes.empty());
    Activate();
    gHeadlessDialogs.failLaunch = true;
    Command(l.id);
    ASSERT_EQ(gHeadless.messageBoxes.size(), 1u) << l.argument;
    EXPECT_EQ(gHeadless.messageBoxes[0].text, l.failure);
    EXPECT_EQ(gHeadless.messageBoxes[0].caption, "Prismora");
    EXPECT_EQ(gHeadless.messageBoxes[0].flags, uint32_t(MB_TOPMOST | MB_ICONERROR));
    // The flag stays: coming back still restarts.
    EXPECT_TRUE(gPlayer.settingsLaunched || gPlayer.saverLaunched);
    int opens = ScriptedCallCount("System_CreateSound");
    Activate();
    EXPECT_FALSE(gPlayer.settingsLaunched || gPlayer.saverLaunched);
    EXPECT_GT(ScriptedCallCount("System_CreateSound"), opens);
    EXPECT_EQ(gPlayer.paused, 0);
  }
}

TEST_F(PlayerTest, MinimisedOrPausedItSleepsAndDrawsNothing) {
  Open();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(PlayerLoopStep());
  unsigned running = gHeadless.presentCount;
  EXPECT_GE(running, 5u);

  // Minimised: the loop sleeps, a second of the clock, until the window is
  // restored.
  static uint64_t since;
  static unsigned presentsAtWake;
  static bool woken;
  since = gHeadless.waitedMilliseconds;
  woken = false;
  gFrameWindows->show(kWindow, kShowMinimised);
  gHeadless.onPump = [] {
    if (woken || gHeadless.waitedMilliseconds - since < 1000) return;
    woken = true;
    presentsAtWake = gHeadless.presentCount;
    gFrameWindows->show(kWindow, kShowNormal);
  };
  while (!woken) ASSERT_TRUE(PlayerLoopStep());
  EXPECT_EQ(presentsAtWake, running) << "no frames while minimised";
  gHeadless.onPump = nullptr;
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(PlayerLoopStep());
  EXPECT_TRUE(gPlayer.active);
  EXPECT_GT(gHeadless.presentCount, running) << "restored, frames resume";

  // Paused by the user: the same.
  running = gHeadless.presentCount;
  Command(kIdMenuPause);
  since = gHeadless.waitedMilliseconds;
  woken = false;
  gHeadless.onPump = [] {
    if (woken || gHeadless.waitedMilliseconds - since < 1000) return;
    woken = true;
    presentsAtWake = gHeadless.presentCount;
    PostMessage(kWindow, WM_COMMAND, kIdMenuPause, 0);
  };
  while (!woken) ASSERT_TRUE(PlayerLoopStep());
  EXPECT_EQ(presentsAtWake, running) << "no frames while paused";
  gHeadless.onPump = nullptr;
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(PlayerLoopStep());
  EXPECT_EQ(gPlayer.paused, 0);
  EXPECT_GT(gHeadless.presentCount, running);
}

// Covered, unmapped or minimised by a window manager: the host says the
// window cannot be seen. Frames stop, the music plays on (looked after by a
// slow timer, so a playlist still moves on) and nothing of the run is lost.
TEST_F(PlayerTest, HiddenItDrawsNothingWhileItsMusicPlaysOn) {
  Open();
  ASSERT_TRUE(EngineState.musicSelected) << "a first run plays the built-in track";
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(PlayerLoopStep());
  static unsigned presentsAtShow;
  static uint64_t since;
  static bool shown, hiddenAtShow;
  const unsigned running = gHeadless.presentCount;
  const size_t soundCalls = gScriptedSound.calls.size();
  FMOD_CHANNEL* channel = gChannel;
  const uint32_t pattern = gCurrentPattern;
  ASSERT_NE(channel, nullptr);

  PostMessage(kWindow, WM_SHOWWINDOW, 0, 0);
  since = gHeadless.waitedMilliseconds;
  shown = false;
  gHeadless.onPump = [] {
    if (shown || gHeadless.waitedMilliseconds - since < 1000) return;
    shown = true;
    presentsAtShow = gHeadless.presentCount;
    hiddenAtShow = gPlayer.hidden;
    PostMessage(kWindow, WM_SHOWWINDOW, 1, 0);
  };
  int steps = 0;
  for (; !shown; ++steps) ASSERT_TRUE(PlayerLoopStep());
  gHeadless.onPump = nullptr;
  EXPECT_EQ(presentsAtShow, running) << "no frames while hidden";
  EXPECT_TRUE(hiddenAtShow);
  // The hide, the music's timer about every 200 ms of the second, the show.
  EXPECT_GE(steps, 5);
  EXPECT_LE(steps, 9);
  EXPECT_EQ(gChannel, channel) << "the music plays on";
  for (size_t i = soundCalls; i < gScriptedSound.calls.size(); ++i) {
    const std::string& call = gScriptedSound.calls[i];
    EXPECT_TRUE(call.rfind("System_Close", 0) != 0 && call.rfind("Sound_Release", 0) != 0 &&
                call.rfind("Channel_SetPaused", 0) != 0)
        << call;
  }

  for (int i = 0; i < 4; ++i) ASSERT_TRUE(PlayerLoopStep());
  EXPECT_FALSE(gPlayer.hidden);
  EXPECT_GT(gHeadless.presentCount, running) << "shown again, frames resume";
  EXPECT_EQ(gCurrentPattern, pattern) << "from where they stopped";
  EXPECT_EQ(gChannel, channel);
  EXPECT_FALSE(KillTimer(kWindow, kPlayerMusicTimerId)) << "the music's timer stopped with the hide";
}

TEST_F(PlayerTest, MemoryItemsSayWhenTheyTakeEffectEveryTime) {
  Open();
  const struct {
    int id;
    int32_t stored;
  } picks[] = {
      {kIdMenuSystemMemory, 1}, {kIdMenuSystemMemory, 1}, {kIdMenuVideoMemory, 0}, {kIdMenuVideoMemory, 0}};
  size_t boxes = 0;
  for (const auto& p : picks) {
    Command(p.id);
    ASSERT_EQ(gHeadless.messageBoxes.size(), ++boxes);
    EXPECT_EQ(gHeadless.messageBoxes.back().text,
              "This setting will take effect next time you start the program.");
    EXPECT_EQ(gHeadless.messageBoxes.back().caption, "Prismora");
    EXPECT_EQ(gHeadless.messageBoxes.back().flags, uint32_t(MB_ICONINFORMATION));
    EXPECT_EQ(Stored("Use System Memory"), p.stored);
    EXPECT_EQ(Check(kIdMenuSystemMemory), p.stored == 1);
    EXPECT_EQ(Check(kIdMenuVideoMemory), p.stored == 0);
  }
}

TEST_F(PlayerTest, EveryOptionCommandAppliesAndWritesAllWindowOptions) {
  Open();
  const struct {
    int id;
    const char* name;
    int32_t value;
  } commands[] = {
      {kIdMenuAlwaysOnTop, "Always On Top", 0},
      {kIdMenuMusic, "Play Music", 0},
      {kIdMenuLowDensity, "Low Density", 1},
      {kIdMenuPriorityNormal, "Low Priority", 0},
      {kIdMenuSystemMemory, "Use System Memory", 1},
      {kIdMenuPriorityLow, "Low Priority", 1},
      {kIdMenuMusic, "Play Music", 1},
      {kIdMenuAlwaysOnTop, "Always On Top", 1},
  };
  int32_t left = 500;
  for (const auto& c : commands) {
    // The window moved since the last write: every value is written again.
    gHeadless.frameLeft = ++left;
    Command(c.id);
    EXPECT_EQ(Stored(c.name), c.value) << c.name;
    EXPECT_EQ(Stored("Window Left"), left) << c.name;
    for (const WindowOptionField& f : kWindowOptionFields)
      EXPECT_EQ(Stored(f.name), gWindowOptions.*f.field) << c.name << ": " << f.name;
  }
  EXPECT_TRUE(gHeadless.topmost);
  EXPECT_TRUE(gHeadless.lowPriority);
  EXPECT_NE(gSound, nullptr) << "music on starts it again";
  EXPECT_EQ(EngineState.lowDensity, 1);

  Command(kIdMenuMusic);
  EXPECT_EQ(gSound, nullptr) << "music off closes it";
}

TEST_F(PlayerTest, ClosingWritesThePlacementThatTheNextStartReadsBack) {
  Open();
  HeadlessDragFrame(WMSZ_RIGHT, 400, 250);
  Drain();
  gHeadless.frameLeft = 123;
  gHeadless.frameTop = 45;
  Command(kIdMenuLowDensity);
  gFrameWindows->show(kWindow, kShowMaximised);
  PostMessage(kWindow, WM_CLOSE, 0, 0);
  while (PlayerLoopStep()) {
  }
  EXPECT_FALSE(gHeadless.windowExists);
  EXPECT_EQ(gSound, nullptr);
  WindowOptionsRec written = gWindowOptions;
  EXPECT_EQ(written.WindowLeft, 123);
  EXPECT_EQ(written.WindowTop, 45);
  EXPECT_EQ(written.WindowWidth, int32_t(400 + gHeadless.chromeWidth));
  EXPECT_EQ(written.WindowHeight, int32_t(300 + gHeadless.chromeHeight));
  EXPECT_EQ(written.WindowState, kShowMaximised);

  ResetPlayer();
  gWindowOptions = WindowOptionsRec{};
  LoadWindowSettings();
  for (const WindowOptionField& f : kWindowOptionFields)
    EXPECT_EQ(gWindowOptions.*f.field, written.*f.field) << f.name;
  // And the next start opens there.
  Open();
  EXPECT_EQ(gHeadless.frameLeft, 123);
  EXPECT_EQ(gHeadless.frameWidth, int32_t(400 + gHeadless.chromeWidth));
  EXPECT_EQ(gHeadless.frameShowState, kShowMaximised);
  EXPECT_EQ(EngineState.lowDensity, 1);
}

// Where the window system tells no position, closing keeps the stored one
// and writes the size.
TEST_F(PlayerTest, ClosingKeepsTheStoredPlaceWhenTheWindowHasNoPosition) {
  Open();
  gWindowOptions.WindowLeft = 77;
  gWindowOptions.WindowTop = 88;
  gHeadless.frameLeft = kDefaultPosition;
  gHeadless.frameTop = kDefaultPosition;
  PostMessage(kWindow, WM_CLOSE, 0, 0);
  while (PlayerLoopStep()) {
  }
  EXPECT_EQ(gWindowOptions.WindowLeft, 77);
  EXPECT_EQ(gWindowOptions.WindowTop, 88);
  EXPECT_EQ(gWindowOptions.WindowWidth, gHeadless.frameWidth);
}

TEST_F(PlayerTest, KeysAreTheSaversLessTheFullScreenOnes) {
  Open();
  // Ctrl with a digit is the digit alone.
  RecordKeyDown(VK_CONTROL);
  gMorph.requestedTarget = 77;
  EXPECT_EQ(PlayerWindowProc(kWindow, WM_KEYDOWN, '3', 0), 0);
  EXPECT_EQ(gMorph.requestedTarget, 2);
  RecordKeyUp(VK_CONTROL);

  // F1 and F5 are no commands here.
  EXPECT_NE(PlayerWindowProc(kWindow, WM_KEYDOWN, VK_F1, 0), 0);
  EXPECT_EQ(gTextOverlay.keyHelp, 0);
  EXPECT_NE(PlayerWindowProc(kWindow, WM_KEYDOWN, VK_F5, 0), 0);
  EXPECT_EQ(gHeadless.wallpaperCalls, 0u);

  // Pause goes through the menu, so its mark follows.
  EXPECT_EQ(PlayerWindowProc(kWindow, WM_KEYDOWN, VK_PAUSE, 0), 0);
  EXPECT_EQ(gPlayer.paused, 1);
  EXPECT_TRUE(Check(kIdMenuPause));
  PlayerWindowProc(kWindow, WM_KEYDOWN, VK_PAUSE, 0);
  EXPECT_EQ(gPlayer.paused, 0);
  EXPECT_FALSE(Check(kIdMenuPause));

  // Other keys do nothing and close nothing.
  for (int vk : {int('B'), VK_F1 + 9, int(VK_SHIFT), int(VK_RETURN)}) {
    EXPECT_NE(PlayerWindowProc(kWindow, WM_KEYDOWN, WParam(vk), 0), 0) << vk;
  }
  EXPECT_EQ(QueuedMessageCount(), 0u);
  EXPECT_TRUE(gHeadless.windowExists);
}

TEST_F(PlayerTest, HelpAndAboutOpenAsTheDialogDoes) {
  Open();
  Command(kIdMenuHelpContents);
  ASSERT_EQ(gHeadlessDialogs.browsed.size(), 1u);
  EXPECT_EQ(gHeadlessDialogs.browsed[0], gHelpFilePath);

  gHeadlessDialogs.onModal = [](WindowHandle dialog) {
    HeadlessDialogRec* d = HeadlessFindDialog(dialog);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->source->title, "About Prismora");
    EXPECT_EQ(d->source->width, 162);
    EXPECT_EQ(d->source->height, 65);
    EXPECT_EQ(HeadlessFindControl(dialog, kIdAboutVersion)->text, "Prismora Version " PRISMORA_TEST_VERSION);
    for (bool forward : {true, true, false, false, false}) HeadlessTab(dialog, forward);  // onto the link, OK
    EXPECT_TRUE(gHeadlessDialogs.browsed.size() == 1u && !d->ended) << "focus pressed something";
    HeadlessClick(dialog, kIdAboutLink);
    HeadlessClick(dialog, IDOK);
  };
  Command(kIdMenuAbout);
  ASSERT_EQ(gHeadlessDialogs.browsed.size(), 2u);
  EXPECT_NE(gHeadlessDialogs.browsed[1].find("about.html"), std::string::npos);
  EXPECT_TRUE(gHeadlessDialogs.open.empty());
}

TEST_F(PlayerTest, ExitClosesAndAStartThatFailsEndsQuietly) {
  Open();
  Command(kIdMenuExit);
  EXPECT_EQ(PlayerLoopStep(), true);   // WM_CLOSE
  EXPECT_EQ(PlayerLoopStep(), false);  // WM_QUIT
  EXPECT_FALSE(gHeadless.windowExists);

  ResetPlayer();
  gHeadless.failWindowCreate = true;
  EXPECT_EQ(RunPlayer(), 0);
  EXPECT_TRUE(gHeadless.messageBoxes.empty());
}

TEST_F(PlayerTest, PriorityTheMarkShowsThePriorityTheProgramHasAndARefusalIsTold) {
  // command, the system refuses, mark on Low afterwards, "Low Priority" kept, boxes so far
  const std::tuple<int, bool, bool, int32_t, size_t> steps[] = {
      {kIdMenuPriorityNormal, true, true, 0, 1},  // an ordinary user cannot raise it again
      {kIdMenuPriorityLow, false, true, 1, 1},
      {kIdMenuPriorityNormal, false, false, 0, 1},
      {kIdMenuPriorityLow, true, false, 1, 2},
  };
  Open();
  for (const auto& [command, refuse, markLow, stored, boxes] : steps) {
    gHeadless.failPriority = refuse;
    Command(command);
    EXPECT_EQ(gHeadless.lowPriority, markLow) << "the priority the program has";
    EXPECT_TRUE(Check(kIdMenuPriorityLow) == markLow && Check(kIdMenuPriorityNormal) == !markLow);
    EXPECT_EQ(Stored("Low Priority"), stored);
    EXPECT_EQ(gHeadless.messageBoxes.size(), boxes);
  }
  EXPECT_EQ(
      gHeadless.messageBoxes[0].text,
      "The system did not allow the normal priority, so Prismora keeps running at low priority until you "
      "start it again.");
}
