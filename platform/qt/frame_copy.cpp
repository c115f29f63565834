// Frame pixels into a 32-bit window image, a rectangle at a time.
#include "platform/qt/frame_copy.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;

// Each rectangle costs a request and its handling in the window system,
// about as much as copying a few tiles: runs of changed tiles apart by at
// most this many unchanged ones go as one (the unchanged ones show again
// what they showed).
constexpr int kBridgedGap = 4;

template <int Bits>
inline uint32_t PixelAt(const uint8_t* row, int x) {
  if constexpr (Bits == 32) {
    uint32_t p;
    std::memcpy(&p, row + 4 * size_t(x), 4);
    return kOpaque | p;
  } else if constexpr (Bits == 24) {
    const uint8_t* p = row + 3 * size_t(x);
    return kOpaque | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  } else {
    uint16_t p;
    std::memcpy(&p, row + 2 * size_t(x), 2);
    uint32_t r = (p >> 11) & 0x1Fu, g = (p >> 5) & 0x3Fu, b = p & 0x1Fu;
    // Repeat the top bits into the low ones so full scale stays 0xFF.
    return kOpaque | (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
  }
}

template <int Bits>
void DrawPart(const FrameImage& frame, const PictureMapping& mapping, int x0, int y0, int x1, int y1,
              const WindowPixels& target) {
  const LetterboxRect& picture = mapping.picture;
  int left = mapping.firstColumn[size_t(x0)], right = mapping.firstColumn[size_t(x1)];
  int top = mapping.firstRow[size_t(y0)], bottom = mapping.firstRow[size_t(y1)];
  if (left >= right || top >= bottom) return;
  bool unscaledColumns = picture.width == mapping.frameWidth;
  size_t bytes = size_t(right - left) * 4;
  int shownRow = -1;
  const uint8_t* shown = nullptr;
  for (int y = top; y < bottom; ++y) {
    uint8_t* outBytes = target.bits + size_t(picture.y + y) * target.pitch + size_t(picture.x + left) * 4;
    int sourceRow = mapping.sourceRow[size_t(y)];
    if (sourceRow == shownRow) {
      // An enlarged frame shows a row on several window rows.
      std::memcpy(outBytes, shown, bytes);
      continue;
    }
    const uint8_t* in = frame.pixels + size_t(sourceRow) * frame.pitch;
    auto* out = reinterpret_cast<uint32_t*>(outBytes);
    if (Bits == 32 && unscaledColumns && !target.alpha) {
      std::memcpy(out, in + size_t(x0) * 4, bytes);
    } else if (unscaledColumns) {
      for (int x = x0; x < x1; ++x) *out++ = PixelAt<Bits>(in, x);
    } else {
      const int* columns = mapping.sourceColumn.data();
      for (int x = left; x < right; ++x) *out++ = PixelAt<Bits>(in, columns[x]);
    }
    shownRow = sourceRow;
    shown = outBytes;
  }
}

void FillBlack(const WindowPixels& target, int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return;
  for (int row = y; row < y + height; ++row) {
    auto* out = reinterpret_cast<uint32_t*>(target.bits + size_t(row) * target.pitch) + x;
    std::fill(out, out + width, kOpaque);
  }
}

// For each picture position, the frame position shown there, in the steps
// of QPainter's nearest-neighbour scaling (16.16 fixed point, near each
// target pixel's centre), so pictures look exactly as they did when QPainter
// drew them; then, for each frame position, the first picture position
// showing it or a later one.
void BuildAxis(int frameSize, int pictureSize, std::vector<int>* source, std::vector<int>* first) {
  double scale = double(frameSize) / double(pictureSize);
  auto step = int64_t(65536.0 * scale);
  int64_t at = int64_t(std::ceil(0.5 * scale * 65536.0)) - 1;
  source->assign(size_t(pictureSize), 0);
  for (int d = 0; d < pictureSize; ++d, at += step) {
    (*source)[size_t(d)] = int(std::clamp<int64_t>(at >> 16, 0, frameSize - 1));
  }
  first->assign(size_t(frameSize) + 1, pictureSize);
  size_t d = 0;
  for (int f = 0; f <= frameSize; ++f) {
    while (d < source->size() && (*source)[d] < f) ++d;
    (*first)[size_t(f)] = int(d);
  }
}

}  // namespace

bool UpdatePictureMapping(PictureMapping* mapping, int frameWidth, int frameHeight,
                          const LetterboxRect& picture) {
  const LetterboxRect& old = mapping->picture;
  if (mapping->frameWidth == frameWidth && mapping->frameHeight == frameHeight && old.x == picture.x &&
      old.y == picture.y && old.width == picture.width && old.height == picture.height) {
    return false;
  }
  mapping->frameWidth = frameWidth;
  mapping->frameHeight = frameHeight;
  mapping->picture = picture;
  BuildAxis(frameWidth, picture.width, &mapping->sourceColumn, &mapping->firstColumn);
  BuildAxis(frameHeight, picture.height, &mapping->sourceRow, &mapping->firstRow);
  return true;
}

void ChangedRuns(const FrameImage& frame, const PictureMapping& mapping, std::vector<ChangedRun>* runs) {
  runs->clear();
  if (!frame.changedTiles) return;
  int width = int(frame.width), height = int(frame.height);
  int columns = int(FrameTileColumns(frame.width)), rows = int(FrameTileRows(frame.height));
  const LetterboxRect& picture = mapping.picture;
  for (int row = 0; row < rows; ++row) {
    const uint8_t* tiles = frame.changedTiles + size_t(row) * size_t(columns);
    int y0 = row * int(kFrameTileHeight), y1 = std::min(height, y0 + int(kFrameTileHeight));
    int top = mapping.firstRow[size_t(y0)], bottom = mapping.firstRow[size_t(y1)];
    if (top >= bottom) continue;
    for (int column = 0; column < columns;) {
      if (!tiles[column]) {
        ++column;
        continue;
      }
      int end = column + 1;
      for (;;) {
        while (end < columns && tiles[end]) ++end;
        int next = end;
        while (next < columns && !tiles[next] && next - end < kBridgedGap) ++next;
        if (next >= columns || !tiles[next]) break;
        end = next;
      }
      int x0 = column * int(kFrameTileWidth), x1 = std::min(width, end * int(kFrameTileWidth));
      int left = mapping.firstColumn[size_t(x0)], right = mapping.firstColumn[size_t(x1)];
      if (left < right) {
        runs->push_back({x0, y0, x1, y1, picture.x + left, picture.y + top, right - left, bottom - top});
      }
      column = end;
    }
  }
}

void DrawFramePart(const FrameImage& frame, const PictureMapping& mapping, int x0, int y0, int x1, int y1,
                   const WindowPixels& target) {
  switch (frame.bitsPerPixel) {
    case 16:
      DrawPart<16>(frame, mapping, x0, y0, x1, y1, target);
      break;
    case 24:
      DrawPart<24>(frame, mapping, x0, y0, x1, y1, target);
      break;
    case 32:
      DrawPart<32>(frame, mapping, x0, y0, x1, y1, target);
      break;
    default:
      break;
  }
}

void PaintBars(const PictureMapping& mapping, const WindowPixels& target) {
  const LetterboxRect& picture = mapping.picture;
  int right = picture.x + picture.width, bottom = picture.y + picture.height;
  FillBlack(target, 0, 0, target.width, picture.y);
  FillBlack(target, 0, bottom, target.width, target.height - bottom);
  FillBlack(target, 0, picture.y, picture.x, picture.height);
  FillBlack(target, right, picture.y, target.width - right, picture.height);
}
