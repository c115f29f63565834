// The text slots and the timed notices. Text is drawn into the text surface
// once, when it changes; the renderer copies the slots' regions onto every
// frame it shows them in, before the particles, so trails pass over text.
#include "render/text_overlay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/effects.h"
#include "patterns/options.h"
#include "platform/clock.h"
#include "platform/text.h"

TextOverlayRec gTextOverlay;

const char* const kKeyHelpLine1 =
    "1 to 0,+Ctrl: Morph to Pattern; D: Toggle Double Size; M: Morph; N: Toggle Names, F2: Toggle Tiled,  "
    "F3: "
    "Toggle Balls";
const char* const kKeyHelpLine2 =
    "F4: Make wallpaper, F6: Show effects, space: Grab Pattern; P: Toggle Paint; S: Toggle Music; Pause: "
    "Pause/Resume; ACFGHIJLOQRTUVWXZ: Toggle Effects";

namespace {

constexpr int kSlotCount = 4;
constexpr uint32_t kPlayerTextHeight = 16;  // pixels, bold, whatever the caller asks
// Each slot's top: so many display heights plus so many line heights.
constexpr int64_t kSlotRows[kSlotCount][2] = {{0, 0}, {0, 1}, {1, -2}, {1, -1}};

struct Extent {
  uint32_t width = 0, height = 0;
};

Extent Measure(const TextFontRec& font, const char* s) {
  Extent e;
  if (gText) gText->measure(font, s ? s : "", &e.width, &e.height);
  return e;
}

// A COLORREF's channels.
struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
};
Rgb FromColorRef(uint32_t colour) {
  return Rgb{uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16)};
}
Rgb Grey(uint8_t v) { return Rgb{v, v, v}; }

// The part of [left, left + width) x [top, top + height) on the surface.
DDRect ClipToSurface(int64_t left, int64_t top, int64_t width, int64_t height) {
  int64_t right = left + width, bottom = top + height;
  int64_t surfaceWidth = gScreenWidth, surfaceHeight = gScreenHeight;
  left = std::clamp<int64_t>(left, 0, surfaceWidth);
  right = std::clamp<int64_t>(right, left, surfaceWidth);
  top = std::clamp<int64_t>(top, 0, surfaceHeight);
  bottom = std::clamp<int64_t>(bottom, top, surfaceHeight);
  return DDRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
}

bool IsEmpty(const DDRect& r) { return r.right <= r.left || r.bottom <= r.top; }

TextTargetRec TargetOf(const SurfaceDescRec& surface) {
  TextTargetRec target;
  target.pixels = surface.pixels;
  target.pitch = surface.pitch;
  target.bitsPerPixel = surface.bitsPerPixel;
  target.clipRight = int32_t(surface.width);
  target.clipBottom = int32_t(surface.height);
  return target;
}

void FillBlack(const SurfaceDescRec& surface, const DDRect& area) {
  // The surface itself bounds the fill, whatever the display size says.
  DDRect r = area;
  r.right = std::min(r.right, int32_t(surface.width));
  r.bottom = std::min(r.bottom, int32_t(surface.height));
  if (IsEmpty(r)) return;
  uint32_t bytesPerPixel = surface.bitsPerPixel / 8;
  for (int32_t y = r.top; y < r.bottom; ++y)
    std::memset(surface.pixels + size_t(y) * surface.pitch + size_t(r.left) * bytesPerPixel, 0,
                size_t(r.right - r.left) * bytesPerPixel);
}

void DrawString(const TextFontRec& font, const char* s, int64_t x, int64_t y, Rgb c,
                const SurfaceDescRec& surface) {
  if (!gText || !s || !*s) return;
  // Far outside the surface nothing shows; keep the coordinates in range.
  x = std::clamp<int64_t>(x, -(int64_t(1) << 30), int64_t(1) << 30);
  y = std::clamp<int64_t>(y, -(int64_t(1) << 30), int64_t(1) << 30);
  gText->draw(font, s, int32_t(x), int32_t(y), c.red, c.green, c.blue, TargetOf(surface));
}

