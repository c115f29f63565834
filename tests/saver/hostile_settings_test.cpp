// The saver run end to end on the headless host with settings files that
// people could write by hand: out-of-range numbers, values that are no
// numbers, odd drawing sizes. Each may be clamped or ignored, but the run
// must go on drawing a picture until it is closed.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/effects.h"
#include "engine/morph.h"
#include "patterns/preset.h"
#include "patterns/settings_store.h"
#include "platform/headless/headless.h"
#include "platform/messages.h"
#include "saver/saver_host.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

struct RunRec {
  unsigned frames = 0;  // presents after which the window is closed
  unsigned pumps = 0;
  bool toggleFocus = false;  // switch Focus On Centre now and then
  bool closed = false;
};

RunRec gRun;

// Seconds pass in jumps so that the emitter jumps, effects come and go and
// morphs run within a few hundred frames.
void OnPump() {
  ++gRun.pumps;
  if (gRun.closed) return;
  if (gHeadless.presentCount >= gRun.frames) {
    gRun.closed = true;
    PostMessage(1, WM_CLOSE, 0, 0);
    return;
  }
  if (gRun.pumps % 97 == 0) HeadlessAdvance(7000);
  if (gRun.toggleFocus && gRun.pumps % 211 == 0) RequestEffectToggle(kFocusOnCentre);
  if (gRun.pumps % 1013 == 0) MorphToPattern(-1);
}

// Pixels of the last frame that are not black (32 bits a pixel).
unsigned LitPixels() {
  const FrameImage& f = gHeadless.lastFrame;
  unsigned lit = 0;
  for (uint32_t y = 0; y < f.height; ++y) {
    const uint8_t* row = gHeadless.lastFramePixels.data() + size_t(y) * f.pitch;
    for (uint32_t x = 0; x < f.width; ++x)
      if ((row[4 * x] | row[4 * x + 1] | row[4 * x + 2]) != 0) ++lit;
  }
  return lit;
}

struct Value {
  const char* name;
  enum Kind { kDword, kBinary } kind;
  int32_t dword;
  std::vector<uint8_t> bytes;
};

Value Dword(const char* name, int32_t value) { return {name, Value::kDword, value, {}}; }
Value Binary(const char* name, std::vector<uint8_t> bytes) {
  return {name, Value::kBinary, 0, std::move(bytes)};
}

// A "Grabbed Settings" block with the given slots set.
std::vector<uint8_t> Block(std::initializer_list<std::pair<int, uint32_t>> slots) {
  std::vector<uint8_t> block(kGrabbedSlotCount * 4, 0);
  for (auto [slot, value] : slots)
    for (int i = 0; i < 4; ++i) block[size_t(slot * 4 + i)] = uint8_t(value >> (8 * i));
  return block;
}

}  // namespace

class HostileSettingsTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    gRun = RunRec{};
    gHeadless.onPump = OnPump;
    gHeadless.keepFrames = true;
    gHeadless.desktopWidth = 640;
    gHeadless.desktopHeight = 480;
  }

  // A fresh program and store for the next case of a table.
  void Restart() {
    TearDown();
    SetUp();
  }

  // Runs the saver full screen for the given number of frames; the exit code.
  int Run(unsigned frames) {
    gRun.frames = frames;
    WindowRequest request;
    request.mode = WindowMode::FullScreen;
    return RunScreenSaver(request);
  }

  static void Store(const std::string& path, const Value& v) {
    if (v.kind == Value::kDword)
      StoreDword(path, v.name, v.dword);
    else
      StoreBinary(path, v.name, v.bytes);
  }
};

