// A screen-saver host's window: the saver's full rules in one at least 640
// pixels wide, the preview's in a narrower one and for /p; the stored
// "Resolution" survives a run there; one music player among the savers a
// host starts; no frames while the window cannot be seen.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "diag/log.h"
#include "engine/engine_state.h"
#include "patterns/options.h"
#include "patterns/settings_store.h"
#include "platform/headless/headless.h"
#include "platform/headless/scripted_sound.h"
#include "render/display.h"
#include "saver/saver_host.h"
#include "saver/saver_window.h"
#include "saver/screen_saver.h"
#include "tests/support/log_text.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

// What the run looked like once it had started, and how it went on.
struct HostRunRec {
  bool noted = false;
  uint32_t width = 0, height = 0;  // drawing size
  bool preview = false;
  int doubleSize = 0;
  int musicSelected = 0;
  bool turnHeld = false;
  unsigned pumps = 0;
  unsigned closeAt = 200;  // pump that posts WM_CLOSE, unless closeAtMs is set
  // Visibility script, in virtual ms from the first pump: hidden from hideAt
  // to showAt (0: never), closed at closeAtMs.
  uint32_t firstTick = 0;
  uint32_t hideAt = 0, showAt = 0, closeAtMs = 0;
  unsigned presentsAtHide = 0, presentsAtShow = 0;
  unsigned pumpsAtHide = 0, pumpsAtShow = 0;
  int musicUpdatesAtHide = 0, musicUpdatesAtShow = 0;
  bool closed = false;
};

HostRunRec gRun;

void ScriptHostRun() {
  ++gRun.pumps;
  if (!gRun.noted && gFrameTimer != 0) {
    gRun.noted = true;
    gRun.width = gScreenWidth;
    gRun.height = gScreenHeight;
    gRun.preview = fChildPreview;
    gRun.doubleSize = gOptions.DoubleSize;
    gRun.musicSelected = EngineState.musicSelected;
    gRun.turnHeld = gHeadless.musicTurnHeld;
  }
  if (gRun.pumps == 1) gRun.firstTick = gHeadless.tick;
  uint32_t ms = gHeadless.tick - gRun.firstTick;
  if (gRun.hideAt && !gRun.pumpsAtHide && ms >= gRun.hideAt) {
    gRun.presentsAtHide = gHeadless.presentCount;
    gRun.pumpsAtHide = gRun.pumps;
    gRun.musicUpdatesAtHide = gScriptedSound.updates;
    PostMessage(1, WM_SHOWWINDOW, 0, 0);
  }
  if (gRun.showAt && !gRun.pumpsAtShow && ms >= gRun.showAt) {
    gRun.presentsAtShow = gHeadless.presentCount;
    gRun.pumpsAtShow = gRun.pumps;
    gRun.musicUpdatesAtShow = gScriptedSound.updates;
    PostMessage(1, WM_SHOWWINDOW, 1, 0);
  }
  bool closeNow = gRun.closeAtMs ? ms >= gRun.closeAtMs : gRun.pumps >= gRun.closeAt;
  if (closeNow && !gRun.closed) {
    gRun.closed = true;
    PostMessage(1, WM_CLOSE, 0, 0);
  }
}

class HostWindowTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    gRun = HostRunRec{};
    gHeadless.onPump = ScriptHostRun;
    // A desktop of another size than any window here, so that they differ.
    gHeadless.desktopWidth = 2560;
    gHeadless.desktopHeight = 1440;
  }

  // A run in a host's window of that size (/p when preview is set).
  int RunIn(uint32_t width, uint32_t height, bool preview = false) {
    WindowRequest request;
    request.mode = WindowMode::Foreign;
    request.foreignId = 0x400001;
    request.width = width;
    request.height = height;
    if (preview) {
      gWindowMode = 1;
      fChildPreview = true;
    }
    return RunScreenSaver(request);
  }
};

}  // namespace

TEST_F(HostWindowTest, TheWindowsWidthChoosesTheRulesAndTheDrawingSize) {
  struct Case {
    uint32_t width, height;
    bool slashP;
    const char* stored;  // "Resolution" in the store; nullptr: none
    bool full;
    uint32_t drawnWidth, drawnHeight;
    bool fillsMonitor = true;  // false: inside a settings tool's dialog
  } cases[] = {
      {1280, 720, false, nullptr, true, 1280, 720},
      {1920, 1080, false, "1280 x 720", true, 1280, 720},    // a smaller choice that fits
      {1280, 1024, false, "1920 x 1080", true, 1280, 1024},  // a choice too big for the window
      {1920, 1080, false, "1000 x 700", true, 1920, 1080},   // not a size offered
      {640, 400, false, nullptr, true, 640, 400},            // wide enough, if short
      {639, 480, false, nullptr, false, 640, 480},           // a settings tool's preview
      {320, 200, false, "1280 x 720", false, 640, 480},
      {1920, 1080, true, nullptr, false, 640, 480},       // /p is always the preview
      {725, 407, false, nullptr, true, 725, 407, false},  // XScreenSaver 6's preview: drawn, silent
      {1920, 1080, false, nullptr, true, 1920, 1080, false},
  };
  const WindowService* service = gWindows;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + (c.slashP ? " /p" : "") + " " +
                 (c.stored ? c.stored : "(none stored)"));
    TearDown();
    SetUp();
    if (c.stored) StoreText(kMainKeyPath, "Resolution", c.stored);
    gHeadless.foreignFillsMonitor = c.fillsMonitor;
    EXPECT_EQ(RunIn(c.width, c.height, c.slashP), 0);
    ASSERT_TRUE(gRun.noted);
    EXPECT_EQ(gRun.width, c.drawnWidth);
    EXPECT_EQ(gRun.height, c.drawnHeight);
    EXPECT_EQ(gHeadless.lastFrame.width, c.drawnWidth) << "what was presented";
    EXPECT_EQ(gRun.preview, !c.full);
    EXPECT_EQ(gRun.doubleSize, c.full ? 0 : 1) << "particles double size only in a preview";
    EXPECT_EQ(gRun.musicSelected, c.full && c.fillsMonitor ? 1 : 0) << "music only on a whole monitor";
    EXPECT_EQ(gRun.turnHeld, c.full && c.fillsMonitor) << "no turn taken for a silent window";
    EXPECT_EQ(gWindows, service) << "the window service is itself again after the run";
    if (c.full) {
      // The monitor's size is not the user's desktop choice: nothing stored changes.
      EXPECT_EQ(StoredText(kMainKeyPath, "Resolution"), c.stored ? c.stored : "<missing>");
      EXPECT_EQ(StoredDword(kMainKeyPath, "Max FPS"), 85) << "the other options are still written";
    }
  }
}

