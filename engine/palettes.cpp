// The three effect palettes: two fixed ramps and one random wave palette.
#include <cmath>

#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/random.h"

namespace {

struct Ramp {
  int fallIndex, fallStep, riseIndex, floor;
};

// Palette 0 and 1, red, green, blue.
constexpr Ramp kRamps[2][3] = {
    {{96, -4, 128, 128}, {32, -4, 144, 0}, {0, -4, 160, 0}},
    {{8, -8, 160, 0}, {32, -6, 144, 0}, {96, -4, 128, 128}},
};

void BuildRamp(uint8_t palette[256][3], int channel, const Ramp& ramp) {
  int value = 255, step = 0;
  for (int i = 0; i < 256; ++i) {
    if (i > ramp.fallIndex && value == 255)
      step = ramp.fallStep;
    else if (i > ramp.riseIndex)
      step = 8;
    value += step;
    if (value <= ramp.floor) {
      value = ramp.floor;
      step = 0;
    }
    if (value > 255) {
      value = 255;
      step = 0;
    }
    palette[i][channel] = uint8_t(value);
  }
}

}  // namespace

void BuildPalettes() {
  for (int p = 0; p < 2; ++p)
    for (int channel = 0; channel < 3; ++channel)
      BuildRamp(EngineState.palette[p], channel, kRamps[p][channel]);
}

void BuildRandomPalette() {
  int phaseDraw[3], coin[3];
  for (int& draw : phaseDraw) draw = prismora::rand();
  for (int& c : coin) c = prismora::rand() % 2;
  for (int channel = 0; channel < 3; ++channel) {
    float k = kTwoPi * float(1 + coin[channel]);
    float phase = float(phaseDraw[channel] % 1000) / 1000;
    for (int i = 0; i < 256; ++i) {
      double wave = (std::sin(phase * kPi + float(i) * k / 200) + 1) * 0.5 * 192 + 0.5;
      EngineState.palette[2][i][channel] = uint8_t(int(wave) + 63);
    }
  }
}
