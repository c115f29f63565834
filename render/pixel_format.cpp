// Pixel formats, packing, and the ball and star sprites.
#include "render/pixel_format.h"

#include <algorithm>

PixelFormatRec PixelFormat;
FrameBufferRec FrameBuffer;

namespace {

void DeriveChannel(uint32_t mask, uint32_t* shift, uint32_t* divisor) {
  *shift = 0;
  *divisor = 1;
  if (mask == 0) return;
  uint32_t position = 0;
  while (!(mask & 1u)) {
    mask >>= 1;
    ++position;
  }
  uint32_t bits = 0;
  while (position + bits < 32 && (mask & 1u)) {
    mask >>= 1;
    ++bits;
  }
  *shift = position;
  // 64-bit so that a (never selected) channel of 32 bits gives 0, not a shift overflow.
  *divisor = uint32_t(256u / (uint64_t(1) << bits));
}

// The four colour levels of a sprite, already packed.
struct SpriteLevels {
  uint32_t full, shade, bright, highlight;
};

SpriteLevels MakeLevels(int r, int g, int b, int size) {
  if (size == 0) {
    r /= 2;
    g /= 2;
    b /= 2;
  } else if (size == 1) {
    r = 3 * r / 4;
    g = 3 * g / 4;
    b = 3 * b / 4;
  }
  auto Pack = [](int pr, int pg, int pb) { return PackPixel(uint32_t(pr), uint32_t(pg), uint32_t(pb)); };
  SpriteLevels levels;
  levels.full = Pack(r, g, b);
  levels.shade = Pack(r / 2, g / 2, b / 2);
  levels.bright = Pack(std::min(3 * r / 2, 255), std::min(3 * g / 2, 255), std::min(3 * b / 2, 255));
  levels.highlight = Pack(std::min(4 * r, 255), std::min(4 * g, 255), std::min(4 * b, 255));
  return levels;
}

// A sprite fits when all of it lies on the surface; 64-bit so that a surface
// narrower than the sprite cannot wrap around.
bool SpriteFits(int x, int y, int extent) {
  return x >= 0 && y >= 0 && int64_t(x) < int64_t(FrameBuffer.width) - extent &&
         int64_t(y) < int64_t(FrameBuffer.height) - extent;
}

// Cells: A full, H shade, L bright, W highlight, '.' untouched.
constexpr char kBallCells[5][6] = {".AAH.", "AWLAH", "ALLAH", "HAAHH", ".HHH."};
constexpr char kStarCells[7][8] = {"...L...", ".L.L.L.", "..LWL..", "LLWWWLL",
                                   "..LWL..", ".L.L.L.", "...L..."};

// The same with whole-pixel stores of one size, through a copied view of
// the surface.
template <uint32_t Bytes, int N, int Stride>
void PlotCellsAs(const char (&cells)[N][Stride], int x, int y, const SpriteLevels& levels) {
  uint8_t* const base = FrameBuffer.base;
  const uint32_t pitch = FrameBuffer.pitch;
  for (int row = 0; row < N; ++row) {
    uint8_t* line = base + size_t(uint32_t(y + row)) * pitch + size_t(uint32_t(x)) * Bytes;
    for (int col = 0; col < N; ++col) {
      uint32_t packed;
      switch (cells[row][col]) {
        case 'A':
          packed = levels.full;
          break;
        case 'H':
          packed = levels.shade;
          break;
        case 'L':
          packed = levels.bright;
          break;
        case 'W':
          packed = levels.highlight;
          break;
        default:
          continue;
      }
      StorePixel<Bytes>(line + size_t(col) * Bytes, packed);
    }
  }
}

template <int N, int Stride>
void PlotCells(const char (&cells)[N][Stride], int x, int y, const SpriteLevels& levels) {
  switch (PixelFormat.bytesPerPixel) {
    case 4:
      return PlotCellsAs<4>(cells, x, y, levels);
    case 3:
      return PlotCellsAs<3>(cells, x, y, levels);
    case 2:
      return PlotCellsAs<2>(cells, x, y, levels);
    default:
      break;
  }
  for (int row = 0; row < N; ++row) {
    for (int col = 0; col < N; ++col) {
      switch (cells[row][col]) {
        case 'A':
          WritePixel(levels.full, x + col, y + row);
          break;
        case 'H':
          WritePixel(levels.shade, x + col, y + row);
          break;
        case 'L':
          WritePixel(levels.bright, x + col, y + row);
          break;
        case 'W':
          WritePixel(levels.highlight, x + col, y + row);
          break;
        default:
          break;
      }
    }
  }
}

// A sprite lies within two cells each way: its corners name them all.
void MarkSprite(int x, int y, int extent) {
  uint8_t* cells = FrameBuffer.cells;
  if (!cells) return;
  uint32_t shift = FrameBuffer.cellRowShift;
  MarkCell(cells, shift, x, y);
  MarkCell(cells, shift, x + extent, y);
  MarkCell(cells, shift, x, y + extent);
  MarkCell(cells, shift, x + extent, y + extent);
}

}  // namespace

void DerivePixelFormat(uint32_t redMask, uint32_t greenMask, uint32_t blueMask, uint32_t bitsPerPixel) {
  DeriveChannel(redMask, &PixelFormat.redShift, &PixelFormat.redDivisor);
  DeriveChannel(greenMask, &PixelFormat.greenShift, &PixelFormat.greenDivisor);
  DeriveChannel(blueMask, &PixelFormat.blueShift, &PixelFormat.blueDivisor);
  PixelFormat.bytesPerPixel = bitsPerPixel / 8;
}

uint32_t PackPixel(uint32_t r, uint32_t g, uint32_t b) {
  return (r / PixelFormat.redDivisor) << PixelFormat.redShift |
         (g / PixelFormat.greenDivisor) << PixelFormat.greenShift |
         (b / PixelFormat.blueDivisor) << PixelFormat.blueShift;
}

void PutPixel(uint32_t packed, int x, int y) {
  if (x < 0 || y < 0 || uint32_t(x) >= FrameBuffer.width || uint32_t(y) >= FrameBuffer.height) return;
  WritePixel(packed, x, y);
  if (FrameBuffer.cells) MarkCell(FrameBuffer.cells, FrameBuffer.cellRowShift, x, y);
}

void PlotBall(int x, int y, int r, int g, int b, int size) {
  if (!SpriteFits(x, y, 4)) return;
  PlotCells(kBallCells, x, y, MakeLevels(r, g, b, size));
  MarkSprite(x, y, 4);
}

void PlotStar(int x, int y, int r, int g, int b, int size) {
  if (!SpriteFits(x, y, 6)) return;
  PlotCells(kStarCells, x, y, MakeLevels(r, g, b, size));
  MarkSprite(x, y, 6);
}

void ResetPixelFormat() {
  PixelFormat = PixelFormatRec{};
  FrameBuffer = FrameBufferRec{};
}