// Measures, places, clears and draws one slot, its row by the caller's rules.
uint32_t WriteSlot(const TextFontRec& font, const char* label, const char* text, float weight, bool clear,
                   int slot, uint32_t colour, bool measureOnly, bool fromBottom) {
  if (!label) label = "";
  if (!text) text = "";
  Extent textExtent = Measure(font, text);
  Extent labelExtent = Measure(font, label);
  uint32_t w = std::max(textExtent.width, labelExtent.width);
  uint32_t h = std::max(textExtent.height, labelExtent.height);
  int64_t height = gScreenHeight;
  int64_t top = 0;
  if (fromBottom) {
    top = height - (4 - slot) * int64_t(std::max(h, 1u));
  } else {
    top = kSlotRows[slot][0] * height + kSlotRows[slot][1] * int64_t(h);
  }
  // Centred; a text wider than the surface gets a negative left edge here
  // (the region is then cut to the surface) rather than a wrapped one.
  int64_t left = (int64_t(gScreenWidth) - int64_t(w)) >> 1;
  DDRect region = ClipToSurface(left, top, w, h);
  gTextOverlay.slots[slot] = region;
  gTextOverlay.slotWrites += 1;
  DDSetTextRegion(slot, region, region);

  SurfaceDescRec surface;
  if (!DDLockTextSurface(&surface)) return w;
  if (clear) FillBlack(surface, region);
  if (!measureOnly) {
    // Weights outside 0..1 (or none at all) wrap as 8-bit greys, never overflow.
    float bounded = weight >= -16.0f ? std::min(weight, 16.0f) : 0.0f;
    uint8_t g = uint8_t(int32_t(bounded * 128.0f));
    uint8_t dim = uint8_t(128 - g);
    int64_t textX = left + (int64_t(w) - int64_t(textExtent.width)) / 2;
    int64_t labelX = left + (int64_t(w) - int64_t(labelExtent.width)) / 2;
    bool hasLabel = label[0] != '\0';
    // The dimmer string first, so that the brighter one lies on top.
    if (bounded < 0.5f) {
      DrawString(font, text, textX, top, Grey(g), surface);
      if (hasLabel) DrawString(font, label, labelX, top, Grey(dim), surface);
    } else {
      if (hasLabel) DrawString(font, label, labelX, top, Grey(dim), surface);
      DrawString(font, text, textX, top, colour != 0 ? FromColorRef(colour) : Grey(g), surface);
    }
  }
  DDUnlockTextSurface();
  return w;
}

bool HaveTextSurface() { return DDTextSurfaceExists() || DDCreateTextSurface(); }

struct EffectLabelRec {
  EffectId id;
  const char* label;
};

// The list's order, bottom line first.
constexpr EffectLabelRec kEffectLabels[] = {
    {kCurvyTrails, "Curvy Trails"},
    {kFocusOnCentre, "Focus On Centre (C)"},
    {kFragmented, "Fragmented (J)"},
    {kQuicksand, "Quicksand (Q)"},
    {kOneColour, "One Colour (O)"},
    {kCentre, "Centre (W)"},
    {kFadeHead, "Fade Head (F)"},
    {kLoopySpeed, "Loopy Speed (L)"},
    {kSlowMiddle, "Slow Middle (S)"},
    {kVariableSpeed, "Variable Speed (V)"},
    {kZeroAngle, "Zero Angle (Z)"},
    {kAngleSpeed, "Angle Speed"},
    {kReverse, "Reverse (R)"},
    {kFrosted, "Frosted (T)"},
    {kUltraWide, "UltraWide (U)"},
    {kPaintMode, "Paint Mode (P)"},
    {kSpherical, "Spherical (X)"},
    {kStop, "Stop"},
    {kTunnel, "Tunnel (Y)"},
    {kDoubleBounce, "Double Bounce (K)"},
    {kCoriolis, "Coriolis (G)"},
    {kWindmill, "Windmill (H)"},
    {kTwisty, "Twisty (I)"},
    {kLoopTheLoop, "Loop The Loop (A)"},
    {kFlickVel, "Flick Vel"},
    {kColourCycle, "Colour Cycle"},
    {kBallMode, "Ball Mode (F3)"},
    {kTwoTone, "Two Tone"},
    {kShadow, "Shadow"},
    {kHelix, "Helix"},
    {kSpeedXY, "SpeedXY"},
    {kPaletted, "Paletted"},
    {kStarTrail, "Star Trail"},
    {kVariableWidth, "Variable Width"},
    {kMirroredRadial, "Mirrored Radial"},
    {kColourfulArms, "Colourful Arms"},
    {kInverseDistance, "Inverse Distance"},
    {kRadialEcho, "Radial Echo"},
    {kComplementaryMirror, "Complementary Mirror"},
};
static_assert(sizeof kEffectLabels / sizeof kEffectLabels[0] == kEffectCount);

// Lines the first list clears above the bottom edge.
constexpr int64_t kEffectsListLines = 32;

}  // namespace

uint32_t DrawTextSlot(bool bold, uint32_t height, const char* label, const char* text, float weight,
                      bool clear, int slot, uint32_t colour, bool measureOnly) {
  if (gTextOverlay.playerRules) return DrawPlayerTextSlot(label, text, weight, clear, slot, colour);
  if (slot < 0 || slot >= kSlotCount || !HaveTextSurface()) return 0;
  TextFontRec font;
  font.pixelHeight = height;
  font.bold = bold ? 1 : 0;
  return WriteSlot(font, label, text, weight, clear, slot, colour, measureOnly, false);
}

uint32_t DrawPlayerTextSlot(const char* label, const char* text, float weight, bool clear, int slot,
                            uint32_t colour) {
  if (slot < 0 || slot >= kSlotCount || !HaveTextSurface()) return 0;
  TextFontRec font;
  font.pixelHeight = kPlayerTextHeight;
  font.bold = 1;
  return WriteSlot(font, label, text, weight, clear, slot, colour, false, true);
}

bool NamesOverlayOn() { return gOptions.ShowNames != 0; }

