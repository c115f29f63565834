// The pattern library's frequencies and the weighted choice of the next
// pattern.
#pragma once
#include <cstdint>

constexpr int kRecentWindow = 5;

struct PatternChoiceRec {
  uint32_t gChoiceCount = 0;     // choices made, started at the never-shown standard patterns
  bool gShownPatterns[20] = {};  // the first pass over the standard patterns
  int32_t gRecentPatterns[kRecentWindow] = {};
  int gRecentPos = 0;
  bool recentInitialised = false;
};

extern PatternChoiceRec gPatternChoice;

// Grows the table by one zeroed record; on failure reports it and returns false.
bool AddPatternSlot();
void ResetFrequencies();
uint32_t CountNeverPatterns();
// False (after telling the user) when every pattern is set to never run.
bool CheckFrequencies();
uint32_t PatternWeight(int frequency);
uint32_t MorphsBetweenUses(int frequency, uint32_t index);
uint32_t ChooseNextPattern();

void ResetPatternChoice();
