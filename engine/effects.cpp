// The effect states and counters, the conditions under which each effect may
// come on, and the requests the keys and the morph make of the automaton.
#include "engine/effects.h"

#include <initializer_list>

#include "engine/engine_state.h"
#include "engine/morph.h"
#include "patterns/options.h"
#include "patterns/preset.h"

EffectsRec gEffects;
int gActiveEffects = 0;
int gMaxEffects = 32;
float gMirrorFade = 0;
float gInverseRadius = 0;
int gInverseAlternate = 0;

namespace {

const Preset* CurrentPreset() {
  if (!gPresets || gCurrentPattern >= gPatternCount) return nullptr;
  return &gPresets[gCurrentPattern];
}

bool PatternIs(std::initializer_list<uint32_t> indices) {
  for (uint32_t index : indices)
    if (gCurrentPattern == index) return true;
  return false;
}

bool CarriedByDoubleBounce(EffectId id) {
  return (id == kTunnel || id == kReverse) && EffectOn(kDoubleBounce);
}

}  // namespace

bool EffectCounts(EffectId id) {
  switch (id) {
    case kQuicksand:
    case kFadeHead:
    case kUltraWide:
    case kSpherical:
    case kColourfulArms:
    case kMirroredRadial:
    case kInverseDistance:
    case kRadialEcho:
    case kComplementaryMirror:
    case kPaintMode:
    case kBallMode:
    case kEffectCount:
      return false;
    default:
      return !CarriedByDoubleBounce(id);
  }
}

void SetEffect(EffectId id, int on) {
  gEffects.slot[id].on = on;
  if (EffectCounts(id)) RecountActiveEffects();
}

void RecountActiveEffects() {
  int on = 0;
  for (int id = 0; id < kEffectCount; ++id)
    if (EffectOn(EffectId(id)) && EffectCounts(EffectId(id))) ++on;
  gActiveEffects = on;
}

bool EffectAllowed(EffectId id) {
  const EngineStateRec& e = EngineState;
  const Preset* pattern = CurrentPreset();
  bool paint = EffectOn(kPaintMode);
  bool solid = e.is3D != 0;
  switch (id) {
    case kFocusOnCentre:
      return !PatternIs({4, 5, 9, 10});
    case kFragmented:
      return e.trailWidth <= 1 && !e.spiralTrail && !EffectOn(kLoopTheLoop);
    case kQuicksand:
      return !e.spiralTrail;
    case kOneColour:
      return !PatternIs({10});
    case kCentre:
      return !PatternIs({7, 10}) && !paint && !EffectOn(kDoubleBounce);
    case kSlowMiddle:
      return e.trailWidth >= 1 && e.trailWidth <= 29 && !PatternIs({14});
    case kVariableSpeed:
      return !PatternIs({17});
    case kZeroAngle:
      return !solid;
    case kUltraWide:
      if (pattern && pattern->AlwaysUltraWide) return false;
      return PatternIs({9}) || !(solid || e.spiralTrail || PatternIs({3}) || EffectOn(kBallMode));
    case kSpherical:
      if (gOptions.SphereLevel >= 10) return true;
      return gOptions.SphereLevel >= 1 && !solid && !paint && !gMorphing && !PatternIs({4});
    case kStop:
      return !PatternIs({7, 10}) && !paint;
    case kDoubleBounce:
      return !EffectOn(kCentre);
    case kLoopTheLoop:
      return !paint;
    case kStarTrail:
      return !paint && !EffectOn(kBallMode);
    case kMirroredRadial:
    case kComplementaryMirror:
      return !solid && !EffectOn(kSpherical) && !PatternIs({2});
    case kColourfulArms:
      return e.armCount == 4 || e.armCount > 5;
    case kInverseDistance:
    case kRadialEcho:
      return !EffectOn(kSpherical) && !solid;
    default:
      return true;
  }
}

void RequestEffectToggle(EffectId id) { gEffects.slot[id].toggleRequest = 1; }

void RequestRest() { gEffects.rest.toggleRequest = 1; }

void RequestWhirl() { gEffects.whirl.toggleRequest = 1; }

void RequestBurst() { gEffects.burst.toggleRequest = 1; }

void RestoreTrailLength() {
  if (const Preset* pattern = CurrentPreset()) EngineState.trailLength = uint32_t(pattern->TrailLength);
}

void RestoreSparkliness() {
  if (const Preset* pattern = CurrentPreset()) EngineState.sparkliness = uint32_t(pattern->Sparkliness);
}

void ResetEffects() {
  gEffects = EffectsRec{};
  gActiveEffects = 0;
  gMaxEffects = 32;
  gMirrorFade = 0;
  gInverseRadius = 0;
  gInverseAlternate = 0;
}
