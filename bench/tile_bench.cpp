// How much of a typical frame a present sends. Real seconds of the saver
// (simulation, pacing, frames) run on the headless host; every present is
// compared with the one before in cells of 8 x 8 pixels, which gives, for
// several tile sizes, the share of tiles whose pixels really changed and
// the runs of such tiles per tile row (the copies a window system makes).
// Beside them, the share the display's records named at the fixed tile size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_settings.h"
#include "engine/engine.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/headless/headless.h"
#include "platform/window.h"
#include "saver/program_reset.h"
#include "tests/support/headless_engine.h"

namespace {

constexpr uint32_t kCell = 8;

struct TileShape {
  uint32_t width, height;  // pixels; width 0 stands for the whole frame width
  const char* name;
};
constexpr TileShape kShapes[] = {{16, 16, "16x16"},   {32, 8, "32x8"},     {64, 8, "64x8"},
                                 {64, 16, "64x16"},   {64, 32, "64x32"},   {128, 16, "128x16"},
                                 {128, 32, "128x32"}, {256, 64, "256x64"}, {0, 16, "rowx16"}};
constexpr size_t kShapeCount = sizeof kShapes / sizeof kShapes[0];

struct TileStudyRec {
  const WindowService* headless = nullptr;
  WindowService counting{};
  std::vector<uint8_t> previous;
  std::vector<uint8_t> cells;  // changed 8 x 8 cells of the last frame
  uint64_t frames = 0;
  double changedShare[kShapeCount] = {};  // summed over frames
  double runs[kShapeCount] = {};
  double recordedShare = 0;
  double recordedRuns = 0;
};
TileStudyRec gStudy;

// The share of tiles of one shape holding a changed cell, and their runs.
void CountShape(const TileShape& shape, uint32_t cellColumns, uint32_t cellRows, double* share,
                double* runs) {
  uint32_t across = shape.width ? shape.width / kCell : cellColumns;
  uint32_t down = shape.height / kCell;
  uint32_t columns = (cellColumns + across - 1) / across, rows = (cellRows + down - 1) / down;
  uint64_t changed = 0, runCount = 0;
  for (uint32_t row = 0; row < rows; ++row) {
    bool inRun = false;
    for (uint32_t column = 0; column < columns; ++column) {
      bool any = false;
      for (uint32_t cy = row * down; cy < std::min((row + 1) * down, cellRows) && !any; ++cy)
        for (uint32_t cx = column * across; cx < std::min((column + 1) * across, cellColumns) && !any; ++cx)
          any = gStudy.cells[size_t(cy) * cellColumns + cx] != 0;
      changed += any ? 1 : 0;
      if (any && !inRun) runCount += 1;
      inRun = any;
    }
  }
  *share += double(changed) / double(uint64_t(columns) * rows);
  *runs += double(runCount);
}

void StudyPresent(WindowHandle window, const FrameImage& frame) {
  gStudy.headless->present(window, frame);
  size_t bytes = size_t(frame.pitch) * frame.height;
  if (gStudy.previous.size() != bytes || !frame.changedTiles) {
    gStudy.previous.assign(frame.pixels, frame.pixels + bytes);
    return;
  }
  uint32_t bytesPerPixel = frame.bitsPerPixel / 8;
  uint32_t cellColumns = (frame.width + kCell - 1) / kCell, cellRows = (frame.height + kCell - 1) / kCell;
  gStudy.cells.assign(size_t(cellColumns) * cellRows, 0);
  for (uint32_t y = 0; y < frame.height; ++y) {
    const uint8_t* now = frame.pixels + size_t(y) * frame.pitch;
    const uint8_t* before = gStudy.previous.data() + size_t(y) * frame.pitch;
    for (uint32_t cx = 0; cx < cellColumns; ++cx) {
      uint32_t left = cx * kCell * bytesPerPixel;
      uint32_t length = (std::min((cx + 1) * kCell, frame.width) - cx * kCell) * bytesPerPixel;
      if (std::memcmp(now + left, before + left, length) != 0)
        gStudy.cells[size_t(y / kCell) * cellColumns + cx] = 1;
    }
  }
  for (size_t i = 0; i < kShapeCount; ++i)
    CountShape(kShapes[i], cellColumns, cellRows, &gStudy.changedShare[i], &gStudy.runs[i]);
  uint32_t columns = FrameTileColumns(frame.width), rows = FrameTileRows(frame.height);
  uint64_t named = 0, runs = 0;
  for (uint32_t row = 0; row < rows; ++row) {
    bool inRun = false;
    for (uint32_t column = 0; column < columns; ++column) {
      bool on = frame.changedTiles[size_t(row) * columns + column] != 0;
      named += on ? 1 : 0;
      if (on && !inRun) runs += 1;
      inRun = on;
    }
  }
  gStudy.recordedShare += double(named) / double(uint64_t(columns) * rows);
  gStudy.recordedRuns += double(runs);
  gStudy.frames += 1;
  gStudy.previous.assign(frame.pixels, frame.pixels + bytes);
}

struct Size {
  unsigned width, height;
};
constexpr Size kSizes[] = {{1280, 720}, {1920, 1080}};

// Each iteration is one second of the saver at the default pace, with
// default settings but for morphs.
void BM_ChangedTiles(benchmark::State& state) {
  const Size size = kSizes[state.range(1)];
  InstallHeadlessHost();
  ResetProgram();
  OpenBenchSettings();
  prismora::srand(1234);
  StartHeadlessEngine(size.width, size.height, unsigned(state.range(0)));
  gOptions.MorphSettings = 0;                                       // each pattern on its own
  for (int second = 0; second < 20; ++second) AddTrailParticle(1);  // trails grown, effects scheduled
  gStudy = TileStudyRec{};
  gStudy.headless = gWindows;
  gStudy.counting = *gWindows;
  gStudy.counting.present = StudyPresent;
  gWindows = &gStudy.counting;
  for (auto _ : state) AddTrailParticle(1);
  gWindows = gStudy.headless;
  double frames = double(gStudy.frames ? gStudy.frames : 1);
  state.counters["frames"] = double(gStudy.frames);
  state.counters["pattern"] = double(gCurrentPattern);
  state.counters["named%"] = 100 * gStudy.recordedShare / frames;
  state.counters["namedRuns"] = gStudy.recordedRuns / frames;
  for (size_t i = 0; i < kShapeCount; ++i) {
    state.counters[std::string("diff%") + kShapes[i].name] = 100 * gStudy.changedShare[i] / frames;
    state.counters[std::string("runs") + kShapes[i].name] = gStudy.runs[i] / frames;
  }
  state.SetLabel(std::to_string(size.width) + "x" + std::to_string(size.height));
}

}  // namespace

BENCHMARK(BM_ChangedTiles)
    ->ArgsProduct({{0, 2, 7, 9, 14}, {0, 1}})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
