// Pixel formats, packing and the two sprites, for 16-, 24- and 32-bit RGB.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/window.h"

struct PixelFormatRec {
  uint32_t redShift = 0, greenShift = 0, blueShift = 0;
  uint32_t redDivisor = 1, greenDivisor = 1, blueDivisor = 1;  // 256 / 2^bits
  uint32_t bytesPerPixel = 4;
};

// The locked back surface.
struct FrameBufferRec {
  uint8_t* base = nullptr;
  uint32_t pitch = 0;  // bytes per row, at least width * bytesPerPixel
  uint32_t width = 0;
  uint32_t height = 0;
  // One byte a cell of kCellWidth x kCellHeight pixels, row by row,
  // 1 << cellRowShift to a row: every writer sets the bytes of the cells it writes
  // into, so the display clears and sends only those. nullptr when nobody
  // keeps count.
  uint8_t* cells = nullptr;
  uint32_t cellRowShift = 0;
};

extern PixelFormatRec PixelFormat;
extern FrameBufferRec FrameBuffer;

// The cells the drawing is recorded in: finer than the tiles a present
// names, since trails scatter thin lines and the clear puts back whole
// cells. A sprite (7 x 7 at most) spans at most two each way.
constexpr uint32_t kCellWidth = 16;
constexpr uint32_t kCellHeight = 8;
static_assert(std::has_single_bit(kCellWidth) && std::has_single_bit(kCellHeight));
static_assert(kFrameTileWidth % kCellWidth == 0 && kFrameTileHeight % kCellHeight == 0);
constexpr int kCellShiftX = std::countr_zero(kCellWidth);
constexpr int kCellShiftY = std::countr_zero(kCellHeight);

// Notes that pixel (x, y), on the surface, was written: shifts and a store.
inline void MarkCell(uint8_t* cells, uint32_t cellRowShift, int x, int y) {
  cells[(size_t(uint32_t(y) >> kCellShiftY) << cellRowShift) + (uint32_t(x) >> kCellShiftX)] = 1;
}

void DerivePixelFormat(uint32_t redMask, uint32_t greenMask, uint32_t blueMask, uint32_t bitsPerPixel);
uint32_t PackPixel(uint32_t r, uint32_t g, uint32_t b);
// Stores the low bytes-per-pixel bytes of packed at (x, y); nothing outside the surface.
void PutPixel(uint32_t packed, int x, int y);
// 5x5 ball and 7x7 star with their top-left corner at (x, y); a sprite is
// drawn whole or not at all.
void PlotBall(int x, int y, int r, int g, int b, int size);
void PlotStar(int x, int y, int r, int g, int b, int size);

// Writes packed at (x, y) without bounds checks (callers have checked).
inline void WritePixel(uint32_t packed, int x, int y) {
  uint8_t* p = FrameBuffer.base + uint32_t(y) * FrameBuffer.pitch + uint32_t(x) * PixelFormat.bytesPerPixel;
  switch (PixelFormat.bytesPerPixel) {
    case 4:
      p[3] = uint8_t(packed >> 24);
      [[fallthrough]];
    case 3:
      p[2] = uint8_t(packed >> 16);
      [[fallthrough]];
    case 2:
      p[1] = uint8_t(packed >> 8);
      [[fallthrough]];
    default:
      p[0] = uint8_t(packed);
  }
}

// Stores the low Bytes bytes of packed at p, lowest byte first, as
// WritePixel does; Bytes is fixed per surface, so the renderer picks the
// store once a frame instead of once a pixel.
template <uint32_t Bytes>
inline void StorePixel(uint8_t* p, uint32_t packed) {
  static_assert(Bytes >= 2 && Bytes <= 4);
  if constexpr (std::endian::native == std::endian::little && Bytes == 4) {
    std::memcpy(p, &packed, 4);
  } else if constexpr (std::endian::native == std::endian::little && Bytes == 2) {
    uint16_t low = uint16_t(packed);
    std::memcpy(p, &low, 2);
  } else {
    for (uint32_t i = 0; i < Bytes; ++i) p[i] = uint8_t(packed >> (8 * i));
  }
}

void ResetPixelFormat();
