// Hue-saturation-lightness conversions, all values in [0, 1], channels 0..255.
#pragma once

struct Rgb {
  int red = 0, green = 0, blue = 0;
};

struct Hsl {
  float hue = 0, saturation = 0, lightness = 0;
};

Rgb HslToRgb(float hue, float saturation, float lightness);
Hsl RgbToHsl(Rgb colour);
// The colour on the opposite side of the hue circle.
Rgb ComplementaryColour(Rgb colour);
