// Aspect-preserving fit of a frame into a window.
#include "platform/qt/letterbox.h"

#include <cstdint>

namespace {

// The source coordinate whose pixel covers the centre of destination pixel
// d, as nearest-neighbour scaling picks it; clamped to [0, source).
int SourceCoordinate(int d, int destinationSize, int sourceSize) {
  if (destinationSize <= 0 || sourceSize <= 0) return 0;
  int64_t s = (int64_t(d) * 2 + 1) * sourceSize;
  if (s < 0) return 0;
  s /= int64_t(destinationSize) * 2;
  return s >= sourceSize ? sourceSize - 1 : int(s);
}

// The same without the clamp, rounding toward minus infinity so the pixel
// grid runs on evenly to the left of and above the picture.
int GridCoordinate(int d, int destinationSize, int sourceSize) {
  if (destinationSize <= 0 || sourceSize <= 0) return 0;
  int64_t numerator = (int64_t(d) * 2 + 1) * sourceSize;
  int64_t denominator = int64_t(destinationSize) * 2;
  int64_t q = numerator / denominator;
  if (numerator % denominator != 0 && numerator < 0) --q;
  return int(q);
}

}  // namespace

LetterboxRect FitLetterbox(int windowWidth, int windowHeight, int frameWidth, int frameHeight) {
  LetterboxRect rect;
  if (windowWidth <= 0 || windowHeight <= 0 || frameWidth <= 0 || frameHeight <= 0) return rect;
  int64_t w = windowWidth, h = windowHeight, fw = frameWidth, fh = frameHeight;
  if (w * fh <= h * fw) {  // the width limits: bars above and below
    rect.width = windowWidth;
    rect.height = int((fh * w + fw / 2) / fw);
  } else {  // the height limits: bars left and right
    rect.height = windowHeight;
    rect.width = int((fw * h + fh / 2) / fh);
  }
  if (rect.width < 1) rect.width = 1;
  if (rect.height < 1) rect.height = 1;
  rect.x = (windowWidth - rect.width) / 2;
  rect.y = (windowHeight - rect.height) / 2;
  return rect;
}

void WindowToFramePixel(const LetterboxRect& picture, int frameWidth, int frameHeight, int x, int y,
                        int* frameX, int* frameY) {
  *frameX = SourceCoordinate(x - picture.x, picture.width, frameWidth);
  *frameY = SourceCoordinate(y - picture.y, picture.height, frameHeight);
}

void WindowToFramePosition(const LetterboxRect& picture, int frameWidth, int frameHeight, int x, int y,
                           int* frameX, int* frameY) {
  *frameX = GridCoordinate(x - picture.x, picture.width, frameWidth);
  *frameY = GridCoordinate(y - picture.y, picture.height, frameHeight);
}
