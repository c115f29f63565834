// The pattern side of a morph: which pattern comes next, the working values
// that cannot be blended and are fixed when the morph begins, the blend of
// the rest at every morph-clock tick, and the hand-over to the target at the
// end. The engine's state machine (engine/morph.h) decides when these run.
#pragma once
#include <cstdint>

struct MorphSetupRec {
  int gNamesFinal = 1;       // flag: the next names call clears the name region first
  int gFirstMorphDone = 0;   // flag: the first automatic morph went to "Spirograph"
  int gSecondMorphDone = 0;  // flag: the second went to "Pentagonal Lines"
};

extern MorphSetupRec gMorphSetup;

// Starts a morph at the current morph-clock tick: sets the end tick, picks
// the target (the user's request, else the run's first two fixed targets,
// else a weighted choice), raises the working arm count to the target's,
// sets the thinning factor and the trail density, and settles 3D, painting
// and the background. False, with nothing changed, when there is no pattern
// table to morph in.
bool BeginMorph();
// One blend step for the current morph-clock tick: progress, eased factor,
// the names while they are shown, and the blended working values.
void MorphStep();
// The target becomes the current pattern and is applied.
void EndMorph();

void ResetMorphSetup();

// The on-screen pattern names, drawn into a text slot; the calls are also
// counted in gPatternNames.
//
// During a morph: the name of from fading out under the name of target
// fading in; weight is the from-name's share, 1 at the start. clear asks
// for the region to be cleared first; slot is the text slot.
void DrawPatternNames(uint32_t target, uint32_t from, float weight, int clear, int slot);
// The current pattern's name alone, at full weight, after a morph.
void DrawPatternName(uint32_t index);

struct PatternNamesCall {
  uint32_t target = 0, from = 0;
  float weight = 0;
  int clear = 0;
  int slot = 0;
};

struct PatternNamesRec {
  uint32_t morphCalls = 0;     // DrawPatternNames calls
  PatternNamesCall lastMorph;  // the arguments of the last one
  uint32_t nameCalls = 0;      // DrawPatternName calls
  uint32_t lastName = 0;
};

extern PatternNamesRec gPatternNames;
