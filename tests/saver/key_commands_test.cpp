// The saver's command keys through the window procedure: which keys stay
// and which end the saver, the morph, effect and event requests, the
// display switches, paint mode, the grab, the wallpaper, and that no key
// writes the settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/directories.h"
#include "platform/headless/headless.h"
#include "platform/key_state.h"
#include "platform/messages.h"
#include "render/display.h"
#include "render/text_overlay.h"
#include "saver/screen_saver.h"
#include "tests/support/test_host.h"

namespace {

constexpr WindowHandle kWindow = 1;

unsigned PostedCloses() {
  unsigned closes = 0;
  Message m;
  while (PeekMessage(&m, true))
    if (m.message == WM_CLOSE) ++closes;
  return closes;
}

std::string SettingsText() {
  std::ifstream file(ConfigDirectory() + "/settings.reg");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

constexpr int kF(int n) { return VK_F1 + n - 1; }

class KeyCommandsTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    WindowRequest request;
    request.mode = WindowMode::FullScreen;
    ASSERT_EQ(gWindows->create(request), kWindow);
    ASSERT_NE(ScreenSaverProc(kWindow, WM_CREATE, 0, 0), -1);
    PostedCloses();
  }
  LResult Key(int vk) { return ScreenSaverProc(kWindow, WM_KEYDOWN, WParam(vk), 0); }
  // Ctrl held while another key goes down, as the host records it.
  LResult CtrlKey(int vk) {
    RecordKeyDown(VK_CONTROL);
    RecordKeyDown(vk);
    LResult result = Key(vk);
    RecordKeyUp(vk);
    RecordKeyUp(VK_CONTROL);
    return result;
  }
};

TEST_F(KeyCommandsTest, UnassignedKeysEndTheSaverCommandsDoNot) {
  struct Case {
    int vk;
    bool ends;
  } cases[] = {
      {'B', true},     {kF(7), true},       {kF(10), true},    {VK_SHIFT, true}, {VK_MENU, true},
      {VK_LEFT, true}, {'N', false},        {'D', false},      {'Y', false},     {VK_F1, false},
      {kF(12), false}, {VK_CONTROL, false}, {VK_SPACE, false}, {'S', false},     {kF(11), false},
      {'E', false},    {kF(8), false},      {kF(9), false},
  };
  for (const Case& c : cases) {
    LResult result = Key(c.vk);
    EXPECT_EQ(PostedCloses(), c.ends ? 1u : 0u) << "key " << c.vk;
    if (!c.ends) {
      EXPECT_EQ(result, 0) << "key " << c.vk;
    }
  }
}

TEST_F(KeyCommandsTest, DigitsAndCtrlDigitsRequestMorphs) {
  struct Case {
    int vk;
    bool ctrl;
    int target;
  } cases[] = {{'5', false, 4}, {'1', false, 0}, {'0', false, 9}, {'M', false, -1},
               {'5', true, 14}, {'1', true, 10}, {'0', true, 19}, {'9', true, 18}};
  for (const Case& c : cases) {
    gMorph = MorphRec{};
    gMorph.requestedTarget = 77;
    EXPECT_EQ(c.ctrl ? CtrlKey(c.vk) : Key(c.vk), 0);
    EXPECT_EQ(gMorph.morphRequest, 1) << c.vk << " ctrl " << c.ctrl;
    EXPECT_EQ(gMorph.requestedTarget, c.target) << c.vk << " ctrl " << c.ctrl;
  }
  // Ctrl with a key that is no digit stays, and asks nothing.
  gMorph = MorphRec{};
  EXPECT_EQ(CtrlKey('B'), 0);
  EXPECT_EQ(gMorph.morphRequest, 0);
  EXPECT_EQ(PostedCloses(), 0u);
}

TEST_F(KeyCommandsTest, EachEffectKeyRequestsItsOwnEffectAndNoOther) {
  struct Case {
    int vk;
    int effect;  // -1 rest, -2 whirl, -3 burst
  } cases[] = {
      {'A', kLoopTheLoop}, {'C', kFocusOnCentre}, {'F', kFadeHead},
      {'G', kCoriolis},    {'H', kWindmill},      {'I', kTwisty},
      {'J', kFragmented},  {'K', kDoubleBounce},  {'L', kLoopySpeed},
      {'O', kOneColour},   {'Q', kQuicksand},     {'R', kReverse},
      {'T', kFrosted},     {'U', kUltraWide},     {'V', kVariableSpeed},
      {'W', kCentre},      {'X', kSpherical},     {'Y', kTunnel},
      {'Z', kZeroAngle},   {kF(4), kRadialEcho},  {kF(11), kStarTrail},
      {'E', -1},           {kF(9), -2},           {kF(8), -3},
  };
  ASSERT_EQ(sizeof cases / sizeof cases[0], 24u);
  for (const Case& c : cases) {
    ResetEffects();
    EXPECT_EQ(Key(c.vk), 0);
    for (int id = 0; id < kEffectCount; ++id)
      EXPECT_EQ(gEffects.slot[id].toggleRequest, id == c.effect ? 1 : 0)
          << "key " << c.vk << " effect " << id;
    EXPECT_EQ(gEffects.rest.toggleRequest, c.effect == -1 ? 1 : 0) << c.vk;
    EXPECT_EQ(gEffects.whirl.toggleRequest, c.effect == -2 ? 1 : 0) << c.vk;
    EXPECT_EQ(gEffects.burst.toggleRequest, c.effect == -3 ? 1 : 0) << c.vk;
  }
  EXPECT_EQ(PostedCloses(), 0u);
}

