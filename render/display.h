// The display: the drawing surface and the frame services the renderer
// calls, over the host's window.
#pragma once
#include <cstdint>

#include "platform/messages.h"

extern uint32_t gScreenWidth;   // size of the drawing surface, pixels
extern uint32_t gScreenHeight;
extern int gWindowMode;         // drawing into a window (preview, player) rather than full screen
extern int gSurfacesReady;
extern int gUseBackground;      // clear to the background picture instead of black
extern int gPainting;           // present by copying so the picture accumulates
extern uint32_t gForcedDepth;   // 16, 24 or 32 to force a depth; 0 chooses

bool DDInitialise(WindowHandle window);
void DDCleanUp();
void DDClearBackSurface();
bool DDLockBackSurface();
void DDUnlockBackSurface();
void DDPresent();
void DDBlitTextRegion(int slot);

void ResetDisplay();
