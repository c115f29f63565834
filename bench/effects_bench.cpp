// What the effects cost: whole simulation steps with one effect on, against
// the same steps with none, and one pass of the effect automaton.
#include <benchmark/benchmark.h>

#include "bench/bench_settings.h"
#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/particles.h"
#include "platform/clock.h"
#include "platform/headless/headless.h"
#include "render/display.h"
#include "saver/program_reset.h"
#include "tests/support/headless_engine.h"

namespace {

constexpr int kNoEffect = -1;

void StartPlain() {
  InstallHeadlessHost();
  ResetProgram();
  OpenBenchSettings();
  StartHeadlessEngine(1920, 1080, 17);
  ScheduleAllEffects(GetTickCount());
}

void BM_SimulationStepWithEffect(benchmark::State& state) {
  StartPlain();
  int effect = int(state.range(0));
  if (effect != kNoEffect) {
    RequestEffectToggle(EffectId(effect));
    RunEffectScheduler(GetTickCount());
  }
  state.SetLabel(effect == kNoEffect ? "none" : (EffectOn(EffectId(effect)) ? "on" : "NOT ON"));
  uint32_t step = 0;
  for (auto _ : state) {
    MoveEmitter();
    if (step % SpawnPeriod() == 0) SpawnParticle(GetTickCount());
    if (step % 100 == 0) StepParticles();
    const Emitter& m = EngineState.emitter;
    if (m.x < -50 || m.x > float(gScreenWidth) + 50 || m.y < -50 || m.y > float(gScreenHeight) + 50)
      InitialiseEngine();
    ++step;
  }
  state.counters["steps/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["particles"] = double(LiveParticleCount());
}
BENCHMARK(BM_SimulationStepWithEffect)
    ->Arg(kNoEffect)
    ->Arg(kOneColour)
    ->Arg(kColourCycle)
    ->Arg(kHelix)
    ->Arg(kTwisty)
    ->Arg(kReverse)
    ->Arg(kCurvyTrails)
    ->Arg(kRadialEcho);

// The automaton's pass over every effect, run once per frame-update call.
void BM_EffectSchedulerPass(benchmark::State& state) {
  StartPlain();
  uint32_t now = GetTickCount();
  for (auto _ : state) {
    RunEffectScheduler(now);
    now += 10;
  }
  benchmark::DoNotOptimize(gActiveEffects);
}
BENCHMARK(BM_EffectSchedulerPass);

}  // namespace
