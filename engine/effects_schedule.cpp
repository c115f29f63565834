// When each effect is due: the table of start and duration times, the
// "Sphere Level" delays of Spherical, and the first frame's schedule.
#include <cstdint>

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/random.h"
#include "patterns/options.h"

namespace {

// Durations that are shorter (or, for Mirrored Radial, fixed) in a given case.
enum class Variant { kNone, kPaintOr3D, k3D, kPaint, kFirstSchedule };

struct EffectTiming {
  bool timed;  // false: decided elsewhere (Paint Mode, Ball Mode), with another effect, or Spherical's own
               // table
  float firstBase, firstSpan;  // ms, start from now when never scheduled
  float laterBase, laterSpan;  // ms, start from now afterwards
  float durationBase, durationSpan;
  Variant variant;
  float variantBase, variantSpan;
};

constexpr EffectTiming kUntimed{false, 0, 0, 0, 0, 0, 0, Variant::kNone, 0, 0};

// In the order of EffectId.
constexpr EffectTiming kTiming[kEffectCount] = {
    /* Curvy Trails */ {true, 0, 90000, 50000, 90000, 15000, 10000, Variant::kNone, 0, 0},
    /* Focus On Centre */ {true, 0, 60000, 50000, 60000, 10000, 5000, Variant::kPaintOr3D, 5000, 5000},
    /* Fragmented */ {true, 0, 30000, 40000, 30000, 10000, 5000, Variant::k3D, 5000, 5000},
    /* Quicksand */ {true, 60000, 120000, 60000, 120000, 15000, 5000, Variant::kNone, 0, 0},
    /* One Colour */ {true, 60000, 50000, 60000, 50000, 20000, 10000, Variant::kNone, 0, 0},
    /* Centre */ {true, 10000, 80000, 60000, 80000, 7000, 3000, Variant::k3D, 3000, 4000},
    /* Fade Head */ {true, 60000, 30000, 60000, 30000, 20000, 10000, Variant::kNone, 0, 0},
    /* Loopy Speed */ {true, 15000, 80000, 60000, 80000, 10000, 10000, Variant::kNone, 0, 0},
    /* Slow Middle */ {true, 10000, 50000, 40000, 50000, 15000, 10000, Variant::kNone, 0, 0},
    /* Variable Speed */ {true, 10000, 70000, 60000, 70000, 20000, 10000, Variant::kNone, 0, 0},
    /* Zero Angle */ {true, 10000, 90000, 60000, 90000, 10000, 5000, Variant::kNone, 0, 0},
    /* Angle Speed */ {true, 0, 90000, 50000, 90000, 20000, 10000, Variant::kNone, 0, 0},
    /* Reverse */ {true, 50000, 40000, 50000, 40000, 30000, 20000, Variant::kNone, 0, 0},
    /* Frosted */ {true, 60000, 80000, 60000, 80000, 10000, 5000, Variant::kNone, 0, 0},
    /* UltraWide */ {true, 60000, 70000, 60000, 70000, 10000, 5000, Variant::kNone, 0, 0},
    /* Paint Mode */ kUntimed,
    /* Spherical */ kUntimed,
    /* Stop */ {true, 10000, 80000, 60000, 80000, 3000, 4000, Variant::kNone, 0, 0},
    /* Tunnel */ {true, 100000, 50000, 100000, 50000, 10000, 10000, Variant::kPaint, 5000, 10000},
    /* Double Bounce */ {true, 60000, 70000, 60000, 70000, 15000, 10000, Variant::kNone, 0, 0},
    /* Coriolis */ {true, 60000, 80000, 60000, 80000, 10000, 5000, Variant::kNone, 0, 0},
    /* Windmill */ {true, 60000, 80000, 60000, 80000, 10000, 10000, Variant::kNone, 0, 0},
    /* Twisty */ {true, 60000, 90000, 60000, 90000, 20000, 20000, Variant::kNone, 0, 0},
    /* Loop The Loop */ {true, 100000, 100000, 100000, 100000, 15000, 5000, Variant::kNone, 0, 0},
    /* Flick Vel */ {true, 50000, 80000, 50000, 80000, 20000, 10000, Variant::kNone, 0, 0},
    /* Colour Cycle */ {true, 50000, 80000, 50000, 80000, 20000, 10000, Variant::kNone, 0, 0},
    /* Ball Mode */ kUntimed,
    /* Two Tone */ {true, 50000, 60000, 50000, 60000, 15000, 10000, Variant::kNone, 0, 0},
    /* Shadow */ {true, 70000, 80000, 70000, 80000, 20000, 10000, Variant::kNone, 0, 0},
    /* Helix */ {true, 70000, 50000, 70000, 50000, 20000, 20000, Variant::kNone, 0, 0},
    /* SpeedXY */ {true, 60000, 50000, 60000, 50000, 30000, 30000, Variant::kNone, 0, 0},
    // The first start also adds rand() mod 20000, drawn before U.
    /* Paletted */ {true, 20000, 60000, 100000, 60000, 15000, 10000, Variant::kNone, 0, 0},
    /* Star Trail */ {true, 80000, 70000, 80000, 70000, 40000, 10000, Variant::kNone, 0, 0},
    /* Variable Width */ {true, 60000, 50000, 60000, 50000, 20000, 20000, Variant::kNone, 0, 0},
    /* Mirrored Radial */ {true, 5000, 0, 30000, 10000, 50000, 10000, Variant::kFirstSchedule, 20000, 0},
    /* Colourful Arms */ {true, 40000, 30000, 40000, 30000, 40000, 30000, Variant::kNone, 0, 0},
    /* Inverse Distance */ {true, 80000, 20000, 80000, 20000, 20000, 40000, Variant::kNone, 0, 0},
    /* Radial Echo */ {true, 80000, 20000, 80000, 20000, 20000, 20000, Variant::kNone, 0, 0},
    /* Complementary Mirror */ kUntimed,
};

constexpr uint32_t kSphereDuration = 15000;  // ms

// Seconds from now to Spherical's start by "Sphere Level" 1..9. Level 3 has
// no upper bound of its own; 240..360 runs on from its neighbours.
struct SphereDelay {
  uint32_t first, second;
};
constexpr SphereDelay kSphereDelay[9] = {{480, 600}, {360, 360}, {240, 360}, {120, 240}, {100, 120},
                                         {80, 100},  {60, 80},   {40, 60},   {20, 40}};

// base + U × span in floating point, truncated.
uint32_t Delay(float base, float span) { return uint32_t(base + RandomFraction() * span); }

void ScheduleSpherical(uint32_t now) {
  uint32_t first = 0, second = 0;
  if (!SphereDelayBounds(gOptions.SphereLevel, &first, &second)) return;
  EffectSlot& slot = gEffects.slot[kSpherical];
  float seconds = float(first) + RandomFraction() * float(second - first);
  slot.startTime = now + uint32_t(seconds * 1000);
  slot.endTime = slot.startTime + kSphereDuration;
}

void ScheduleEvent(EffectSlot& slot, uint32_t now, float base, float span) {
  slot.startTime = now + Delay(base, span);
  slot.endTime = slot.startTime;
}

}  // namespace

