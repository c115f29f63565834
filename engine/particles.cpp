// Trail particles, in their simplest form: born at the emitter moving
// against its travel, spread by the trail width, fading over the last part
// of their life, dying at the trail length. The effect-dependent branches
// come with the effects.
#include "engine/particles.h"

#include <cmath>
#include <initializer_list>
#include <new>

#include "diag/log.h"
#include "engine/engine_state.h"
#include "engine/random.h"
#include "render/pixel_format.h"

TrailParticle* gParticles = nullptr;
TrailParticle* gFreeParticles = nullptr;

namespace {

TrailParticle* TakeRecord() {
  if (TrailParticle* p = gFreeParticles) {
    gFreeParticles = p->next;
    if (gFreeParticles) gFreeParticles->prev = nullptr;
    return p;
  }
  return new (std::nothrow) TrailParticle;
}

// The direction of (x, y) in [0, 2π).
float Direction(float x, float y) {
  if (x == 0) return y > 0 ? 1.5707965f : 4.7123895f;
  float a = std::atan(y / x);
  if (x < 0) a += kPi;
  if (x > 0 && y < 0) a += kTwoPi;
  return a;
}

void Repack(TrailParticle* p) {
  p->pixel = PackPixel(uint32_t(p->headRed), uint32_t(p->headGreen), uint32_t(p->headBlue));
  p->armRed = p->headRed;
  p->armGreen = p->headGreen;
  p->armBlue = p->headBlue;
  p->pixel2 = p->pixel;
}

}  // namespace

bool SpawnParticle() {
  TrailParticle* p = TakeRecord();
  if (!p) {
    LogDebug("AddTrailParticle: Allocating NewParticle failed.\n");
    return false;
  }
  const EngineStateRec& e = EngineState;
  const Emitter& m = e.emitter;
  *p = TrailParticle{};
  p->x = m.x;
  p->y = m.y;
  p->lifetime = e.trailLength;
  p->fadeAge = e.fadeAge;
  float s = std::sqrt(m.vx * m.vx + m.vy * m.vy) * 0.05f;
  if (e.is3D) s *= 0.75f;
  float a = Direction(-m.vx, -m.vy);
  if (e.trailWidth != 0) {
    float w = float(e.trailWidth);
    float o = w * float(prismora::rand() % 2000 - 1000) / 1000;
    a += o * kTwoPi / 360;
  }
  EngineState.spawnAngle = a;
  p->baseRed = p->headRed = m.red;
  p->baseGreen = p->headGreen = m.green;
  p->baseBlue = p->headBlue = m.blue;
  Repack(p);
  p->vx = p->vx0 = s * std::cos(a);
  p->vy = p->vy0 = s * std::sin(a);
  p->next = gParticles;
  if (gParticles) gParticles->prev = p;
  gParticles = p;
  return true;
}

void StepParticles() {
  TrailParticle* p = gParticles;
  while (p) {
    p->x += p->vx;
    p->y += p->vy;
    if (p->age > p->fadeAge && p->lifetime > p->fadeAge) {
      uint32_t left = p->lifetime > p->age ? p->lifetime - p->age : 0;
      uint32_t span = p->lifetime - p->fadeAge;
      p->headRed = int(uint32_t(p->baseRed) * left / span);
      p->headGreen = int(uint32_t(p->baseGreen) * left / span);
      p->headBlue = int(uint32_t(p->baseBlue) * left / span);
      Repack(p);
    }
    p->age += p->ageStep;
    if (p->age >= p->lifetime)
      p = KillParticle(p);
    else
      p = p->next;
  }
}

TrailParticle* KillParticle(TrailParticle* p) {
  TrailParticle* following = p->next;
  if (p->prev)
    p->prev->next = p->next;
  else
    gParticles = p->next;
  if (p->next) p->next->prev = p->prev;
  p->prev = nullptr;
  p->next = gFreeParticles;
  if (gFreeParticles) gFreeParticles->prev = p;
  gFreeParticles = p;
  return following;
}

void FreeAllParticles() {
  for (TrailParticle** list : {&gParticles, &gFreeParticles}) {
    TrailParticle* p = *list;
    while (p) {
      TrailParticle* following = p->next;
      delete p;
      p = following;
    }
    *list = nullptr;
  }
}

unsigned LiveParticleCount() {
  unsigned count = 0;
  for (const TrailParticle* p = gParticles; p; p = p->next) ++count;
  return count;
}
