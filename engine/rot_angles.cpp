// The rotation table and its morph interpolation.
#include "engine/rot_angles.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "diag/log.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"

RotAngle* gRotAngle = nullptr;
uint32_t gRotAngleCount = 0;

namespace {

// Angles closer than this are the same angle.
constexpr float kSameAngle = 0.00001f;

void SetMatrix(RotAngle& r, float angle) {
  r.angle = angle;
  r.cosA = float(std::cos(double(angle)));
  r.sinA = float(std::sin(double(angle)));
  r.negSinA = -r.sinA;
  r.cosA2 = r.cosA;
}

// Arm i of n evenly spaced arms.
float EvenAngle(uint32_t i, uint32_t n) { return float(double(i) * 2 * double(kPi) / double(n)); }

// A fresh table of count entries in place of the old one; false (and no
// table) when the memory cannot be had.
bool AllocateTable(uint32_t count) {
  ReleaseRotAngles();
  gRotAngle = new (std::nothrow) RotAngle[std::max(count, 1u)];
  return gRotAngle != nullptr;
}

}  // namespace

void RebuildArms() {
  EngineStateRec& e = EngineState;
  if (!gMorphing) PlaceAttractors();
  e.fadeAge = uint32_t(float(100 - e.fadeSpeed) * float(e.trailLength) / 100);
  if (gMorphing)
    InterpolateRotAngles(gMorphFactor);
  else
    SetupRotAngles();
}

void SetupRotAngles() {
  ReleaseRotAngles();
  ReseedFromCalendar();
  uint32_t count = EngineState.armCount;
  if (!AllocateTable(count)) {
    LogDebug("SetupRotAngles: Allocating memory for gRotAngle failed.\n");
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    float angle = EvenAngle(i, count);
    if (angle >= 6.293186f) break;
    RotAngle& r = gRotAngle[i];
    r.extra = 0;
    SetMatrix(r, angle);
    gRotAngleCount = i + 1;
  }
}

void SetupMorphRotAngles() {
  uint32_t from = uint32_t(std::max(gMorphBlend.fromArms, 0));
  uint32_t target = uint32_t(std::max(gMorphBlend.targetArms, 0));
  if (from == target) return;
  uint32_t count = EngineState.armCount;
  if (!AllocateTable(count)) {
    LogDebug("SetupMorphRotAngles: Allocating memory for gRotAngle failed.\n");
    return;
  }
  gRotAngleCount = count;
  // A pattern has at least one arm; 1 keeps a damaged record from dividing by 0.
  uint32_t lo = std::max(std::min(from, target), 1u);
  uint32_t hi = std::max(from, target);
  bool divisible = hi % lo == 0 && prismora::rand() % 3 > 0;
  float gridStep = float(double(kTwoPi) / double(lo));
  for (uint32_t i = 0; i < count; ++i) {
    RotAngle& r = gRotAngle[i];
    float c = EvenAngle(i, count);
    // c snapped down to the grid of the smaller count.
    float g = float(double(gridStep) * std::floor(double(c) / double(gridStep) + 0.00001));
    r.extra = 0;
    if (divisible) {
      r.fromAngle = r.toAngle = c;
      if (std::fabs(c - g) > kSameAngle) r.extra = 1;
    } else if (from < target) {
      r.fromAngle = g;
      r.toAngle = c;
      if (i > 0 && std::fabs(g - gRotAngle[i - 1].fromAngle) < kSameAngle) r.extra = 1;
    } else {
      r.fromAngle = c;
      r.toAngle = g;
      if (i > 0 && std::fabs(g - gRotAngle[i - 1].toAngle) < kSameAngle) r.extra = 1;
    }
    if (std::fabs(r.toAngle - r.fromAngle) < kSameAngle) SetMatrix(r, c);
  }
  // The moving arms start where they come from; the morph steps move them on.
  InterpolateRotAngles(0);
}

void InterpolateRotAngles(float m) {
  if (gMorphBlend.fromArms == gMorphBlend.targetArms) return;
  for (uint32_t i = 0; i < gRotAngleCount; ++i) {
    RotAngle& r = gRotAngle[i];
    if (std::fabs(r.toAngle - r.fromAngle) > kSameAngle)
      SetMatrix(r, float(double(r.fromAngle) + (double(r.toAngle) - double(r.fromAngle)) * double(m)));
  }
}

void ReleaseRotAngles() {
  delete[] gRotAngle;
  gRotAngle = nullptr;
  gRotAngleCount = 0;
}
