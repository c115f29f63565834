// The display over the host's window: a back buffer, a text surface and a
// background picture in memory, drawn into by the renderer and handed whole
// to the window to present. The host scales what it is given, so any size
// can be drawn at any depth the host offers.
#include "render/display.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "diag/log.h"
#include "patterns/options.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "render/pixel_format.h"
#include "render/tile_map.h"

uint32_t gScreenWidth = 640;
uint32_t gScreenHeight = 480;
int gWindowMode = 0;
int gSurfacesReady = 0;
int gUseBackground = 0;
int gPainting = 0;
uint32_t gForcedDepth = 0;
ResolutionListRec gResolutionList;

namespace {

// A lost surface that will not come back is retried on the next frame, so
// one frame never spins for long.
constexpr int kMaxRestoreRounds = 3;
constexpr int kTextSlotCount = 4;
// Larger buffers are refused as out of memory rather than attempted.
constexpr uint64_t kMaxSurfaceBytes = uint64_t(1) << 30;

// The smaller sizes offered below the desktop's own, largest first.
constexpr uint32_t kCommonSizes[][2] = {
    {3840, 2160}, {2560, 1440}, {1920, 1200}, {1920, 1080}, {1680, 1050}, {1600, 1200},
    {1600, 900},  {1440, 900},  {1366, 768},  {1280, 1024}, {1280, 960},  {1280, 800},
    {1280, 720},  {1024, 768},  {800, 600},   {640, 480},
};

struct SurfaceRec {
  uint8_t* pixels = nullptr;  // nullptr: the surface does not exist
  // Frees pixels when they are the window's memory; nullptr for our own.
  void (*release)(uint8_t* memory) = nullptr;
  uint32_t pitch = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  bool lost = false;
};

struct TextRegionRec {
  DDRect source;       // on the text surface
  DDRect destination;  // on the back surface
};

enum : unsigned { kHave16 = 1u << 0, kHave24 = 1u << 1, kHave32 = 1u << 2 };

struct DisplayRec {
  int exists = 0;  // flag: the display object (set up by DDInitialise)
  WindowHandle window = 0;
  uint32_t width = 0;  // surface size, pixels, copied at initialisation
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;  // 16, 24 or 32
  unsigned depthFlags = 0;    // kHave*: modes of the surface size by depth
  uint32_t black = 0;         // PackPixel(0, 0, 0)
  SurfaceRec back;
  SurfaceRec text;
  SurfaceRec background;
  TextRegionRec textRegions[kTextSlotCount];
  bool backPresented = false;  // the back surface holds the picture last presented
  // The gradient is drawn on first use, not when the surface is made: most
  // runs never show it, and at 4K it is 33 MB of memory to touch.
  bool backgroundDrawn = false;
  int backgroundBrightness = 0;     // 0..255, taken when the surface is made
  uint32_t backgroundDrawings = 0;  // counts the gradient's drawings
  TileMapRec tiles;
  // What the last whole clear filled the back surface with; a clear to
  // anything else cannot be done tile by tile.
  bool clearedToBackground = false;
  uint32_t clearedBackgroundDrawing = 0;  // backgroundDrawings then
};

// The test switches outlive DDCleanUp, since DDInitialise starts with one.
struct DisplayTestRec {
  int failingRestores = 0;
  bool failNext[3] = {};     // by DisplaySurface
  bool wholeFrames = false;  // every clear and present whole, the tile records unused
};

DisplayRec gDisplay;
DisplayTestRec gDisplayTest;
// Counts every change of the text surface's memory that its users did not
// make (creation, loss, restore); only ResetDisplay sets it back.
uint32_t gTextSurfaceGeneration = 0;

constexpr uint32_t MakeDDResult(uint32_t code) { return 0x88760000u | code; }

struct ErrorNameRec {
  uint32_t code;
  const char* name;
};

constexpr ErrorNameRec kErrorNames[] = {
    {0x80004001, "DDERR_UNSUPPORTED"},
    {0x80004005, "DDERR_GENERIC"},
    {0x800401F0, "DDERR_NOTINITIALIZED"},
    {0x8007000E, "DDERR_OUTOFMEMORY"},
    {0x80070057, "DDERR_INVALIDPARAMS"},
    {MakeDDResult(5), "DDERR_ALREADYINITIALIZED"},
    {MakeDDResult(10), "DDERR_CANNOTATTACHSURFACE"},
    {MakeDDResult(20), "DDERR_CANNOTDETACHSURFACE"},
    {MakeDDResult(40), "DDERR_CURRENTLYNOTAVAIL"},
    {MakeDDResult(55), "DDERR_EXCEPTION"},
    {MakeDDResult(90), "DDERR_HEIGHTALIGN"},
    {MakeDDResult(95), "DDERR_INCOMPATIBLEPRIMARY"},
    {MakeDDResult(100), "DDERR_INVALIDCAPS"},
    {MakeDDResult(110), "DDERR_INVALIDCLIPLIST"},
    {MakeDDResult(120), "DDERR_INVALIDMODE"},
    {MakeDDResult(130), "DDERR_INVALIDOBJECT"},
    {MakeDDResult(145), "DDERR_INVALIDPIXELFORMAT"},
    {MakeDDResult(150), "DDERR_INVALIDRECT"},
    {MakeDDResult(160), "DDERR_LOCKEDSURFACES"},
    {MakeDDResult(170), "DDERR_NO3D"},
    {MakeDDResult(180), "DDERR_NOALPHAHW"},
    {MakeDDResult(205), "DDERR_NOCLIPLIST"},
    {MakeDDResult(210), "DDERR_NOCOLORCONVHW"},
    {MakeDDResult(212), "DDERR_NOCOOPERATIVELEVELSET"},
    {MakeDDResult(215), "DDERR_NOCOLORKEY"},
    {MakeDDResult(220), "DDERR_NOCOLORKEYHW"},
    {MakeDDResult(222), "DDERR_NODIRECTDRAWSUPPORT"},
    {MakeDDResult(225), "DDERR_NOEXCLUSIVEMODE"},
    {MakeDDResult(230), "DDERR_NOFLIPHW"},
    {MakeDDResult(240), "DDERR_NOGDI"},
    {MakeDDResult(250), "DDERR_NOMIRRORHW"},
    {MakeDDResult(255), "DDERR_NOTFOUND"},
    {MakeDDResult(260), "DDERR_NOOVERLAYHW"},
    {MakeDDResult(280), "DDERR_NORASTEROPHW"},
    {MakeDDResult(290), "DDERR_NOROTATIONHW"},
    {MakeDDResult(310), "DDERR_NOSTRETCHHW"},
    {MakeDDResult(316), "DDERR_NOT4BITCOLOR"},
    {MakeDDResult(317), "DDERR_NOT4BITCOLORINDEX"},
    {MakeDDResult(320), "DDERR_NOT8BITCOLOR"},
    {MakeDDResult(330), "DDERR_NOTEXTUREHW"},
    {MakeDDResult(335), "DDERR_NOVSYNCHW"},
    {MakeDDResult(340), "DDERR_NOZBUFFERHW"},
    {MakeDDResult(350), "DDERR_NOZOVERLAYHW"},
    {MakeDDResult(360), "DDERR_OUTOFCAPS"},
    {MakeDDResult(380), "DDERR_OUTOFVIDEOMEMORY"},
    {MakeDDResult(382), "DDERR_OVERLAYCANTCLIP"},
    {MakeDDResult(384), "DDERR_OVERLAYCOLORKEYONLYONEACTIVE"},
    {MakeDDResult(387), "DDERR_PALETTEBUSY"},
    {MakeDDResult(400), "DDERR_COLORKEYNOTSET"},
    {MakeDDResult(410), "DDERR_SURFACEALREADYATTACHED"},
    {MakeDDResult(420), "DDERR_SURFACEALREADYDEPENDENT"},
    {MakeDDResult(430), "DDERR_SURFACEBUSY"},
    {MakeDDResult(435), "DDERR_CANTLOCKSURFACE"},
    {MakeDDResult(440), "DDERR_SURFACEISOBSCURED"},
    {MakeDDResult(450), "DDERR_SURFACELOST"},
    {MakeDDResult(460), "DDERR_SURFACENOTATTACHED"},
    {MakeDDResult(470), "DDERR_TOOBIGHEIGHT"},
    {MakeDDResult(480), "DDERR_TOOBIGSIZE"},
    {MakeDDResult(490), "DDERR_TOOBIGWIDTH"},
    {MakeDDResult(510), "DDERR_UNSUPPORTEDFORMAT"},
    {MakeDDResult(520), "DDERR_UNSUPPORTEDMASK"},
    {MakeDDResult(537), "DDERR_VERTICALBLANKINPROGRESS"},
    {MakeDDResult(540), "DDERR_WASSTILLDRAWING"},
    {MakeDDResult(560), "DDERR_XALIGN"},
    {MakeDDResult(561), "DDERR_INVALIDDIRECTDRAWGUID"},
    {MakeDDResult(562), "DDERR_DIRECTDRAWALREADYCREATED"},
    {MakeDDResult(563), "DDERR_NODIRECTDRAWHW"},
    {MakeDDResult(564), "DDERR_PRIMARYSURFACEALREADYEXISTS"},
    {MakeDDResult(565), "DDERR_NOEMULATION"},
    {MakeDDResult(566), "DDERR_REGIONTOOSMALL"},
    {MakeDDResult(567), "DDERR_CLIPPERISUSINGHWND"},
    {MakeDDResult(568), "DDERR_NOCLIPPERATTACHED"},
    {MakeDDResult(569), "DDERR_NOHWND"},
    {MakeDDResult(570), "DDERR_HWNDSUBCLASSED"},
    {MakeDDResult(571), "DDERR_HWNDALREADYSET"},
    {MakeDDResult(572), "DDERR_NOPALETTEATTACHED"},
    {MakeDDResult(573), "DDERR_NOPALETTEHW"},
    {MakeDDResult(574), "DDERR_BLTFASTCANTCLIP"},
    {MakeDDResult(575), "DDERR_NOBLTHW"},
    {MakeDDResult(576), "DDERR_NODDROPSHW"},
    {MakeDDResult(577), "DDERR_OVERLAYNOTVISIBLE"},
    {MakeDDResult(578), "DDERR_NOOVERLAYDEST"},
    {MakeDDResult(579), "DDERR_INVALIDPOSITION"},
    {MakeDDResult(580), "DDERR_NOTAOVERLAYSURFACE"},
    {MakeDDResult(581), "DDERR_EXCLUSIVEMODEALREADYSET"},
    {MakeDDResult(582), "DDERR_NOTFLIPPABLE"},
    {MakeDDResult(583), "DDERR_CANTDUPLICATE"},
    {MakeDDResult(584), "DDERR_NOTLOCKED"},
    {MakeDDResult(585), "DDERR_CANTCREATEDC"},
    {MakeDDResult(586), "DDERR_NODC"},
    {MakeDDResult(587), "DDERR_WRONGMODE"},
    {MakeDDResult(588), "DDERR_IMPLICITLYCREATED"},
    {MakeDDResult(589), "DDERR_NOTPALETTIZED"},
    {MakeDDResult(590), "DDERR_UNSUPPORTEDMODE"},
    {MakeDDResult(591), "DDERR_NOMIPMAPHW"},
    {MakeDDResult(592), "DDERR_INVALIDSURFACETYPE"},
    {MakeDDResult(620), "DDERR_DCALREADYCREATED"},
    {MakeDDResult(640), "DDERR_CANTPAGELOCK"},
    {MakeDDResult(660), "DDERR_CANTPAGEUNLOCK"},
    {MakeDDResult(680), "DDERR_NOTPAGELOCKED"},
};
static_assert(sizeof kErrorNames / sizeof kErrorNames[0] == 100);

unsigned DepthFlag(uint32_t bitsPerPixel) {
  switch (bitsPerPixel) {
    case 16:
      return kHave16;
    case 24:
      return kHave24;
    case 32:
      return kHave32;
    default:
      return 0;
  }
}

void MasksForDepth(uint32_t bitsPerPixel, uint32_t* red, uint32_t* green, uint32_t* blue) {
  if (bitsPerPixel == 16) {
    *red = 0xF800;
    *green = 0x07E0;
    *blue = 0x001F;
  } else {
    *red = 0xFF0000;
    *green = 0x00FF00;
    *blue = 0x0000FF;
  }
}

DisplayModeRec MakeMode(uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  DisplayModeRec mode;
  mode.width = width;
  mode.height = height;
  mode.bitsPerPixel = bitsPerPixel;
  MasksForDepth(bitsPerPixel, &mode.redMask, &mode.greenMask, &mode.blueMask);
  return mode;
}

// The modes of one size, one per depth the host can present; false once the
// callback has asked to stop.
bool EnumerateSize(uint32_t width, uint32_t height, int (*callback)(const DisplayModeRec&)) {
  unsigned offered = gWindows->depths();
  const struct {
    unsigned bit;
    uint32_t bitsPerPixel;
  } depths[] = {{kDepth16, 16}, {kDepth24, 24}, {kDepth32, 32}};
  for (const auto& depth : depths) {
    if (!(offered & depth.bit)) continue;
    if (callback(MakeMode(width, height, depth.bitsPerPixel)) == DDENUMRET_CANCEL) return false;
  }
  return true;
}

// With a size, the modes of that size (a buffer in memory can have any);
// without, the desktop's size and the common sizes that fit on it.
void EnumDisplayModes(const DisplayModeRec* size, int (*callback)(const DisplayModeRec&)) {
  if (size) {
    EnumerateSize(size->width, size->height, callback);
    return;
  }
  uint32_t desktopWidth = 0, desktopHeight = 0, desktopDepth = 0;
  gWindows->desktop(&desktopWidth, &desktopHeight, &desktopDepth);
  if (!EnumerateSize(desktopWidth, desktopHeight, callback)) return;
  for (const auto& common : kCommonSizes) {
    if (common[0] > desktopWidth || common[1] > desktopHeight) continue;
    if (!EnumerateSize(common[0], common[1], callback)) return;
  }
}

int NoteModeDepth(const DisplayModeRec& mode) {
  if (mode.width == gDisplay.width && mode.height == gDisplay.height && mode.redMask && mode.greenMask &&
      mode.blueMask)
    gDisplay.depthFlags |= DepthFlag(mode.bitsPerPixel);
  return DDENUMRET_OK;
}

// 32 bits when offered, else 24, else 16; the desktop's own depth when it
// is offered too; a forced depth before all of them. 0 when none is offered.
uint32_t ChooseDepth(uint32_t desktopDepth) {
  unsigned have = gDisplay.depthFlags;
  if (gForcedDepth != 0 && (have & DepthFlag(gForcedDepth))) return gForcedDepth;
  uint32_t depth = (have & kHave32) ? 32 : (have & kHave24) ? 24 : (have & kHave16) ? 16 : 0;
  if (depth == 0) return 0;
  if (desktopDepth >= 16 && (have & DepthFlag(desktopDepth))) depth = desktopDepth;
  return depth;
}

void FreeSurface(SurfaceRec* surface) {
  if (surface->release)
    surface->release(surface->pixels);
  else
    std::free(surface->pixels);
  *surface = SurfaceRec{};
}

// A display-sized surface, all zero (black in every format offered).
uint32_t CreateSurface(SurfaceRec* surface, DisplaySurface which) {
  FreeSurface(surface);
  bool& failNext = gDisplayTest.failNext[int(which)];
  if (failNext) {
    failNext = false;
    return DDERR_OUTOFMEMORY;
  }
  if (gDisplay.width == 0 || gDisplay.height == 0) return DDERR_INVALIDPARAMS;
  // Rows padded to 4 bytes, as surfaces usually are.
  uint64_t pitch = (uint64_t(gDisplay.width) * (gDisplay.bitsPerPixel / 8) + 3) & ~uint64_t(3);
  uint64_t bytes = pitch * gDisplay.height;
  if (bytes > kMaxSurfaceBytes) return DDERR_OUTOFMEMORY;
  // The back surface is what gets presented: in the window's own memory,
  // where it has some, the window shows it without copying it first.
  if (which == DisplaySurface::Back && gWindows->frameMemory && gWindows->releaseFrameMemory) {
    surface->pixels = gWindows->frameMemory(gDisplay.window, gDisplay.width, gDisplay.height,
                                            gDisplay.bitsPerPixel, uint32_t(pitch));
    if (surface->pixels) surface->release = gWindows->releaseFrameMemory;
  }
  if (!surface->pixels) surface->pixels = static_cast<uint8_t*>(std::calloc(size_t(bytes), 1));
  if (!surface->pixels) return DDERR_OUTOFMEMORY;
  surface->pitch = uint32_t(pitch);
  surface->width = gDisplay.width;
  surface->height = gDisplay.height;
  return DD_OK;
}

void FillSurface(const SurfaceRec& surface, uint32_t packed) {
  uint32_t bytesPerPixel = gDisplay.bitsPerPixel / 8;
  bool uniformBytes = true;
  for (uint32_t i = 1; i < bytesPerPixel; ++i)
    if (uint8_t(packed >> (8 * i)) != uint8_t(packed)) uniformBytes = false;
  if (uniformBytes) {
    std::memset(surface.pixels, int(uint8_t(packed)), size_t(surface.pitch) * surface.height);
    return;
  }
  for (uint32_t y = 0; y < surface.height; ++y) {
    uint8_t* p = surface.pixels + size_t(y) * surface.pitch;
    for (uint32_t x = 0; x < surface.width; ++x)
      for (uint32_t i = 0; i < bytesPerPixel; ++i) *p++ = uint8_t(packed >> (8 * i));
  }
}

bool RectInside(const DDRect& r, const SurfaceRec& surface) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         uint32_t(r.right) <= surface.width && uint32_t(r.bottom) <= surface.height;
}