// The user's own pattern, current from the start, with one hostile value.
TEST_F(HostileSettingsTest, AHostilePatternValueStillDrawsAPicture) {
  const uint32_t nan = 0x7fc00000u, inf = 0x7f800000u;
  auto floatBytes = [](uint32_t bits) {
    return std::vector<uint8_t>{uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
  };
  const std::vector<std::vector<Value>> cases = {
      {Dword("Trail Density", 0)},
      {Dword("Number Of Trails", 0x7fffffff)},
      {Dword("Number Of Trails", 0)},
      {Dword("Sparkle", 1), Dword("Sparkliness", 0)},
      {Dword("Spiral Trail", 1), Binary("Spiral Inc", floatBytes(nan))},
      {Dword("Spiral Trail", 1), Binary("Spiral Inc", floatBytes(inf))},
      {Dword("Trail Length", -5), Dword("Jump Speed", 0x7fffffff), Dword("Colour Speed", -1)},
      {Dword("Trail Kinkiness", 100000), Dword("Trail Width", -90), Dword("Fade Speed", 500)},
      {Dword("Grabbed", 1), Binary("Grabbed Settings", Block({{kSlotPaletted, 1},
                                                              {kSlotPaletteChoice, 0x7fffffff},
                                                              {kSlotReverse, 9},
                                                              {kSlotTwisty, 1},
                                                              {kSlotTwistyRadius, nan},
                                                              {kSlotOneColour, 1},
                                                              {kSlotOneColourMultiplier1, 0x40000000},
                                                              {kSlotOneColourPeriod, 0x7fffffff},
                                                              {kSlotOneColourSpeedMode, 1},
                                                              {kSlotTunnel, 1},
                                                              {kSlotTunnelPhase, 0x80000000u}}))},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    Restart();
    StoreDword(kMainKeyPath, "Preset", 20);
    StoreDword(kMainKeyPath, "Morph Settings", 0);
    for (const Value& v : cases[i]) Store(PatternPath("Mine"), v);
    EXPECT_EQ(Run(300), 0) << "case " << i;
    EXPECT_GE(gHeadless.presentCount, 300u) << "case " << i;
    EXPECT_GT(LitPixels(), 50u) << "case " << i << ": the picture went dark";
    for (const Value& v : cases[i]) {
      if (v.kind != Value::kDword) continue;
      EXPECT_EQ(StoredDword(PatternPath("Mine"), v.name), v.dword) << "case " << i << ": the file keeps it";
    }
  }
}

TEST_F(HostileSettingsTest, HostileOptionsStillDrawAPicture) {
  const std::vector<std::vector<Value>> cases = {
      {Dword("Background Brightness", int32_t(0xffffffd0u))},
      {Dword("Background Brightness", 4000)},
      {Dword("Max FPS", 0)},
      {Dword("Sphere Level", 0x7fffffff), Dword("Painting Mode", -1), Dword("Ball Level", 99)},
      {Dword("Morph Duration", 0), Dword("Morph Interval", int32_t(0xffffffffu))},
      {Dword("Preset", -3)},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    Restart();
    for (const Value& v : cases[i]) Store(kMainKeyPath, v);
    EXPECT_EQ(Run(200), 0) << "case " << i;
    EXPECT_GE(gHeadless.presentCount, 200u) << "case " << i;
    EXPECT_GT(LitPixels(), 50u) << "case " << i;
  }
}

// The jump and the placements keep margins from the edges; a desktop too
// small for them must still run, Focus On Centre included.
TEST_F(HostileSettingsTest, EveryDrawingSizeRuns) {
  const uint32_t sizes[][2] = {{320, 200}, {201, 201}, {200, 199}, {64, 48}, {9, 9}, {1, 1}};
  for (const auto& size : sizes) {
    Restart();
    gHeadless.desktopWidth = size[0];
    gHeadless.desktopHeight = size[1];
    gRun.toggleFocus = true;
    EXPECT_EQ(Run(400), 0) << size[0] << "x" << size[1];
    EXPECT_GE(gHeadless.presentCount, 400u) << size[0] << "x" << size[1];
    EXPECT_EQ(gHeadless.lastFrame.width, size[0]);
  }
}
