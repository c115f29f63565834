// The effect automaton: every frame each effect may come on (when it is due,
// allowed and, if counted, below gMaxEffects) or go off (when its time is up),
// and a key request flips it at once. Besides the effects it runs the rest
// period, the whirl and burst timers and the switch-off at a pattern change.
#include <initializer_list>

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "render/renderer_state.h"

namespace {

// The effects a rest switches off, in that order: Reverse and Tunnel before
// Double Bounce, so that while it carries them only it leaves the count.
constexpr EffectId kRestedEffects[] = {
    kSlowMiddle,    kVariableSpeed, kZeroAngle,    kTwoTone,     kLoopySpeed, kAngleSpeed,  kFrosted,
    kCurvyTrails,   kCoriolis,      kWindmill,     kStarTrail,   kReverse,    kOneColour,   kFragmented,
    kTunnel,        kTwisty,        kDoubleBounce, kLoopTheLoop, kFlickVel,   kColourCycle, kShadow,
    kVariableWidth, kHelix,         kSpeedXY,      kPaletted,    kStop,       kCentre,
};

bool AlwaysUltraWide() {
  return gPresets && gCurrentPattern < gPatternCount && gPresets[gCurrentPattern].AlwaysUltraWide;
}

// While a rest lasts, the timers of everything it switched off stand still;
// key requests are still answered.
bool TimersRun(EffectId id) {
  if (!gEffects.rest.on) return true;
  return id == kSpherical || id == kColourfulArms || id == kInverseDistance || id == kRadialEcho;
}

void ComeOn(EffectId id, uint32_t now) {
  EffectSlot& slot = gEffects.slot[id];
  bool asked = slot.toggleRequest != 0;
  TurnEffectOn(id, now);
  if (asked) {
    slot.endTime = now + EffectDuration(id, false);
    slot.toggleRequest = 0;
  }
}

void GoOff(EffectId id, uint32_t now) {
  gEffects.slot[id].toggleRequest = 0;
  TurnEffectOff(id, now);
  ScheduleEffect(id, now);
}

void PlainPass(EffectId id, uint32_t now) {
  EffectSlot& slot = gEffects.slot[id];
  const EngineStateRec& e = EngineState;
  if ((id == kFadeHead && e.alwaysFadeHead) || (id == kQuicksand && e.alwaysQuicksand)) return;
  if (id == kUltraWide && AlwaysUltraWide()) {
    SetEffect(kUltraWide, 1);
    return;
  }
  bool timers = TimersRun(id);
  if (!EffectAllowed(id)) {
    if (id == kQuicksand && slot.on) GoOff(id, now);
    if (id == kFocusOnCentre && timers && slot.endTime <= now) {
      SetEffect(kFocusOnCentre, 0);
      FocusOnCentreOffAction();
      ScheduleEffect(id, now);
    }
    return;
  }
  if ((id == kTunnel || id == kReverse) && EffectOn(kDoubleBounce)) {
    // Double Bounce's timers decide for it; only a key takes it away.
    if (slot.toggleRequest) GoOff(id, now);
    return;
  }
  if (slot.startTime == 0) ScheduleEffect(id, now);
  if (!slot.on) {
    if (!((timers && slot.startTime < now) || slot.toggleRequest)) return;
    if (EffectCounts(id) && gActiveEffects >= gMaxEffects) {
      ScheduleEffect(id, now);
      return;
    }
    ComeOn(id, now);
  } else if ((timers && slot.endTime <= now) || slot.toggleRequest) {
    GoOff(id, now);
  }
}

void ColourfulArmsPass(uint32_t now) {
  EffectSlot& slot = gEffects.slot[kColourfulArms];
  if (!EffectAllowed(kColourfulArms)) return;
  if (slot.startTime == 0) ScheduleEffect(kColourfulArms, now);
  if (!slot.on) {
    if (now >= slot.startTime || slot.toggleRequest) ComeOn(kColourfulArms, now);
  } else if (now >= slot.endTime || slot.toggleRequest) {
    GoOff(kColourfulArms, now);
  }
}

// Mirrored Radial, Inverse Distance and Radial Echo: the end only asks for
// the fade-out, and the fade pass switches the effect off.
void FadingPass(EffectId id, uint32_t now) {
  EffectSlot& slot = gEffects.slot[id];
  if (!EffectAllowed(id)) return;
  bool timers = TimersRun(id);
  if (slot.startTime == 0) ScheduleEffect(id, now);
  if (!slot.on) {
    if ((timers && slot.startTime < now) || slot.toggleRequest) ComeOn(id, now);
    return;
  }
  // Radial Echo's key only switches it on; its request waits while it is on.
  bool asked = slot.toggleRequest && id != kRadialEcho;
  if ((timers && slot.endTime <= now) || asked) {
    if (asked) slot.toggleRequest = 0;
    RequestEffectStop(id);
  }
}

void SphericalPass(uint32_t now) {
  EffectSlot& slot = gEffects.slot[kSpherical];
  if (gOptions.SphereLevel >= 10) {
    // On for good: its key is ignored, and whatever ran it out brings it back.
    slot.toggleRequest = 0;
    if (!slot.on && !gSphereEnding) TurnEffectOn(kSpherical, now);
    return;
  }
  if (!EffectAllowed(kSpherical)) return;
  if (slot.startTime == 0) ScheduleEffect(kSpherical, now);
  if (!slot.on) {
    if (slot.startTime < now || slot.toggleRequest) ComeOn(kSpherical, now);
  } else if (gSphereEnding) {
    slot.toggleRequest = 0;  // already running out
  } else if (slot.endTime <= now || slot.toggleRequest) {
    // The renderer runs the sphere out and then switches it off.
    slot.toggleRequest = 0;
    gSphereEnding = 1;
    ScheduleEffect(kSpherical, now);
  }
}

void BeginRest(uint32_t now) {
  EngineStateRec& e = EngineState;
  bool paletted = EffectOn(kPaletted);
  if (EffectOn(kFocusOnCentre)) {
    SetEffect(kFocusOnCentre, 0);
    FocusOnCentreOffAction();
    ScheduleEffect(kFocusOnCentre, now);
  }
  for (EffectId id : kRestedEffects) {
    if (!EffectOn(id)) continue;
    SetEffect(id, 0);
    ScheduleEffect(id, now);
  }
  if (EffectOn(kUltraWide)) {
    SetEffect(kUltraWide, 0);
    ScheduleEffect(kUltraWide, now);
  }
  for (EffectId id : {kFadeHead, kQuicksand}) {
    bool was = EffectOn(id);
    SetEffect(id, id == kFadeHead ? e.alwaysFadeHead : e.alwaysQuicksand);
    if (was && !EffectOn(id)) ScheduleEffect(id, now);
  }
  RequestEffectStop(kMirroredRadial);
  RestoreTrailLength();
  if (paletted) RestoreSparkliness();
  RecountActiveEffects();
}

void RestPass(uint32_t now) {
  EffectSlot& rest = gEffects.rest;
  if (rest.startTime == 0) ScheduleRest(now);
  if (!rest.on) {
    if (!(rest.startTime < now || rest.toggleRequest)) return;
    rest.on = 1;
    if (rest.toggleRequest) rest.endTime = now + (rest.endTime - rest.startTime);
    rest.toggleRequest = 0;
    BeginRest(now);
  } else if (rest.endTime <= now || rest.toggleRequest) {
    rest.toggleRequest = 0;
    rest.on = 0;
    ScheduleRest(now);
  }
}

void ArmWhirl() {
  EffectParamsRec& q = gEffects.params;
  q.whirlKeep = RandomFraction() * 4;
  q.whirlPush = 5 - q.whirlKeep;
  q.whirlArmed = 1;
}

void ArmBurst() {
  EffectParamsRec& q = gEffects.params;
  q.burstMode = prismora::rand() % 4;
  if (q.burstMode == 3) q.burstWave = RandomFraction() * 5 + 1;
  q.burstArmed = 1;
}

void EventPass(EffectSlot& slot, uint32_t now, void (*schedule)(uint32_t), void (*arm)()) {
  if (slot.startTime == 0) {
    schedule(now);  // the very first scheduling never fires
    return;
  }
  if (!(slot.startTime < now || slot.toggleRequest)) return;
  slot.toggleRequest = 0;
  schedule(now);
  if (!EffectOn(kPaintMode) && !gOptions.Simple) arm();
}

}  // namespace

