// Morph set-up, the per-tick blend of the pattern parameters, and the
// stand-ins for the on-screen names.
#include "patterns/morph_setup.h"

#include <algorithm>
#include <cmath>

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "patterns/pattern_apply.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "render/display.h"
#include "render/text_overlay.h"

MorphSetupRec gMorphSetup;
PatternNamesRec gPatternNames;

namespace {

constexpr uint32_t kPentagonalLines = 1;
constexpr uint32_t kSpirograph = 3;
constexpr int kNamesSlot = 3;

// Single-precision values widened: the eased factor is computed in double
// precision from 3.141593f and half of it. The float nearest 1.5707964 is
// one step short of that half, so both are spelled out.
constexpr double kEasePi = 3.1415929794311523;
constexpr double kEaseHalfPi = 1.5707964897155762;
constexpr double kNamesFinalProgress = double(0.995f);
static_assert(float(kEasePi) == 3.141593f && kEaseHalfPi == kEasePi / 2);

uint32_t ChooseTarget() {
  MorphSetupRec& s = gMorphSetup;
  int requested = gMorph.requestedTarget;
  if (requested >= 0 && uint32_t(requested) < gPatternCount) return uint32_t(requested);
  if (!EffectOn(kSpherical) && !s.gFirstMorphDone) {
    if (kSpirograph < gPatternCount && gPresets[kSpirograph].Frequency != 0) {
      s.gFirstMorphDone = 1;
      return kSpirograph;
    }
    return ChooseNextPattern();
  }
  if (s.gFirstMorphDone && !s.gSecondMorphDone && kPentagonalLines < gPatternCount &&
      gPresets[kPentagonalLines].Frequency != 0) {
    s.gSecondMorphDone = 1;
    return kPentagonalLines;
  }
  return ChooseNextPattern();
}

// from + trunc(p * (target - from)): moves toward the target in whole steps,
// cut toward the start value.
int32_t Blend(int32_t from, int32_t target, float p) { return from + int32_t(p * float(target - from)); }

}  // namespace

bool BeginMorph() {
  if (!gPresets || gCurrentPattern >= gPatternCount) return false;
  EngineStateRec& e = EngineState;
  gMorph.morphEndTick = gMorphTick + gOptions.MorphDuration;
  gMorphBlend.fromPattern = int(gCurrentPattern);
  ReseedFromCalendar();
  uint32_t target = ChooseTarget();
  gMorphBlend.targetPattern = int(target);
  const Preset& f = gPresets[gCurrentPattern];
  const Preset& t = gPresets[target];

  uint32_t targetArms = uint32_t(t.NumberOfTrails);
  uint32_t factor = e.armCount != 0 ? targetArms / e.armCount : 0;
  gMorphBlend.armFactor = factor <= 1 ? 0 : int(factor);
  if (e.armCount <= targetArms) e.armCount = targetArms;
  gMorphBlend.fromArms = f.NumberOfTrails;
  gMorphBlend.targetArms = t.NumberOfTrails;

  e.trailDensity = uint32_t(std::max(t.TrailDensity, f.TrailDensity));
  if (gOptions.RandomBackground && gOptions.BackgroundBrightness > 0) gUseBackground = prismora::rand() % 2;

  gMorphBlend.from3D = f.Is3DPattern;
  gMorphBlend.target3D = t.Is3DPattern;
  if (!f.Is3DPattern && !t.Is3DPattern) {
    e.is3D = 0;
  } else {
    e.is3D = 1;
    gPainting = 0;
    SetEffect(kPaintMode, 0);
  }
  // A radial mirror cannot be drawn tilted; let it fade out over the morph.
  if (t.Is3DPattern && EffectOn(kMirroredRadial)) RequestEffectStop(kMirroredRadial);
  return true;
}

void MorphStep() {
  if (!gPresets) return;
  uint32_t from = uint32_t(gMorphBlend.fromPattern);
  uint32_t target = uint32_t(gMorphBlend.targetPattern);
  if (from >= gPatternCount || target >= gPatternCount) return;
  MorphSetupRec& s = gMorphSetup;
  uint32_t duration = gOptions.MorphDuration;

  float p = 1;
  if (duration != 0) p = 1 - float(gMorph.morphEndTick - gMorphTick) / float(duration);
  if (p > 1) p = 1;
  gMorphProgress = p;
  gMorphFactor = float((1 - std::sin(double(p) * kEasePi + kEaseHalfPi)) * 0.5);
  if (double(p) >= kNamesFinalProgress) s.gNamesFinal = 1;

  // Below 20 ticks the interval would be 0: the names are redrawn every tick.
  uint32_t namesInterval = duration / 20;
  if (gOptions.ShowNames && (namesInterval == 0 || gMorphTick % namesInterval == 0)) {
    DrawPatternNames(target, from, 1 - p, s.gNamesFinal, kNamesSlot);
    s.gNamesFinal = 0;
  }

  const Preset& f = gPresets[from];
  const Preset& t = gPresets[target];
  EngineStateRec& e = EngineState;
  e.trailLength = uint32_t(Blend(f.TrailLength, t.TrailLength, p));
  e.trailWidth = uint32_t(Blend(f.TrailWidth, t.TrailWidth, p));
  e.sparkle = Blend(f.Sparkle, t.Sparkle, p);
  e.sparkliness = uint32_t(Blend(f.Sparkliness, t.Sparkliness, p));
  e.fadeSpeed = Blend(f.FadeSpeed, t.FadeSpeed, p);
  e.colourSpeed = Blend(f.ColourSpeed, t.ColourSpeed, p);
  e.spiralTrail = f.SpiralTrail || t.SpiralTrail ? 1 : 0;
  e.spiralInc = f.SpiralInc + p * (t.SpiralInc - f.SpiralInc);
}

void EndMorph() {
  if (!gPresets || uint32_t(gMorphBlend.targetPattern) >= gPatternCount) return;
  gCurrentPattern = uint32_t(gMorphBlend.targetPattern);
  ApplyPattern();
}

void ResetMorphSetup() {
  gMorphSetup = MorphSetupRec{};
  gPatternNames = PatternNamesRec{};
}

void DrawPatternNames(uint32_t target, uint32_t from, float weight, int clear, int slot) {
  gPatternNames.morphCalls += 1;
  gPatternNames.lastMorph = PatternNamesCall{target, from, weight, clear, slot};
  if (!gPresets || target >= gPatternCount || from >= gPatternCount) return;
  DrawTextSlot(true, 16, gPresets[target].Name, gPresets[from].Name, weight, clear != 0, slot, 0, false);
}

void DrawPatternName(uint32_t index) {
  gPatternNames.nameCalls += 1;
  gPatternNames.lastName = index;
  if (!gPresets || index >= gPatternCount) return;
  DrawTextSlot(true, 16, "", gPresets[index].Name, 1.0f, true, kNamesSlot, 0, false);
}
