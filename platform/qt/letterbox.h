// Where a frame lands in a window when it is scaled to fit with its aspect
// ratio kept (black bars fill the rest), and the way back from a window
// position to the frame pixel shown there.
#pragma once

struct LetterboxRect {
  int x = 0, y = 0;           // top-left corner of the picture in the window
  int width = 0, height = 0;  // its size; 0 when either size is 0
};

// The picture's place for a frameWidth x frameHeight frame in a
// windowWidth x windowHeight window: as large as fits, centred.
LetterboxRect FitLetterbox(int windowWidth, int windowHeight, int frameWidth, int frameHeight);

// The frame pixel shown at window position (x, y), clamped to the frame
// (a position on a bar gives the nearest edge pixel).
void WindowToFramePixel(const LetterboxRect& picture, int frameWidth, int frameHeight, int x, int y,
                        int* frameX, int* frameY);

// The same mapping without the clamp: a position beyond the picture (on a
// bar, or on another monitor) lands on the frame's pixel grid extended past
// its edges, so moves there keep their size in frame pixels.
void WindowToFramePosition(const LetterboxRect& picture, int frameWidth, int frameHeight, int x, int y,
                           int* frameX, int* frameY);
