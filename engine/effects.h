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
  int on = 0;              // 0 = off; Reverse keeps its mode here
  int toggleRequest = 0;   // flag, set by the effect's key
  uint32_t startTime = 0;  // tick when due to come on; 0 = never scheduled
  uint32_t endTime = 0;    // tick when due to go off
};

// The values that belong to effects, beside their on/off slots.
struct EffectParamsRec {
  // One Colour
  int oneColourSpeedMode = 0;       // flag: colour from spawn speed instead of age
  int oneColourMultiplier[3] = {};  // red, green, blue; 0..6
  float oneColourRate[3] = {};      // 256 / multiplier, 0 for the zero channel
  int oneColourThreshold = 0;
  int oneColourPeriod = 1;
  int oneColourValue = 0;  // the last value v
  // Tunnel
  int tunnelPhase = 0;    // 0..100
  float tunnelAngle = 0;  // rad
  // Twisty
  float twistyRadius = 1;
  // Flick Vel
  int flickMode = 0;  // 0..2
  // Colour Cycle: 0 gentle, 1 full steps (the steps are EngineState.colourCycleStep)
  int colourCycleMode = 0;
  // Helix
  float helixAngle = 0;  // rad
  int helixSide = 0;     // flag: the next particle on the other side
  // Curvy Trails
  float curvyPhase = 0;  // rad
  float curvyFactorX = 0, curvyFactorY = 0;
  // Loopy Speed
  float loopyPhase = 0;  // rad
  // Stop: where the emitter was when it began
  float stopX = 0, stopY = 0;
  // Paletted
  int paletteChoice = -1;     // 0..2, -1 = none chosen yet
  uint32_t paletteMoved = 0;  // tick of the last move of the position
  // Fading effects: amount 0..1 and fade-out request
  float mirrorFadeAmount = 0;
  int mirrorFadingOut = 0;
  float inverseFadeAmount = 0;
  int inverseFadingOut = 0;
  float echoFadeAmount = 0;
  int echoFadingOut = 0;
  float echoAmount = 0;  // Radial Echo's display value
  // Whirl and burst events, armed for one particle step
  int whirlArmed = 0;
  float whirlKeep = 1, whirlPush = 0;
  int burstArmed = 0;
  int burstMode = 0;  // 0..3
  float burstWave = 1;
};

struct EffectsRec {
  EffectSlot slot[kEffectCount];
  EffectParamsRec params;
  int grabbedEffectsPending = 0;  // copy the pattern's grabbed states at the next frame
};

extern EffectsRec gEffects;
extern int gActiveEffects;
extern int gMaxEffects;

// Display values the renderer reads.
extern float gMirrorFade;      // Mirrored Radial, 0..1
extern float gInverseRadius;   // Inverse Distance, pixels
extern int gInverseAlternate;  // Inverse Distance mode, 0 or 1

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
