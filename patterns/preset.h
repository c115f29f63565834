// The pattern record, the pattern table and the layout of a grabbed
// pattern's effect states.
#pragma once
#include <cstdint>

constexpr uint32_t kStandardPatternCount = 20;
constexpr int kGrabbedSlotCount = 53;

// Slots of the "Grabbed Settings" block: 53 little-endian 32-bit values,
// signed integers except where marked float.
enum GrabbedSlot : int {
  kSlotFocusOnCentre = 0,
  kSlotFragmented = 1,
  kSlotQuicksand = 2,
  kSlotOneColour = 3,
  kSlotOneColourSpeedMode = 4,
  kSlotOneColourMultiplier1 = 5,
  kSlotOneColourMultiplier2 = 6,
  kSlotOneColourMultiplier3 = 7,
  kSlotOneColourRate1 = 8,   // float
  kSlotOneColourRate2 = 9,   // float
  kSlotOneColourRate3 = 10,  // float
  kSlotOneColourThreshold = 11,
  kSlotOneColourPeriod = 12,
  kSlotCentre = 13,
  kSlotFadeHead = 14,
  kSlotLoopySpeed = 15,
  kSlotSlowMiddle = 16,
  kSlotVariableSpeed = 17,
  kSlotZeroAngle = 18,
  kSlotAngleSpeed = 19,
  kSlotReverse = 20,  // Reverse mode, 0 = off
  kSlotFrosted = 21,
  kSlotUltraWide = 22,
  kSlotPaintMode = 23,
  kSlotSpherical = 24,
  kSlotStop = 25,
  kSlotTunnel = 26,
  kSlotTunnelPhase = 27,
  kSlotDoubleBounce = 28,
  kSlotCoriolis = 29,
  kSlotWindmill = 30,
  kSlotTwisty = 31,
  kSlotTwistyRadius = 32,  // float
  kSlotLoopTheLoop = 33,
  kSlotFlickVel = 34,
  kSlotFlickMode = 35,
  kSlotColourCycle = 36,
  kSlotShadow = 37,
  kSlotBallMode = 38,
  kSlotTwoTone = 39,
  kSlotColourCycleMode = 40,
  kSlotHelix = 41,
  kSlotStarTrail = 42,
  kSlotVariableWidth = 43,
  kSlotCurvyTrails = 44,
  kSlotMirroredRadial = 45,
  kSlotPaletted = 46,
  kSlotPaletteChoice = 47,  // -1 = none chosen yet
  kSlotSpeedXY = 48,
  kSlotColourfulArms = 49,
  kSlotComplementaryMirror = 50,
  kSlotInverseDistance = 51,
  kSlotRadialEcho = 52,
};

// Field names follow the stored value names ("Trail Length" → TrailLength).
struct Preset {
  char Name[32] = {};                                   // at most 30 characters in practice, NUL-terminated
  int32_t TrailKinkiness = 0;                           // 0..50, attractor count
  int32_t TrailLength = 0;                              // 1..1000, particle lifetime in particle steps
  int32_t TrailDensity = 0;                             // 1..50, spawn period in simulation steps
  int32_t TrailWidth = 0;                               // 0..90, degrees
  int32_t NumberOfTrails = 0;                           // 1..100, arms
  int32_t Sparkle = 0;                                  // flag
  int32_t Sparkliness = 0;                              // 4..200, one chance in this many
  int32_t FadeSpeed = 0;                                // 0..100, percent of the trail that fades
  int32_t ColourSpeed = 0;                              // 1..300, ms between colour steps
  int32_t JumpSpeed = 0;                                // 1..3600, s between jumps
  int32_t SpiralTrail = 0;                              // flag
  float SpiralInc = 0.0f;                               // radians per spawn
  int32_t AlwaysFadeHead = 0;                           // flag
  int32_t AlwaysQuicksand = 0;                          // flag
  int32_t PaintRule = 0;                                // 0 = by "Painting Mode", 1 = always, 2 = never
  int32_t AlwaysUltraWide = 0;                          // flag
  int32_t Modified = 0;                                 // flag: a standard pattern with its own stored copy
  int32_t Is3DPattern = 0;                              // flag ("3D Pattern")
  int32_t Frequency = 0;                                // 0..100, "Use This Pattern"
  int32_t Grabbed = 0;                                  // flag: GrabbedSettings holds captured effect states
  uint8_t GrabbedSettings[kGrabbedSlotCount * 4] = {};  // little-endian slots
};

extern Preset* gPresets;  // heap array of gPatternCount records
extern uint32_t gPatternCount;
extern uint32_t gCurrentPattern;  // the "Preset" setting

// Overwrites gPresets[index] (0..19) with that standard pattern's built-in
// values; any other index, or no table, does nothing.
void SetStandardPattern(uint32_t index);

// The table: every standard pattern set up, Frequency 50. Returns false when
// the memory cannot be had (the table is then absent).
bool AllocateStandardPatternTable();
// Grows the table by one zeroed record; returns its index, or -1 on failure
// (the table is unchanged then).
int AppendPattern();
void FreePatternTable();
// The standard pattern a stored key name stands for (ASCII case aside, as
// the store compares names), or -1 for a user pattern or no table.
int StandardPatternIndex(const char* name);
// Frees the table and forgets the current pattern: the state of a fresh start.
void ResetPatterns();

// Little-endian slot access to a "Grabbed Settings" block. A slot outside
// 0..52 reads as 0 and is never written.
int32_t GetGrabbedSlot(const Preset& preset, int slot);
void SetGrabbedSlot(Preset& preset, int slot, int32_t value);
float GetGrabbedSlotFloat(const Preset& preset, int slot);
void SetGrabbedSlotFloat(Preset& preset, int slot, float value);