// An opaque copy, stretched by nearest pixel when the sizes differ.
uint32_t Blit(const SurfaceRec& target, const DDRect& to, const SurfaceRec& source, const DDRect& from) {
  if (target.lost || source.lost) return DDERR_SURFACELOST;
  if (!RectInside(to, target) || !RectInside(from, source)) return DDERR_INVALIDRECT;
  uint32_t bytesPerPixel = gDisplay.bitsPerPixel / 8;
  uint32_t toWidth = uint32_t(to.right - to.left), toHeight = uint32_t(to.bottom - to.top);
  uint32_t fromWidth = uint32_t(from.right - from.left), fromHeight = uint32_t(from.bottom - from.top);
  for (uint32_t y = 0; y < toHeight; ++y) {
    uint32_t sourceY = uint32_t(from.top) + uint32_t(uint64_t(y) * fromHeight / toHeight);
    uint8_t* out =
        target.pixels + size_t(uint32_t(to.top) + y) * target.pitch + size_t(to.left) * bytesPerPixel;
    const uint8_t* in = source.pixels + size_t(sourceY) * source.pitch + size_t(from.left) * bytesPerPixel;
    if (toWidth == fromWidth) {
      std::memcpy(out, in, size_t(toWidth) * bytesPerPixel);
      continue;
    }
    for (uint32_t x = 0; x < toWidth; ++x) {
      uint32_t sourceX = uint32_t(uint64_t(x) * fromWidth / toWidth);
      std::memcpy(out + size_t(x) * bytesPerPixel, in + size_t(sourceX) * bytesPerPixel, bytesPerPixel);
    }
  }
  return DD_OK;
}

