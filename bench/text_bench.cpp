// What the on-screen text costs a frame: DrawFrame for one pattern with no
// text shown and with the name, the frame rate and a five-line effects list
// on (the frame rate and the list are drawn afresh every frame), and the
// text work alone, so the two can be compared within one run.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_settings.h"
#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/particles.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/font/freetype_text.h"
#include "platform/headless/headless.h"
#include "render/display.h"
#include "render/frame_renderer.h"
#include "render/text_overlay.h"
#include "saver/program_reset.h"
#include "tests/support/headless_engine.h"

namespace {

struct Size {
  unsigned width, height;
};
constexpr Size kSizes[] = {{640, 480}, {1920, 1080}};

// Effects that change how particles move, not how they are drawn, so the
// particle work is the same with the list on or off.
constexpr EffectId kListed[] = {kCurvyTrails, kLoopySpeed, kVariableSpeed, kAngleSpeed, kFrosted};

void Start(const Size& size) {
  InstallHeadlessHost();
  InstallFreeTypeText();
  ResetProgram();
  OpenBenchSettings();
  StartHeadlessEngine(size.width, size.height, 0);
  gOptions.MaxFps = 0;  // uncapped
  for (uint32_t step = 0; step < 100u * (EngineState.trailLength + 50); ++step) {
    MoveEmitter();
    if (step % SpawnPeriod() == 0) SpawnParticle();
    if (step % 100 == 0) StepParticles();
  }
  for (EffectId id : kListed) SetEffect(id, 1);
  DrawTextSlot(true, 16, "", gPresets[0].Name, 1.0f, true, kNameSlot, 0, false);
}

void ShowText(bool on) {
  gOptions.ShowNames = on;
  gTextOverlay.frameRate = on;
  gTextOverlay.effectsList = on;
}

// range(0): 0 no text, 1 names + frame rate + effects list; range(1): size.
void BM_DrawFrameWithText(benchmark::State& state) {
  const Size size = kSizes[state.range(1)];
  Start(size);
  ShowText(state.range(0) != 0);
  DrawFrame();
  for (auto _ : state) DrawFrame();
  state.counters["particles"] = double(LiveParticleCount());
  state.SetLabel(std::string(state.range(0) ? "text on " : "no text ") + std::to_string(size.width) + "x" +
                 std::to_string(size.height));
}

// The per-frame text work alone: the name copied, the frame rate and the
// effects list drawn and copied; the rate changes once in 85 frames, as it
// does once a second at the default "Max FPS".
void BM_TextOverlaysOnly(benchmark::State& state) {
  const Size size = kSizes[state.range(0)];
  Start(size);
  ShowText(true);
  uint32_t fps = 0;
  for (auto _ : state) {
    DDBlitTextRegion(kNameSlot);
    DrawEffectsList();
    DrawFrameRateText(60 + (fps++ / 85) % 32);
    DDBlitTextRegion(kFrameRateSlot);
  }
  state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

}  // namespace

BENCHMARK(BM_DrawFrameWithText)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextOverlaysOnly)->DenseRange(0, 1)->Unit(benchmark::kMicrosecond);
