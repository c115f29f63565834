// The window procedure: closing, input, power events, restart, frames.
#include <gtest/gtest.h>

#include "engine/morph.h"
#include "engine/particles.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "platform/key_state.h"
#include "platform/messages.h"
#include "render/display.h"
#include "saver/saver_host.h"
#include "saver/screen_saver.h"
#include "tests/support/test_host.h"

namespace {

constexpr WindowHandle kWindow = 1;

LParam Point(int x, int y) { return LParam(uint32_t(x) | (uint32_t(y) << 16)); }

// Counts the WM_CLOSE messages that the default handling has posted.
unsigned PostedCloses() {
  unsigned closes = 0;
  Message m;
  while (PeekMessage(&m, true))
    if (m.message == WM_CLOSE) ++closes;
  return closes;
}

}  // namespace

class ScreenSaverProcTest : public HeadlessTest {
 protected:
  void Create() {
    WindowRequest request;
    request.mode = WindowMode::FullScreen;
    ASSERT_EQ(gWindows->create(request), kWindow);
    ASSERT_NE(ScreenSaverProc(kWindow, WM_CREATE, 0, 0), -1);
  }
};

TEST_F(ScreenSaverProcTest, FirstMessageLoadsSettingsWhateverItIs) {
  EXPECT_TRUE(gFirstMessage);
  ScreenSaverProc(kWindow, WM_ENABLE, 0, 0);
  EXPECT_FALSE(gFirstMessage);
  EXPECT_FALSE(gWindowEnabled);
  ASSERT_NE(gPresets, nullptr);
  EXPECT_EQ(gPatternCount, 20u);
  EXPECT_EQ(gCurrentPattern, 17u);
}

TEST_F(ScreenSaverProcTest, CreateStartsTheSaverAndTheFrameTimer) {
  gHeadless.tick = 7777;
  Create();
  EXPECT_EQ(gStartTick, 7777u);
  EXPECT_NE(gFrameTimer, 0u);
  EXPECT_EQ(gScreenWidth, 1920u) << "full screen draws at the desktop's size";
  EXPECT_EQ(gScreenHeight, 1080u);
  EXPECT_TRUE(gSurfacesReady);
  EXPECT_FALSE(gClosing);
  EXPECT_EQ(gOptions.DoubleSize, 0);
}

TEST_F(ScreenSaverProcTest, CreateIsRefusedWhenTheDisplayCannotStart) {
  gHeadless.depths = 0;
  EXPECT_EQ(ScreenSaverProc(kWindow, WM_CREATE, 0, 0), -1);
  EXPECT_EQ(gFrameTimer, 0u) << "no timer after a failed start";
}

TEST_F(ScreenSaverProcTest, PreviewDrawsDoubleSizeWithoutMusic) {
  fChildPreview = true;
  gWindowMode = 1;
  Create();
  EXPECT_EQ(gOptions.DoubleSize, 1);
  EXPECT_EQ(gScreenWidth, 640u);
  EXPECT_EQ(gScreenHeight, 480u);
}

TEST_F(ScreenSaverProcTest, TimerTicksDriveFramesUnlessPausedOrClosing) {
  Create();
  PostMessage(kWindow, WM_KEYUP, 0, 0);  // makes the frame leave after its first step
  ScreenSaverProc(kWindow, WM_TIMER, kFrameTimerId, 0);
  EXPECT_EQ(gHeadless.presentCount, 1u);
  ScreenSaverProc(kWindow, WM_TIMER, 199, 0);
  EXPECT_EQ(gHeadless.presentCount, 1u) << "another timer draws nothing";
  gPaused = true;
  ScreenSaverProc(kWindow, WM_TIMER, kFrameTimerId, 0);
  EXPECT_EQ(gHeadless.presentCount, 1u);
  gPaused = false;
  gClosing = true;
  ScreenSaverProc(kWindow, WM_TIMER, kFrameTimerId, 0);
  EXPECT_EQ(gHeadless.presentCount, 1u);
}

