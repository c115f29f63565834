// The engine's entry points.
#pragma once
#include <cstdint>

#include "platform/messages.h"

// One frame: up to a second of simulation steps, the renderer every 150th.
void AddTrailParticle(WindowHandle window);

// The emitter reset: engine initialisation, and whenever the emitter leaves
// the screen.
void InitialiseEngine();
// Frees every particle and the rotation table; ends a morph.
void ReleaseEngine();

// Parts of the frame update, exposed for the tests and the effects.
void MoveEmitter();
void PlaceAttractors();
void JumpEmitter();
void StepEmitterColour();
uint32_t SpawnPeriod();
void BuildPalettes();
void BuildRandomPalette();

// Every engine record back to its initial state (frees what they own).
void ResetEngine();
