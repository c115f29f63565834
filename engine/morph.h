// The morph state machine. Morphs between patterns are not built yet; the
// morph clock counts all the same, and requests are kept for it.
#pragma once

struct MorphRec {
  int morphRequest = 0;      // a morph was asked for
  int requestedTarget = -1;  // pattern index, or -1 to let the engine choose
};

extern MorphRec gMorph;
extern int gMorphing;  // a morph is running

// Asks for a morph to pattern index (-1: the next pattern by choice).
void MorphToPattern(int index);
// Called every 10th simulation step, after the morph clock has ticked.
void RunMorphStateMachine(unsigned now);
void ResetMorph();