bool SphereDelayBounds(int level, uint32_t* firstSeconds, uint32_t* secondSeconds) {
  if (level < 1 || level > 9) return false;
  *firstSeconds = kSphereDelay[level - 1].first;
  *secondSeconds = kSphereDelay[level - 1].second;
  return true;
}

uint32_t EffectDuration(EffectId id, bool firstSchedule) {
  if (id == kSpherical) return kSphereDuration;
  const EffectTiming& t = kTiming[id];
  bool paint = EffectOn(kPaintMode);
  bool solid = EngineState.is3D != 0;
  bool variant = false;
  switch (t.variant) {
    case Variant::kPaintOr3D:
      variant = paint || solid;
      break;
    case Variant::k3D:
      variant = solid;
      break;
    case Variant::kPaint:
      variant = paint;
      break;
    case Variant::kFirstSchedule:
      variant = firstSchedule;
      break;
    case Variant::kNone:
      break;
  }
  return variant ? Delay(t.variantBase, t.variantSpan) : Delay(t.durationBase, t.durationSpan);
}

void ScheduleEffect(EffectId id, uint32_t now) {
  if (id == kSpherical) {
    ScheduleSpherical(now);
    return;
  }
  const EffectTiming& t = kTiming[id];
  if (!t.timed) return;
  EffectSlot& slot = gEffects.slot[id];
  bool first = slot.startTime == 0;
  float base = first ? t.firstBase : t.laterBase;
  if (first && id == kPaletted) base += float(prismora::rand() % 20000);
  slot.startTime = now + Delay(base, first ? t.firstSpan : t.laterSpan);
  slot.endTime = slot.startTime + EffectDuration(id, first);
  if (id == kFragmented) EngineState.fragmentPeriod = 2000 + uint32_t(prismora::rand() % 3000);
}

void ScheduleRest(uint32_t now) {
  EffectSlot& rest = gEffects.rest;
  rest.startTime = now + Delay(60000, 120000);
  rest.endTime = rest.startTime + Delay(10000, 5000);
}

void ScheduleWhirl(uint32_t now) { ScheduleEvent(gEffects.whirl, now, 70000, 50000); }

void ScheduleBurst(uint32_t now) { ScheduleEvent(gEffects.burst, now, 20000, 30000); }

void ScheduleAllEffects(uint32_t now) {
  for (int id = 0; id < kEffectCount; ++id)
    if (id != kSpherical) ScheduleEffect(EffectId(id), now);
  ScheduleRest(now);
  ScheduleWhirl(now);
  ScheduleBurst(now);
  if (gOptions.SphereLevel >= 10)
    TurnEffectOn(kSpherical, now);
  else
    ScheduleSpherical(now);
}
