// The frame renderer: one picture from the live particles, drawn into every
// arm of the rotation table (or into square tiles) with the drawing-side
// effects, shown, and paced to "Max FPS".
#pragma once

#include "render/renderer_state.h"

// One frame: measure the frame rate, erase, lay the text overlays, draw
// every live particle, present, then sleep out the rest of the frame period
// (900 / "Max FPS" ms; no wait when "Max FPS" is 0). A frame whose back
// surface cannot be locked draws and presents nothing but is still paced.
// Shed particles age ten times faster; particles beyond the sphere's rim
// are drawn once more and moved to the free list.
void DrawFrame();
