// Trail particles: the live and free lists, spawning from the emitter with
// every effect that shapes a new particle, and the particle step that moves,
// recolours, fades and ages the live ones.
//
// A particle keeps a snapshot of the effect states that matter to it, taken
// at birth, so switching an effect never changes particles already in flight.
// Dead records go onto gFreeParticles and are reused, so once the trails
// have reached their length nothing more is allocated.
#include "engine/particles.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <new>

#include "diag/log.h"
#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "render/display.h"
#include "render/pixel_format.h"

TrailParticle* gParticles = nullptr;
TrailParticle* gFreeParticles = nullptr;

namespace {

constexpr float kHalfPi = 1.5707965f;
constexpr float kThreeHalvesPi = 4.7123895f;
constexpr uint32_t kPaletteSteps = 200;  // the Paletted position runs 0..200
constexpr uint32_t kPaletteMoveMs = 50;

TrailParticle* TakeRecord() {
  if (TrailParticle* p = gFreeParticles) {
    gFreeParticles = p->next;
    if (gFreeParticles) gFreeParticles->prev = nullptr;
    return p;
  }
  return new (std::nothrow) TrailParticle;
}

float WrapAngle(float angle) { return angle > kTwoPi ? angle - kTwoPi : angle; }

bool Chance(uint32_t n) { return prismora::rand() % int(n) == 0; }

// The direction of (x, y) in [0, 2π).
float Direction(float x, float y) {
  if (x == 0) return y > 0 ? kHalfPi : kThreeHalvesPi;
  float a = std::atan(y / x);
  if (x < 0) a += kPi;
  if (x > 0 && y < 0) a += kTwoPi;
  return a;
}

float ScreenWidth() { return float(gScreenWidth); }
float ScreenHeight() { return float(gScreenHeight); }

Rgb PaletteColour(int index) {
  int choice = gEffects.params.paletteChoice;
  if (choice < 0 || choice > 2) choice = 0;
  const uint8_t* entry = EngineState.palette[choice][index];
  return Rgb{entry[0], entry[1], entry[2]};
}

bool ArmColourIsComplementary() {
  return EffectOn(kColourfulArms) || EffectOn(kComplementaryMirror) || EffectOn(kHelix) || EffectOn(kShadow);
}

uint32_t Pack(int red, int green, int blue) {
  return PackPixel(uint32_t(red), uint32_t(green), uint32_t(blue));
}

void SetBase(TrailParticle* p, Rgb c) {
  p->baseRed = c.red;
  p->baseGreen = c.green;
  p->baseBlue = c.blue;
}

void SetHead(TrailParticle* p, Rgb c) {
  p->headRed = c.red;
  p->headGreen = c.green;
  p->headBlue = c.blue;
  p->pixel = Pack(c.red, c.green, c.blue);
}

// The arm colour follows the head colour, complementary while an effect
// colours the arms.
void SetArmFromHead(TrailParticle* p) {
  Rgb arm{p->headRed, p->headGreen, p->headBlue};
  if (ArmColourIsComplementary()) arm = ComplementaryColour(arm);
  p->armRed = arm.red;
  p->armGreen = arm.green;
  p->armBlue = arm.blue;
  p->pixel2 = Pack(arm.red, arm.green, arm.blue);
}

Rgb Base(const TrailParticle* p) { return Rgb{p->baseRed, p->baseGreen, p->baseBlue}; }

// base × numerator / denominator per channel, truncated; black when past the
// end (a whirl can shorten a returning particle's life below its age).
Rgb Scaled(Rgb base, int64_t numerator, int64_t denominator) {
  // No fading span at all (fade age at the end of life): past it is black.
  if (numerator < 0 || denominator <= 0) return Rgb{0, 0, 0};
  float f = float(numerator);
  float d = float(denominator);
  return Rgb{int(float(base.red) * f / d), int(float(base.green) * f / d), int(float(base.blue) * f / d)};
}

// The position of a new particle, first match wins.
void PlaceNewParticle(TrailParticle* p) {
  const EngineStateRec& e = EngineState;
  EffectParamsRec& q = gEffects.params;
  const Emitter& m = e.emitter;
  if (EffectOn(kCentre)) {
    p->x = ScreenWidth() * 0.5f;
    p->y = ScreenHeight() * 0.5f;
  } else if (EffectOn(kStop)) {
    p->x = q.stopX;
    p->y = q.stopY;
  } else if (EffectOn(kTwisty)) {
    p->x = ScreenWidth() * 0.5f + ScreenHeight() * std::cos(m.x / q.twistyRadius) / 7.68f;
    p->y = ScreenHeight() * 0.5f + ScreenHeight() * std::sin(m.y / q.twistyRadius) / 7.68f;
  } else if (!EffectOn(kHelix)) {
    p->x = m.x;
    p->y = m.y;
  } else {
    float r = ScreenWidth() / 1024 * 15;
    if (gCurrentPattern == 19)
      r = ScreenWidth() / 1024 * ((std::cos(e.pattern19Phase) + 1) * 0.5f * 100 + 500);
    float side = q.helixSide ? -1.0f : 1.0f;
    p->x = m.x + side * r * std::cos(q.helixAngle);
    p->y = m.y + side * r * std::sin(q.helixAngle);
    bool fastHelix = gCurrentPattern == 18 || gCurrentPattern == 19;
    q.helixAngle = WrapAngle(q.helixAngle + (fastHelix ? 0.26179942f : 0.004f));
    q.helixSide = !q.helixSide;
  }
}

// Both UltraWide rules: a random direction scaled by the emitter's velocity.
// With Variable Width also on, the new particle takes this rule too; the
// spread then only colours it.
void UltraWideVelocity(TrailParticle* p, float* a) {
  const Emitter& m = EngineState.emitter;
  *a = RandomFraction() * kTwoPi;
  p->vx = std::cos(*a) * m.vx / 10;
  p->vy = -std::cos(*a) * m.vy / 10;
}

void PushLive(TrailParticle* p) {
  p->prev = nullptr;
  p->next = gParticles;
  if (gParticles) gParticles->prev = p;
  gParticles = p;
}

// Whirl and burst events that fall on this particle step. Their timers
// belong to the effect automaton, which arms them in gEffects.params; a
// particle step consumes what is armed.
struct ParticleEvents {
  bool whirl = false;
  bool burst = false;
};

ParticleEvents ArmWhirlAndBurstForStep() {
  const EffectParamsRec& q = gEffects.params;
  return ParticleEvents{q.whirlArmed != 0, q.burstArmed != 0};
}

void DisarmWhirlAndBurst() {
  gEffects.params.whirlArmed = 0;
  gEffects.params.burstArmed = 0;
}

// Keeps every k-th particle of the live list, newest first.
void ThinByArmFactor() {
  int k = gMorphBlend.armFactor;
  if (k == 0) return;
  int position = 0;
  TrailParticle* p = gParticles;
  while (p) {
    if (position % k != 0)
      p = KillParticle(p);
    else
      p = p->next;
    ++position;
  }
  gMorphBlend.armFactor = 0;
}

void CycleColour(TrailParticle* p) {
  bool gentle = gEffects.params.colourCycleMode == 0;
  for (int channel = 0; channel < 3; ++channel) {
    int& value = channel == 0 ? p->baseRed : channel == 1 ? p->baseGreen : p->baseBlue;
    int& step = EngineState.colourCycleStep[channel];
    value += gentle ? step / 3 : step;
    bool hit = false;
    if (value > 255) {
      value = 255;
      hit = true;
    } else if (value < 64) {
      value = 64;
      hit = true;
    }
    if (gentle && hit) step = -step;
  }
  SetHead(p, Base(p));
}

void Flick(TrailParticle* p) {
  const EngineStateRec& e = EngineState;
  if (gEffects.params.flickMode == 2) {
    float vx = p->vx;
    p->vx = p->vy;
    p->vy = -vx;
    return;
  }
  float refX = e.emitter.x, refY = e.emitter.y;
  if (gEffects.params.flickMode == 1) refX = refY = ScreenWidth() * 0.5f;
  float dx = p->x - refX, dy = p->y - refY;
  float distance = std::sqrt(dx * dx + dy * dy);
  if (distance == 0) return;  // already at the point: no direction to turn to
  float speed = std::sqrt(p->vx * p->vx + p->vy * p->vy);
  p->vx = -speed * dx / distance;
  p->vy = -speed * dy / distance;
}

void Burst(TrailParticle* p) {
  const EffectParamsRec& q = gEffects.params;
  switch (q.burstMode) {
    case 3:
      p->vx = std::cos(p->x / ScreenWidth() * kPi * q.burstWave);
      p->vy = std::sin(p->y / ScreenHeight() * kPi * q.burstWave);
      break;
    case 2: {
      float a = Direction(p->x, p->y);
      p->vx = 2 * std::cos(a);
      p->vy = 2 * std::sin(a);
      break;
    }
    case 0:
      p->vx += 2;
      p->vy += 2;
      break;
    default:
      p->vx = -p->vx;
      p->vy = -p->vy;
      break;
  }
}

void Whirl(TrailParticle* p) {
  const EffectParamsRec& q = gEffects.params;
  float a = RandomFraction() * kTwoPi;
  p->vx = p->vx * q.whirlKeep + std::cos(a) * q.whirlPush;
  p->vy = p->vy * q.whirlKeep + std::sin(a) * q.whirlPush;
  p->lifetime = p->lifetime * 2 / 3;
  p->fadeAge = p->fadeAge * 2 / 3;
  p->braking = 1;
}

void Drag(TrailParticle* p) {
  bool comingBack = p->reverseMode != 0 && p->returning;
  if (EffectOn(kQuicksand)) {
    if (comingBack) {
      p->vx *= 1.015f;
      p->vy *= 1.015f;
    } else {
      p->vx /= 1.03f;
      p->vy /= 1.03f;
    }
  } else if (EffectOn(kPaintMode)) {
    if (comingBack) {
      p->vx *= 1.005f;
      p->vy *= 1.005f;
    } else {
      p->vx /= 1.01f;
      p->vy /= 1.01f;
    }
  }
}

// Sparkle, fade-in or fade-out; a considered sparkle replaces the fade for
// this step.
void FadeOrSparkle(TrailParticle* p) {
  const EngineStateRec& e = EngineState;
  int64_t age = p->age, lifetime = p->lifetime, fadeAge = p->fadeAge;
  int64_t fadeInEnd = fadeAge / 2;
  bool inFadeIn = p->fadeHead && age < fadeInEnd;
  if (e.sparkle && e.sparkliness != 0 && Chance(e.sparkliness) && !inFadeIn) {
    if (age < fadeAge + (lifetime - fadeAge) / 2) p->sparkle = 1;
    return;
  }
  // The fade-in reaches the base colour at exactly half the fade age.
  if (p->fadeHead && fadeInEnd > 0 && age <= fadeInEnd) {
    SetHead(p, Scaled(Base(p), age, fadeInEnd));
  } else if (age > fadeAge && !(EffectOn(kBallMode) && EffectOn(kPaintMode))) {
    SetHead(p, Scaled(Base(p), lifetime - age, lifetime - fadeAge));
  } else {
    return;
  }
  SetArmFromHead(p);
}

// Ages p; returns its successor, killing it when its life is over.
TrailParticle* Age(TrailParticle* p) {
  if (p->reverseMode == 0) {
    p->age += p->ageStep;
    if (p->age >= p->lifetime) return KillParticle(p);
  } else if (!p->returning) {
    p->age += p->ageStep;
    if (p->age >= p->lifetime) {
      p->returning = 1;
      p->vx = -p->vx;
      p->vy = -p->vy;
    }
  } else {
    if (p->age <= 1) return KillParticle(p);
    p->age -= 1;
  }
  return p->next;
}

}  // namespace