DDRect WholeSurface() { return DDRect{0, 0, int32_t(gDisplay.width), int32_t(gDisplay.height)}; }

// One row of a single colour, stored a whole pixel at a time.
template <uint32_t Bytes>
void FillRow(uint8_t* row, uint32_t width, uint32_t packed) {
  for (uint32_t x = 0; x < width; ++x) StorePixel<Bytes>(row + size_t(x) * Bytes, packed);
}

// The vertical gradient from black to blue, a row at a time.
void DrawBackground() {
  const SurfaceRec& surface = gDisplay.background;
  double brightness = double(gDisplay.backgroundBrightness);
  for (uint32_t y = 0; y < surface.height; ++y) {
    uint32_t c = uint32_t(brightness * double(y) / double(surface.height) + 0.5);
    uint32_t packed = PackPixel(0, 0, c);
    uint8_t* row = surface.pixels + size_t(y) * surface.pitch;
    switch (gDisplay.bitsPerPixel) {
      case 32:
        FillRow<4>(row, surface.width, packed);
        break;
      case 24:
        FillRow<3>(row, surface.width, packed);
        break;
      default:
        FillRow<2>(row, surface.width, packed);
        break;
    }
  }
  gDisplay.backgroundDrawn = true;
  gDisplay.backgroundDrawings += 1;
}

