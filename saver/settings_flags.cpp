// Reading the settings flags, checking --pattern against the stored
// patterns, and putting the flags over the loaded options.
#include "saver/settings_flags.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "diag/log.h"
#include "engine/effects.h"
#include "patterns/options.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "patterns/settings_store.h"
#include "platform/registry.h"

SettingsFlagsRec gSettingsFlags;

namespace {

constexpr uint32_t kMaxPatternFlagIndex = 99999;

// Digits only, no sign or spaces, at most max.
bool ParseWholeNumber(const char* text, int64_t max, int64_t* out) {
  if (!*text) return false;
  int64_t value = 0;
  for (const char* p = text; *p; ++p) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    value = value * 10 + (*p - '0');
    if (value > max) return false;
  }
  *out = value;
  return true;
}

bool AllDigits(const char* text) {
  for (const char* p = text; *p; ++p)
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  return *text != '\0';
}

// Letters and digits only, lower case: "Brisel's Kandy" and "brisels-kandy"
// both become "briselskandy", so a name survives a host's shell unquoted.
std::string LooseName(const char* name) {
  std::string loose;
  for (const char* p = name; *p; ++p)
    if (std::isalnum(static_cast<unsigned char>(*p)))
      loose += char(std::tolower(static_cast<unsigned char>(*p)));
  return loose;
}

std::string Range(const SettingsFlag& flag) {
  return "a whole number from " + std::to_string(flag.min) + " to " + std::to_string(flag.max);
}

// Appends a record for every stored user pattern and gives the standard
// ones their stored letter case, as the loader does, reading names only.
void AddStoredPatternNames() {
  HKEY patterns = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kPatternsKeyPath, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                   &patterns) != ERROR_SUCCESS)
    return;
  char name[32];
  for (uint32_t index = 0; SubkeyName(patterns, index, name); ++index) {
    int target = StandardPatternIndex(name);
    HKEY key = nullptr;
    // The loader skips a pattern it cannot open, so it takes no index.
    if (RegOpenKeyEx(patterns, name, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
    RegCloseKey(key);
    if (target < 0) target = AppendPattern();
    if (target < 0) break;
    std::snprintf(gPresets[target].Name, sizeof gPresets[target].Name, "%s", name);
  }
  RegCloseKey(patterns);
}

}  // namespace

FlagParse ParseSettingsFlag(int argc, const char* const* argv, int* index, SettingsFlagsRec* flags,
                            std::string* error) {
  const char* arg = argv[*index];
  if (arg[0] != '-') return FlagParse::NotOurs;
  const char* body = arg[1] == '-' ? arg + 2 : arg + 1;
  const char* equals = std::strchr(body, '=');
  std::string name = equals ? std::string(body, equals) : std::string(body);
  std::string shown = equals ? std::string(arg, equals) : std::string(arg);
  // The value after '=', else the next argument.
  auto takeValue = [&](const char* expected, const char** value) {
    if (equals) {
      *value = equals + 1;
      return true;
    }
    // An option in the value's place ("--volume -root") is left for the
    // next round: the mode it gives must not be lost.
    const char* next = *index + 1 < argc ? argv[*index + 1] : nullptr;
    if (!next || (next[0] == '-' && !std::isdigit(static_cast<unsigned char>(next[1])))) {
      *error = shown + " needs a value (" + expected + ")";
      return false;
    }
    *value = argv[++*index];
    return true;
  };

  if (name == "pattern") {
    const char* value = nullptr;
    if (!takeValue("a pattern name or index", &value)) return FlagParse::Refused;
    int64_t number = 0;
    // "3D Zelo" is a name; "123" an index.
    if (!*value || value[0] == '-' ||
        (AllDigits(value) && !ParseWholeNumber(value, kMaxPatternFlagIndex, &number))) {
      *error = shown + " must be a pattern name or an index from 0, not " + value;
      return FlagParse::Refused;
    }
    flags->pattern = value;
    // A pattern asked for by name is the one to start with.
    flags->given[int(FlagOption::RandomPattern)] = true;
    flags->value[int(FlagOption::RandomPattern)] = 0;
    return FlagParse::Taken;
  }
  for (const SettingsFlag& flag : kSettingsFlags) {
    int i = int(flag.option);
    if (flag.isSwitch) {
      bool on = name == flag.name;
      if (!on && name != std::string("no-") + flag.name) continue;
      if (equals) {
        *error = shown + " takes no value";
        return FlagParse::Refused;
      }
      flags->given[i] = true;
      flags->value[i] = on ? 1 : 0;
      if (flag.option == FlagOption::RandomPattern && on) flags->pattern.clear();
      return FlagParse::Taken;
    }
    if (name != flag.name) continue;
    const char* value = nullptr;
    if (!takeValue(Range(flag).c_str(), &value)) return FlagParse::Refused;
    int64_t number = 0;
    if (!ParseWholeNumber(value, flag.max, &number) || number < flag.min) {
      *error = shown + " must be " + Range(flag) + ", not " + value;
      return FlagParse::Refused;
    }
    flags->given[i] = true;
    flags->value[i] = int32_t(number);
    return FlagParse::Taken;
  }
  return FlagParse::NotOurs;
}