Rgb OneColourOfValue(int v) {
  const EffectParamsRec& q = gEffects.params;
  int channel[3];
  for (int c = 0; c < 3; ++c) {
    float value;
    if (q.oneColourMultiplier[c] > 0) {
      float ratio = q.oneColourRate[c] > 0 ? float(v) / q.oneColourRate[c] : 1.0f;
      value = (1 - (ratio < 1 ? ratio : 1.0f)) * 255;
    } else if (v <= q.oneColourThreshold) {
      value = 255;
    } else {
      int span = q.oneColourPeriod - q.oneColourThreshold;
      value = span > 0 ? float(q.oneColourPeriod - v) * 255 / float(span) : 0;
    }
    int level = int(value);
    channel[c] = level < 0 ? 0 : level > 255 ? 255 : level;
  }
  return Rgb{channel[0], channel[1], channel[2]};
}

bool SpawnParticle() { return SpawnParticle(GetTickCount()); }

bool SpawnParticle(uint32_t now) {
  TrailParticle* p = TakeRecord();
  if (!p) {
    LogDebug("AddTrailParticle: Allocating NewParticle failed.\n");
    return false;
  }
  EngineStateRec& e = EngineState;
  EffectParamsRec& q = gEffects.params;
  const Emitter& m = e.emitter;
  *p = TrailParticle{};

  p->returning = 0;
  p->reverseMode = gEffects.slot[kReverse].on;
  p->ageStep = 1;

  if (!EffectOn(kBallMode)) {
    p->ball = 0;
  } else {
    p->ball = 1;
    if (e.trailWidth < 2) {
      p->ballSize = 1 + prismora::rand() % 2;
    } else {
      int size = prismora::rand() % 4;
      p->ballSize = size == 3 ? 2 : size;
    }
  }

  PlaceNewParticle(p);

  if (EffectOn(kTunnel) && !EffectOn(kDoubleBounce)) {
    q.tunnelPhase = int((std::cos(q.tunnelAngle) + 1) * 0.5f * 100);
    q.tunnelAngle = WrapAngle(q.tunnelAngle + 0.0001f);
  }

  p->lifetime = e.trailLength;
  p->age = 0;
  p->fadeAge = e.fadeAge;
  p->sparkle = 0;
  p->oneColour = EffectOn(kOneColour);
  p->fadeHead = EffectOn(kFadeHead) || e.alwaysFadeHead;
  p->tunnelPhase = q.tunnelPhase;
  p->tunnel = EffectOn(kTunnel);
  p->doubleBounce = EffectOn(kDoubleBounce);
  p->coriolis = EffectOn(kCoriolis);
  p->windmill = EffectOn(kWindmill);
  p->loopTheLoop = EffectOn(kLoopTheLoop);

  p->star = EffectOn(kStarTrail) && Chance(50);

  if (EffectOn(kRadialEcho)) {
    float k = float(prismora::rand() % 3) * q.echoAmount + 1;
    p->x = (ScreenWidth() - p->x) / k;
    p->y = (ScreenHeight() - p->y) / k;
  }

  float s = std::sqrt(m.vx * m.vx + m.vy * m.vy) * (EffectOn(kCentre) ? 0.08f : 0.05f);
  if (e.is3D) s *= 0.75f;

  // Under UltraWide the angle stays where the last spawn of this call left it.
  float a = e.spawnAngle;
  if (!EffectOn(kUltraWide)) {
    if (EffectOn(kZeroAngle))
      a = 0;
    else if (EffectOn(kAngleSpeed))
      a = s * 5;
    else
      a = Direction(-m.vx, -m.vy);
  }

  if (e.spiralTrail) {
    a += e.spiralAngle;
    e.spiralAngle = WrapAngle(e.spiralAngle + e.spiralInc);
    s *= 0.5f;
  }
  if (EffectOn(kLoopySpeed)) {
    q.loopyPhase = WrapAngle(q.loopyPhase + 0.01f);
    s *= std::cos(q.loopyPhase);
  }
  if (EffectOn(kSpeedXY)) s *= (std::cos(m.x / e.speedXScale) + std::sin(m.y / e.speedYScale)) * 0.5f;

  Rgb colour{m.red, m.green, m.blue};
  if (EffectOn(kOneColour) && q.oneColourSpeedMode) {
    float capped = s < 1.3f ? s : 1.3f;
    q.oneColourValue = int((1 - capped / 1.3f) * float(q.oneColourPeriod));
    colour = OneColourOfValue(q.oneColourValue);
  }
  if (e.spiralTrail) {
    float shade = (std::sin(e.spiralAngle + kHalfPi) + 1) * 3 * 0.125f + 0.25f;
    colour = Rgb{int(float(colour.red) * shade), int(float(colour.green) * shade),
                 int(float(colour.blue) * shade)};
  }
  if (EffectOn(kHelix) && q.helixSide) colour = ComplementaryColour(colour);
  if (EffectOn(kShadow) && gStepCount % 2 == 1) {
    p->x = ScreenWidth() / 2 + (p->x - ScreenWidth() / 2) * 0.5f;
    p->y = ScreenHeight() / 2 + (p->y - ScreenHeight() / 2) * 0.5f;
    colour = ComplementaryColour(colour);
  }

  if ((EffectOn(kVariableWidth) || !EffectOn(kUltraWide)) && e.trailWidth != 0) {
    float w = float(e.trailWidth);
    if (EffectOn(kVariableWidth)) {
      w = (std::cos(e.widthPhase) + 1) * 0.5f * 90;
      s *= (std::cos(2 * e.widthPhase) + 1) * 0.5f;
    }
    float o;
    if (prismora::rand() % 1000 < 201) {
      o = prismora::rand() % 2 ? -w : w;
      if (EffectOn(kPaintMode)) colour = Rgb{0, 0, 0};
    } else {
      o = w * float(prismora::rand() % 2000 - 1000) / 1000;
    }
    // A breathing width can pass through 0; the whole trail is then its middle.
    float outward = w > 0 ? std::fabs(o) / w : 0;
    if (EffectOn(kTwoTone) && RandomFraction() < outward) {
      Rgb old = colour;
      colour = Rgb{255 - old.green, 255 - old.blue, 255 - old.red};
      for (int* channel : {&colour.red, &colour.green, &colour.blue})
        if (*channel < 64) *channel = 64;
    }
    a += o * kTwoPi / 360;
    if (EffectOn(kSlowMiddle)) s = w > 0 ? s * std::fabs(o) / w : 0;
  }

  if (EffectOn(kVariableSpeed)) s *= std::cos(a);

  if (EffectOn(kPaletted)) {
    p->paletteIndex = e.palettePosition;
    colour = PaletteColour(p->paletteIndex);
    if (now - q.paletteMoved > kPaletteMoveMs) {
      e.palettePosition = e.palettePosition + 1 > int(kPaletteSteps) ? 0 : e.palettePosition + 1;
      q.paletteMoved = now;
    }
  } else {
    p->paletteIndex = -1;
  }

  SetBase(p, colour);
  SetHead(p, p->fadeHead ? Rgb{0, 0, 0} : colour);
  SetArmFromHead(p);

  if (!EffectOn(kUltraWide)) {
    p->vx = s * std::cos(a);
    p->vy = s * std::sin(a);
  } else {
    UltraWideVelocity(p, &a);
  }
  e.spawnAngle = a;

  p->vx0 = p->vx;
  p->vy0 = p->vy;
  p->braking = 0;
  PushLive(p);
  return true;
}

