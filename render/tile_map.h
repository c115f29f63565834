// The display's record of where the back surface holds drawing and what
// changed since the last present, so that a frame clears and sends only
// those parts. Drawing is recorded in cells (kCellWidth x kCellHeight, see
// pixel_format.h), the clear works cell by cell, and a present names tiles
// (kFrameTileWidth x kFrameTileHeight); both are one byte each, row by row,
// those on the right and bottom edges cut short.
#pragma once
#include <cstdint>
#include <vector>

struct TileMapRec {
  uint32_t width = 0, height = 0;  // the surface, pixels
  uint32_t cellColumns = 0, cellRows = 0;
  // Cell rows are 1 << cellRowShift bytes apart (at least cellColumns), so
  // marking a pixel takes shifts rather than a multiplication.
  uint32_t cellRowShift = 0;
  uint32_t columns = 0, rows = 0;  // tiles
  // Cells, set by whoever holds the back surface locked, for every one written.
  std::vector<uint8_t> marks;
  // Cells where the back surface may differ from what the last clear left.
  std::vector<uint8_t> holds;
  // Tiles where the back surface may differ from the frame last presented.
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
// Marks every cell the rectangle [left, right) x [top, bottom) touches.
void MarkTileRect(TileMapRec* map, int32_t left, int32_t top, int32_t right, int32_t bottom);
// Moves the marks into holds, and the tiles they lie in into changed.
void FoldTileMarks(TileMapRec* map);
// Calls clear for each run of held cells on a cell row, as a pixel
// rectangle cut to the surface; they are held no more, and their tiles
// have changed.
void ClearHeldTiles(TileMapRec* map,
                    void (*clear)(uint32_t left, uint32_t top, uint32_t right, uint32_t bottom));
