// The display over the host's window: a back buffer in memory, drawn into
// by the renderer and handed to the window to present.
#include "render/display.h"

#include <cstdlib>
#include <cstring>

#include "platform/window.h"
#include "render/pixel_format.h"

uint32_t gScreenWidth = 640;
uint32_t gScreenHeight = 480;
int gWindowMode = 0;
int gSurfacesReady = 0;
int gUseBackground = 0;
int gPainting = 0;
uint32_t gForcedDepth = 0;

namespace {

struct DisplayRec {
  WindowHandle window = 0;
  uint8_t* backBuffer = nullptr;
  uint32_t pitch = 0;
  uint32_t bitsPerPixel = 32;
};

DisplayRec gDisplay;

uint32_t ChooseDepth() {
  unsigned offered = gWindows->depths();
  if (gForcedDepth == 16 && (offered & kDepth16)) return 16;
  if (gForcedDepth == 24 && (offered & kDepth24)) return 24;
  if (gForcedDepth == 32 && (offered & kDepth32)) return 32;
  if (offered & kDepth32) return 32;
  if (offered & kDepth24) return 24;
  if (offered & kDepth16) return 16;
  return 0;
}

}  // namespace

bool DDInitialise(WindowHandle window) {
  DDCleanUp();
  uint32_t depth = ChooseDepth();
  if (depth == 0 || gScreenWidth == 0 || gScreenHeight == 0) return false;
  gDisplay.window = window;
  gDisplay.bitsPerPixel = depth;
  // Rows padded to 4 bytes, as surfaces usually are.
  gDisplay.pitch = (gScreenWidth * (depth / 8) + 3) & ~3u;
  gDisplay.backBuffer = static_cast<uint8_t*>(std::calloc(size_t(gDisplay.pitch) * gScreenHeight, 1));
  if (!gDisplay.backBuffer) return false;
  if (depth == 16)
    DerivePixelFormat(0xF800, 0x07E0, 0x001F, 16);
  else
    DerivePixelFormat(0xFF0000, 0x00FF00, 0x0000FF, depth);
  gSurfacesReady = 1;
  return true;
}

void DDCleanUp() {
  std::free(gDisplay.backBuffer);
  gDisplay = DisplayRec{};
  gSurfacesReady = 0;
}

void DDClearBackSurface() {
  if (!gSurfacesReady) return;
  std::memset(gDisplay.backBuffer, 0, size_t(gDisplay.pitch) * gScreenHeight);
}

bool DDLockBackSurface() {
  if (!gSurfacesReady) return false;
  FrameBuffer.base = gDisplay.backBuffer;
  FrameBuffer.pitch = gDisplay.pitch;
  FrameBuffer.width = gScreenWidth;
  FrameBuffer.height = gScreenHeight;
  return true;
}

void DDUnlockBackSurface() {}

void DDPresent() {
  if (!gSurfacesReady) return;
  FrameImage frame;
  frame.pixels = gDisplay.backBuffer;
  frame.pitch = gDisplay.pitch;
  frame.width = gScreenWidth;
  frame.height = gScreenHeight;
  frame.bitsPerPixel = gDisplay.bitsPerPixel;
  gWindows->present(gDisplay.window, frame);
}

void DDBlitTextRegion(int) {}

void ResetDisplay() {
  DDCleanUp();
  gScreenWidth = 640;
  gScreenHeight = 480;
  gWindowMode = 0;
  gUseBackground = 0;
  gPainting = 0;
  gForcedDepth = 0;
}