// The background picture, drawn now if it has not been yet; false when
// there is none to read.
bool BackgroundReady() {
  if (!gDisplay.background.pixels) return false;
  // A lost surface is left for the caller's copy to report and restore.
  if (!gDisplay.background.lost && !gDisplay.backgroundDrawn) DrawBackground();
  return true;
}

// One run of held tiles put back as the last whole clear left it.
void ClearTileRun(uint32_t left, uint32_t top, uint32_t right, uint32_t bottom) {
  const SurfaceRec& back = gDisplay.back;
  const SurfaceRec& background = gDisplay.background;
  uint32_t bytesPerPixel = gDisplay.bitsPerPixel / 8;
  size_t offset = size_t(left) * bytesPerPixel;
  size_t bytes = size_t(right - left) * bytesPerPixel;
  for (uint32_t y = top; y < bottom; ++y) {
    uint8_t* out = back.pixels + size_t(y) * back.pitch + offset;
    if (gDisplay.clearedToBackground) {
      std::memcpy(out, background.pixels + size_t(y) * background.pitch + offset, bytes);
    } else if (gDisplay.black == 0) {
      std::memset(out, 0, bytes);
    } else {
      for (size_t i = 0; i < bytes; ++i) out[i] = uint8_t(gDisplay.black >> (8 * (i % bytesPerPixel)));
    }
  }
}

