#include "render/tile_map.h"

#include <algorithm>
#include <cstring>

#include "platform/window.h"

void ResetTileMap(TileMapRec* map, uint32_t width, uint32_t height) {
  map->width = width;
  map->height = height;
  map->columns = FrameTileColumns(width);
  map->rows = FrameTileRows(height);
  size_t count = size_t(map->columns) * map->rows;
  map->marks.assign(count, 0);
  map->holds.assign(count, 0);
  map->changed.assign(count, 0);
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
  uint32_t firstColumn = uint32_t(left) / kFrameTileWidth, lastColumn = uint32_t(right - 1) / kFrameTileWidth;
  uint32_t firstRow = uint32_t(top) / kFrameTileHeight, lastRow = uint32_t(bottom - 1) / kFrameTileHeight;
  for (uint32_t row = firstRow; row <= lastRow; ++row)
    std::memset(map->marks.data() + size_t(row) * map->columns + firstColumn, 1,
                lastColumn - firstColumn + 1);
}

void FoldTileMarks(TileMapRec* map) {
  uint8_t* marks = map->marks.data();
  uint8_t* holds = map->holds.data();
  uint8_t* changed = map->changed.data();
  for (size_t i = 0, n = map->marks.size(); i < n; ++i) {
    holds[i] |= marks[i];
    changed[i] |= marks[i];
    marks[i] = 0;
  }
}

void ClearHeldTiles(TileMapRec* map,
                    void (*clear)(uint32_t left, uint32_t top, uint32_t right, uint32_t bottom)) {
  for (uint32_t row = 0; row < map->rows; ++row) {
    uint8_t* holds = map->holds.data() + size_t(row) * map->columns;
    uint8_t* changed = map->changed.data() + size_t(row) * map->columns;
    uint32_t top = row * kFrameTileHeight, bottom = std::min(top + kFrameTileHeight, map->height);
    for (uint32_t column = 0; column < map->columns;) {
      if (!holds[column]) {
        ++column;
        continue;
      }
      uint32_t end = column;
      while (end < map->columns && holds[end]) {
        holds[end] = 0;
        changed[end] = 1;
        ++end;
      }
      clear(column * kFrameTileWidth, top, std::min(end * kFrameTileWidth, map->width), bottom);
      column = end;
    }
  }
}

uint32_t CountTiles(const std::vector<uint8_t>& tiles) {
  return uint32_t(std::count_if(tiles.begin(), tiles.end(), [](uint8_t t) { return t != 0; }));
}
