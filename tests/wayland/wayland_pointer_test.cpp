// Pointer positions from any output's surface, on the picture's frame grid:
// crossing from one output to the next is a move of a pixel, not a jump.
#include <gtest/gtest.h>

#include <memory>

#include "platform/wayland/wayland_host.h"
#include "platform/wayland/wayland_internal.h"

namespace {

// Surfaces are only compared, never used: stand-in addresses do.
wl_surface* FakeSurface(uintptr_t n) { return reinterpret_cast<wl_surface*>(n * 16); }

void AddOutput(int left, int top, bool picture, int pictureX, int pictureWidth) {
  auto out = std::make_unique<WlOutputRec>();
  out->left = left;
  out->top = top;
  out->picture = picture;
  out->surface = FakeSurface(gWl.outputs.size() + 1);
  out->mapping.picture = LetterboxRect{pictureX, 0, pictureWidth, pictureWidth * 3 / 4};
  gWl.outputs.push_back(std::move(out));
}

TEST(WaylandPointerTest, EveryOutputMeasuresOnThePicturesGrid) {
  struct Case {
    const char* what;
    int surface;  // 1-based, as added
    int x, y;
    int frameX, frameY;
  };
  // A 640x480 picture drawn at 320x240 on the output at 640,0; a black
  // output to its left, one below it.
  const Case cases[] = {
      {"on the picture", 2, 100, 40, 50, 20},
      {"the picture's left edge", 2, 0, 0, 0, 0},
      {"the black output's right edge, a pixel away", 1, 639, 0, -1, 0},
      {"far left on the black output", 1, 0, 300, -320, 150},
      {"the black output below", 3, 10, 0, 5, 240},
  };
  ResetWaylandHost();
  gWl.frameWidth = 320;
  gWl.frameHeight = 240;
  AddOutput(0, 0, false, 0, 640);
  AddOutput(640, 0, true, 0, 640);
  AddOutput(640, 480, false, 0, 640);
  for (const Case& c : cases) {
    int x = 0, y = 0;
    WlPointToFrame(FakeSurface(c.surface), c.x, c.y, &x, &y);
    EXPECT_EQ(x, c.frameX) << c.what;
    EXPECT_EQ(y, c.frameY) << c.what;
  }
  // On an output of scale 2 the picture has its pixels, twice the units.
  ResetWaylandHost();
  gWl.frameWidth = 640;
  gWl.frameHeight = 480;
  AddOutput(0, 0, true, 0, 1280);
  gWl.outputs[0]->bufferScale = 2;
  int x = 0, y = 0;
  WlPointToFrame(FakeSurface(1), 100, 50, &x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  ResetWaylandHost();
}

}  // namespace