TEST_F(HostWindowTest, OneSaverAmongAHostsPlaysTheMusic) {
  struct Case {
    bool turnTakenElsewhere;
    int musicIndex;
    bool plays;
  } cases[] = {
      {false, 0, true},
      {true, 0, false},
      {false, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.turnTakenElsewhere ? "turn taken" : "turn free") + ", music index " +
                 std::to_string(c.musicIndex));
    TearDown();
    SetUp();
    gHeadless.musicTurnTaken = c.turnTakenElsewhere;
    StoreDword(kMainKeyPath, "Music Index", c.musicIndex);
    EXPECT_EQ(RunIn(1920, 1080), 0);
    ASSERT_TRUE(gRun.noted);
    EXPECT_EQ(gRun.musicSelected, c.plays ? 1 : 0);
    EXPECT_EQ(gRun.turnHeld, c.plays);
    EXPECT_FALSE(gHeadless.musicTurnHeld) << "the turn is given up when the saver stops";
    EXPECT_EQ(LogText().find("another saver of this user plays the music") != std::string::npos,
              c.turnTakenElsewhere)
        << LogText();
  }
}

// A host's window, the saver's own window (--window) and full screen (/s):
// whatever kind of window it is, nothing is drawn while it cannot be seen.
class HiddenWindowTest : public HostWindowTest, public ::testing::WithParamInterface<WindowMode> {};

TEST_P(HiddenWindowTest, NothingIsDrawnWhileTheWindowCannotBeSeen) {
  gRun.hideAt = 2000;
  gRun.showAt = 12000;
  gRun.closeAtMs = 14000;
  WindowRequest request;
  request.mode = GetParam();
  if (request.mode == WindowMode::Foreign) {
    request.foreignId = 0x400001;
    request.width = 1280;
    request.height = 720;
  } else if (request.mode == WindowMode::Ordinary) {
    gWindowMode = 1;
  }
  EXPECT_EQ(RunScreenSaver(request), 0);
  ASSERT_GT(gRun.presentsAtHide, 10u) << "frames ran before";
  // A frame under way when the window went may still be shown; none after.
  EXPECT_LE(gRun.presentsAtShow, gRun.presentsAtHide + 1);
  EXPECT_GT(gHeadless.presentCount, gRun.presentsAtShow + 10) << "frames resume once it shows";
  // Hidden for 10 s, the program sleeps in its wait instead of waking every
  // millisecond (10000 pumps): a few dozen wakes a second at most.
  EXPECT_LE(gRun.pumpsAtShow - gRun.pumpsAtHide, 400u);
}

INSTANTIATE_TEST_SUITE_P(EveryKindOfWindow, HiddenWindowTest,
                         ::testing::Values(WindowMode::Foreign, WindowMode::Ordinary, WindowMode::FullScreen),
                         [](const ::testing::TestParamInfo<WindowMode>& mode) {
                           switch (mode.param) {
                             case WindowMode::Foreign:
                               return "HostsWindow";
                             case WindowMode::Ordinary:
                               return "OrdinaryWindow";
                             default:
                               return "FullScreen";
                           }
                         });

TEST_F(HostWindowTest, TheMusicIsStillLookedAfterWhileTheWindowCannotBeSeen) {
  // Without this a track that ended while hidden would be followed by the
  // next one only once frames come back.
  gScriptedSound.embeddedTrack = std::string(4096, 'm');
  gRun.hideAt = 2000;
  gRun.showAt = 12000;
  gRun.closeAtMs = 14000;
  EXPECT_EQ(RunIn(1280, 720), 0);
  ASSERT_TRUE(gRun.musicSelected);
  int hiddenUpdates = gRun.musicUpdatesAtShow - gRun.musicUpdatesAtHide;
  // Four a second for 10 s, give or take the edges.
  EXPECT_GE(hiddenUpdates, 30);
  EXPECT_LE(hiddenUpdates, 50);
  EXPECT_LE(gRun.pumpsAtShow - gRun.pumpsAtHide, 400u) << "still asleep between them";
}
