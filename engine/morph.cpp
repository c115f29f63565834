#include "engine/morph.h"

MorphRec gMorph;
int gMorphing = 0;

void MorphToPattern(int index) {
  gMorph.morphRequest = 1;
  gMorph.requestedTarget = index;
}

void RunMorphStateMachine(unsigned) {}

void ResetMorph() {
  gMorph = MorphRec{};
  gMorphing = 0;
}
