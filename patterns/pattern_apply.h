// Applying a pattern to the engine, and the per-pattern painting and ball
// decisions.
#pragma once
#include <cstdint>

// Copies gPresets[gCurrentPattern] into the engine's working values, reseeds
// the generator and decides painting and ball mode.
void ApplyPattern();
// Chooses the pattern to start with, then applies it.
void ApplyRandomPattern();
void PaintDecision(uint32_t index, uint32_t msToNextMorph);
void BallDecision(uint32_t index);
void ResetPatternSelection();
