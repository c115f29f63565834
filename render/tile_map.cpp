#include "render/tile_map.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/window.h"
#include "render/pixel_format.h"

namespace {

constexpr uint32_t kCellsAcross = kFrameTileWidth / kCellWidth;  // per tile
constexpr int kCellRowsShift = std::countr_zero(kFrameTileHeight / kCellHeight);
static_assert(kCellsAcross == 4, "the fold reads a tile's cells as one 32-bit word");

size_t TileOfCell(const TileMapRec& map, uint32_t cellColumn, uint32_t cellRow) {
  return size_t(cellRow >> kCellRowsShift) * map.columns + cellColumn / kCellsAcross;
}

}  // namespace

void ResetTileMap(TileMapRec* map, uint32_t width, uint32_t height) {
  map->width = width;
  map->height = height;
  map->cellRows = (height + kCellHeight - 1) / kCellHeight;
  map->columns = FrameTileColumns(width);
  map->rows = FrameTileRows(height);
  // Cell rows padded to whole tiles, so the fold reads a tile's cells at once.
  map->cellColumns = map->columns * kCellsAcross;
  map->cellRowShift = uint32_t(std::bit_width(map->cellColumns - 1));
  size_t cells = (size_t(1) << map->cellRowShift) * map->cellRows;
  map->marks.assign(cells, 0);
  map->holds.assign(cells, 0);
  map->changed.assign(size_t(map->columns) * map->rows, 0);
  ForgetTiles(map);
}

void ForgetTiles(TileMapRec* map) {
  map->holdsKnown = false;
  map->allChanged = true;
}

void MarkTileRect(TileMapRec* map, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, int32_t(map->width));
  bottom = std::min(bottom, int32_t(map->height));
  if (left >= right || top >= bottom) return;
  uint32_t firstColumn = uint32_t(left) >> kCellShiftX, lastColumn = uint32_t(right - 1) >> kCellShiftX;
  uint32_t firstRow = uint32_t(top) >> kCellShiftY, lastRow = uint32_t(bottom - 1) >> kCellShiftY;
  for (uint32_t row = firstRow; row <= lastRow; ++row)
    std::memset(map->marks.data() + (size_t(row) << map->cellRowShift) + firstColumn, 1,
                lastColumn - firstColumn + 1);
}

void FoldTileMarks(TileMapRec* map) {
  uint8_t* marks = map->marks.data();
  uint8_t* holds = map->holds.data();
  for (uint32_t row = 0; row < map->cellRows; ++row) {
    uint8_t* changed = map->changed.data() + size_t(row >> kCellRowsShift) * map->columns;
    size_t first = size_t(row) << map->cellRowShift;
    for (uint32_t column = 0; column < map->columns; ++column) {
      size_t at = first + size_t(column) * kCellsAcross;
      uint32_t marked, held;
      std::memcpy(&marked, marks + at, 4);
      if (!marked) continue;
      std::memcpy(&held, holds + at, 4);
      held |= marked;
      std::memcpy(holds + at, &held, 4);
      std::memset(marks + at, 0, 4);
      changed[column] = 1;
    }
  }
}

void ClearHeldTiles(TileMapRec* map,
                    void (*clear)(uint32_t left, uint32_t top, uint32_t right, uint32_t bottom)) {
  for (uint32_t row = 0; row < map->cellRows; ++row) {
    uint8_t* holds = map->holds.data() + (size_t(row) << map->cellRowShift);
    uint32_t top = row * kCellHeight, bottom = std::min(top + kCellHeight, map->height);
    for (uint32_t column = 0; column < map->cellColumns;) {
      if (!holds[column]) {
        ++column;
        continue;
      }
      uint32_t end = column;
      while (end < map->cellColumns && holds[end]) {
        holds[end] = 0;
        map->changed[TileOfCell(*map, end, row)] = 1;
        ++end;
      }
      uint32_t left = column * kCellWidth;
      // Padding cells past the right edge are never marked, so left is on the surface.
      clear(left, top, std::min(end * kCellWidth, map->width), bottom);
      column = end;
    }
  }
}
