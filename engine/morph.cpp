// The morph state machine and the end of a morph.
#include "engine/morph.h"

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "engine/rot_angles.h"
#include "patterns/morph_setup.h"
#include "patterns/options.h"
#include "patterns/preset.h"

MorphRec gMorph;
int gMorphing = 0;
MorphBlendRec gMorphBlend;
float gMorphFactor = 0;
float gMorphProgress = 0;

namespace {

bool StartMorph(uint32_t now) {
  gMorphing = 1;
  if (!BeginMorph()) {
    gMorphing = 0;
    return false;
  }
  SetupMorphRotAngles();
  ScheduleNextMorph(now);
  gMorph.morphRequest = 0;
  gMorph.requestedTarget = -1;
  return true;
}

// Effects the pattern being left forced on end with it, and a grabbed
// pattern's fixed states give way to a rest.
void LeavePattern() {
  if (!gPresets || gCurrentPattern >= gPatternCount) return;
  const Preset& left = gPresets[gCurrentPattern];
  if (left.Grabbed) RequestRest();
  if (left.AlwaysUltraWide) gEffects.slot[kUltraWide].endTime = 0;
  if (left.AlwaysFadeHead) gEffects.slot[kFadeHead].endTime = 0;
  if (left.AlwaysQuicksand) gEffects.slot[kQuicksand].endTime = 0;
}

void FinishMorph(uint32_t now) {
  if (EffectOn(kPaintMode)) gClearRequest = 1;
  LeavePattern();
  gEffects.grabbedEffectsPending = 1;
  gMorphing = 0;
  EndMorph();
  DrawPatternName(gCurrentPattern);
  RebuildArms();
  ScheduleNextMorph(now);
  SetEffect(kFadeHead, EngineState.alwaysFadeHead);
  SetEffect(kQuicksand, EngineState.alwaysQuicksand);
  SwitchOffDisallowedEffects(now);
}

}  // namespace

void MorphToPattern(int index) {
  gMorph.morphRequest = 1;
  gMorph.requestedTarget = index;
}

void RunMorphStateMachine(uint32_t now) {
  if (!gMorphing) {
    // nextMorph starts at 0, so with automatic morphing a run opens with a
    // morph to its first automatic target.
    if ((gOptions.MorphSettings && EngineState.nextMorph < now) || gMorph.morphRequest) StartMorph(now);
  } else if (gMorphTick < gMorph.morphEndTick) {
    MorphStep();
    RebuildArms();
  } else {
    FinishMorph(now);
  }
}

void ScheduleNextMorph(uint32_t now) {
  uint32_t seconds = gOptions.MorphInterval;
  if (gCurrentPattern == 18 || gCurrentPattern == 19) seconds /= 2;
  EngineState.nextMorph = now + seconds * 1000;
  gMorph.morphEndTick = gMorphTick + gOptions.MorphDuration;
}

void ResetMorph() {
  gMorph = MorphRec{};
  gMorphing = 0;
  gMorphBlend = MorphBlendRec{};
  gMorphFactor = 0;
  gMorphProgress = 0;
  ResetMorphSetup();
}
