// DrawFrame for every standard pattern at three sizes, beside the cost of
// only clearing and handing over one frame of that size (the memory bound).
// Frames run uncapped on the headless host; the particle lists are grown by
// real simulation first, so each pattern draws its own steady trail.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

#include "bench/bench_settings.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/particles.h"
#include "engine/rot_angles.h"
#include "patterns/options.h"
#include "platform/headless/headless.h"
#include "render/display.h"
#include "render/frame_renderer.h"
#include "render/pixel_format.h"
#include "saver/program_reset.h"
#include "tests/support/headless_engine.h"

namespace {

struct Size {
  unsigned width, height;
};
constexpr Size kSizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}};

// Grows the pattern's trails to their steady length: one particle step per
// 100 simulation steps, as the frame update runs them.
void GrowTrails() {
  for (uint32_t step = 0; step < 100u * (EngineState.trailLength + 50); ++step) {
    MoveEmitter();
    if (step % SpawnPeriod() == 0) SpawnParticle();
    if (step % 100 == 0) StepParticles();
    const Emitter& m = EngineState.emitter;
    if (m.x < -50 || m.x > float(gScreenWidth) + 50 || m.y < -50 || m.y > float(gScreenHeight) + 50)
      JumpEmitter();
  }
}

void DrawFrames(benchmark::State& state, bool tileRecords) {
  const Size size = kSizes[state.range(1)];
  InstallHeadlessHost();
  ResetProgram();
  OpenBenchSettings();
  DDSetTileRecords(tileRecords);
  StartHeadlessEngine(size.width, size.height, unsigned(state.range(0)));
  gOptions.MaxFps = 0;  // uncapped
  GrowTrails();
  uint64_t plotted = uint64_t(LiveParticleCount()) * gRotAngleCount;
  for (auto _ : state) DrawFrame();
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["particles"] = double(LiveParticleCount());
  state.counters["arms"] = double(gRotAngleCount);
  // Time per particle per arm, in ns: the inverse of plots per second.
  state.counters["ns/plot"] = benchmark::Counter(double(state.iterations()) * double(plotted),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  // The share of tiles a steady frame names as changed (its trails stand
  // still here, so that is also the share its clear puts back).
  gHeadless.keepShown = true;
  DrawFrame();
  uint64_t sent = gHeadless.tilesSent, presented = gHeadless.tilesPresented;
  DrawFrame();
  state.counters["tiles%"] = 100.0 * double(gHeadless.tilesSent - sent) /
                             double(std::max<uint64_t>(gHeadless.tilesPresented - presented, 1));
  state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

void BM_DrawFrame(benchmark::State& state) { DrawFrames(state, true); }

// The same with every clear and present whole: what the tile marks cost
// when nothing is saved by them.
void BM_DrawFrameWholeClears(benchmark::State& state) { DrawFrames(state, false); }

// A whole clear and a whole present every time, as without the tile
// records: the bound a frame is measured against.
void BM_ClearAndPresentOnly(benchmark::State& state) {
  const Size size = kSizes[state.range(0)];
  InstallHeadlessHost();
  ResetProgram();
  OpenBenchSettings();
  StartHeadlessEngine(size.width, size.height, 0);
  DDSetTileRecords(false);
  for (auto _ : state) {
    DDClearBackSurface();
    if (DDLockBackSurface()) {
      benchmark::DoNotOptimize(FrameBuffer.base);
      DDUnlockBackSurface();
    }
    DDPresent();
  }
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size.width) * size.height * 4);
  state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

}  // namespace

BENCHMARK(BM_DrawFrame)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 19, 1), {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawFrameWholeClears)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 19, 1), {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClearAndPresentOnly)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
