// What switching an effect on or off does besides its state: the centre
// attractor of Focus On Centre, the trail length of Centre, Double Bounce's
// companions, the draws of Reverse, Tunnel, Twisty, Flick Vel, Colour Cycle,
// One Colour and Paletted, the fades' start values and the sphere's size.
#include <algorithm>
#include <initializer_list>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/random.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "render/display.h"
#include "render/renderer_state.h"

namespace {

int Coin() { return prismora::rand() % 2; }

void OneColourOnAction() {
  EffectParamsRec& q = gEffects.params;
  int* m = q.oneColourMultiplier;
  for (int c = 0; c < 3; ++c) m[c] = 1 + prismora::rand() % 6;
  m[prismora::rand() % 3] = 0;
  int largest = std::max({m[0], m[1], m[2]});
  int smallest = 0;
  for (int c = 0; c < 3; ++c)
    if (m[c] > 0 && (smallest == 0 || m[c] < smallest)) smallest = m[c];
  q.oneColourThreshold = 256 / largest;
  q.oneColourPeriod = 256 / smallest;
  for (int c = 0; c < 3; ++c) q.oneColourRate[c] = m[c] > 0 ? 256.0f / float(m[c]) : 0.0f;
  q.oneColourSpeedMode = Coin();
}

void PalettedOnAction() {
  EffectParamsRec& q = gEffects.params;
  q.paletteChoice = q.paletteChoice == -1 ? 0 : prismora::rand() % 3;
  if (q.paletteChoice == 2) BuildRandomPalette();
  EngineState.palettePosition = 0;
  EngineState.sparkliness *= 10;
}

// A fading effect starts from nothing and shows nothing until it fades in.
void ClearFade(EffectId id) {
  EffectFade fade = EffectFadeOf(id);
  *fade.amount = 0;
  *fade.fadingOut = 0;
  if (id == kMirroredRadial) gMirrorFade = 0;
  if (id == kInverseDistance) gInverseRadius = 0;
  if (id == kRadialEcho) gEffects.params.echoAmount = 0;
}

void SphericalOnAction(uint32_t now) {
  gEffects.slot[kSpherical].endTime = now + EffectDuration(kSpherical, false);
  gSphereRadius = float(gScreenHeight) * 2.6f;
  gSphereEnding = 0;
  for (EffectId id : {kMirroredRadial, kInverseDistance, kRadialEcho}) RequestEffectStop(id);
}

void DoubleBounceOn() {
  // Tunnel and Reverse count as part of Double Bounce from now on.
  for (EffectId id : {kTunnel, kReverse})
    if (EffectOn(id)) SetEffect(id, 0);
  SetEffect(kDoubleBounce, 1);
  SetEffect(kTunnel, 1);
  gEffects.params.tunnelPhase = prismora::rand() % 100;
  SetEffect(kReverse, 3);
}

void DoubleBounceOff(uint32_t now) {
  // Carried, so they leave without touching the count; then Double Bounce does.
  for (EffectId id : {kTunnel, kReverse}) {
    if (!EffectOn(id)) continue;
    SetEffect(id, 0);
    ScheduleEffect(id, now);
  }
  SetEffect(kDoubleBounce, 0);
}

}  // namespace

EffectFade EffectFadeOf(EffectId id) {
  EffectParamsRec& q = gEffects.params;
  if (id == kMirroredRadial) return EffectFade{&q.mirrorFadeAmount, &q.mirrorFadingOut};
  if (id == kInverseDistance) return EffectFade{&q.inverseFadeAmount, &q.inverseFadingOut};
  return EffectFade{&q.echoFadeAmount, &q.echoFadingOut};
}

void FocusOnCentreOnAction() {
  EngineStateRec& e = EngineState;
  float strength = Coin() ? 2500.0f : -2500.0f;
  e.attractors[0] = Attractor{strength, int(gScreenWidth / 2), int(gScreenHeight / 2), 0};
  e.keepOut[0] = strength < 0 ? 2.0f : 5.0f;
  bool gentle = gCurrentPattern == 10 || EffectOn(kPaintMode) || e.is3D;
  e.edgeForce = 70.0f * (gentle ? 25.0f : 50.0f);
  e.edgeBoosted = 0;
  JumpEmitter();
}

