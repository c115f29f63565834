// Changes to the pattern table after it was loaded: grabbing the running
// pattern, copying, renaming and deleting patterns, and their names.
#pragma once
#include <cstdint>

constexpr int kPatternNameMax = 30;  // characters a stored pattern name may have

// The pattern controls of the settings dialog that a copy takes.
struct PatternControlValues {
  int32_t TrailLength = 0;
  int32_t TrailWidth = 0;
  int32_t TrailDensity = 0;
  int32_t TrailKinkiness = 0;
  int32_t Sparkliness = 0;
  int32_t Sparkle = 0;
  int32_t FadeSpeed = 0;
  int32_t ColourSpeed = 0;
  int32_t NumberOfTrails = 0;
  int32_t JumpSpeed = 0;
  int32_t Frequency = 0;
  int32_t AlwaysFadeHead = 0;
  int32_t AlwaysQuicksand = 0;
};

// Stores the running pattern, with its effect states, as a new user pattern
// named "<name> #<n>" after the first n that no stored pattern uses.
void GrabPattern();
// Appends a pattern called name with the dialog's values and the source's
// spiral; false (after telling the user) when memory ran out.
bool CopyPattern(uint32_t source, const PatternControlValues& controls, const char* name);
// A user pattern (index 20 or more) takes a new name in memory and store.
void RenamePattern(uint32_t index, const char* name);
// Removes the pattern's stored copy and frequency; memory is left as it is.
void DeletePatternKeys(uint32_t index);
// Removes every stored frequency.
void ClearFrequencies();
// False (after telling the user) when name is taken by another pattern,
// ignoring case, or cannot be stored as a pattern name. "" is allowed.
bool CheckPatternName(const char* name);

// The first free grab name for base: "base #1", "base #2", ..., the base
// shortened where "base #n" would be longer than a pattern name may be.
void FreeGrabName(const char* base, char* name, uint32_t capacity);
// Fills the "Grabbed Settings" block from the current effect states.
void CaptureGrabbedSettings(uint8_t block[]);
