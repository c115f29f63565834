// The frame period on the real clock: DrawFrame at "Max FPS" 85 (a 10 ms
// period) on the headless window, waiting by sleeping as the toolkit's wait
// does for the last part of a millisecond. Reports the periods between frame
// ends as percentiles (ms) and how many were short of the period or more
// than 1 ms over it.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "bench/bench_settings.h"
#include "patterns/options.h"
#include "platform/event_source.h"
#include "platform/headless/headless.h"
#include "platform/linux/linux_services.h"
#include "render/frame_renderer.h"
#include "saver/program_reset.h"
#include "tests/support/headless_engine.h"

namespace {

void SleepNanoseconds(uint64_t ns) {
  timespec pause{time_t(ns / 1000000000u), long(ns % 1000000000u)};
  nanosleep(&pause, nullptr);
}

const EventSourceService kSleepingEvents = {
    [] {},
    [](uint32_t ms) { SleepNanoseconds(uint64_t(ms) * 1000000u); },
    [](uint64_t us) { SleepNanoseconds(us * 1000u); },
};

void BM_FramePeriod(benchmark::State& state) {
  InstallHeadlessHost();
  ResetProgram();
  OpenBenchSettings();
  StartHeadlessEngine(1280, 720, 0);
  InstallLinuxServices();
  gEvents = &kSleepingEvents;
  gOptions.MaxFps = 85;
  const double period = double(900 / 85);  // ms
  std::vector<double> periods;
  uint64_t last = 0;
  MonotonicMicroseconds(&last);
  for (auto _ : state) {
    DrawFrame();
    uint64_t now = 0;
    MonotonicMicroseconds(&now);
    periods.push_back(double(now - last) / 1000);
    last = now;
  }
  std::sort(periods.begin(), periods.end());
  size_t n = periods.size();
  state.counters["min"] = periods[0];
  state.counters["p50"] = periods[n / 2];
  state.counters["p99"] = periods[n * 99 / 100];
  state.counters["max"] = periods[n - 1];
  state.counters["short"] =
      double(std::count_if(periods.begin(), periods.end(), [&](double p) { return p < period; }));
  state.counters["over1ms"] =
      double(std::count_if(periods.begin(), periods.end(), [&](double p) { return p > period + 1; }));
  InstallHeadlessHost();
}

}  // namespace

BENCHMARK(BM_FramePeriod)->Iterations(500)->Unit(benchmark::kMillisecond);
