// Effect states: one slot per named effect, in the order of the on-screen
// effects list.
#pragma once
#include <cstdint>

enum EffectId : int {
  kCurvyTrails,
  kFocusOnCentre,
  kFragmented,
  kQuicksand,
  kOneColour,
  kCentre,
  kFadeHead,
  kLoopySpeed,
  kSlowMiddle,
  kVariableSpeed,
  kZeroAngle,
  kAngleSpeed,
  kReverse,  // on holds the mode 1..3
  kFrosted,
  kUltraWide,
  kPaintMode,
  kSpherical,
  kStop,
  kTunnel,
  kDoubleBounce,
  kCoriolis,
  kWindmill,
  kTwisty,
  kLoopTheLoop,
  kFlickVel,
  kColourCycle,
  kBallMode,
  kTwoTone,
  kShadow,
  kHelix,
  kSpeedXY,
  kPaletted,
  kStarTrail,
  kVariableWidth,
  kMirroredRadial,
  kColourfulArms,
  kInverseDistance,
  kRadialEcho,
  kComplementaryMirror,
  kEffectCount
};

struct EffectSlot {
  int on = 0;             // 0 = off; Reverse keeps its mode here
  int toggleRequest = 0;  // flag, set by the effect's key
  uint32_t startTime = 0; // tick when due to come on; 0 = never scheduled
  uint32_t endTime = 0;   // tick when due to go off
};

struct EffectsRec {
  EffectSlot slot[kEffectCount];
  int grabbedEffectsPending = 0;  // copy the pattern's grabbed states at the next frame
};

extern EffectsRec gEffects;
extern int gActiveEffects;
extern int gMaxEffects;

inline bool EffectOn(EffectId id) { return gEffects.slot[id].on != 0; }

// Effect schedule for one effect, from now.
void ScheduleEffect(EffectId id, uint32_t now);
// Every effect's first schedule, at the first frame.
void ScheduleAllEffects(uint32_t now);
// One pass of the effect automaton.
void RunEffectScheduler(uint32_t now);
// Copies the current pattern's grabbed effect states into the slots.
void RestoreGrabbedEffects();
// Spherical, Paletted and SpeedXY scheduling and the Mirrored Radial fade requests.
void RunDisplayEffectScheduling(uint32_t now);
// The fades of Mirrored Radial, Inverse Distance and Radial Echo (every 10th step).
void AdvanceEffectFades();
// Switches an effect off and schedules it afresh.
void SwitchEffectOff(EffectId id, uint32_t now);
void SetEffect(EffectId id, int on);

void ResetEffects();