TEST_F(KeyCommandsTest, SwitchesToggleInMemoryAndTheFileStaysAsItWas) {
  std::string before = SettingsText();
  ASSERT_FALSE(before.empty());
  struct Case {
    int vk;
    int* flag;
  } cases[] = {
      {'D', &gOptions.DoubleSize},           {'N', &gOptions.ShowNames},
      {VK_F2, &gOptions.SquareTiled},        {VK_F1, &gTextOverlay.keyHelp},
      {kF(6), &gTextOverlay.effectsList},    {kF(12), &gTextOverlay.frameRate},
      {VK_F3, &gEffects.slot[kBallMode].on},
  };
  for (const Case& c : cases) {
    int start = *c.flag;
    gClearRequest = 0;
    Key(c.vk);
    EXPECT_EQ(*c.flag, start ? 0 : 1) << c.vk;
    if (c.vk == VK_F2) {
      EXPECT_EQ(gClearRequest, 1);
    }
    Key(c.vk);
    EXPECT_EQ(*c.flag, start) << "pressed twice, key " << c.vk;
  }
  Key('S');
  Key('P');
  Key('P');
  EXPECT_EQ(SettingsText(), before);
}

TEST_F(KeyCommandsTest, PaintModeKeepsTheFadeOfASpiralAndRestoresThePatternsFade) {
  ASSERT_NE(gPresets, nullptr);
  EngineStateRec& e = EngineState;
  int patternFade = gPresets[gCurrentPattern].FadeSpeed;
  struct Case {
    int spiral;
    int fadeWhilePainting;
  } cases[] = {{0, 0}, {1, 37}};
  for (const Case& c : cases) {
    SetEffect(kPaintMode, 0);
    gPainting = 0;
    e.spiralTrail = c.spiral;
    e.fadeSpeed = 37;
    Key('P');
    EXPECT_TRUE(EffectOn(kPaintMode));
    EXPECT_EQ(gPainting, 1);
    EXPECT_EQ(e.fadeSpeed, c.fadeWhilePainting) << "spiral " << c.spiral;
    // The arms were rebuilt from the fade now in force.
    EXPECT_EQ(e.fadeAge, uint32_t(float(100 - e.fadeSpeed) * float(e.trailLength) / 100));
    Key('P');
    EXPECT_FALSE(EffectOn(kPaintMode));
    EXPECT_EQ(gPainting, 0);
    EXPECT_EQ(e.fadeSpeed, patternFade);
  }
}

TEST_F(KeyCommandsTest, PauseEscapeAndTheGrab) {
  Key(VK_PAUSE);
  EXPECT_TRUE(gPaused);
  Key(VK_PAUSE);
  EXPECT_FALSE(gPaused);
  uint32_t patterns = gPatternCount;
  Key(VK_SPACE);
  EXPECT_EQ(gPatternCount, patterns + 1);
  EXPECT_EQ(gTextOverlay.grabNotice.on, 1);
  EXPECT_EQ(gTextOverlay.grabNotice.endTick, gHeadless.tick + 4000);
  EXPECT_EQ(std::string(gTextOverlay.grabNotice.text), std::string("Grabbed ") + gPresets[patterns].Name);
  EXPECT_GT(gTextOverlay.slots[kFrameRateSlot].right, gTextOverlay.slots[kFrameRateSlot].left);
  EXPECT_EQ(PostedCloses(), 0u);
  Key(VK_ESCAPE);
  EXPECT_EQ(PostedCloses(), 1u);
}

TEST_F(KeyCommandsTest, WallpaperKeyWritesTheFileAndResumesAPausedSaver) {
  ScreenSaverProc(kWindow, WM_TIMER, kFrameTimerId, 0);  // one frame on the screen
  Key(VK_PAUSE);
  ASSERT_TRUE(gPaused);
  EXPECT_EQ(Key(VK_F5), 0);
  EXPECT_FALSE(gPaused);
  EXPECT_TRUE(std::filesystem::exists(DataDirectory() + "/Prismora.bmp"));
  EXPECT_EQ(gHeadless.wallpaperCalls, 1u);
  EXPECT_EQ(gTextOverlay.wallpaperNotice.on, 1);
  EXPECT_EQ(PostedCloses(), 0u);
}

TEST_F(KeyCommandsTest, StartUpWritesTheHelpLinesAndTheName) {
  EXPECT_GT(gTextOverlay.keyHelpHeight, 0u);
  EXPECT_LE(gTextOverlay.keyHelpHeight, kKeyHelpLargest);
  for (int slot : {kKeyHelpSlot1, kKeyHelpSlot2, kNameSlot})
    EXPECT_GT(gTextOverlay.slots[slot].right, gTextOverlay.slots[slot].left) << slot;
  EXPECT_EQ(gTextOverlay.slots[kNameSlot].bottom, int32_t(gScreenHeight));
  // Help and name are written, not shown, until their switches are on.
  EXPECT_EQ(gTextOverlay.keyHelp, 0);
}

}  // namespace
