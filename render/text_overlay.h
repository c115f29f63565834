// The on-screen text: four text slots on the text surface (the two key-help
// lines at the top, the frame rate or a notice and the pattern name at the
// bottom), the list of effects that are on, and the switches that say which
// of them the renderer copies onto each frame.
#pragma once
#include <cstdint>

#include "render/display.h"

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
  TimedNoticeRec wallpaperNotice;  // "Wallpaper set!" or "Wallpaper saved"
  int playerRules = 0;             // flag: slots follow the windowed player's simpler rules
  int effectsListShown = 0;        // flag: a list has been drawn since the display was made
  int32_t effectsListTop = 0;      // pixels, top edge of the list drawn last time
  DDRect slots[4];                 // each slot's region as last written, clipped to the surface
  uint32_t keyHelpHeight = 0;      // pixels, the size the key-help lines fitted at
  uint32_t slotWrites = 0;         // slot writes so far
  // What the text surface still holds from the last frame-rate text and
  // effects list, so an unchanged one is only copied again.
  struct {
    int valid = 0;
    uint32_t generation = 0, slotWrites = 0, fps = 0;
  } frameRateKept;
  struct {
    int valid = 0;
    uint32_t generation = 0, slotWrites = 0, width = 0, height = 0;
    uint64_t effectsOn = 0;  // bit per effect
    int background = 0;
    uint32_t cellWidth = 0, cellHeight = 0;  // pixels, 20 "X" in the list's font
  } effectsListKept;
};

extern TextOverlayRec gTextOverlay;

constexpr int kKeyHelpSlot1 = 0;
constexpr int kKeyHelpSlot2 = 1;
constexpr int kFrameRateSlot = 2;  // also the timed notices
constexpr int kNameSlot = 3;

// COLORREF values (0x00BBGGRR) of the texts.
constexpr uint32_t kTextRed = 0x0000FF;
constexpr uint32_t kTextYellow = 0x00FFFF;

// The key-help lines, shown as written (the wallpaper key is really F5).
extern const char* const kKeyHelpLine1;
extern const char* const kKeyHelpLine2;
constexpr uint32_t kKeyHelpLargest = 28;  // pixels, the size the lines start at

// Writes a slot: measures text and label in Arial of height pixels (bold
// or not), sets the slot's region to the larger width and height, centred
// across the display and at the slot's row, clears it to black when asked,
// and, unless measureOnly, draws both strings centred in it. weight below
// 0.5: text in grey(g), then label in grey(128 - g); from 0.5: label in
// grey(128 - g), then text in colour (grey(g) when colour is 0); g is
// weight x 128, truncated. colour is 0x00BBGGRR. A region reaching past the
// surface is cut to it. Creates the text surface on first use. Returns the
// region's width in pixels (0 when there is no surface or font).
uint32_t DrawTextSlot(bool bold, uint32_t height, const char* label, const char* text, float weight,
                      bool clear, int slot, uint32_t colour, bool measureOnly);
// The windowed player's version: always bold 16, always drawn, each slot's
// top counted from the bottom (height - (4 - slot) x line height). Used by
// DrawTextSlot while gTextOverlay.playerRules is set.
uint32_t DrawPlayerTextSlot(const char* label, const char* text, float weight, bool clear, int slot,
                            uint32_t colour);

// The pattern name in slot 3 shows while "Show Names" is on.
bool NamesOverlayOn();
// Draws the list of effects that are on, upward from the bottom-left
// corner, and copies it onto the back surface.
void DrawEffectsList();
// The effects list's label of an effect.
const char* EffectLabel(int effect);
// Writes the frame-rate text "  %lu  " for fps into slot 2 in red (not copied).
void DrawFrameRateText(uint32_t fps);
// Writes text into slot 2 in yellow and shows it for 4 seconds from now.
void ShowTimedNotice(TimedNoticeRec* notice, const char* text);
// The two key-help lines into slots 0 and 1, at the largest size from 28
// down at which both fit the display's width (1 at the least).
void DrawKeyHelpLines();

void ResetTextOverlay();
