// The effect states. The timed automaton that switches effects on and off
// is not built yet: every effect is scheduled "some time" and stays off
// unless a caller sets it, so the engine's effect branches read as off.
#include "engine/effects.h"

EffectsRec gEffects;
int gActiveEffects = 0;
int gMaxEffects = 32;
float gMirrorFade = 0;
float gInverseRadius = 0;
int gInverseAlternate = 0;

void ScheduleEffect(EffectId id, uint32_t now) {
  // Never 0: 0 means "never scheduled", which the frame update tests.
  gEffects.slot[id].startTime = now | 1u;
  gEffects.slot[id].endTime = now | 1u;
}

void ScheduleAllEffects(uint32_t now) {
  for (int id = 0; id < kEffectCount; ++id) ScheduleEffect(EffectId(id), now);
}

void RunEffectScheduler(uint32_t) {
  for (EffectSlot& slot : gEffects.slot) slot.toggleRequest = 0;
}

void RestoreGrabbedEffects() {}

void RunDisplayEffectScheduling(uint32_t) {}

void AdvanceEffectFades() {}

void SwitchEffectOff(EffectId id, uint32_t now) {
  gEffects.slot[id].on = 0;
  ScheduleEffect(id, now);
}

void SetEffect(EffectId id, int on) { gEffects.slot[id].on = on; }

void ResetEffects() {
  gEffects = EffectsRec{};
  gActiveEffects = 0;
  gMaxEffects = 32;
  gMirrorFade = 0;
  gInverseRadius = 0;
  gInverseAlternate = 0;
}
