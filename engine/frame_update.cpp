// The frame update: one call runs simulation steps for up to a second,
// drawing every 150th, and leaves at once when the user does something.
#include <initializer_list>

#include "engine/effects.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/morph.h"
#include "engine/particles.h"
#include "engine/random.h"
#include "engine/rot_angles.h"
#include "music/music_player.h"
#include "patterns/pattern_apply.h"
#include "patterns/preset.h"
#include "platform/clock.h"
#include "platform/key_state.h"
#include "platform/messages.h"
#include "render/display.h"
#include "render/frame_renderer.h"

EngineStateRec EngineState;
uint32_t gMorphTick = 0;
uint32_t gStepCount = 0;
int gClearRequest = 0;

namespace {

bool ForcedOrScheduled(EffectId id, int forced, uint32_t now) {
  if (forced) {
    SetEffect(id, 1);
    return true;
  }
  if (gEffects.slot[id].startTime == 0) ScheduleEffect(id, now);
  return false;
}

float WrapPhase(float phase) { return phase > kTwoPi ? phase - kTwoPi : phase; }

bool CurrentPatternGrabbed() {
  return gPresets && gCurrentPattern < gPatternCount && gPresets[gCurrentPattern].Grabbed;
}

// Keys that leave the loop so the window procedure sees them at once.
bool CommandKeyPressed() {
  bool pressed = false;
  for (int vk : {int(VK_PAUSE), int(VK_F4), int(VK_SPACE), int('S')})
    if (GetAsyncKeyState(vk) & 1) pressed = true;
  return pressed;
}

bool EmitterOffScreen() {
  const Emitter& m = EngineState.emitter;
  return m.x < -50 || m.x > float(gScreenWidth) + 50 || m.y < -50 || m.y > float(gScreenHeight) + 50;
}

void Jump(uint32_t now) {
  EngineStateRec& e = EngineState;
  PlaceAttractors();
  JumpEmitter();
  if (uint32_t(e.nextMorph - now) > 5000) PaintDecision(gCurrentPattern, e.nextMorph - now);
  BallDecision(gCurrentPattern);
  if (EffectOn(kPaintMode)) gClearRequest = 1;
  e.nextJump = now + e.jumpSpeed * 1000;
}

}  // namespace

void AddTrailParticle(WindowHandle) {
  EngineStateRec& e = EngineState;
  uint32_t now = GetTickCount();
  gMorphTick += 1;
  ForcedOrScheduled(kQuicksand, e.alwaysQuicksand, now);
  ReseedFromCalendar();
  ForcedOrScheduled(kFadeHead, e.alwaysFadeHead, now);
  if (gEffects.slot[kFragmented].startTime == 0) ScheduleAllEffects(now);
  if (!CurrentPatternGrabbed()) {
    RunEffectScheduler(now);
  } else if (gEffects.grabbedEffectsPending) {
    RestoreGrabbedEffects();
    gEffects.grabbedEffectsPending = 0;
  }
  RunDisplayEffectScheduling(now);

  uint32_t loopStart = GetTickCount();
  gStepCount = 0;
  e.spawnAngle = 0;
  while (GetTickCount() - loopStart < 1000) {
    if (CommandKeyPressed()) break;
    if (EffectOn(kFragmented) && e.fragmentPeriod && gStepCount % e.fragmentPeriod == 0) {
      e.emitter.vx = -e.emitter.vx;
      e.emitter.vy = -e.emitter.vy;
    }
    if (EffectOn(kVariableWidth)) e.widthPhase = WrapPhase(e.widthPhase + 0.0002f);
    if (gCurrentPattern == 19) e.pattern19Phase = WrapPhase(e.pattern19Phase + 0.00001f);
    if (gStepCount % 10 == 0) {
      AdvanceEffectFades(now);
      gMorphTick += 1;
      RunMorphStateMachine(now);
    }
    if (now > e.nextColourStep && !EffectOn(kOneColour)) {
      StepEmitterColour();
      e.nextColourStep = now + uint32_t(e.colourSpeed);
    }
    if (!EffectOn(kFocusOnCentre) && now > e.nextJump) Jump(now);
    if (gStepCount % 150 == 0) DrawFrame();
    Message waiting;
    if (PeekMessage(&waiting, false) && waiting.message != WM_TIMER) break;
    MoveEmitter();
    if (gStepCount % SpawnPeriod() == 0) SpawnParticle(now);
    if (gStepCount % 100 == 0) {
      RunWhirlAndBurstTimers(now);
      StepParticles();
    }
    if (!EffectOn(kSpherical) && EmitterOffScreen()) InitialiseEngine();
    if (e.musicSelected) MusicPoll();
    gStepCount += 1;
    now = GetTickCount();
  }
  if (EffectOn(kPaintMode)) {
    SwitchEffectOff(kTunnel, now);
    SwitchEffectOff(kDoubleBounce, now);
  }
}

void ReleaseEngine() {
  FreeAllParticles();
  ReleaseRotAngles();
  gMorphing = 0;
}

void ResetEngine() {
  ReleaseEngine();
  EngineState = EngineStateRec{};
  gMorphTick = 0;
  gStepCount = 0;
  gClearRequest = 0;
  ResetEffects();
  ResetMorph();
  ResetRandom();
}
