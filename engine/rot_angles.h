// The rotation table: one entry per arm with its angle and rotation matrix.
// A steady pattern spaces its arms evenly; a morph between arm counts builds
// a table of the larger count whose arms slide from the old spacing to the
// new one, so arms split off or merge into their neighbours smoothly.
#pragma once
#include <cstdint>

struct RotAngle {
  float angle = 0;                   // rad, the arm's current angle
  float fromAngle = 0, toAngle = 0;  // rad, at the start and the end of a morph
  // The rotation matrix row by row: (cosA, sinA; negSinA, cosA2).
  float cosA = 1, sinA = 0, negSinA = 0, cosA2 = 1;
  int extra = 0;  // flag: a split-off or merging arm during a morph
};

extern RotAngle* gRotAngle;      // heap array, none before the first rebuild
extern uint32_t gRotAngleCount;  // entries in gRotAngle; 0 when there is no table

// Re-places the attractors (outside a morph), recomputes the fade age, and
// rebuilds the steady table, or during a morph re-interpolates the morph
// table with gMorphFactor.
void RebuildArms();
// The steady table for the working arm count. On allocation failure it logs
// and leaves no table.
void SetupRotAngles();
// The morph table from gMorphBlend.fromArms to targetArms, sized for the
// working arm count (already raised to the larger of the two). Equal counts
// keep the current table. Arms that move start at their from-angles.
void SetupMorphRotAngles();
// Moves every arm whose from- and to-angles differ to from + (to - from) * m,
// m the eased morph factor in [0, 1]. Nothing when the two counts are equal.
void InterpolateRotAngles(float m);
// Frees the table.
void ReleaseRotAngles();
