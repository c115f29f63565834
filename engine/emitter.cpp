// The emitter: its motion among the attractors, its jumps, its colour drift
// and its reset.
#include <algorithm>
#include <cmath>

#include "engine/colour.h"
#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/particles.h"
#include "engine/random.h"
#include "engine/rot_angles.h"
#include "platform/clock.h"
#include "render/display.h"

void MoveEmitter() {
  EngineStateRec& e = EngineState;
  Emitter& m = e.emitter;
  float fx = 0, fy = 0;
  bool ultraWide = EffectOn(kUltraWide);
  for (uint32_t i = 0; i < e.attractorCount && i < uint32_t(kMaxAttractors); ++i) {
    float dx = float(e.attractors[i].x) - m.x;
    float dy = float(e.attractors[i].y) - m.y;
    float d2 = dx * dx + dy * dy;
    float r = std::sqrt(d2);
    if (r < e.keepOut[i]) continue;
    if (ultraWide && r < 10 * e.keepOut[i]) continue;
    float k = e.attractors[i].strength * e.attractorScale / (d2 * r);
    fx += k * dx;
    fy += k * dy;
  }
  float width = float(gScreenWidth), height = float(gScreenHeight);
  fx += e.edgeForce / (m.x + 50) - e.edgeForce / (width + 50 - m.x);
  fy += e.edgeForce / (m.y + 50) - e.edgeForce / (height + 50 - m.y);
  m.x += e.forceGain * fx + e.dt * m.vx;
  m.y += e.dt * m.vy + e.forceGain * fy;
  m.vx += e.dt * fx;
  m.vy += e.dt * fy;
}

namespace {

// A random position margin..size-margin-1 on one axis. A size with no room
// inside its margins (the smallest drawing sizes) spreads over the whole
// size instead; the draw is made either way, so the random sequence stays
// the same for every size.
int RandomPlace(uint32_t size, uint32_t margin) {
  uint32_t draw = uint32_t(prismora::rand());
  if (size > 2 * margin) return int(margin + draw % (size - 2 * margin));
  return int(draw % (size > 0 ? size : 1));
}

}  // namespace

void PlaceAttractors() {
  EngineStateRec& e = EngineState;
  for (uint32_t i = 0; i < e.attractorCount && i < uint32_t(kMaxAttractors); ++i) {
    Attractor& a = e.attractors[i];
    float strength = float(2000 + prismora::rand() % 500);
    if (prismora::rand() % 10 == 0) strength = -strength;
    a.strength = strength;
    a.x = RandomPlace(gScreenWidth, 20);
    a.y = RandomPlace(gScreenHeight, 20);
    a.spare = 0;
    e.keepOut[i] = (std::fabs(strength) - 2000) / 500 + 1.5f;
  }
}

namespace {

float JumpVelocity() {
  float v = 3.5f + float(prismora::rand() % 3000) / 1000;
  if (prismora::rand() % 2 == 1) v = -v;
  return v;
}

}  // namespace

void JumpEmitter() {
  Emitter& m = EngineState.emitter;
  uint32_t w = gScreenWidth, h = gScreenHeight;
  if (EffectOn(kFocusOnCentre) || EffectOn(kSpherical)) {
    // A tenth of the width around the centre; at least one pixel wide.
    int spread = std::max(int(w / 10), 1);
    m.x = float(int(w / 2 - w / 20) + prismora::rand() % spread);
    m.y = float(int(h / 2) - int(w / 20) + prismora::rand() % spread);
  } else {
    m.x = float(RandomPlace(w, 100));
    m.y = float(RandomPlace(h, 100));
  }
  m.vx = JumpVelocity();
  m.vy = JumpVelocity();
}

namespace {

void SetEmitterColour(Rgb colour) {
  EngineState.emitter.red = colour.red;
  EngineState.emitter.green = colour.green;
  EngineState.emitter.blue = colour.blue;
}

float DrawPhaseRate() { return float(prismora::rand() % 90) / 1000 + 0.01f; }

}  // namespace

void StepEmitterColour() {
  Emitter& m = EngineState.emitter;
  if (m.driftStarted) {
    m.hue = RandomFraction();
    m.lightnessRate = DrawPhaseRate();
    m.saturationRate = DrawPhaseRate();
    m.driftStarted = 0;
  }
  m.hue += 0.002f;
  if (m.hue > 1) m.hue -= 1;
  m.lightnessPhase += m.lightnessRate;
  if (m.lightnessPhase > kTwoPi) {
    m.lightnessPhase -= kTwoPi;
    m.lightnessRate = DrawPhaseRate();
  }
  m.saturationPhase += m.saturationRate;
  if (m.saturationPhase > kTwoPi) {
    m.saturationPhase -= kTwoPi;
    m.saturationRate = DrawPhaseRate();
  }
  float lightness = (std::sin(m.lightnessPhase) + 1) * 0.5f * 0.3f + 0.5f;
  float saturation = (std::sin(m.saturationPhase) + 1) * 0.5f * 0.3f + 0.7f;
  SetEmitterColour(HslToRgb(m.hue, saturation, lightness));
}

uint32_t SpawnPeriod() {
  const EngineStateRec& e = EngineState;
  uint32_t period = e.trailDensity;
  if (gEffects.slot[kReverse].on == 3) period *= 2;
  if (EffectOn(kMirroredRadial)) period *= 2;
  if (EffectOn(kBallMode)) {
    if (EffectOn(kPaintMode))
      period *= 11;
    else if (e.trailWidth == 1)
      period *= 7;
    else
      period *= 4;
  }
  if (e.lowDensity) period = uint32_t(double(period) * 1.75 + 0.5);
  return period;
}

void InitialiseEngine() {
  EngineStateRec& e = EngineState;
  RebuildArms();
  e.emitter.x = float(gScreenWidth) * 0.5f;
  e.emitter.y = float(gScreenHeight) * 0.5f;
  e.emitter.vx = 0;
  e.emitter.vy = 0;
  e.speedXScale = float(gScreenWidth) * kPi * 16;
  e.speedYScale = float(gScreenHeight) * kPi * 16;
  e.loopRadius = float(gScreenWidth / 50);
  FreeAllParticles();
  e.dt = 0.001f;
  e.forceGain = 5.0e-7f;
  if (gScreenWidth <= 640) {
    e.attractorScale = 1.0f;
    // Small screens get a stronger edge once per edge value, not once more
    // at every reset: repeated resets would make the edge a wall.
    if (!e.edgeBoosted) e.edgeForce *= 2.5f;
    e.edgeBoosted = 1;
  } else {
    e.attractorScale = float(gScreenWidth) / 640 * 1.5f;
  }
  SetEmitterColour(HslToRgb(RandomFraction(), 1.0f, 0.5f));
  for (int& step : e.colourCycleStep) step = prismora::rand() % 3 + 1;
  BuildPalettes();
  e.palettePosition = 0;
  e.nextColourStep = GetTickCount() + uint32_t(e.colourSpeed);
  e.nextJump = GetTickCount() + e.jumpSpeed * 1000;
}