// Clears only the tiles drawn since the last clear when the back surface is
// known to hold the same clear everywhere else; else all of it.
uint32_t ClearOnce() {
  gDisplay.backPresented = false;
  bool toBackground = gUseBackground && BackgroundReady();
  if (gDisplay.back.lost || (toBackground && gDisplay.background.lost)) return DDERR_SURFACELOST;
  TileMapRec& tiles = gDisplay.tiles;
  FoldTileMarks(&tiles);
  bool sameClear = toBackground == gDisplay.clearedToBackground &&
                   (!toBackground || gDisplay.clearedBackgroundDrawing == gDisplay.backgroundDrawings);
  if (tiles.holdsKnown && sameClear && !gDisplayTest.wholeFrames) {
    ClearHeldTiles(&tiles, ClearTileRun);
    return DD_OK;
  }
  uint32_t result = DD_OK;
  if (toBackground)
    result = Blit(gDisplay.back, WholeSurface(), gDisplay.background, WholeSurface());
  else
    FillSurface(gDisplay.back, gDisplay.black);
  if (result != DD_OK) return result;
  std::fill(tiles.holds.begin(), tiles.holds.end(), uint8_t(0));
  tiles.holdsKnown = true;
  tiles.allChanged = true;
  gDisplay.clearedToBackground = toBackground;
  gDisplay.clearedBackgroundDrawing = gDisplay.backgroundDrawings;
  return DD_OK;
}

