#include "patterns/pattern_bounds.h"

#include <cmath>

namespace {

constexpr float kOneTurn = 6.283186f;

}  // namespace

void BoundPatternValues(Preset& pattern, float defaultSpiralInc) {
  for (const PatternBound& bound : kPatternBounds) {
    int32_t& value = pattern.*bound.field;
    value = value < bound.low ? bound.low : value > bound.high ? bound.high : value;
  }
  if (!std::isfinite(pattern.SpiralInc))
    pattern.SpiralInc = defaultSpiralInc;
  else if (std::fabs(pattern.SpiralInc) > kOneTurn)
    pattern.SpiralInc = std::fmod(pattern.SpiralInc, kOneTurn);
}
