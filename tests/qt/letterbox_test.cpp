// Fitting a frame into a window with black bars, and mapping window
// positions back to frame pixels.
#include "platform/qt/letterbox.h"

#include <gtest/gtest.h>

namespace {

struct FitCase {
  int windowWidth, windowHeight, frameWidth, frameHeight;
  LetterboxRect expected;
};

TEST(Letterbox, FitsKeepingTheAspectRatio) {
  const FitCase cases[] = {
      {1920, 1080, 640, 480, {240, 0, 1440, 1080}},  // bars left and right
      {1920, 1080, 1920, 1080, {0, 0, 1920, 1080}},  // same size
      {1280, 1024, 640, 360, {0, 152, 1280, 720}},   // bars above and below
      {800, 300, 640, 480, {200, 0, 400, 300}},
      {152, 112, 640, 480, {1, 0, 149, 112}},  // 149.33 rounds to 149
      {400, 200, 2, 2, {100, 0, 200, 200}},
      {0, 480, 640, 480, {0, 0, 0, 0}},  // nothing to draw into
  };
  for (const FitCase& c : cases) {
    LetterboxRect r = FitLetterbox(c.windowWidth, c.windowHeight, c.frameWidth, c.frameHeight);
    EXPECT_EQ(r.x, c.expected.x) << c.windowWidth << "x" << c.windowHeight;
    EXPECT_EQ(r.y, c.expected.y) << c.windowWidth << "x" << c.windowHeight;
    EXPECT_EQ(r.width, c.expected.width) << c.windowWidth << "x" << c.windowHeight;
    EXPECT_EQ(r.height, c.expected.height) << c.windowWidth << "x" << c.windowHeight;
  }
}

TEST(Letterbox, MapsWindowPositionsToTheFramePixelShown) {
  // 640x480 shown as 1440x1080 from x = 240: 2.25 window pixels a frame pixel.
  LetterboxRect picture{240, 0, 1440, 1080};
  struct {
    int x, y, frameX, frameY;
  } cases[] = {
      {240, 0, 0, 0},          // first window pixel of the picture
      {242, 2, 1, 1},          // pixel centre 2.5 / 2.25 = 1.1
      {960, 540, 320, 240},    // the centre
      {1679, 1079, 639, 479},  // last window pixel of the picture
      {100, 500, 0, 222},      // on the left bar: the left edge
      {1900, -5, 639, 0},      // on the right bar, above the window
  };
  for (const auto& c : cases) {
    int fx = -1, fy = -1;
    WindowToFramePixel(picture, 640, 480, c.x, c.y, &fx, &fy);
    EXPECT_EQ(fx, c.frameX) << c.x << "," << c.y;
    EXPECT_EQ(fy, c.frameY) << c.x << "," << c.y;
  }
}

TEST(Letterbox, CarriesTheFramePixelGridBeyondThePicture) {
  // The same 2.25 window pixels a frame pixel, on past every edge: the
  // positions of other monitors, whose moves must keep their size.
  LetterboxRect picture{240, 0, 1440, 1080};
  struct {
    int x, y, frameX, frameY;
  } cases[] = {
      {240, 0, 0, 0},           // inside, as the clamped mapping
      {960, 540, 320, 240},     // the centre
      {1679, 1079, 639, 479},   // the last pixel of the picture
      {239, -1, -1, -1},        // just left of and above it
      {238, -2, -1, -1},        // pixel centre -1.5 / 2.25 = -0.67: still -1
      {237, -3, -2, -2},        // -2.5 / 2.25 = -1.1
      {0, 0, -107, 0},          // the left bar's edge: -239.5 / 2.25 = -106.4
      {1680, 1080, 640, 480},   // just past the last pixel
      {3600, 500, 1493, 222},   // a monitor to the right: 3360.5 / 2.25 = 1493.6
      {-1680, 540, -854, 240},  // a monitor to the left: -1919.5 / 2.25 = -853.1
  };
  for (const auto& c : cases) {
    int fx = 0, fy = 0;
    WindowToFramePosition(picture, 640, 480, c.x, c.y, &fx, &fy);
    EXPECT_EQ(fx, c.frameX) << c.x << "," << c.y;
    EXPECT_EQ(fy, c.frameY) << c.x << "," << c.y;
  }
}

}  // namespace
