// Which effect each on/off slot of a grabbed pattern's "Grabbed Settings"
// block holds. The valued slots (modes, phases, the One Colour set) are
// read and written beside these by name.
#pragma once
#include "engine/effects.h"
#include "patterns/preset.h"

struct SlotEffect {
  int slot;
  EffectId id;
};

// Effects whose state is copied as stored (Reverse's slot holds its mode).
inline constexpr SlotEffect kGrabbedCopiedEffects[] = {
    {kSlotFocusOnCentre, kFocusOnCentre},
    {kSlotFragmented, kFragmented},
    {kSlotQuicksand, kQuicksand},
    {kSlotOneColour, kOneColour},
    {kSlotCentre, kCentre},
    {kSlotFadeHead, kFadeHead},
    {kSlotLoopySpeed, kLoopySpeed},
    {kSlotSlowMiddle, kSlowMiddle},
    {kSlotVariableSpeed, kVariableSpeed},
    {kSlotZeroAngle, kZeroAngle},
    {kSlotAngleSpeed, kAngleSpeed},
    {kSlotReverse, kReverse},
    {kSlotFrosted, kFrosted},
    {kSlotUltraWide, kUltraWide},
    {kSlotStop, kStop},
    {kSlotTunnel, kTunnel},
    {kSlotDoubleBounce, kDoubleBounce},
    {kSlotCoriolis, kCoriolis},
    {kSlotWindmill, kWindmill},
    {kSlotTwisty, kTwisty},
    {kSlotLoopTheLoop, kLoopTheLoop},
    {kSlotFlickVel, kFlickVel},
    {kSlotColourCycle, kColourCycle},
    {kSlotShadow, kShadow},
    {kSlotTwoTone, kTwoTone},
    {kSlotHelix, kHelix},
    {kSlotStarTrail, kStarTrail},
    {kSlotVariableWidth, kVariableWidth},
    {kSlotCurvyTrails, kCurvyTrails},
    {kSlotPaletted, kPaletted},
    {kSlotSpeedXY, kSpeedXY},
    {kSlotColourfulArms, kColourfulArms},
};

// Effects that come on with their on-actions, or are asked to end.
inline constexpr SlotEffect kGrabbedSwitchedEffects[] = {
    {kSlotSpherical, kSpherical},
    {kSlotMirroredRadial, kMirroredRadial},
    {kSlotInverseDistance, kInverseDistance},
    {kSlotRadialEcho, kRadialEcho},
};

// The states a grabbed pattern sets by rules of their own.
inline constexpr SlotEffect kGrabbedRuledEffects[] = {
    {kSlotPaintMode, kPaintMode},
    {kSlotBallMode, kBallMode},
    {kSlotComplementaryMirror, kComplementaryMirror},
};
