// A grabbed pattern fixes its effects: the 53 stored slots replace the
// automaton's states once after the pattern comes in, with the actions the
// stored states imply, and without touching gActiveEffects.
#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/grabbed_slots.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "render/display.h"

namespace {

void CopyOneColourSet(const Preset& p) {
  EffectParamsRec& q = gEffects.params;
  q.oneColourSpeedMode = GetGrabbedSlot(p, kSlotOneColourSpeedMode);
  q.oneColourMultiplier[0] = GetGrabbedSlot(p, kSlotOneColourMultiplier1);
  q.oneColourMultiplier[1] = GetGrabbedSlot(p, kSlotOneColourMultiplier2);
  q.oneColourMultiplier[2] = GetGrabbedSlot(p, kSlotOneColourMultiplier3);
  q.oneColourRate[0] = GetGrabbedSlotFloat(p, kSlotOneColourRate1);
  q.oneColourRate[1] = GetGrabbedSlotFloat(p, kSlotOneColourRate2);
  q.oneColourRate[2] = GetGrabbedSlotFloat(p, kSlotOneColourRate3);
  q.oneColourThreshold = GetGrabbedSlot(p, kSlotOneColourThreshold);
  q.oneColourPeriod = GetGrabbedSlot(p, kSlotOneColourPeriod);
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
  if (EffectOn(kOneColour)) CopyOneColourSet(p);
  if (EffectOn(kTunnel)) q.tunnelPhase = GetGrabbedSlot(p, kSlotTunnelPhase);
  q.twistyRadius = GetGrabbedSlotFloat(p, kSlotTwistyRadius);
  q.flickMode = GetGrabbedSlot(p, kSlotFlickMode);
  q.colourCycleMode = GetGrabbedSlot(p, kSlotColourCycleMode);
  q.paletteChoice = GetGrabbedSlot(p, kSlotPaletteChoice);
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
    bool stored = GetGrabbedSlot(p, s.slot) != 0;
    if (stored && !EffectOn(s.id)) TurnEffectOn(s.id, now);
    if (!stored && EffectOn(s.id)) RequestEffectStop(s.id);
  }
  // Mirrored Radial's on-action tosses for the mirror colour; the stored one wins.
  if (EffectOn(kMirroredRadial)) gEffects.slot[kComplementaryMirror].on = complementary;
}