bool AnySettingsFlag(const SettingsFlagsRec& flags) {
  for (bool given : flags.given)
    if (given) return true;
  return !flags.pattern.empty();
}

int FindFlagPattern(const char* text) {
  if (!gPresets || !*text) return -1;
  int64_t number = 0;
  if (ParseWholeNumber(text, kMaxPatternFlagIndex, &number))
    return number < int64_t(gPatternCount) ? int(number) : -1;
  for (uint32_t i = 0; i < gPatternCount; ++i)
    if (NamesEqualIgnoringCase(text, gPresets[i].Name)) return int(i);
  std::string loose = LooseName(text);
  if (loose.empty()) return -1;
  for (uint32_t i = 0; i < gPatternCount; ++i)
    if (LooseName(gPresets[i].Name) == loose) return int(i);
  return -1;
}

bool CheckFlagPattern(std::string* error) {
  const std::string& text = gSettingsFlags.pattern;
  // Without memory for the table the start says so itself.
  if (text.empty() || !AllocateStandardPatternTable()) return true;
  AddStoredPatternNames();
  int found = FindFlagPattern(text.c_str());
  uint32_t last = gPatternCount - 1;
  FreePatternTable();
  if (found >= 0) return true;
  if (AllDigits(text.c_str()))
    *error = "--pattern " + text + " is past the last pattern, " + std::to_string(last);
  else
    *error = "--pattern: no pattern is called \"" + text +
             "\"; give a name from the settings dialog's list or an index from 0 to " + std::to_string(last);
  return false;
}

void ApplySettingsFlags() {
  SettingsFlagsRec& f = gSettingsFlags;
  f.patternChosen = false;
  auto given = [](FlagOption option) { return gSettingsFlags.given[int(option)]; };
  auto value = [](FlagOption option) { return gSettingsFlags.value[int(option)]; };
  OptionsRec& o = gOptions;
  if (given(FlagOption::RandomPattern)) o.UseRandomPreset = value(FlagOption::RandomPattern);
  if (given(FlagOption::Morph)) {
    // With a single pattern left to choose from, a change could only go
    // back to the same one; the loaded settings keep morphing off then.
    if (value(FlagOption::Morph) && gPatternCount > 0 && CountNeverPatterns() == gPatternCount - 1)
      LogDebug("--morph: every pattern but one is set to never; patterns do not change\n");
    else
      o.MorphSettings = value(FlagOption::Morph);
  }
  if (given(FlagOption::MorphInterval)) o.MorphInterval = uint32_t(value(FlagOption::MorphInterval));
  if (given(FlagOption::MorphDuration)) o.MorphDuration = uint32_t(value(FlagOption::MorphDuration));
  if (given(FlagOption::MaxFps)) o.MaxFps = uint32_t(value(FlagOption::MaxFps));
  if (given(FlagOption::ShowNames)) o.ShowNames = value(FlagOption::ShowNames);
  if (given(FlagOption::DoubleSize)) o.DoubleSize = value(FlagOption::DoubleSize);
  if (given(FlagOption::SquareTiled)) o.SquareTiled = value(FlagOption::SquareTiled);
  if (given(FlagOption::Simple)) {
    o.Simple = value(FlagOption::Simple);
    gMaxEffects = o.Simple ? 2 : 32;  // derived from Simple at every load
  }
  if (given(FlagOption::BallLevel)) o.BallLevel = value(FlagOption::BallLevel);
  if (given(FlagOption::PaintingLevel)) o.PaintingMode = value(FlagOption::PaintingLevel);
  if (given(FlagOption::SphereLevel)) o.SphereLevel = value(FlagOption::SphereLevel);
  if (given(FlagOption::Music)) {
    if (!value(FlagOption::Music))
      o.MusicIndex = -1;
    else if (o.MusicIndex == -1)
      o.MusicIndex = 0;  // no music chosen: the built-in track
  }
  if (given(FlagOption::Volume)) o.MusicVolume = value(FlagOption::Volume);
  if (!f.pattern.empty()) {
    int index = FindFlagPattern(f.pattern.c_str());
    if (index < 0) {
      LogDebug("--pattern: no pattern is called \"%s\"; the saver chooses one\n", f.pattern.c_str());
    } else {
      gCurrentPattern = uint32_t(index);
      f.patternChosen = true;
    }
  }
}

void ResetSettingsFlags() { gSettingsFlags = SettingsFlagsRec{}; }