void StepParticles() {
  ThinByArmFactor();
  ParticleEvents events = ArmWhirlAndBurstForStep();
  EffectParamsRec& q = gEffects.params;
  bool curvy = EffectOn(kCurvyTrails);
  if (curvy) {
    q.curvyPhase = WrapAngle(q.curvyPhase + 0.01f);
    q.curvyFactorX = 2 * std::cos(q.curvyPhase);
    q.curvyFactorY = 2 * std::sin(q.curvyPhase);
  }
  bool oneColourByAge = EffectOn(kOneColour) && !q.oneColourSpeedMode;

  TrailParticle* p = gParticles;
  while (p) {
    if (EffectOn(kColourCycle)) CycleColour(p);
    if (EffectOn(kFlickVel) && p->age == p->lifetime / 4) Flick(p);
    if (events.burst) Burst(p);
    if (events.whirl) {
      Whirl(p);
    } else if (p->braking) {
      p->vx /= 1.01f;
      p->vy /= 1.01f;
    }
    p->x += p->vx;
    p->y += p->vy;
    Drag(p);
    if (curvy) {
      p->vx = p->vx0 * q.curvyFactorX;
      p->vy = p->vy0 * q.curvyFactorY;
    }
    if (EffectOn(kFrosted) && Chance(100)) p->vx = p->vy = 0;
    p->sparkle = 0;
    if (oneColourByAge && p->oneColour) {
      int64_t span = p->lifetime;
      q.oneColourValue = span > 0 ? int(int64_t(p->age) * q.oneColourPeriod / span) : q.oneColourPeriod;
      Rgb colour = OneColourOfValue(q.oneColourValue);
      SetBase(p, colour);
      SetHead(p, colour);
    }
    if (p->paletteIndex != -1) {
      Rgb colour = PaletteColour(p->paletteIndex);
      SetBase(p, colour);
      SetHead(p, colour);
      p->paletteIndex += 1;
      if (p->paletteIndex > int(kPaletteSteps)) p->paletteIndex -= int(kPaletteSteps);
    }
    FadeOrSparkle(p);
    p = Age(p);
  }
  DisarmWhirlAndBurst();
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
