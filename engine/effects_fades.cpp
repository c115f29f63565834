// The fades of Mirrored Radial, Inverse Distance and Radial Echo: each comes
// in and goes out along an eased curve over 5000 fade passes, and only goes
// off when its fade-out has run out.
#include <cmath>
#include <initializer_list>

#include "engine/effects.h"
#include "engine/engine_state.h"
#include "render/display.h"

namespace {

constexpr float kFadeStep = 0.0002f;

void ShowFade(EffectId id, float amount) {
  float shown = (1 - std::sin(amount * kPi + kPi / 2)) * 0.5f;
  if (id == kMirroredRadial) gMirrorFade = shown;
  if (id == kInverseDistance) gInverseRadius = float(gScreenHeight) * shown / 2.5f;
  if (id == kRadialEcho) gEffects.params.echoAmount = shown;
}

}  // namespace

void AdvanceEffectFades(uint32_t now) {
  for (EffectId id : {kMirroredRadial, kInverseDistance, kRadialEcho}) {
    if (!EffectOn(id)) continue;
    EffectFade fade = EffectFadeOf(id);
    float& amount = *fade.amount;
    if (!*fade.fadingOut) {
      if (amount < 1) {
        amount += kFadeStep;
        if (amount <= 1) ShowFade(id, amount);
      }
      continue;
    }
    amount -= kFadeStep;
    if (amount <= 0) {
      TurnEffectOff(id, now);
      ScheduleEffect(id, now);
    } else {
      ShowFade(id, amount);
    }
  }
}
