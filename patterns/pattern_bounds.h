// The ranges a loaded pattern is held to. The settings file is text that
// people edit and share, so a stored value may be anything; the engine only
// ever sees values it can draw with. The file itself keeps what it says.
#pragma once
#include <cstdint>

#include "patterns/preset.h"

struct PatternBound {
  int32_t Preset::*field;
  int32_t low, high;
};

// The stored parameters with the ranges the settings dialog offers.
inline constexpr PatternBound kPatternBounds[] = {
    {&Preset::TrailKinkiness, 0, 50}, {&Preset::TrailLength, 1, 1000},   {&Preset::TrailDensity, 1, 50},
    {&Preset::TrailWidth, 0, 90},     {&Preset::NumberOfTrails, 1, 100}, {&Preset::Sparkliness, 4, 200},
    {&Preset::FadeSpeed, 0, 100},     {&Preset::ColourSpeed, 1, 300},    {&Preset::JumpSpeed, 1, 3600},
};

// Clamps every parameter into its range. A "Spiral Inc" that is not a finite
// number takes defaultSpiralInc; a finite one is brought within one turn
// either way, which draws the same spiral.
void BoundPatternValues(Preset& pattern, float defaultSpiralInc);