void RunEffectScheduler(uint32_t now) {
  RestPass(now);
  for (int i = 0; i < kEffectCount; ++i) {
    EffectId id = EffectId(i);
    switch (id) {
      case kPaintMode:
      case kBallMode:
      case kComplementaryMirror:
      case kSpherical:
      case kPaletted:
      case kSpeedXY:
      case kMirroredRadial:
        break;
      case kColourfulArms:
        ColourfulArmsPass(now);
        break;
      case kInverseDistance:
      case kRadialEcho:
        FadingPass(id, now);
        break;
      default:
        PlainPass(id, now);
        break;
    }
  }
  RecountActiveEffects();
}

void RunDisplayEffectScheduling(uint32_t now) {
  SphericalPass(now);
  PlainPass(kPaletted, now);
  PlainPass(kSpeedXY, now);
  FadingPass(kMirroredRadial, now);
  RecountActiveEffects();
}

void RunWhirlAndBurstTimers(uint32_t now) {
  EventPass(gEffects.whirl, now, ScheduleWhirl, ArmWhirl);
  EventPass(gEffects.burst, now, ScheduleBurst, ArmBurst);
}

void SwitchOffDisallowedEffects(uint32_t now) {
  for (EffectId id : {kFragmented, kUltraWide, kDoubleBounce, kLoopTheLoop, kColourfulArms, kZeroAngle,
                      kSlowMiddle, kOneColour, kCentre, kVariableSpeed}) {
    if (EffectAllowed(id)) continue;
    if (EffectOn(id)) TurnEffectOff(id, now);
    ScheduleEffect(id, now);
  }
  if (!EffectAllowed(kQuicksand)) {
    if (EffectOn(kQuicksand)) TurnEffectOff(kQuicksand, now);
    if (!EngineState.alwaysQuicksand) ScheduleEffect(kQuicksand, now);
  }
  if (EffectOn(kSpherical) && !EffectAllowed(kSpherical)) {
    RequestEffectStop(kSpherical);
    ScheduleEffect(kSpherical, now);
  }
  for (EffectId id : {kMirroredRadial, kInverseDistance, kRadialEcho})
    if (EffectOn(id) && !EffectAllowed(id)) RequestEffectStop(id);
  RecountActiveEffects();
}