const char* EffectLabel(int effect) {
  for (const EffectLabelRec& e : kEffectLabels)
    if (e.id == effect) return e.label;
  return "";
}

void DrawEffectsList() {
  if (!HaveTextSurface()) return;
  TextOverlayRec& t = gTextOverlay;
  TextFontRec font;
  font.pixelHeight = 10;
  uint64_t effectsOn = 0;
  for (size_t i = 0; i < sizeof kEffectLabels / sizeof kEffectLabels[0]; ++i)
    if (EffectOn(kEffectLabels[i].id)) effectsOn |= uint64_t(1) << i;
  auto& kept = t.effectsListKept;
  bool sameSurface = kept.valid && kept.generation == DDTextSurfaceGeneration() &&
                     kept.width == gScreenWidth && kept.height == gScreenHeight;
  if (!sameSurface) {
    Extent measured = Measure(font, "XXXXXXXXXXXXXXXXXXXX");
    kept.cellWidth = measured.width;
    kept.cellHeight = measured.height;
  }
  Extent cell{kept.cellWidth, kept.cellHeight};
  if (cell.height == 0) return;
  int64_t bottom = gScreenHeight;
  // The same list on an untouched surface is there already: copy it again.
  if (sameSurface && t.effectsListShown && kept.effectsOn == effectsOn && kept.slotWrites == t.slotWrites &&
      kept.background == gUseBackground) {
    DDBlitTextArea(ClipToSurface(0, t.effectsListTop, cell.width, bottom - t.effectsListTop));
    return;
  }
  int64_t clearTop = t.effectsListShown ? t.effectsListTop : bottom - kEffectsListLines * cell.height;
  DDRect cleared = ClipToSurface(0, clearTop, cell.width, bottom - clearTop);
  if (gUseBackground) DDCopyBackgroundToText(cleared);

  SurfaceDescRec surface;
  int64_t y = bottom;
  if (DDLockTextSurface(&surface)) {
    if (!gUseBackground) FillBlack(surface, cleared);
    for (const EffectLabelRec& e : kEffectLabels) {
      if (!EffectOn(e.id)) continue;
      y -= cell.height;
      DrawString(font, e.label, 0, y, Grey(255), surface);
    }
    DDUnlockTextSurface();
  }
  // Down from last time's top too, so the lines of a longer list are overwritten.
  int64_t copyTop = t.effectsListShown ? std::min<int64_t>(y, t.effectsListTop) : y;
  DDBlitTextArea(ClipToSurface(0, copyTop, cell.width, bottom - copyTop));
  t.effectsListTop = int32_t(std::max<int64_t>(y, -(int64_t(1) << 30)));
  t.effectsListShown = 1;
  kept.valid = 1;
  kept.generation = DDTextSurfaceGeneration();
  kept.slotWrites = t.slotWrites;
  kept.width = gScreenWidth;
  kept.height = gScreenHeight;
  kept.effectsOn = effectsOn;
  kept.background = gUseBackground;
}

void DrawFrameRateText(uint32_t fps) {
  auto& kept = gTextOverlay.frameRateKept;
  // The same rate, still in slot 2 of an untouched surface, needs no drawing.
  if (kept.valid && kept.fps == fps && kept.slotWrites == gTextOverlay.slotWrites &&
      kept.generation == DDTextSurfaceGeneration() && !gTextOverlay.playerRules)
    return;
  char text[32];
  std::snprintf(text, sizeof text, "  %lu  ", (unsigned long)fps);
  DrawTextSlot(true, 16, "", text, 1.0f, true, kFrameRateSlot, kTextRed, false);
  kept.valid = DDTextSurfaceExists() ? 1 : 0;
  kept.fps = fps;
  kept.slotWrites = gTextOverlay.slotWrites;
  kept.generation = DDTextSurfaceGeneration();
}

void ShowTimedNotice(TimedNoticeRec* notice, const char* text) {
  std::snprintf(notice->text, sizeof notice->text, "%s", text);
  DrawTextSlot(true, 16, "", notice->text, 1.0f, true, kFrameRateSlot, kTextYellow, false);
  notice->on = 1;
  notice->endTick = GetTickCount() + 4000;
}

void DrawKeyHelpLines() {
  uint32_t size = kKeyHelpLargest;
  for (;; --size) {
    uint32_t first = DrawTextSlot(true, size, "", kKeyHelpLine1, 1.0f, false, kKeyHelpSlot1, 0, true);
    uint32_t second = DrawTextSlot(true, size, "", kKeyHelpLine2, 1.0f, false, kKeyHelpSlot2, 0, true);
    if ((first <= gScreenWidth && second <= gScreenWidth) || size == 1) break;
  }
  DrawTextSlot(true, size, "", kKeyHelpLine1, 1.0f, true, kKeyHelpSlot1, 0, false);
  DrawTextSlot(true, size, "", kKeyHelpLine2, 1.0f, true, kKeyHelpSlot2, 0, false);
  gTextOverlay.keyHelpHeight = size;
}

void ResetTextOverlay() { gTextOverlay = TextOverlayRec{}; }
