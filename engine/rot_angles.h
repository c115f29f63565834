// The rotation table: one entry per arm with its angle and rotation matrix.
#pragma once
#include <cstdint>

struct RotAngle {
  float angle = 0;  // rad
  float fromAngle = 0, toAngle = 0;
  float cosA = 1, sinA = 0, negSinA = 0, cosA2 = 1;
  int extra = 0;  // a split-off or merging arm during a morph
};

extern RotAngle* gRotAngle;
extern uint32_t gRotAngleCount;  // entries in gRotAngle

// Re-places the attractors (outside a morph), recomputes the fade age and
// rebuilds (or, in a morph, re-interpolates) the table.
void RebuildArms();
void SetupRotAngles();
void ReleaseRotAngles();
