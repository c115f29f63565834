#include "engine/morph.h"

MorphRec gMorph;
int gMorphing = 0;
MorphBlendRec gMorphBlend;
float gMorphFactor = 0;
float gMorphProgress = 0;

void MorphToPattern(int index) {
  gMorph.morphRequest = 1;
  gMorph.requestedTarget = index;
}

void RunMorphStateMachine(unsigned) {}

void ResetMorph() {
  gMorph = MorphRec{};
  gMorphing = 0;
  gMorphBlend = MorphBlendRec{};
  gMorphFactor = 0;
  gMorphProgress = 0;
}
