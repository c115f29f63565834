// Copying a frame, or only its changed tiles, into a 32-bit window image:
// converted from the frame's depth and scaled nearest-neighbour by a fixed
// mapping, so that a part of the picture drawn alone is pixel for pixel what
// drawing the whole picture puts there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/qt/letterbox.h"
#include "platform/window.h"

// Where each frame pixel lands in the window's picture: window column X of
// the picture shows frame column sourceColumn[X - picture.x] (the one
// QPainter's nearest-neighbour scaling shows there), and frame column x
// covers picture columns firstColumn[x] to firstColumn[x + 1] - 1 (none
// when the picture is narrower than the frame and skips it). Rows alike.
struct PictureMapping {
  int frameWidth = 0;
  int frameHeight = 0;
  LetterboxRect picture;
  std::vector<int> sourceColumn;  // picture.width entries
  std::vector<int> sourceRow;     // picture.height entries
  std::vector<int> firstColumn;   // frameWidth + 1 entries, picture-relative
  std::vector<int> firstRow;      // frameHeight + 1 entries
};

// Rebuilds the tables when the frame's size or the picture differ from
// what mapping holds; true when it did.
bool UpdatePictureMapping(PictureMapping* mapping, int frameWidth, int frameHeight,
                          const LetterboxRect& picture);

// A 32-bit window image (0xAARRGGBB), pitch in bytes. With alpha the top
// byte is written opaque; without, a 32-bit frame's rows may be copied as
// they are, top byte and all.
struct WindowPixels {
  uint8_t* bits = nullptr;
  size_t pitch = 0;
  int width = 0;
  int height = 0;
  bool alpha = true;
};

// A run of changed tiles in one tile row, as frame pixels [x0, x1) x
// [y0, y1), and the window rectangle showing it (empty when the picture is
// small enough to skip every frame pixel of the run).
struct ChangedRun {
  int x0, y0, x1, y1;
  int windowX, windowY, windowWidth, windowHeight;
};

// The changed tiles of frame.changedTiles as runs of neighbouring tiles, row
// by row, with their window rectangles under mapping; runs apart by a few
// unchanged tiles are joined, and runs showing no window pixel left out. The window rectangles are sorted by
// top then left, do not overlap, and share top and height within a tile row.
void ChangedRuns(const FrameImage& frame, const PictureMapping& mapping, std::vector<ChangedRun>* runs);

// Draws frame pixels [x0, x1) x [y0, y1) at their place in target (which
// must hold the whole picture). The frame's depth must be 16, 24 or 32.
void DrawFramePart(const FrameImage& frame, const PictureMapping& mapping, int x0, int y0, int x1, int y1,
                   const WindowPixels& target);

// Paints everything of target outside mapping.picture black.
void PaintBars(const PictureMapping& mapping, const WindowPixels& target);
