// Long runs of the whole engine on the headless host: every standard
// pattern for an hour of virtual time under random effect toggles and morph
// requests, and two identical runs that must draw identical frames.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/particles.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "platform/window.h"
#include "render/display.h"
#include "saver/program_reset.h"
#include "tests/support/heap_hooks.h"
#include "tests/support/test_host.h"

namespace {

// Each present costs this much virtual time, as on a slow machine: an hour
// then takes a few million simulation steps instead of tens of millions.
constexpr uint32_t kPresentCostMs = 500;

struct SoakHostRec {
  const WindowService* headless = nullptr;
  WindowService slow{};
  bool hashing = false;
  std::vector<uint64_t> frameHashes;
};

SoakHostRec gSoakHost;

uint64_t HashFrame(const FrameImage& frame) {
  uint64_t hash = 14695981039346656037ull;
  const uint8_t* pixels = static_cast<const uint8_t*>(frame.pixels);
  for (uint32_t y = 0; y < frame.height; ++y) {
    const uint8_t* row = pixels + size_t(y) * frame.pitch;
    for (uint32_t i = 0; i < frame.width * (frame.bitsPerPixel / 8); ++i)
      hash = (hash ^ row[i]) * 1099511628211ull;
  }
  return hash;
}

void SlowPresent(WindowHandle window, const FrameImage& frame) {
  gSoakHost.headless->present(window, frame);
  if (gSoakHost.hashing) gSoakHost.frameHashes.push_back(HashFrame(frame));
  HeadlessAdvance(kPresentCostMs);
}

void InstallSlowPresent() {
  gSoakHost = SoakHostRec{};
  gSoakHost.headless = gWindows;
  gSoakHost.slow = *gWindows;
  gSoakHost.slow.present = SlowPresent;
  gWindows = &gSoakHost.slow;
}

// The effects that have a key of their own.
constexpr EffectId kKeyedEffects[] = {
    kLoopTheLoop,   kFocusOnCentre, kFadeHead,  kCoriolis,  kWindmill,  kTwisty,     kFragmented,
    kDoubleBounce,  kLoopySpeed,    kOneColour, kQuicksand, kReverse,   kFrosted,    kUltraWide,
    kVariableSpeed, kCentre,        kSpherical, kTunnel,    kZeroAngle, kRadialEcho, kStarTrail,
};

// What a restless user does during one second: mostly nothing.
void RandomUserAction(std::mt19937& user) {
  uint32_t roll = user() % 1000;
  if (roll < 40) {
    RequestEffectToggle(kKeyedEffects[user() % std::size(kKeyedEffects)]);
  } else if (roll < 48) {
    MorphToPattern(user() % 3 == 0 ? -1 : int(user() % gPatternCount));
  } else if (roll < 51) {
    RequestRest();
  } else if (roll < 55) {
    RequestWhirl();
  } else if (roll < 59) {
    RequestBurst();
  }
}

}  // namespace

class SoakTest : public HeadlessTest, public ::testing::WithParamInterface<unsigned> {
 protected:
  void TearDown() override {
    if (gSoakHost.headless) gWindows = gSoakHost.headless;
    HeadlessTest::TearDown();
  }
};

TEST_P(SoakTest, AnHourOfEffectsAndMorphsStaysBounded) {
  const unsigned pattern = GetParam();
  StartHeadlessEngine(640, 480, pattern);
  InstallSlowPresent();
  std::mt19937 user(pattern * 7919u + 1u);
  const uint32_t start = gHeadless.tick;
  unsigned calls = 0, maxLive = 0;
  int64_t heapAfterWarmUp = 0, maxHeapGrowth = 0;
  std::vector<bool> seenOn(kEffectCount, false);
  while (gHeadless.tick - start < 3600u * 1000u) {
    RandomUserAction(user);
    AddTrailParticle(1);
    ++calls;
    ASSERT_LT(gCurrentPattern, gPatternCount) << "at call " << calls;
    ASSERT_LE(gActiveEffects, gMaxEffects) << "at call " << calls;
    ASSERT_GE(gActiveEffects, 0) << "at call " << calls;
    int countedOn = 0;
    for (int id = 0; id < kEffectCount; ++id)
      if (EffectOn(EffectId(id)) && EffectCounts(EffectId(id))) ++countedOn;
    ASSERT_EQ(gActiveEffects, countedOn) << "the count follows the effects at call " << calls;
    maxLive = std::max(maxLive, LiveParticleCount());
    for (int id = 0; id < kEffectCount; ++id)
      if (EffectOn(EffectId(id))) seenOn[size_t(id)] = true;
    if (calls == 120) heapAfterWarmUp = gHeapHooks.liveBytes;
    if (calls > 120) maxHeapGrowth = std::max(maxHeapGrowth, gHeapHooks.liveBytes - heapAfterWarmUp);
  }
  // The morph clock and the effect timers both ran through the hour.
  EXPECT_GT(gMorphTick, 10000u);
  unsigned effectsSeen = 0;
  for (bool on : seenOn) effectsSeen += on ? 1 : 0;
  EXPECT_GE(effectsSeen, 15u) << "effects that came on at least once";
  // A trail holds at most its length in particle steps for every spawn, and
  // no pattern is longer than 1000 steps: far below this.
  EXPECT_LT(maxLive, 60000u);
  EXPECT_LT(maxHeapGrowth, int64_t(16) << 20) << "heap growth after the first two minutes, bytes";
  RecordProperty("calls", int(calls));
  RecordProperty("maxLiveParticles", int(maxLive));
}

INSTANTIATE_TEST_SUITE_P(EveryStandardPattern, SoakTest, ::testing::Range(0u, 20u));

class DeterminismTest : public HeadlessTest {
 protected:
  void TearDown() override {
    if (gSoakHost.headless) gWindows = gSoakHost.headless;
    HeadlessTest::TearDown();
  }

  // Frame hashes of five virtual minutes from a fresh start with seed.
  std::vector<uint64_t> Run(uint32_t seed) {
    InstallHeadlessHost();
    ResetProgram();
    gHeadless.calendarStart = seed;
    prismora::srand(seed);
    StartHeadlessEngine(640, 480, 5);
    InstallSlowPresent();
    gSoakHost.hashing = true;
    std::mt19937 user(seed);
    const uint32_t start = gHeadless.tick;
    while (gHeadless.tick - start < 300u * 1000u) {
      RandomUserAction(user);
      AddTrailParticle(1);
    }
    std::vector<uint64_t> hashes = gSoakHost.frameHashes;
    gWindows = gSoakHost.headless;
    gSoakHost = SoakHostRec{};
    return hashes;
  }
};

TEST_F(DeterminismTest, TheSameSeedDrawsTheSameFrames) {
  std::vector<uint64_t> first = Run(77);
  std::vector<uint64_t> second = Run(77);
  ASSERT_GT(first.size(), 500u);
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); ++i) ASSERT_EQ(first[i], second[i]) << "frame " << i;
  std::vector<uint64_t> other = Run(78);
  EXPECT_NE(first, other) << "another seed draws something else";
}
