// The display's record of which tiles of the back surface hold drawing and
// which changed since the last present, so that a frame clears and sends
// only those. Tiles are kFrameTileWidth x kFrameTileHeight pixels, one byte
// each, row by row; those on the right and bottom edges are cut short.
#pragma once
#include <cstdint>
#include <vector>

struct TileMapRec {
  uint32_t columns = 0, rows = 0;
  uint32_t width = 0, height = 0;  // the surface, pixels
  // Set by whoever holds the back surface locked, for every tile written.
  std::vector<uint8_t> marks;
  // Where the back surface may differ from what the last clear left.
  std::vector<uint8_t> holds;
  // Where the back surface may differ from the frame last presented.
  std::vector<uint8_t> changed;
  // False: the back surface may differ from the clear anywhere.
  bool holdsKnown = false;
  // True: the back surface may differ from the frame last presented anywhere.
  bool allChanged = true;
};

// Sized for a width x height surface, everything unknown.
void ResetTileMap(TileMapRec* map, uint32_t width, uint32_t height);
// Everything may have been drawn: nothing is known until a whole clear.
void ForgetTiles(TileMapRec* map);
// Marks every tile the rectangle [left, right) x [top, bottom) touches.
void MarkTileRect(TileMapRec* map, int32_t left, int32_t top, int32_t right, int32_t bottom);
// Moves the marks into holds and changed.
void FoldTileMarks(TileMapRec* map);
// Calls clear for each run of held tiles on a tile row, as a pixel rectangle
// cut to the surface, and moves them from holds into changed.
void ClearHeldTiles(TileMapRec* map,
                    void (*clear)(uint32_t left, uint32_t top, uint32_t right, uint32_t bottom));
// How many tiles are marked in a map of the record.
uint32_t CountTiles(const std::vector<uint8_t>& tiles);