uint32_t PresentOnce() {
  if (gDisplay.back.lost) return DDERR_SURFACELOST;
  TileMapRec& tiles = gDisplay.tiles;
  FoldTileMarks(&tiles);
  // The host scales the whole buffer into its window, in a window and full
  // screen alike. Flipping and copying look the same here: the window shows
  // the buffer without taking it over, so the back buffer keeps its picture
  // either way, which is what painting needs.
  FrameImage frame;
  frame.pixels = gDisplay.back.pixels;
  frame.pitch = gDisplay.back.pitch;
  frame.width = gDisplay.width;
  frame.height = gDisplay.height;
  frame.bitsPerPixel = gDisplay.bitsPerPixel;
  bool whole = tiles.allChanged || gDisplayTest.wholeFrames;
  frame.changedTiles = whole ? nullptr : tiles.changed.data();
  gWindows->present(gDisplay.window, frame);
  std::fill(tiles.changed.begin(), tiles.changed.end(), uint8_t(0));
  tiles.allChanged = false;
  gDisplay.backPresented = true;
  return DD_OK;
}

// A lost surface is restored and the operation tried again while the
// restore itself reports a lost surface, a few times at most.
void RunWithRestore(uint32_t (*operation)()) {
  for (int round = 0; round < kMaxRestoreRounds; ++round) {
    if (operation() != DDERR_SURFACELOST) return;
    if (DDRestoreSurfaces() != DDERR_SURFACELOST) return;
  }
}

bool DDCreateSurfaces() {
  // The window stands for the primary surface; only the back surface is ours.
  uint32_t result = CreateSurface(&gDisplay.back, DisplaySurface::Back);
  if (result != DD_OK) {
    DDInitFail("Back surface CreateSurface failed with error: %s\n", DDErrorName(result));
    return false;
  }
  uint32_t red = 0, green = 0, blue = 0;
  MasksForDepth(gDisplay.bitsPerPixel, &red, &green, &blue);
  DerivePixelFormat(red, green, blue, gDisplay.bitsPerPixel);
  gDisplay.black = PackPixel(0, 0, 0);
  ResetTileMap(&gDisplay.tiles, gDisplay.width, gDisplay.height);
  if (!DDCreateBgSurface()) {
    DDInitFail("DDCreateBgSurface failed\n");
    return false;
  }
  return true;
}

}  // namespace

bool DDInitialise(WindowHandle window) {
  DDCleanUp();
  gDisplay.exists = 1;
  gDisplay.window = window;
  gDisplay.width = gScreenWidth;
  gDisplay.height = gScreenHeight;
  uint32_t desktopWidth = 0, desktopHeight = 0, desktopDepth = 0;
  gWindows->desktop(&desktopWidth, &desktopHeight, &desktopDepth);
  DisplayModeRec size;
  size.width = gDisplay.width;
  size.height = gDisplay.height;
  EnumDisplayModes(&size, NoteModeDepth);
  gDisplay.bitsPerPixel = ChooseDepth(desktopDepth);
  if (gDisplay.bitsPerPixel == 0) {
    DDInitFail(
        "A screen resolution of 640x480 with a colour depth of 16 or 24 bits per pixel is not "
        "supported by your hardware.");
    return false;
  }
  if (!DDCreateSurfaces()) return false;
  gSurfacesReady = 1;
  return true;
}

