// The text service: measuring a string in a font and drawing it, antialiased
// over what is already there, into a pixel buffer. One implementation serves
// every host (the window, full screen and the headless render command), so
// a rendered file shows the same text as the screen.
#pragma once
#include <cstdint>

struct TextFontRec {
  const char* face = "Arial";  // family name; the closest installed face is used
  uint32_t pixelHeight = 16;   // character (em) height in pixels, as a negative CreateFont height
  int bold = 0;                // flag
};

// Where to draw: packed pixels, 16 = 5-6-5, 24 = bytes B,G,R, 32 = 0x00RRGGBB.
// Nothing is written outside [clipLeft, clipRight) x [clipTop, clipBottom),
// which the caller keeps inside the buffer.
struct TextTargetRec {
  uint8_t* pixels = nullptr;
  uint32_t pitch = 0;  // bytes from one row to the next
  uint32_t bitsPerPixel = 32;
  int32_t clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
};

struct TextService {
  // The width of text (the sum of its characters' advances, in whole
  // pixels) and the height of a line (ascent + descent) in font. False, with
  // both 0, when no face can be had for the font.
  bool (*measure)(const TextFontRec& font, const char* text, uint32_t* width, uint32_t* height);
  // Draws text with the top-left corner of its line at (x, y) in the colour
  // (red, green, blue 0..255), blending each pixel by the glyph's coverage;
  // the background stays where no glyph covers it. Does nothing when no
  // face can be had. Once every character of a font has been drawn or
  // measured, neither call allocates memory.
  void (*draw)(const TextFontRec& font, const char* text, int32_t x, int32_t y, uint8_t red, uint8_t green,
               uint8_t blue, const TextTargetRec& target);
};

// nullptr until a host installs it; the text routines then draw nothing.
extern const TextService* gText;
