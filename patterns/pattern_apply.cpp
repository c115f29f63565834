// Applying a pattern, and the painting and ball-mode decisions.
#include "patterns/pattern_apply.h"

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/random.h"
#include "engine/rot_angles.h"
#include "patterns/options.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "render/display.h"

namespace {

struct SelectionRec {
  int firstPaintDecision = 1;  // the first pattern of a run never starts painting
  int firstBallDecision = 1;   // nor in ball mode
};

SelectionRec gSelection;

}  // namespace

void ApplyPattern() {
  if (!gPresets || gCurrentPattern >= gPatternCount) return;
  const Preset& p = gPresets[gCurrentPattern];
  EngineStateRec& e = EngineState;
  e.spiralInc = p.SpiralInc;
  e.attractorCount = uint32_t(p.TrailKinkiness);
  e.trailLength = uint32_t(p.TrailLength);
  e.trailDensity = uint32_t(p.TrailDensity);
  e.trailWidth = uint32_t(p.TrailWidth);
  e.armCount = uint32_t(p.NumberOfTrails);
  e.sparkle = p.Sparkle;
  e.sparkliness = uint32_t(p.Sparkliness);
  e.fadeSpeed = p.FadeSpeed;
  e.colourSpeed = p.ColourSpeed;
  e.jumpSpeed = uint32_t(p.JumpSpeed);
  e.spiralTrail = p.SpiralTrail;
  e.alwaysFadeHead = p.AlwaysFadeHead;
  e.alwaysQuicksand = p.AlwaysQuicksand;
  e.is3D = p.Is3DPattern;
  ReseedFromCalendar();
  PaintDecision(gCurrentPattern, 4294967295u);
  BallDecision(gCurrentPattern);
  gEffects.grabbedEffectsPending = 1;
}

void ApplyRandomPattern() {
  if (!gPresets || gPatternCount == 0) return;
  gCurrentPattern = ChooseNextPattern();
  ApplyPattern();
}

void PaintDecision(uint32_t index, uint32_t msToNextMorph) {
  if (!gPresets || index >= gPatternCount) return;
  const Preset& p = gPresets[index];
  int paint;
  if (p.PaintRule == 1 || (!gOptions.Simple && gOptions.PaintingMode == 10))
    paint = 1;
  else if (p.Grabbed)
    paint = GetGrabbedSlot(p, kSlotPaintMode);
  else if (p.Is3DPattern || msToNextMorph < 5000 || EffectOn(kSpherical) || p.PaintRule == 2 ||
           gOptions.Simple)
    paint = 0;
  else
    paint = prismora::rand() % 10 < gOptions.PaintingMode ? 1 : 0;
  gPainting = paint;
  SetEffect(kPaintMode, paint);
  EngineStateRec& e = EngineState;
  if (gSelection.firstPaintDecision) {
    gSelection.firstPaintDecision = 0;
    gPainting = 0;
    SetEffect(kPaintMode, 0);
    e.fadeSpeed = p.FadeSpeed;
  } else if (paint == 1 && !e.spiralTrail && gCurrentPattern != 10) {
    e.fadeSpeed = 0;
  } else {
    e.fadeSpeed = p.FadeSpeed;
  }
  RebuildArms();
  if (EffectOn(kPaintMode)) SetEffect(kStarTrail, 0);
}

void BallDecision(uint32_t index) {
  if (!gPresets || index >= gPatternCount) return;
  const Preset& p = gPresets[index];
  int ball = 0;
  if (p.Grabbed) {
    ball = GetGrabbedSlot(p, kSlotBallMode);
    if (ball == 0 && index != 18 && index != 19 && !EffectOn(kUltraWide))
      ball = prismora::rand() % 10 < gOptions.BallLevel ? 1 : 0;
  } else if (!gOptions.Simple && !EffectOn(kUltraWide)) {
    ball = prismora::rand() % 10 < gOptions.BallLevel ? 1 : 0;
  }
  SetEffect(kBallMode, ball);
  if (gSelection.firstBallDecision) {
    gSelection.firstBallDecision = 0;
    SetEffect(kBallMode, 0);
  } else if (ball == 1) {
    SetEffect(kStarTrail, 0);
  }
}

void ResetPatternSelection() { gSelection = SelectionRec{}; }
