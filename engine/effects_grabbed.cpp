// A grabbed pattern fixes its effects: the 53 stored slots replace the
// automaton's states once after the pattern comes in, with the actions the
// stored states imply; gActiveEffects is counted afresh after it.
#include <cmath>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/grabbed_slots.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "render/display.h"

namespace {

// The block comes from a file anyone can edit: a valued slot is held to the
// range its effect draws from, so no stored number can reach an index or an
// overflowing conversion.
int32_t SlotWithin(const Preset& p, int slot, int32_t low, int32_t high) {
  int32_t value = GetGrabbedSlot(p, slot);
  return value < low ? low : value > high ? high : value;
}

void CopyOneColourSet(const Preset& p) {
  EffectParamsRec& q = gEffects.params;
  q.oneColourSpeedMode = GetGrabbedSlot(p, kSlotOneColourSpeedMode);
  q.oneColourMultiplier[0] = SlotWithin(p, kSlotOneColourMultiplier1, 0, 6);
  q.oneColourMultiplier[1] = SlotWithin(p, kSlotOneColourMultiplier2, 0, 6);
  q.oneColourMultiplier[2] = SlotWithin(p, kSlotOneColourMultiplier3, 0, 6);
  q.oneColourRate[0] = GetGrabbedSlotFloat(p, kSlotOneColourRate1);
  q.oneColourRate[1] = GetGrabbedSlotFloat(p, kSlotOneColourRate2);
  q.oneColourRate[2] = GetGrabbedSlotFloat(p, kSlotOneColourRate3);
  q.oneColourThreshold = SlotWithin(p, kSlotOneColourThreshold, 0, 256);
  q.oneColourPeriod = SlotWithin(p, kSlotOneColourPeriod, 0, 256);
}

// Twisty divides by its radius: a stored one that is not a positive finite
// number leaves the radius as it was.
void CopyTwistyRadius(const Preset& p) {
  float radius = GetGrabbedSlotFloat(p, kSlotTwistyRadius);
  if (std::isfinite(radius) && radius >= 1) gEffects.params.twistyRadius = radius;
}

}  // namespace

void RestoreGrabbedEffects() {
  if (!gPresets || gCurrentPattern >= gPatternCount) return;
  const Preset& p = gPresets[gCurrentPattern];
  if (!p.Grabbed) return;
  EffectParamsRec& q = gEffects.params;
  uint32_t now = GetTickCount();
  gEffects.rest.on = 0;  // the stored states replace whatever a rest had switched off

  for (const SlotEffect& s : kGrabbedCopiedEffects) gEffects.slot[s.id].on = GetGrabbedSlot(p, s.slot);
  gEffects.slot[kReverse].on = SlotWithin(p, kSlotReverse, 0, 3);
  if (EffectOn(kOneColour)) CopyOneColourSet(p);
  if (EffectOn(kTunnel)) q.tunnelPhase = SlotWithin(p, kSlotTunnelPhase, 0, 100);
  CopyTwistyRadius(p);
  q.flickMode = SlotWithin(p, kSlotFlickMode, 0, 2);
  q.colourCycleMode = GetGrabbedSlot(p, kSlotColourCycleMode);
  q.paletteChoice = SlotWithin(p, kSlotPaletteChoice, -1, 2);
  if (EffectOn(kPaletted) && q.paletteChoice == 2) BuildRandomPalette();
  int complementary = GetGrabbedSlot(p, kSlotComplementaryMirror);
  gEffects.slot[kComplementaryMirror].on = complementary;
  gEffects.slot[kBallMode].on = GetGrabbedSlot(p, kSlotBallMode) || gOptions.BallLevel == 10;
  gEffects.slot[kPaintMode].on = GetGrabbedSlot(p, kSlotPaintMode) || gOptions.PaintingMode == 10;
  gPainting = gEffects.slot[kPaintMode].on;

  if (EffectOn(kFocusOnCentre))
    FocusOnCentreOnAction();
  else
    FocusOnCentreOffAction();
  if (EffectOn(kCentre)) CentreOnAction();
  if (EffectOn(kStop)) StopOnAction();
  for (const SlotEffect& s : kGrabbedSwitchedEffects) {
    // "Sphere Level" 10 keeps the sphere on through every pattern, as level
    // 10 of painting and balls does.
    bool stored = GetGrabbedSlot(p, s.slot) != 0 || (s.id == kSpherical && gOptions.SphereLevel >= 10);
    if (stored && !EffectOn(s.id)) TurnEffectOn(s.id, now);
    if (!stored && EffectOn(s.id)) RequestEffectStop(s.id);
  }
  // Mirrored Radial's on-action tosses for the mirror colour; the stored one wins.
  if (EffectOn(kMirroredRadial)) gEffects.slot[kComplementaryMirror].on = complementary;
  RecountActiveEffects();
}