void FocusOnCentreOffAction() {
  PlaceAttractors();
  // 175 is the small-screen boost of 70 already.
  EngineState.edgeForce = gScreenWidth == 640 ? 175.0f : 70.0f;
  EngineState.edgeBoosted = gScreenWidth == 640;
}

void CentreOnAction() {
  EngineStateRec& e = EngineState;
  e.trailLength = std::max(e.trailLength, 300u);
  StopOnAction();
}

void StopOnAction() {
  gEffects.params.stopX = EngineState.emitter.x;
  gEffects.params.stopY = EngineState.emitter.y;
}

void TurnEffectOn(EffectId id, uint32_t now) {
  EffectParamsRec& q = gEffects.params;
  if (id == kDoubleBounce) {
    DoubleBounceOn();
    return;
  }
  if (id == kReverse) {
    SetEffect(kReverse, 1 + prismora::rand() % 3);
    return;
  }
  SetEffect(id, 1);
  switch (id) {
    case kFocusOnCentre:
      FocusOnCentreOnAction();
      break;
    case kCentre:
      CentreOnAction();
      break;
    case kStop:
      StopOnAction();
      break;
    case kTunnel:
      q.tunnelPhase = prismora::rand() % 100;
      break;
    case kTwisty:
      q.twistyRadius = RandomFraction() * float(gScreenHeight) / 25 + float(gScreenHeight) / 38;
      break;
    case kFlickVel:
      q.flickMode = prismora::rand() % 3;
      break;
    case kColourCycle:
      q.colourCycleMode = Coin();
      break;
    case kOneColour:
      OneColourOnAction();
      break;
    case kPaletted:
      PalettedOnAction();
      break;
    case kMirroredRadial:
      ClearFade(id);
      SetEffect(kComplementaryMirror, Coin());
      break;
    case kInverseDistance: {
      ClearFade(id);
      bool manyArms =
          gPresets && gCurrentPattern < gPatternCount && gPresets[gCurrentPattern].NumberOfTrails > 3;
      gInverseAlternate = manyArms ? Coin() : 0;
      break;
    }
    case kRadialEcho:
      ClearFade(id);
      break;
    case kSpherical:
      SphericalOnAction(now);
      break;
    default:
      break;
  }
}

void TurnEffectOff(EffectId id, uint32_t now) {
  if (id == kDoubleBounce) {
    DoubleBounceOff(now);
    return;
  }
  SetEffect(id, 0);
  switch (id) {
    case kFocusOnCentre:
      FocusOnCentreOffAction();
      break;
    case kCentre:
      RestoreTrailLength();
      EngineState.emitter.x = float(gScreenWidth) * 0.5f;
      EngineState.emitter.y = float(gScreenHeight) * 0.5f;
      break;
    case kOneColour:
      gEffects.params.oneColourValue = gEffects.params.oneColourPeriod / 2;
      break;
    case kPaletted:
      RestoreSparkliness();
      break;
    case kMirroredRadial:
      ClearFade(id);
      SetEffect(kComplementaryMirror, 0);
      break;
    case kInverseDistance:
    case kRadialEcho:
      ClearFade(id);
      break;
    default:
      break;
  }
}

void SwitchEffectOff(EffectId id, uint32_t now) {
  if (!EffectOn(id)) return;
  TurnEffectOff(id, now);
  ScheduleEffect(id, now);
}

void RequestEffectStop(EffectId id) {
  if (!EffectOn(id)) return;
  switch (id) {
    case kMirroredRadial:
    case kInverseDistance:
    case kRadialEcho:
      *EffectFadeOf(id).fadingOut = 1;
      break;
    case kSpherical:
      gSphereEnding = 1;
      break;
    default:
      SwitchEffectOff(id, GetTickCount());
      break;
  }
}
