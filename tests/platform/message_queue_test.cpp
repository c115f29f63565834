// The message queue, its timers and the key state.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/event_source.h"
#include "platform/headless/headless.h"
#include "platform/key_state.h"
#include "platform/messages.h"
#include "tests/support/test_host.h"

class MessageQueueTest : public HeadlessTest {};

TEST_F(MessageQueueTest, TimersFireOnlyWhenNothingElseWaits) {
  SetTimer(1, 200, 1);
  Message m;
  EXPECT_FALSE(PeekMessage(&m, true)) << "not due in the same millisecond";
  HeadlessAdvance(1);
  PostMessage(1, WM_KEYDOWN, 'A', 0);
  PostMessage(1, WM_MOUSEMOVE, 0, 5);
  ASSERT_TRUE(PeekMessage(&m, true));
  EXPECT_EQ(m.message, unsigned(WM_KEYDOWN));
  ASSERT_TRUE(PeekMessage(&m, false));
  EXPECT_EQ(m.message, unsigned(WM_MOUSEMOVE)) << "peeking without removing leaves it";
  ASSERT_TRUE(PeekMessage(&m, true));
  EXPECT_EQ(m.message, unsigned(WM_MOUSEMOVE));
  ASSERT_TRUE(PeekMessage(&m, true));
  EXPECT_EQ(m.message, unsigned(WM_TIMER));
  EXPECT_EQ(m.wParam, 200u);
  EXPECT_FALSE(PeekMessage(&m, true)) << "one tick per period, however long it was due";
  HeadlessAdvance(50);
  ASSERT_TRUE(PeekMessage(&m, true));
  EXPECT_EQ(m.message, unsigned(WM_TIMER));
  EXPECT_FALSE(PeekMessage(&m, true));
}

TEST_F(MessageQueueTest, KillAndRestartTimers) {
  EXPECT_EQ(SetTimer(1, 0, 10), 0u) << "id 0 is refused";
  EXPECT_EQ(SetTimer(1, 7, 10), 7u);
  EXPECT_EQ(SetTimer(1, 7, 30), 7u) << "restarting keeps one timer";
  HeadlessAdvance(10);
  Message m;
  EXPECT_FALSE(PeekMessage(&m, true)) << "the new period counts";
  HeadlessAdvance(20);
  EXPECT_TRUE(PeekMessage(&m, true));
  EXPECT_TRUE(KillTimer(1, 7));
  EXPECT_FALSE(KillTimer(1, 7));
  HeadlessAdvance(100);
  EXPECT_FALSE(PeekMessage(&m, true));
}

TEST_F(MessageQueueTest, GetMessageSleepsUntilTheTimerIsDue) {
  SetTimer(1, 3, 40);
  uint32_t before = GetTickCount();
  Message m;
  ASSERT_TRUE(GetMessage(&m));
  EXPECT_EQ(m.message, unsigned(WM_TIMER));
  EXPECT_EQ(GetTickCount() - before, 40u) << "the wait took exactly the time to the timer";
  PostMessage(1, WM_QUIT, 0, 0);
  EXPECT_FALSE(GetMessage(&m));
}

TEST_F(MessageQueueTest, AHeldTimerSleepsUntilReleasedThenIsDueAtOnce) {
  EXPECT_FALSE(HoldTimer(1, 5, true)) << "holding does not start a timer";
  SetTimer(1, 5, 1);
  SetTimer(1, 6, 1000);
  EXPECT_TRUE(HoldTimer(1, 5, true));
  Message m;
  HeadlessAdvance(50);
  EXPECT_FALSE(PeekMessage(&m, true)) << "held, never due";
  SetTimer(1, 5, 2);
  HeadlessAdvance(50);
  EXPECT_FALSE(PeekMessage(&m, true)) << "a restart keeps the hold";
  uint32_t before = GetTickCount();
  ASSERT_TRUE(GetMessage(&m));
  EXPECT_EQ(m.wParam, 6u) << "the wait sleeps to the timer that is not held";
  EXPECT_EQ(GetTickCount() - before, 900u);
  EXPECT_TRUE(HoldTimer(1, 5, false));
  ASSERT_TRUE(PeekMessage(&m, true));
  EXPECT_EQ(m.wParam, 5u) << "released, due at once";
  EXPECT_FALSE(PeekMessage(&m, true));
  HeadlessAdvance(2);
  ASSERT_TRUE(PeekMessage(&m, true));
  EXPECT_EQ(m.wParam, 5u) << "then on its period again";
}

TEST_F(MessageQueueTest, WaitMillisecondsSleepsTheWholeSpan) {
  uint32_t before = GetTickCount();
  WaitMilliseconds(25);
  EXPECT_EQ(GetTickCount() - before, 25u);
  EXPECT_EQ(gHeadless.waitedMilliseconds, 25u);
  WaitMilliseconds(0);
  EXPECT_EQ(GetTickCount() - before, 25u);
}

TEST_F(MessageQueueTest, TimerSurvivesTheTickCountWrapping) {
  gHeadless.tick = 0xFFFFFFF0u;
  SetTimer(1, 9, 32);
  HeadlessAdvance(31);
  Message m;
  EXPECT_FALSE(PeekMessage(&m, true));
  HeadlessAdvance(1);
  EXPECT_TRUE(PeekMessage(&m, true));
}

TEST_F(MessageQueueTest, KeyStateReportsPressesOncePerQuery) {
  EXPECT_EQ(GetAsyncKeyState('S'), 0);
  RecordKeyDown('S');
  EXPECT_EQ(uint16_t(GetAsyncKeyState('S')), 0x8001u);
  EXPECT_EQ(uint16_t(GetAsyncKeyState('S')), 0x8000u) << "the press bit is cleared by the query";
  RecordKeyUp('S');
  EXPECT_EQ(GetAsyncKeyState('S'), 0);
  RecordKeyDown(VK_F4);
  RecordKeyUp(VK_F4);
  EXPECT_EQ(GetAsyncKeyState(VK_F4), 1) << "a press and release between queries still shows";
  uint8_t keys[256];
  RecordKeyDown(VK_CONTROL);
  GetKeyboardState(keys);
  EXPECT_EQ(keys[VK_CONTROL], 0x80);
  EXPECT_EQ(keys[uint8_t('S')], 0);
  EXPECT_EQ(GetAsyncKeyState(300), 0) << "codes beyond the table are never down";
}
