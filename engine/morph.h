// The morph state machine: when a morph starts (the interval has passed with
// automatic morphing on, or the user asked), how it is stepped by the morph
// clock, and what the end of a morph does to the pattern, the arms and the
// effects. The choice of the target and the blend are patterns/morph_setup.h.
#pragma once
#include <cstdint>

struct MorphRec {
  int morphRequest = 0;       // flag: start a morph at the next morph-clock tick
  int requestedTarget = -1;   // pattern index, or -1 to let the engine choose
  uint32_t morphEndTick = 0;  // gMorphTick value at which the running morph ends
};

extern MorphRec gMorph;
extern int gMorphing;  // a morph is running

// The blend of a running morph, read by the arms, the particles and the renderer.
struct MorphBlendRec {
  int fromPattern = 0, targetPattern = 0;  // indices into gPresets
  int from3D = 0, target3D = 0;            // flags
  int fromArms = 1, targetArms = 1;        // arm counts of the two patterns
  int armFactor = 0;                       // thinning factor k for the next particle step; 0 = none
};

extern MorphBlendRec gMorphBlend;
extern float gMorphFactor;    // eased progress, 0 at the start of a morph, 1 at its end
extern float gMorphProgress;  // linear progress, 0..1

// Asks for a morph to pattern index (-1: the next pattern by choice). A
// request made while a morph runs waits until that morph has ended.
void MorphToPattern(int index);
// Called every 10th simulation step, after the morph clock has ticked, with
// the step's tick count: starts a morph when one is due, else steps the
// running one, else ends it.
void RunMorphStateMachine(uint32_t now);
// The next automatic morph "Morph Interval" seconds from now (half of it,
// in whole seconds, on patterns 18 and 19), and the end tick one "Morph
// Duration" from the current morph-clock tick.
void ScheduleNextMorph(uint32_t now);
void ResetMorph();
