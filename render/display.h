// The display: the drawing surface and the frame services the renderer
// calls, over the host's window. The surfaces are buffers in memory; the
// window shows whatever is presented, scaled to fit.
#pragma once
#include <cstdint>

#include "platform/messages.h"

extern uint32_t gScreenWidth;  // size of the drawing surface, pixels
extern uint32_t gScreenHeight;
extern int gWindowMode;        // drawing into a window (preview, player) rather than full screen
extern int gSurfacesReady;     // flag: set by a completed DDInitialise, cleared by DDCleanUp
extern int gUseBackground;     // clear to the background picture instead of black
extern int gPainting;          // present by copying so the picture accumulates
extern uint32_t gForcedDepth;  // 16, 24 or 32 to force a depth; 0 chooses

// Result codes, with the values DirectDraw gives them.
enum : uint32_t {
  DD_OK = 0,
  DDERR_GENERIC = 0x80004005,
  DDERR_OUTOFMEMORY = 0x8007000E,
  DDERR_INVALIDPARAMS = 0x80070057,
  DDERR_INVALIDRECT = 0x88760096,
  DDERR_SURFACELOST = 0x887601C2,
};

// The display modes the settings offer: "W x H" texts, each size once.
constexpr int kResolutionListSize = 50;
constexpr int kResolutionTextSize = 30;
struct ResolutionListRec {
  char texts[kResolutionListSize][kResolutionTextSize] = {};
  uint32_t count = 0;
  int storedResolutionAvailable = 0;  // flag: gOptions.Resolution is one of the texts
};
extern ResolutionListRec gResolutionList;

// One display mode as the enumeration reports it.
struct DisplayModeRec {
  uint32_t width = 0, height = 0;
  uint32_t bitsPerPixel = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};
enum : int { DDENUMRET_CANCEL = 0, DDENUMRET_OK = 1 };

struct DDRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

// A locked surface's memory: packed pixels in the display's PixelFormat.
struct SurfaceDescRec {
  uint8_t* pixels = nullptr;
  uint32_t pitch = 0;  // bytes from one row to the next, a multiple of 4
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;
};

// Creates the display for window at gScreenWidth x gScreenHeight: chooses
// the depth, makes the back buffer and the background picture, derives
// PixelFormat. False after a failure, which has been reported (DDInitFail)
// unless it happened before anything existed.
bool DDInitialise(WindowHandle window);
// Releases everything; safe when nothing exists, and to repeat.
void DDCleanUp();
// Releases the display, then shows the formatted text (at most 256
// characters) in an error box titled "Initialisation Error" and logs it.
// When frames were running, the saver's window is also asked to close.
void DDInitFail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Copies the resolution list and its count to the caller, building it on
// first use: the desktop's own size, then the common sizes that fit on it,
// none below 640 x 480.
void DDGetResolutions(char list[kResolutionListSize][kResolutionTextSize], uint32_t* count);
// Called once per mode while the list is built: adds the mode's size to
// gResolutionList unless it is there already, smaller than 640 x 480 or of 8
// bits or less. DDENUMRET_CANCEL once the list is full.
int EnumModesCallback(const DisplayModeRec& mode);
void ResetResolutionList();

// The frame services. Nothing happens before gSurfacesReady.
// The display records, tile by tile, where the back surface was drawn into
// since its last clear and since the last present: a clear puts back only
// those tiles (all of it when it cannot know), and a present tells the
// window which tiles changed.
void DDClearBackSurface();
// True when the back surface is locked; FrameBuffer then addresses it.
// Writes through it are not recorded: the whole surface counts as drawn.
bool DDLockBackSurface();
// The same for a writer that marks every cell it writes in FrameBuffer.cells.
bool DDLockBackSurfaceMarked();
// The whole back surface counts as drawn: the next clear and present are whole.
void DDForgetDrawing();
void DDUnlockBackSurface();
void DDPresent();
// Copies text region slot 0..3 from the text surface onto the back surface, opaquely.
void DDBlitTextRegion(int slot);

// Brings back lost surfaces and redraws the background picture; the result
// of the last restore (DD_OK when nothing was lost).
uint32_t DDRestoreSurfaces();
// The text surface: display-sized and black when made. False after a
// reported failure.
bool DDCreateTextSurface();
bool DDTextSurfaceExists();
// Changes whenever the text surface's contents change other than by its
// users' own drawing (made, lost, restored), so text kept there can be
// known to be still there.
uint32_t DDTextSurfaceGeneration();
// Where slot's text lies on the text surface and where it goes on the back
// surface, kept until DDCleanUp; equal sizes copy pixel for pixel, others
// are stretched. A rectangle not wholly on its surface copies nothing.
void DDSetTextRegion(int slot, const DDRect& source, const DDRect& destination);
// Locks the text surface for the text code to draw into; false when there
// is none or it is lost.
bool DDLockTextSurface(SurfaceDescRec* out);
void DDUnlockTextSurface();
// Copies area of the background picture into the same area of the text
// surface, and area of the text surface onto the same area of the back
// surface. An area not wholly on the surfaces copies nothing.
void DDCopyBackgroundToText(const DDRect& area);
void DDBlitTextArea(const DDRect& area);
// The picture last presented, while the back surface still holds it
// untouched (between frames): false when there is no display or the
// next frame has begun drawing.
bool DDGetPresentedFrame(SurfaceDescRec* out);
// The vertical gradient from black to blue of strength "Background
// Brightness" as it is now, for a new background surface; the surface is
// made here and the gradient drawn into it when it is first read.
bool DDCreateBgSurface();

// The DirectDraw name of a result code, "Unknown error" for any other.
const char* DDErrorName(uint32_t code);

// Test switches. The surfaces lose their contents now; every clear, present
// or lock then reports DDERR_SURFACELOST until a restore succeeds, and the
// first failingRestores restores fail.
void DDSimulateSurfaceLoss(int failingRestores);
// The next creation of that surface fails as if memory ran out.
enum class DisplaySurface { Back, Text, Background };
void DDSimulateOutOfMemory(DisplaySurface surface);
// Off: every clear and every present is whole, as without the tile records
// (for comparisons; kept across DDCleanUp until ResetDisplay).
void DDSetTileRecords(bool on);

void ResetDisplay();