void DDCleanUp() {
  gSurfacesReady = 0;
  if (!gDisplay.exists) return;
  // The renderer's view of a surface must not outlive it.
  FrameBuffer = FrameBufferRec{};
  FreeSurface(&gDisplay.text);
  FreeSurface(&gDisplay.background);
  FreeSurface(&gDisplay.back);
  gDisplay = DisplayRec{};
}

void DDInitFail(const char* format, ...) {
  bool framesRunning = gSurfacesReady != 0;
  WindowHandle window = gDisplay.window;
  DDCleanUp();
  char text[257];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  MessageBox(text, "Initialisation Error", MB_ICONERROR);
  LogDebug("DDInitFail: %s\n", text);
  // Without a display the frames cannot go on; the saver ends as if closed.
  if (framesRunning && window != 0) PostMessage(window, WM_CLOSE, 0, 0);
}

int EnumModesCallback(const DisplayModeRec& mode) {
  ResolutionListRec& list = gResolutionList;
  if (list.count >= uint32_t(kResolutionListSize)) return DDENUMRET_CANCEL;
  if (mode.width < 640 || mode.height < 480 || mode.bitsPerPixel <= 8) return DDENUMRET_OK;
  char text[kResolutionTextSize];
  std::snprintf(text, sizeof text, "%lu%s%lu", (unsigned long)mode.width, " x ", (unsigned long)mode.height);
  for (uint32_t i = 0; i < list.count; ++i)
    if (std::strcmp(list.texts[i], text) == 0) return DDENUMRET_OK;
  std::memcpy(list.texts[list.count], text, sizeof text);
  list.count += 1;
  if (std::strcmp(text, gOptions.Resolution) == 0) list.storedResolutionAvailable = 1;
  return list.count < uint32_t(kResolutionListSize) ? DDENUMRET_OK : DDENUMRET_CANCEL;
}

void DDGetResolutions(char list[kResolutionListSize][kResolutionTextSize], uint32_t* count) {
  if (gResolutionList.count == 0) EnumDisplayModes(nullptr, EnumModesCallback);
  std::memcpy(list, gResolutionList.texts, sizeof gResolutionList.texts);
  *count = gResolutionList.count;
}

void ResetResolutionList() { gResolutionList = ResolutionListRec{}; }

void DDClearBackSurface() {
  if (!gSurfacesReady) return;
  RunWithRestore(ClearOnce);
}

bool DDLockBackSurfaceMarked() {
  if (!gSurfacesReady || gDisplay.back.lost) return false;
  FrameBuffer.base = gDisplay.back.pixels;
  FrameBuffer.pitch = gDisplay.back.pitch;
  FrameBuffer.width = gDisplay.width;
  FrameBuffer.height = gDisplay.height;
  FrameBuffer.cells = gDisplay.tiles.marks.data();
  FrameBuffer.cellRowShift = gDisplay.tiles.cellRowShift;
  gDisplay.backPresented = false;
  return true;
}

bool DDLockBackSurface() {
  if (!DDLockBackSurfaceMarked()) return false;
  // Writes that are not marked may land anywhere.
  ForgetTiles(&gDisplay.tiles);
  return true;
}

void DDForgetDrawing() { ForgetTiles(&gDisplay.tiles); }

void DDUnlockBackSurface() {}

void DDPresent() {
  if (!gSurfacesReady) return;
  RunWithRestore(PresentOnce);
}

void DDBlitTextRegion(int slot) {
  if (!gSurfacesReady || slot < 0 || slot >= kTextSlotCount || !gDisplay.text.pixels) return;
  const TextRegionRec& region = gDisplay.textRegions[slot];
  gDisplay.backPresented = false;
  // A failed copy only misses this frame's text.
  if (Blit(gDisplay.back, region.destination, gDisplay.text, region.source) == DD_OK)
    MarkTileRect(&gDisplay.tiles, region.destination.left, region.destination.top, region.destination.right,
                 region.destination.bottom);
}

void DDCopyBackgroundToText(const DDRect& area) {
  if (!gDisplay.text.pixels || !BackgroundReady()) return;
  Blit(gDisplay.text, area, gDisplay.background, area);
}

void DDBlitTextArea(const DDRect& area) {
  if (!gSurfacesReady || !gDisplay.text.pixels) return;
  gDisplay.backPresented = false;
  if (Blit(gDisplay.back, area, gDisplay.text, area) == DD_OK)
    MarkTileRect(&gDisplay.tiles, area.left, area.top, area.right, area.bottom);
}

