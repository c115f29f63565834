// Settings given as command-line flags. They win over the settings file for
// one run and are never written to it: screen-saver hosts restart the
// program with new flags at every change the user makes in their own
// settings tool, and the user's file must stay what the user saved.
#pragma once
#include <cstdint>
#include <string>

enum class FlagOption : int {
  RandomPattern,
  Morph,
  MorphInterval,
  MorphDuration,
  MaxFps,
  ShowNames,
  DoubleSize,
  SquareTiled,
  Simple,
  BallLevel,
  PaintingLevel,
  SphereLevel,
  Music,
  Volume,
  Count,
};
constexpr int kFlagOptionCount = int(FlagOption::Count);

// One flag: "--name VALUE" for a number, "--name" / "--no-name" for a switch.
// The --help text lists them by hand, grouped; a test keeps it complete.
struct SettingsFlag {
  FlagOption option;
  const char* name;  // without the dashes
  bool isSwitch;
  int32_t min, max;  // inclusive; a switch is 0..1
};

inline constexpr SettingsFlag kSettingsFlags[] = {
    {FlagOption::RandomPattern, "random-pattern", true, 0, 1},
    {FlagOption::Morph, "morph", true, 0, 1},
    {FlagOption::MorphInterval, "morph-interval", false, 0, 3600},   // s
    {FlagOption::MorphDuration, "morph-duration", false, 1, 20000},  // morph clock ticks
    {FlagOption::MaxFps, "max-fps", false, 25, 999},
    {FlagOption::ShowNames, "names", true, 0, 1},
    {FlagOption::DoubleSize, "double-size", true, 0, 1},
    {FlagOption::SquareTiled, "square-tiled", true, 0, 1},
    {FlagOption::Simple, "simple", true, 0, 1},
    {FlagOption::BallLevel, "ball-level", false, 0, 10},  // tenths
    {FlagOption::PaintingLevel, "painting-level", false, 0, 10},
    {FlagOption::SphereLevel, "sphere-level", false, 0, 10},
    {FlagOption::Music, "music", true, 0, 1},
    {FlagOption::Volume, "volume", false, 0, 100},  // percent
};

struct SettingsFlagsRec {
  bool given[kFlagOptionCount] = {};
  int32_t value[kFlagOptionCount] = {};
  std::string pattern;         // --pattern NAME|INDEX; "" = the saver's own choice
  bool patternChosen = false;  // the last start found that pattern and began with it
};

extern SettingsFlagsRec gSettingsFlags;

enum class FlagParse { NotOurs, Taken, Refused };
// Reads the settings flag at argv[*index] (with one or two dashes, its value
// in the next argument or after '='), moving *index past what it took.
// Refused: *error holds one line naming the flag and what it takes.
FlagParse ParseSettingsFlag(int argc, const char* const* argv, int* index, SettingsFlagsRec* flags,
                            std::string* error);
bool AnySettingsFlag(const SettingsFlagsRec& flags);

// The index of the pattern text names in the loaded table: an index, a name
// in any letter case, or a name with its spaces and punctuation left out
// ("brisels-kandy"); -1 when there is none.
int FindFlagPattern(const char* text);
// Checks --pattern against the stored pattern table without changing
// anything; false with a one-line message when no such pattern exists.
// Must run while no pattern table is loaded.
bool CheckFlagPattern(std::string* error);

// Puts the flags over the options just loaded. Called after every load of
// a saver start; nothing later writes the options back.
void ApplySettingsFlags();

void ResetSettingsFlags();
