// The morph state machine. Morphs between patterns are not built yet; the
// morph clock counts all the same, and requests are kept for it.
#pragma once

struct MorphRec {
  int morphRequest = 0;      // a morph was asked for
  int requestedTarget = -1;  // pattern index, or -1 to let the engine choose
};

extern MorphRec gMorph;
extern int gMorphing;  // a morph is running

// The blend of a running morph, read by the arms and the renderer.
struct MorphBlendRec {
  int fromPattern = 0, targetPattern = 0;  // indices into gPresets
  int from3D = 0, target3D = 0;            // flags
  int fromArms = 1, targetArms = 1;        // arm counts of the two patterns
  int armFactor = 0;                       // thinning factor k for the next particle step; 0 = none
};

extern MorphBlendRec gMorphBlend;
extern float gMorphFactor;    // eased progress, 0 at the start of a morph, 1 at its end
extern float gMorphProgress;  // linear progress, 0..1

// Asks for a morph to pattern index (-1: the next pattern by choice).
void MorphToPattern(int index);
// Called every 10th simulation step, after the morph clock has ticked.
void RunMorphStateMachine(unsigned now);
void ResetMorph();
