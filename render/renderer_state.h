// The renderer's program-wide state: the frame-rate window and load
// shedding, the 3D tilt phase, the sphere of the Spherical effect, and the
// values cached on the first frame. The Spherical effect sets the sphere
// values when it switches on or off; the renderer advances them every frame.
#pragma once
#include <cstdint>

extern uint32_t gFps;             // frames per second, last measured; 0 after a long gap
extern uint32_t gFpsFrames;       // frames counted in the current window
extern uint32_t gFpsWindowStart;  // tick, ms, at which the window began
extern int32_t gShedRate;         // per mille of particles shed per frame, 0..32
extern float g3DPhase;            // rad, phase of the 3D tilt

extern float gSphereAngle;   // rad, 0..2π
extern float gSphereRadius;  // pixels
extern float gSphereStep;    // rad per frame
extern int gSphereEnding;    // flag: Spherical is running out
extern int gSphereFast;      // flag: the fast variant

// Cached on the first frame (while 0) and kept afterwards.
extern float gCentreX, gCentreY;  // pixels, the screen centre
extern uint32_t gWhitePixel;      // packed white
extern uint32_t gTileSize;        // pixels, Square Tiled

// Everything above back to 0, and the text overlays with it.
void ResetRenderer();
