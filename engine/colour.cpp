#include "engine/colour.h"

namespace {

constexpr float kOneThird = 0.33333334f;
constexpr float kTwoThirds = 0.6666667f;

float Channel(float p, float q, float t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (6 * t < 1) return p + (q - p) * 6 * t;
  if (2 * t < 1) return q;
  if (3 * t < 2) return p + (q - p) * (kTwoThirds - t) * 6;
  return p;
}

}  // namespace

Rgb HslToRgb(float hue, float saturation, float lightness) {
  if (saturation == 0) {
    int grey = int(lightness * 255);
    return Rgb{grey, grey, grey};
  }
  float q = lightness < 0.5f ? lightness * (1 + saturation) : lightness + saturation - lightness * saturation;
  float p = 2 * lightness - q;
  return Rgb{int(Channel(p, q, hue + kOneThird) * 255), int(Channel(p, q, hue) * 255),
             int(Channel(p, q, hue - kOneThird) * 255)};
}

Hsl RgbToHsl(Rgb colour) {
  float r = float(colour.red) / 255, g = float(colour.green) / 255, b = float(colour.blue) / 255;
  float max = r > g ? (r > b ? r : b) : (g > b ? g : b);
  float min = r < g ? (r < b ? r : b) : (g < b ? g : b);
  Hsl out;
  out.lightness = (max + min) / 2;
  if (max == min) return out;
  float d = max - min;
  out.saturation = out.lightness < 0.5f ? d / (max + min) : d / (2 - max - min);
  float deltaR = ((max - r) / 6 + d / 2) / d;
  float deltaG = ((max - g) / 6 + d / 2) / d;
  float deltaB = ((max - b) / 6 + d / 2) / d;
  if (r == max)
    out.hue = deltaB - deltaG;
  else if (g == max)
    out.hue = kOneThird + deltaR - deltaB;
  else
    out.hue = kTwoThirds + deltaG - deltaR;
  if (out.hue < 0) out.hue += 1;
  if (out.hue > 1) out.hue -= 1;
  return out;
}

Rgb ComplementaryColour(Rgb colour) {
  Hsl hsl = RgbToHsl(colour);
  hsl.hue -= 0.5f;
  if (hsl.hue < 0) hsl.hue += 1;
  return HslToRgb(hsl.hue, hsl.saturation, hsl.lightness);
}
