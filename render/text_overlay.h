// The on-screen text overlays: which of them show, and the calls that draw
// them into the text surface. The text routines are not built yet; until
// they are, the drawing calls leave the text surface as it is, and the
// renderer copies the (empty) regions all the same.
#pragma once
#include <cstdint>

// A notice shown in text slot 2 until its end tick has passed.
struct TimedNoticeRec {
  int on = 0;            // flag
  uint32_t endTick = 0;  // ms; switched off at the first frame after it
  char text[64] = {};    // what it says
};

struct TextOverlayRec {
  int effectsList = 0;             // flag: the list of effects that are on (F6)
  int frameRate = 0;               // flag: the frame-rate readout in slot 2
  int keyHelp = 0;                 // flag: the two key-help lines in slots 0 and 1
  TimedNoticeRec grabNotice;       // "Grabbed %s"
  TimedNoticeRec wallpaperNotice;  // "Wallpaper set!"
};

extern TextOverlayRec gTextOverlay;

constexpr int kKeyHelpSlot1 = 0;
constexpr int kKeyHelpSlot2 = 1;
constexpr int kFrameRateSlot = 2;  // also the timed notices
constexpr int kNameSlot = 3;

// The pattern name in slot 3 shows while "Show Names" is on.
bool NamesOverlayOn();
// Draws the list of effects that are on and copies it onto the back surface.
void DrawEffectsList();
// Writes the frame-rate text "  %lu  " for fps into slot 2 (not copied).
void DrawFrameRateText(uint32_t fps);

void ResetTextOverlay();