bool DDGetPresentedFrame(SurfaceDescRec* out) {
  const SurfaceRec& back = gDisplay.back;
  if (!gSurfacesReady || !back.pixels || back.lost || !gDisplay.backPresented) return false;
  out->pixels = back.pixels;
  out->pitch = back.pitch;
  out->width = back.width;
  out->height = back.height;
  out->bitsPerPixel = gDisplay.bitsPerPixel;
  return true;
}

uint32_t DDRestoreSurfaces() {
  SurfaceRec* surfaces[] = {&gDisplay.back, &gDisplay.text, &gDisplay.background};
  bool anyLost = false;
  for (SurfaceRec* surface : surfaces)
    if (surface->pixels && surface->lost) anyLost = true;
  if (!anyLost) return DD_OK;
  bool restoreFails = gDisplayTest.failingRestores > 0;
  if (restoreFails) gDisplayTest.failingRestores -= 1;
  uint32_t result = DD_OK;
  for (SurfaceRec* surface : surfaces) {
    if (!surface->pixels || !surface->lost) continue;
    if (restoreFails) {
      result = DDERR_SURFACELOST;
      continue;
    }
    surface->lost = false;
    if (surface == &gDisplay.back) ForgetTiles(&gDisplay.tiles);
    if (surface == &gDisplay.text) gTextSurfaceGeneration += 1;
    result = DD_OK;
    if (surface == &gDisplay.background) gDisplay.backgroundDrawn = false;
  }
  return result;
}

bool DDCreateTextSurface() {
  if (!gDisplay.exists) return false;
  uint32_t result = CreateSurface(&gDisplay.text, DisplaySurface::Text);
  if (result != DD_OK) {
    DDInitFail("DDCreateTextSurface failed with error: %s\n", DDErrorName(result));
    return false;
  }
  // Made black (all zero) without touching it: only the text drawn there
  // costs memory.
  gTextSurfaceGeneration += 1;
  return true;
}

uint32_t DDTextSurfaceGeneration() { return gTextSurfaceGeneration; }

bool DDTextSurfaceExists() { return gDisplay.text.pixels != nullptr; }

void DDSetTextRegion(int slot, const DDRect& source, const DDRect& destination) {
  if (slot < 0 || slot >= kTextSlotCount) return;
  gDisplay.textRegions[slot] = TextRegionRec{source, destination};
}

bool DDLockTextSurface(SurfaceDescRec* out) {
  const SurfaceRec& text = gDisplay.text;
  if (!text.pixels || text.lost) return false;
  out->pixels = text.pixels;
  out->pitch = text.pitch;
  out->width = text.width;
  out->height = text.height;
  out->bitsPerPixel = gDisplay.bitsPerPixel;
  return true;
}

void DDUnlockTextSurface() {}

bool DDCreateBgSurface() {
  uint32_t result = CreateSurface(&gDisplay.background, DisplaySurface::Background);
  if (result != DD_OK) {
    DDInitFail("DDCreateBgSurface failed with error: %s\n", DDErrorName(result));
    return false;
  }
  // A hand-edited value beyond one channel would spill into green.
  int stored = gOptions.BackgroundBrightness;
  gDisplay.backgroundBrightness = stored < 0 ? 0 : stored > 255 ? 255 : stored;
  gDisplay.backgroundDrawn = false;
  return true;
}

const char* DDErrorName(uint32_t code) {
  for (const ErrorNameRec& entry : kErrorNames)
    if (entry.code == code) return entry.name;
  return "Unknown error";
}

void DDSimulateSurfaceLoss(int failingRestores) {
  gDisplayTest.failingRestores = failingRestores;
  gTextSurfaceGeneration += 1;
  ForgetTiles(&gDisplay.tiles);
  for (SurfaceRec* surface : {&gDisplay.back, &gDisplay.text, &gDisplay.background}) {
    if (!surface->pixels) continue;
    surface->lost = true;
    // What a lost surface holds afterwards is undefined; make it visible.
    std::memset(surface->pixels, 0xA5, size_t(surface->pitch) * surface->height);
  }
}

void DDSimulateOutOfMemory(DisplaySurface surface) { gDisplayTest.failNext[int(surface)] = true; }

void DDSetTileRecords(bool on) { gDisplayTest.wholeFrames = !on; }

void ResetDisplay() {
  DDCleanUp();
  gTextSurfaceGeneration = 0;
  gDisplayTest = DisplayTestRec{};
  ResetResolutionList();
  gScreenWidth = 640;
  gScreenHeight = 480;
  gWindowMode = 0;
  gUseBackground = 0;
  gPainting = 0;
  gForcedDepth = 0;
}
