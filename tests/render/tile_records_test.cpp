// The display's tile records: which tiles a present names as changed, and
// real frames of every kind drawn with them. After every frame the window's
// picture, updated only in the tiles named, must equal the back surface, and
// the back surface must equal what whole clears give over the same frames.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "platform/headless/headless.h"
#include "platform/window.h"
#include "render/display.h"
#include "render/frame_renderer.h"
#include "render/pixel_format.h"
#include "render/renderer_state.h"
#include "render/text_overlay.h"
#include "saver/program_reset.h"
#include "tests/support/test_host.h"

namespace {

using TileSet = std::set<std::pair<uint32_t, uint32_t>>;  // (column, row)

// The tiles the last present named.
TileSet ChangedTiles() {
  TileSet tiles;
  uint32_t columns = FrameTileColumns(gHeadless.lastFrame.width);
  for (size_t i = 0; i < gHeadless.lastChangedTiles.size(); ++i)
    if (gHeadless.lastChangedTiles[i]) tiles.insert({uint32_t(i % columns), uint32_t(i / columns)});
  return tiles;
}

// Checks every present: the window's picture against the frame handed over
// (the back surface itself), and a hash of each frame for the comparison.
struct PresentCheckRec {
  const WindowService* headless = nullptr;
  WindowService checking{};
  std::vector<uint64_t> hashes;
  unsigned partialPresents = 0;
  unsigned inWindowMemory = 0;  // frames whose pixels were memory the window gave
  std::string firstDifference;  // empty while the picture always matched
};
PresentCheckRec gCheck;

void CheckingPresent(WindowHandle window, const FrameImage& frame) {
  gCheck.headless->present(window, frame);
  if (frame.changedTiles) gCheck.partialPresents += 1;
  for (const uint8_t* memory : gHeadless.frameMemoryHeld)
    if (frame.pixels == memory) gCheck.inWindowMemory += 1;
  uint32_t rowBytes = frame.width * (frame.bitsPerPixel / 8);
  uint64_t hash = 14695981039346656037ull;
  for (uint32_t y = 0; y < frame.height; ++y) {
    const uint8_t* row = frame.pixels + size_t(y) * frame.pitch;
    for (uint32_t i = 0; i < rowBytes; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
    const uint8_t* shown = gHeadless.shownPixels.data() + size_t(y) * frame.pitch;
    if (!gCheck.firstDifference.empty() || std::memcmp(row, shown, rowBytes) == 0) continue;
    uint32_t x = 0;
    while (row[x] == shown[x]) ++x;
    x /= frame.bitsPerPixel / 8;
    gCheck.firstDifference = "frame " + std::to_string(gCheck.hashes.size()) + " pixel (" +
                             std::to_string(x) + ", " + std::to_string(y) + ")";
  }
  gCheck.hashes.push_back(hash);
}

void InstallCheckingPresent() {
  gCheck = PresentCheckRec{};
  gCheck.headless = gWindows;
  gCheck.checking = *gWindows;
  gCheck.checking.present = CheckingPresent;
  gWindows = &gCheck.checking;
}

struct Scenario {
  const char* name;
  uint32_t depth;  // forced, 0 chooses
  uint32_t width, height;
  unsigned pattern;
  void (*setup)();
  void (*between)(int call);  // before each second of simulation
  int seconds;
};

void Nothing() {}
void NothingBetween(int) {}

void BackgroundOn() {
  gOptions.BackgroundBrightness = 120;
  DDCreateBgSurface();
  gUseBackground = 1;
}

void TextOn() {
  gOptions.ShowNames = 1;
  DrawTextSlot(true, 16, "Next", "Current", 0.5f, true, kNameSlot, 0, false);
  gTextOverlay.frameRate = 1;
  gTextOverlay.effectsList = 1;
  gTextOverlay.keyHelp = 1;
  DrawKeyHelpLines();
}

const Scenario kScenarios[] = {
    {"plain clear, edge tiles cut short", 32, 650, 470, 0, Nothing, NothingBetween, 3},
    {"plain clear at 24 bits", 24, 640, 480, 2, Nothing, NothingBetween, 2},
    {"plain clear at 16 bits", 16, 640, 480, 7, Nothing, NothingBetween, 2},
    {"background picture, switched off and on, redrawn brighter", 32, 640, 480, 1, BackgroundOn,
     [](int call) {
       if (call == 1) gUseBackground = 0;
       if (call == 2) gUseBackground = 1;
       if (call == 3) {
         gOptions.BackgroundBrightness = 250;
         DDCreateBgSurface();
       }
     },
     5},
    {"background picture at 16 bits", 16, 640, 480, 3, BackgroundOn, NothingBetween, 2},
    {"painting without a clear", 32, 640, 480, 4, [] { SetEffect(kPaintMode, 1); },
     [](int) { gClearRequest = 0; }, 3},
    {"painting with a clear request", 32, 640, 480, 4, [] { SetEffect(kPaintMode, 1); },
     [](int call) {
       if (call == 2) gClearRequest = 1;
     },
     3},
    {"square tiled", 32, 640, 480, 0, [] { gOptions.SquareTiled = 1; }, NothingBetween, 2},
    {"double size, mirrored", 32, 640, 480, 5,
     [] {
       gOptions.DoubleSize = 1;
       SetEffect(kMirroredRadial, 1);
     },
     NothingBetween, 2},
    {"balls", 32, 640, 480, 6, [] { SetEffect(kBallMode, 1); }, NothingBetween, 3},
    {"stars", 32, 640, 480, 8, [] { SetEffect(kStarTrail, 1); }, NothingBetween, 3},
    {"sphere", 32, 640, 480, 0, [] { SetEffect(kSpherical, 1); }, NothingBetween, 3},
    {"text: names, frame rate, effects list, key help, a notice that ends", 32, 640, 480, 9, TextOn,
     [](int call) {
       if (call == 1) ShowTimedNotice(&gTextOverlay.grabNotice, "Grabbed it");
       if (call == 2) SetEffect(kTwisty, 1);
       if (call == 3) HeadlessAdvance(5000);
     },
     5},
    {"text at 24 bits over the background", 24, 640, 480, 10,
     [] {
       BackgroundOn();
       TextOn();
     },
     [](int call) {
       if (call == 1) SetEffect(kColourfulArms, 1);
     },
     3},
    {"a surface lost and restored", 32, 640, 480, 11, Nothing,
     [](int call) {
       if (call == 1) DDSimulateSurfaceLoss(1);
     },
     3},
    {"the display made again at another size and depth", 32, 640, 480, 13, Nothing,
     [](int call) {
       if (call != 1) return;
       gScreenWidth = 720;
       gScreenHeight = 400;
       gForcedDepth = 16;
       DDInitialise(1);
       gCentreX = gCentreY = 0;
     },
     3},
    {"a morph", 32, 640, 480, 12, Nothing,
     [](int call) {
       if (call == 1) MorphToPattern(15);
     },
     6},
};

struct RunRec {
  std::vector<uint64_t> hashes;
  unsigned partialPresents = 0;
  unsigned inWindowMemory = 0;
  uint64_t tilesSent = 0, tilesPresented = 0;
  std::string firstDifference;
};

enum class Memory { Own, Window };

RunRec RunScenario(const Scenario& s, bool tileRecords, Memory memory = Memory::Own) {
  InstallHeadlessHost();
  ResetProgram();
  gHeadless.offerFrameMemory = memory == Memory::Window;
  gHeadless.windowExists = true;  // the engine draws for window 1 without making it
  const uint32_t seed = 4242;
  gHeadless.calendarStart = seed;
  prismora::srand(seed);
  DDSetTileRecords(tileRecords);
  gForcedDepth = s.depth;
  StartHeadlessEngine(s.width, s.height, s.pattern);
  gHeadless.keepShown = true;
  InstallCheckingPresent();
  s.setup();
  for (int call = 0; call < s.seconds; ++call) {
    s.between(call);
    AddTrailParticle(1);
  }
  gWindows = gCheck.headless;
  RunRec run;
  run.hashes = gCheck.hashes;
  run.partialPresents = gCheck.partialPresents;
  run.inWindowMemory = gCheck.inWindowMemory;
  run.tilesSent = gHeadless.tilesSent;
  run.tilesPresented = gHeadless.tilesPresented;
  run.firstDifference = gCheck.firstDifference;
  return run;
}

}  // namespace

class TileRecordsTest : public HeadlessTest {
 protected:
  void TearDown() override {
    if (gCheck.headless) gWindows = gCheck.headless;
    gCheck = PresentCheckRec{};
    HeadlessTest::TearDown();
  }
};

TEST_F(TileRecordsTest, EveryFrameKindShowsWhatWasDrawnAndClearsAsAWholeClearWould) {
  for (const Scenario& s : kScenarios) {
    SCOPED_TRACE(s.name);
    RunRec whole = RunScenario(s, false);
    RunRec tiled = RunScenario(s, true);
    ASSERT_GT(whole.hashes.size(), 50u);
    EXPECT_EQ(whole.partialPresents, 0u) << "without the records every present is whole";
    EXPECT_EQ(tiled.firstDifference, "") << "the window's picture differs from the back surface";
    ASSERT_EQ(tiled.hashes.size(), whole.hashes.size());
    size_t differing = 0;
    while (differing < whole.hashes.size() && whole.hashes[differing] == tiled.hashes[differing]) ++differing;
    EXPECT_EQ(differing, whole.hashes.size())
        << "the back surface differs from a whole clear's at frame " << differing;
    // The records were used: most presents named only some tiles.
    EXPECT_GT(tiled.partialPresents, tiled.hashes.size() / 2);
    EXPECT_LT(tiled.tilesSent, tiled.tilesPresented);
    EXPECT_EQ(tiled.inWindowMemory, 0u);

    // Drawn in memory the window gave, across losses and new displays alike.
    RunRec inWindow = RunScenario(s, true, Memory::Window);
    EXPECT_EQ(inWindow.firstDifference, "");
    EXPECT_EQ(inWindow.hashes, whole.hashes);
    EXPECT_EQ(inWindow.inWindowMemory, inWindow.hashes.size()) << "every frame in the window's memory";
  }
}

// The window's memory goes back to it when the display is done with it:
// cleaned up, made again, or refused by the window.
TEST_F(TileRecordsTest, WindowMemoryIsGivenBackWhenTheDisplayEnds) {
  InstallHeadlessHost();
  ResetProgram();
  gHeadless.offerFrameMemory = true;
  gHeadless.windowExists = true;
  StartHeadlessEngine(640, 480, 0);
  ASSERT_EQ(gHeadless.frameMemoryHeld.size(), 1u) << "only the back surface lives there";
  AddTrailParticle(1);
  EXPECT_EQ(gHeadless.lastFrame.pixels, gHeadless.frameMemoryHeld[0]);
  ASSERT_TRUE(DDInitialise(1));
  EXPECT_EQ(gHeadless.frameMemoryHeld.size(), 1u) << "the old display's memory was given back";
  DDCleanUp();
  EXPECT_TRUE(gHeadless.frameMemoryHeld.empty());
  gHeadless.offerFrameMemory = false;
  ASSERT_TRUE(DDInitialise(1));
  EXPECT_TRUE(gHeadless.frameMemoryHeld.empty()) << "memory of its own where none is offered";
  DDCleanUp();
}

TEST_F(TileRecordsTest, APresentNamesTheTilesDrawnInThisFrameAndTheLast) {
  InstallHeadlessHost();
  ResetProgram();
  gScreenWidth = 200;  // 4 columns, the last 8 pixels wide; 30 rows, the last 8 high
  gScreenHeight = 472;
  ASSERT_TRUE(DDInitialise(1));
  gHeadless.keepShown = true;
  struct Frame {
    const char* what;
    void (*draw)();
    bool whole;
    TileSet changed;
  } frames[] = {
      {"the first frame is whole", [] { PutPixel(1, 0, 0); }, true, {}},
      {"a pixel, and the one before cleared", [] { PutPixel(1, 64, 16); }, false, {{0, 0}, {1, 1}}},
      {"tile corners", [] { PutPixel(1, 199, 471); }, false, {{1, 1}, {3, 29}}},
      {"a ball across four tiles",
       [] { PlotBall(62, 30, 9, 9, 9, 2); },
       false,
       {{3, 29}, {0, 1}, {1, 1}, {0, 2}, {1, 2}}},
      {"a star across two rows",
       [] { PlotStar(130, 10, 9, 9, 9, 2); },
       false,
       {{0, 1}, {1, 1}, {0, 2}, {1, 2}, {2, 0}, {2, 1}}},
      {"a copied text area",
       [] {
         DDBlitTextArea(DDRect{60, 460, 140, 472});
       },
       false,
       {{2, 0}, {2, 1}, {0, 28}, {1, 28}, {2, 28}, {0, 29}, {1, 29}, {2, 29}}},
      {"nothing drawn: only what the last frame drew",
       [] {},
       false,
       {{0, 28}, {1, 28}, {2, 28}, {0, 29}, {1, 29}, {2, 29}}},
      {"nothing again: nothing changed", [] {}, false, {}},
      {"the whole surface forgotten", [] { DDForgetDrawing(); }, true, {}},
      {"an unmarked lock counts as drawing everywhere", [] { DDLockBackSurface(); }, true, {}},
  };
  ASSERT_TRUE(DDCreateTextSurface());
  for (const Frame& f : frames) {
    DDClearBackSurface();
    ASSERT_TRUE(DDLockBackSurfaceMarked());
    f.draw();
    DDUnlockBackSurface();
    DDPresent();
    EXPECT_EQ(gHeadless.lastFrame.changedTiles == nullptr, f.whole) << f.what;
    if (!f.whole) {
      EXPECT_EQ(ChangedTiles(), f.changed) << f.what;
    }
  }
}

TEST_F(TileRecordsTest, TheClearPutsBackOnlyDrawnTilesYetLeavesNoDrawingBehind) {
  struct Case {
    const char* what;
    int useBackground;
    void (*between)();  // after the first frame's drawing
    bool wholeClear;
  } cases[] = {
      {"black, nothing changed", 0, [] {}, false},
      {"background, nothing changed", 1, [] {}, false},
      {"background switched on", 0, [] { gUseBackground = 1; }, true},
      {"background switched off", 1, [] { gUseBackground = 0; }, true},
      {"background made again", 1, [] { DDCreateBgSurface(); }, true},
      {"surfaces lost and restored", 0,
       [] {
         DDSimulateSurfaceLoss(0);
         DDRestoreSurfaces();
       },
       true},
      {"drawing forgotten", 0, [] { DDForgetDrawing(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InstallHeadlessHost();
    ResetProgram();
    gOptions.BackgroundBrightness = 200;
    gScreenWidth = 320;
    gScreenHeight = 240;
    ASSERT_TRUE(DDInitialise(1));
    gUseBackground = c.useBackground;
    DDClearBackSurface();
    ASSERT_TRUE(DDLockBackSurfaceMarked());
    PutPixel(0xFFFFFF, 100, 100);
    DDPresent();
    c.between();
    // A pixel written behind the records' back shows whether the clear was whole.
    std::memset(FrameBuffer.base + size_t(5) * FrameBuffer.pitch, 0x77, 4);
    DDClearBackSurface();
    DDPresent();
    // The reference: the same clear with the records off.
    std::vector<uint8_t> cleared(FrameBuffer.base, FrameBuffer.base + size_t(FrameBuffer.pitch) * 240);
    DDSetTileRecords(false);
    DDClearBackSurface();
    std::vector<uint8_t> reference(FrameBuffer.base, FrameBuffer.base + size_t(FrameBuffer.pitch) * 240);
    size_t strayAt = size_t(5) * FrameBuffer.pitch;
    bool stray = cleared[strayAt] == 0x77;
    std::memcpy(cleared.data() + strayAt, reference.data() + strayAt, 4);
    EXPECT_TRUE(cleared == reference) << "the drawn pixel is gone and the rest is the clear";
    EXPECT_EQ(stray, !c.wholeClear);
  }
}
