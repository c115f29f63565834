// The engine's raw speed: emitter steps among 50 attractors, and whole
// simulation steps (emitter, spawning, the particle step every 100th).
#include <benchmark/benchmark.h>

#include "bench/bench_settings.h"
#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/particles.h"
#include "platform/headless/headless.h"
#include "render/display.h"
#include "saver/program_reset.h"
#include "tests/support/headless_engine.h"

namespace {

void StartWithFiftyAttractors(unsigned width, unsigned height) {
  InstallHeadlessHost();
  ResetProgram();
  OpenBenchSettings();
  StartHeadlessEngine(width, height, 10);  // Brisel's Kandy: long, wide trails
  EngineState.attractorCount = 50;
  PlaceAttractors();
  JumpEmitter();
}

// Keeps the emitter on the screen, as the frame update's reset would.
void KeepOnScreen() {
  const Emitter& m = EngineState.emitter;
  if (m.x < -50 || m.x > float(gScreenWidth) + 50 || m.y < -50 || m.y > float(gScreenHeight) + 50) {
    InitialiseEngine();
    EngineState.attractorCount = 50;
    PlaceAttractors();
    JumpEmitter();
  }
}

void BM_EmitterStep50Attractors(benchmark::State& state) {
  StartWithFiftyAttractors(1920, 1080);
  for (auto _ : state) {
    MoveEmitter();
    KeepOnScreen();
  }
  benchmark::DoNotOptimize(EngineState.emitter.x);
  state.SetItemsProcessed(state.iterations());
  state.counters["steps/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmitterStep50Attractors);

// One simulation step as the frame update runs it, without drawing.
void BM_SimulationStep50Attractors(benchmark::State& state) {
  StartWithFiftyAttractors(1920, 1080);
  uint32_t step = 0;
  for (auto _ : state) {
    MoveEmitter();
    if (step % SpawnPeriod() == 0) SpawnParticle();
    if (step % 100 == 0) StepParticles();
    KeepOnScreen();
    ++step;
  }
  state.counters["steps/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["particles"] = double(LiveParticleCount());
}
BENCHMARK(BM_SimulationStep50Attractors);

}  // namespace
