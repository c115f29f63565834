#include "patterns/pattern_selection.h"

#include <cmath>

#include "diag/log.h"
#include "engine/effects.h"
#include "engine/random.h"
#include "patterns/options.h"
#include "patterns/preset.h"

PatternChoiceRec gPatternChoice;

namespace {

// The draw's rules, loosened one at a time when nothing passes them.
enum Relaxation { kAllRules, kFirstPassOver, kNoRecentWindow, kNoEffectRules, kRelaxationCount };

int RecentWindow() {
  uint32_t allowed = gPatternCount - CountNeverPatterns();
  return allowed >= 1 && allowed <= 6 ? int(allowed) - 1 : kRecentWindow;
}

bool Acceptable(uint32_t j, int window, Relaxation relax) {
  const Preset& p = gPresets[j];
  if (relax < kNoRecentWindow)
    for (int i = 0; i < window; ++i)
      if (gPatternChoice.gRecentPatterns[i] == int32_t(j)) return false;
  if (relax < kNoEffectRules) {
    if (EffectOn(kSpherical) && (p.Is3DPattern || p.PaintRule == 1 || j == 4)) return false;
    if (p.Is3DPattern && gOptions.PaintingMode == 10) return false;
  }
  if (relax < kFirstPassOver && j < 20 && gPatternChoice.gShownPatterns[j] &&
      gPatternChoice.gChoiceCount < 20)
    return false;
  return true;
}

// The candidate that draw r selects: the first index whose running sum of
// weights exceeds r.
uint32_t CandidateFor(uint32_t r) {
  uint32_t sum = 0;
  for (uint32_t j = 0; j < gPatternCount; ++j) {
    sum += PatternWeight(gPresets[j].Frequency);
    if (sum > r) return j;
  }
  return gPatternCount - 1;
}

// Whether some draw of rand() mod total (0..32767 at most) gives an
// acceptable candidate; the draws cover [0, min(total, 32768)).
bool AnyDrawAcceptable(uint32_t total, int window, Relaxation relax) {
  uint32_t reach = total < 32768 ? total : 32768;
  uint32_t start = 0;
  for (uint32_t j = 0; j < gPatternCount && start < reach; ++j) {
    uint32_t weight = PatternWeight(gPresets[j].Frequency);
    if (weight > 0 && Acceptable(j, window, relax)) return true;
    start += weight;
  }
  return false;
}

}  // namespace

bool AddPatternSlot() {
  if (AppendPattern() < 0) {
    ReportError("A system error occurred allocating memory for a new pattern.");
    return false;
  }
  return true;
}

void ResetFrequencies() {
  for (uint32_t i = 0; i < gPatternCount; ++i) gPresets[i].Frequency = 50;
}

uint32_t CountNeverPatterns() {
  uint32_t count = 0;
  for (uint32_t i = 0; i < gPatternCount; ++i)
    if (gPresets[i].Frequency == 0) ++count;
  return count;
}

bool CheckFrequencies() {
  if (CountNeverPatterns() != gPatternCount) return true;
  ReportError("You can't select \"Use This Pattern: Never\" for all patterns!");
  return false;
}

uint32_t PatternWeight(int frequency) {
  if (frequency == 0) return 0;
  double n = double(gPatternCount);
  return uint32_t(std::floor(50.0 * std::pow(n - 1, double(frequency) / 50.0 - 1) + 0.5));
}

uint32_t MorphsBetweenUses(int frequency, uint32_t index) {
  uint32_t own = PatternWeight(frequency);
  if (frequency == 0 || own == 0) return 0;
  uint32_t total = own;
  for (uint32_t i = 0; i < gPatternCount; ++i)
    if (i != index) total += PatternWeight(gPresets[i].Frequency);
  return total / own;
}

uint32_t ChooseNextPattern() {
  PatternChoiceRec& c = gPatternChoice;
  if (!gPresets || gPatternCount == 0) return 0;
  if (c.gChoiceCount == 0) {
    for (uint32_t k = 0; k < 20 && k < gPatternCount; ++k) {
      c.gShownPatterns[k] = gPresets[k].Frequency == 0;
      if (c.gShownPatterns[k]) ++c.gChoiceCount;
    }
  }
  if (!c.recentInitialised) {
    for (int32_t& entry : c.gRecentPatterns) entry = 65535;
    c.recentInitialised = true;
  }
  uint32_t total = 0;
  for (uint32_t i = 0; i < gPatternCount; ++i) total += PatternWeight(gPresets[i].Frequency);
  // Every pattern set to never: nothing to choose among, so keep the current one.
  if (total == 0) return gCurrentPattern < gPatternCount ? gCurrentPattern : 0;
  int window = RecentWindow();
  Relaxation relax = kAllRules;
  while (relax < kNoEffectRules && !AnyDrawAcceptable(total, window, relax)) relax = Relaxation(relax + 1);
  if (relax >= kFirstPassOver) {
    LogDebug("ChooseNextPattern: no pattern passes the rules; relaxing them (%d)\n", int(relax));
    if (relax == kFirstPassOver) c.gChoiceCount = c.gChoiceCount < 20 ? 20 : c.gChoiceCount;
  }
  uint32_t j;
  do {
    j = CandidateFor(uint32_t(prismora::rand()) % total);
  } while (!(PatternWeight(gPresets[j].Frequency) > 0 && Acceptable(j, window, relax)));
  c.gRecentPatterns[c.gRecentPos] = int32_t(j);
  if (++c.gRecentPos >= window) c.gRecentPos = 0;
  c.gChoiceCount += 1;
  if (j < 20) c.gShownPatterns[j] = true;
  return j;
}

void ResetPatternChoice() { gPatternChoice = PatternChoiceRec{}; }
