// The twenty built-in patterns every run starts from, and the revert of a
// standard pattern to them.
#include <bit>

#include "patterns/preset.h"

namespace {

struct BuiltInPattern {
  const char* name;
  int32_t kinkiness, length, density, width, trails;
  int32_t sparkle, sparkliness, fade, colourSpeed, jumpSpeed;
  int32_t spiralTrail;
  uint32_t spiralIncBits;  // the exact IEEE single, so no compiler rounding can move it
  int32_t alwaysFadeHead, alwaysQuicksand, paintRule, alwaysUltraWide, is3D;
  int32_t grabbed;
};

constexpr uint32_t kIncSixth = 0x3F8612C4u;     // 1.0474477
constexpr uint32_t kIncPoint3 = 0x3E99999Au;    // 0.3
constexpr uint32_t kIncSnakes = 0x3A89421Fu;    // 0.0010471976
constexpr uint32_t kInc3DSnakes = 0x3AA4B5BFu;  // 0.0012566372
constexpr uint32_t kIncTwirlies = 0x404938D2u;  // 3.144093

// clang-format off
constexpr BuiltInPattern kBuiltIns[kStandardPatternCount] = {
  //                       Kink  Len Dens Wid Num Spk Spkl Fade Col Jump Spir Inc           AFH AQ PR UW 3D Grb
  {"Zelo",                   30, 250,   8, 20,  6,  1,  40,  50,  50, 15, 0, 0,             0, 0, 0, 0, 0, 0},
  {"Pentagonal Lines",       15, 400,  10,  0,  5,  1,  50,  50,  75, 20, 0, 0,             0, 0, 0, 0, 0, 0},
  {"Slow Ripples",           50, 550,   5, 35,  6,  0,  50,  20,  50, 20, 0, 0,             0, 0, 0, 0, 0, 0},
  {"Spirograph",             10, 700,  30,  0, 20,  0,  50,  60,  17, 25, 0, 0,             0, 0, 0, 0, 0, 0},
  {"Jellyfish",              15, 150,   3,  0,  3,  0,  50,  20, 100, 30, 1, kIncSixth,     0, 0, 0, 0, 0, 0},
  {"Wormholes",              30, 200,   3,  0,  6,  0,  50,  20,  75, 20, 1, kIncPoint3,    0, 0, 0, 0, 0, 0},
  {"Ribbons",                10, 600,   7,  2,  2,  1,  50,  30,  75, 40, 0, 0,             1, 0, 0, 0, 0, 0},
  {"Rose Tattoo",            50, 550,   5, 35,  6,  0,  50,  40,  25, 30, 0, 0,             1, 1, 0, 0, 0, 0},
  {"Angry Spaghetti",        50, 330,   7,  0, 14,  0,  50,  20,  50, 20, 1, kIncSixth,     1, 0, 0, 0, 0, 0},
  {"Sea Snakes",             20, 135,   2,  2,  7,  0,  50,  50,  75, 30, 1, kIncSnakes,    0, 0, 0, 0, 0, 0},
  {"Brisel's Kandy",         20, 1000, 13, 90,  8,  1,   4,  95,   1, 20, 0, 0,             1, 1, 0, 0, 0, 0},
  {"Orvane",                 50, 113,   4, 81,  6,  0,   4,   0,  30, 30, 0, 0,             1, 1, 1, 0, 0, 0},
  {"3D Spirograph",          15, 638,  30,  0, 30,  0,  40,  50,  34, 25, 0, 0,             0, 0, 0, 0, 1, 0},
  {"3D Zelo",                30, 250,   8, 11, 12,  1,  40,  50,  50, 20, 0, 0,             0, 0, 0, 0, 1, 0},
  {"3D Sea Snakes",          20, 354,  11,  2, 12,  0,  50, 100,  75, 30, 1, kInc3DSnakes,  0, 0, 0, 0, 1, 0},
  {"Dorn's Quads",           10, 360,   6,  2,  4,  1,  75,  10,  75, 25, 0, 0,             1, 0, 2, 1, 0, 0},
  {"Supernova",              50, 550,   5, 35,  6,  0,  50,  20,  50, 20, 0, 0,             0, 0, 0, 0, 0, 1},
  {"Twirlies",               20, 180,   5,  0,  5,  0,  50,  20,  75, 20, 1, kIncTwirlies,  0, 0, 0, 0, 0, 0},
  {"Anenome",                 4, 135,   2,  3,  8,  0,  50,   0,   1, 30, 0, 0,             0, 0, 2, 0, 0, 1},
  {"Aura",                    5, 175,   3,  3,  7,  0,  50,   0,   1, 30, 0, 0,             0, 0, 2, 0, 0, 1},
};
// clang-format on

void CopyName(char (&destination)[32], const char* source) {
  constexpr int kBound = 31;
  int n = 0;
  for (; n < kBound && source[n]; ++n) destination[n] = source[n];
  for (; n < 32; ++n) destination[n] = '\0';
}

void WriteGrabbedBlock(Preset& preset, uint32_t index) {
  for (int slot = 0; slot < kGrabbedSlotCount; ++slot) SetGrabbedSlot(preset, slot, 0);
  if (index == 16) {
    SetGrabbedSlot(preset, kSlotCentre, 1);
    SetGrabbedSlot(preset, kSlotZeroAngle, 1);
    SetGrabbedSlot(preset, kSlotAngleSpeed, 1);
  } else {
    SetGrabbedSlot(preset, kSlotZeroAngle, 1);
    SetGrabbedSlot(preset, kSlotReverse, 3);
    SetGrabbedSlot(preset, kSlotTunnel, 1);
    SetGrabbedSlot(preset, kSlotDoubleBounce, 1);
    SetGrabbedSlot(preset, kSlotHelix, 1);
  }
}

}  // namespace

void SetStandardPattern(uint32_t index) {
  if (index >= kStandardPatternCount || !gPresets || index >= gPatternCount) return;
  const BuiltInPattern& b = kBuiltIns[index];
  Preset& p = gPresets[index];
  CopyName(p.Name, b.name);
  p.TrailKinkiness = b.kinkiness;
  p.TrailLength = b.length;
  p.TrailDensity = b.density;
  p.TrailWidth = b.width;
  p.NumberOfTrails = b.trails;
  p.Sparkle = b.sparkle;
  p.Sparkliness = b.sparkliness;
  p.FadeSpeed = b.fade;
  p.ColourSpeed = b.colourSpeed;
  p.JumpSpeed = b.jumpSpeed;
  p.SpiralTrail = b.spiralTrail;
  p.SpiralInc = std::bit_cast<float>(b.spiralIncBits);
  p.AlwaysFadeHead = b.alwaysFadeHead;
  p.AlwaysQuicksand = b.alwaysQuicksand;
  p.PaintRule = b.paintRule;
  p.AlwaysUltraWide = b.alwaysUltraWide;
  p.Modified = 0;
  p.Is3DPattern = b.is3D;
  p.Grabbed = b.grabbed;
  if (b.grabbed) WriteGrabbedBlock(p, index);
}