TEST_F(ScreenSaverProcTest, PaletteChangeSwallowsExactlyOneClose) {
  Create();
  ScreenSaverProc(kWindow, WM_PALETTECHANGED, 0, 0);
  EXPECT_EQ(ScreenSaverProc(kWindow, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(gClosing);
  EXPECT_TRUE(gHeadless.windowExists);
  ScreenSaverProc(kWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(gClosing);
  EXPECT_FALSE(gHeadless.windowExists) << "the second close destroys the window";
  EXPECT_EQ(gFrameTimer, 0u);
  EXPECT_FALSE(gSurfacesReady);
  Message quit;
  ASSERT_TRUE(PeekMessage(&quit, true));
  EXPECT_EQ(quit.message, unsigned(WM_QUIT));
}

TEST_F(ScreenSaverProcTest, OldNtIgnoresEarlyClosesWithoutInput) {
  struct Case {
    uint32_t msAfterStart;
    bool inputSeen;
    bool closes;
  } cases[] = {{0, false, false}, {4999, false, false}, {5000, false, true}, {100, true, true}};
  for (const Case& c : cases) {
    InstallHeadlessHost();
    ResetSaver();
    ResetSaverHost();
    ResetMessageQueue();
    Create();
    gOldWindowsNT = true;
    gIgnoreNextClose = !c.closes;  // a close that goes ahead must not meet a pending swallow
    gInputSeen = c.inputSeen;
    gHeadless.tick += c.msAfterStart;
    ScreenSaverProc(kWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(gClosing, c.closes) << c.msAfterStart << " " << c.inputSeen;
    if (!c.closes) {
      EXPECT_FALSE(gIgnoreNextClose) << "the early swallow also clears the palette flag";
    }
    StopSaver(kWindow);
  }
}

TEST_F(ScreenSaverProcTest, MouseNearTheCentreIsIgnored) {
  Create();
  const int cx = 960, cy = 540;
  // The first move that reaches the default handling only sets where the
  // mouse was; the second, far from it, ends the saver.
  struct Case {
    int x, y;
    LResult result;
    bool inputSeen;
  } cases[] = {
      {cx, cy, 1, false},    {cx + 3, cy - 3, 1, false}, {cx - 3, cy + 3, 1, false},
      {cx + 4, cy, 0, true}, {cx, cy - 4, 0, true},
  };
  for (const Case& c : cases) {
    gInputSeen = false;
    EXPECT_EQ(ScreenSaverProc(kWindow, WM_MOUSEMOVE, 0, Point(c.x, c.y)), c.result) << c.x << "," << c.y;
    EXPECT_EQ(gInputSeen, c.inputSeen) << c.x << "," << c.y;
  }
  EXPECT_EQ(PostedCloses(), 0u) << "small moves from the first position are jitter";
  ScreenSaverProc(kWindow, WM_MOUSEMOVE, 0, Point(100, 100));
  EXPECT_EQ(PostedCloses(), 1u);
}

TEST_F(ScreenSaverProcTest, NoMouseMoveKeepsTheSaverButButtonsEndIt) {
  Create();
  gOptions.NoMouseMove = 1;
  EXPECT_EQ(ScreenSaverProc(kWindow, WM_MOUSEMOVE, 0, Point(10, 10)), 1);
  EXPECT_EQ(ScreenSaverProc(kWindow, WM_MOUSEMOVE, 0, Point(1500, 900)), 1);
  EXPECT_EQ(PostedCloses(), 0u);
  EXPECT_FALSE(gInputSeen);
  ScreenSaverProc(kWindow, WM_LBUTTONDOWN, 0, Point(10, 10));
  EXPECT_TRUE(gInputSeen);
  EXPECT_EQ(PostedCloses(), 1u);
}

TEST_F(ScreenSaverProcTest, CtrlHeldConsumesEveryKeyAndButton) {
  Create();
  RecordKeyDown(VK_CONTROL);
  for (uint32_t message :
       {WM_KEYDOWN, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN})
    EXPECT_EQ(ScreenSaverProc(kWindow, message, 'B', 0), 0) << message;
  EXPECT_EQ(PostedCloses(), 0u);
  EXPECT_FALSE(gInputSeen);
  EXPECT_EQ(gMorph.morphRequest, 0) << "no digit held";
}

TEST_F(ScreenSaverProcTest, CtrlDigitsRequestPatternsTenToNineteen) {
  Create();
  struct Case {
    int digits[2];
    int target;
  } cases[] = {{{'1', 0}, 10}, {{'5', 0}, 14}, {{'9', 0}, 18}, {{'0', 0}, 19}, {{'0', '3'}, 12}};
  for (const Case& c : cases) {
    ResetKeyState();
    ResetMorph();
    RecordKeyDown(VK_CONTROL);
    for (int vk : c.digits)
      if (vk) RecordKeyDown(vk);
    EXPECT_EQ(ScreenSaverProc(kWindow, WM_KEYDOWN, WParam(c.digits[0]), 0), 0);
    EXPECT_EQ(gMorph.morphRequest, 1);
    EXPECT_EQ(gMorph.requestedTarget, c.target) << char(c.digits[0]);
  }
}

TEST_F(ScreenSaverProcTest, CommandKeysStayAndOtherInputEndsTheSaver) {
  Create();
  EXPECT_EQ(ScreenSaverProc(kWindow, WM_KEYDOWN, '5', 0), 0);
  EXPECT_EQ(gMorph.requestedTarget, 4);
  EXPECT_EQ(ScreenSaverProc(kWindow, WM_KEYDOWN, VK_PAUSE, 0), 0);
  EXPECT_TRUE(gPaused);
  EXPECT_EQ(PostedCloses(), 0u);
  EXPECT_FALSE(gInputSeen);
  // Paused frames stop, but the saver still closes on input.
  ScreenSaverProc(kWindow, WM_KEYDOWN, 'B', 0);
  EXPECT_TRUE(gInputSeen);
  EXPECT_EQ(PostedCloses(), 1u);
  // System keys never reach the command table.
  ScreenSaverProc(kWindow, WM_SYSKEYDOWN, '5', 0);
  EXPECT_EQ(PostedCloses(), 1u);
  ScreenSaverProc(kWindow, WM_RBUTTONDOWN, 0, 0);
  EXPECT_EQ(PostedCloses(), 1u);
  // Key releases and characters pass by without ending anything.
  ScreenSaverProc(kWindow, WM_KEYUP, 'B', 0);
  ScreenSaverProc(kWindow, WM_CHAR, 'b', 0);
  EXPECT_EQ(PostedCloses(), 0u);
}

TEST_F(ScreenSaverProcTest, PowerEventsAndTheSuspendCount) {
  Create();
  struct Case {
    WParam event;
    LResult result;
    int count;
    bool paused;
  } cases[] = {
      {PBT_APMSUSPEND, 0, 1, true},
      {PBT_APMRESUMESUSPEND, 0, 0, false},
      {PBT_APMQUERYSUSPEND, 0, 1, true},
      {PBT_APMBATTERYLOW, 0, 2, true},
      {PBT_APMRESUMESUSPEND, 0, 1, true},
      {PBT_APMRESUMESUSPEND, 0, 0, false},
      {PBT_APMRESUMESUSPEND, 0, -1, true},
      {1, BROADCAST_QUERY_DENY, -1, true},
      {PBT_APMPOWERSTATUSCHANGE, BROADCAST_QUERY_DENY, -1, true},
      {PBT_APMSUSPEND, 0, 0, false},
  };
  for (WParam denied : {2, 3, 5, 6, 8, 11, 0x8013})
    EXPECT_EQ(ScreenSaverProc(kWindow, WM_POWERBROADCAST, denied, 0), BROADCAST_QUERY_DENY) << denied;
  for (const Case& c : cases) {
    EXPECT_EQ(ScreenSaverProc(kWindow, WM_POWERBROADCAST, c.event, 0), c.result) << c.event;
    EXPECT_EQ(gSuspendCount, c.count) << c.event;
    EXPECT_EQ(gPaused, c.paused) << c.event;
  }
}

TEST_F(ScreenSaverProcTest, MonitorPowerOffStopsTheSaverOnce) {
  Create();
  ScreenSaverProc(kWindow, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
  EXPECT_TRUE(gClosing);
  EXPECT_TRUE(gMonitorPowerOff);
  EXPECT_EQ(gFrameTimer, 0u);
  EXPECT_EQ(gPresets, nullptr);
  // The later close stops again, harmlessly, and ends the program.
  ScreenSaverProc(kWindow, WM_CLOSE, 0, 0);
  EXPECT_FALSE(gHeadless.windowExists);
}

TEST_F(ScreenSaverProcTest, PasswordCheckRestartsTheSaverAtTheNextPaint) {
  Create();
  EXPECT_EQ(ScreenSaverProc(kWindow, SCRM_VERIFYPW, 0, 0), 1) << "closing may go ahead";
  EXPECT_TRUE(gPasswordChecked);
  ScreenSaverProc(kWindow, WM_NCPAINT, 1, 0);
  EXPECT_TRUE(gPasswordChecked) << "wParam 1 does not restart";
  gWindowEnabled = false;
  ScreenSaverProc(kWindow, WM_NCPAINT, 0, 0);
  EXPECT_TRUE(gPasswordChecked) << "a disabled window does not restart";
  gWindowEnabled = true;
  SpawnParticle();
  gHeadless.tick += 1234;
  ScreenSaverProc(kWindow, WM_NCPAINT, 0, 0);
  EXPECT_FALSE(gPasswordChecked);
  EXPECT_EQ(gStartTick, gHeadless.tick);
  EXPECT_EQ(LiveParticleCount(), 0u) << "the engine started afresh";
  EXPECT_NE(gFrameTimer, 0u);
  EXPECT_TRUE(gSurfacesReady);
}

TEST_F(ScreenSaverProcTest, StopIsSafeToRepeat) {
  Create();
  StopSaver(kWindow);
  StopSaver(kWindow);
  EXPECT_EQ(gPresets, nullptr);
  EXPECT_FALSE(gSurfacesReady);
}
