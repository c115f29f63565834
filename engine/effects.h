// The effects: one slot per named effect, in the order of the on-screen
// effects list, the values that belong to them, and the automaton that
// switches them on and off by time, by key and by pattern.
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
  // The rest period and the two particle events have slots of their own;
  // they are not effects and are not shown.
  EffectSlot rest;
  EffectSlot whirl;
  EffectSlot burst;
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

// Schedules one effect from now: the start, then the end (two draws), from
// the first base while the effect was never scheduled, else the later one.
// Spherical takes its start from the "Sphere Level" table.
void ScheduleEffect(EffectId id, uint32_t now);
// The first frame: every effect, the rest period and the two particle
// events; then Spherical by "Sphere Level" (10 on for good, 0 parked).
void ScheduleAllEffects(uint32_t now);
// One pass of the effect automaton over every effect except the four of
// RunDisplayEffectScheduling, after the rest period's own pass.
void RunEffectScheduler(uint32_t now);
// Copies the current pattern's grabbed effect states into the slots once;
// a running rest ends, and gActiveEffects counts what the states switched on.
void RestoreGrabbedEffects();
// The automaton passes of Spherical, Paletted, SpeedXY and Mirrored Radial,
// which run for grabbed patterns too.
void RunDisplayEffectScheduling(uint32_t now);
// The fades of Mirrored Radial, Inverse Distance and Radial Echo (every 10th
// step); an effect whose fade-out has run out goes off and is rescheduled.
void AdvanceEffectFades(uint32_t now);
// Arms a whirl or a burst for the coming particle step when its time has
// come (or its key asked); reschedules it either way.
void RunWhirlAndBurstTimers(uint32_t now);
// Switches an effect that is on off, with its off-action and a fresh
// schedule; an effect that is off is left as it is.
void SwitchEffectOff(EffectId id, uint32_t now);
// Sets an effect's state without any action; gActiveEffects follows when a
// counted effect actually comes on or goes off.
void SetEffect(EffectId id, int on);

// Whether the effect's condition holds for the current pattern and state.
bool EffectAllowed(EffectId id);
// What a pattern change at the end of a morph does to the effects: those the
// new pattern does not allow go off (fading ones are asked to fade out,
// Spherical to run out), and the active count is clamped.
void SwitchOffDisallowedEffects(uint32_t now);
// Asks Mirrored Radial, Inverse Distance or Radial Echo to fade out, or
// Spherical to run out; the effect goes off when that is over. Any other
// effect goes off at once.
void RequestEffectStop(EffectId id);

// Requests the keys make; the automaton acts on them at its next pass.
// Radial Echo's request only switches it on: while it is on the request waits.
void RequestEffectToggle(EffectId id);
void RequestRest();
void RequestWhirl();
void RequestBurst();

// Shared by the effect files.

// Counted toward gMaxEffects: every automaton effect except Quicksand, Fade
// Head, UltraWide, Spherical, Colourful Arms and the fading ones; Tunnel and
// Reverse do not count while Double Bounce carries them.
bool EffectCounts(EffectId id);
// Milliseconds an effect stays on once it comes on.
uint32_t EffectDuration(EffectId id, bool firstSchedule);
// The seconds from now to Spherical's start for a "Sphere Level" of 1..9;
// false for any other level.
bool SphereDelayBounds(int level, uint32_t* firstSeconds, uint32_t* secondSeconds);
// The rest period's and the particle events' next times from now.
void ScheduleRest(uint32_t now);
void ScheduleWhirl(uint32_t now);
void ScheduleBurst(uint32_t now);
// Switch on or off with the effect's actions (and, for Double Bounce, its
// companions); gActiveEffects follows. Neither reschedules the effect itself.
void TurnEffectOn(EffectId id, uint32_t now);
void TurnEffectOff(EffectId id, uint32_t now);
// The actions a grabbed pattern runs without switching through the automaton.
void FocusOnCentreOnAction();
void FocusOnCentreOffAction();
void CentreOnAction();
void StopOnAction();
// The trail length and sparkliness of the current pattern, put back.
void RestoreTrailLength();
void RestoreSparkliness();
// gActiveEffects becomes the number of counted effects that are on. States
// written directly (a grabbed pattern's) would otherwise leave the count
// behind, and a count stuck at the limit lets no effect come on again.
void RecountActiveEffects();
// The fade amount (0..1) and fade-out flag of Mirrored Radial, Inverse
// Distance or Radial Echo.
struct EffectFade {
  float* amount;
  int* fadingOut;
};
EffectFade EffectFadeOf(EffectId id);

void ResetEffects();
