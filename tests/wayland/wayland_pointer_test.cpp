// Pointer positions from any output's surface, on the picture's frame grid:
// crossing from one output to the next is a move of a pixel, not a jump.
#include <gtest/gtest.h>

#include <memory>

#include "platform/wayland/wayland_host.h"
#include "platform/wayland/wayland_internal.h"

namespace {

TEST(WaylandPointerTest, EveryOutputMeasuresOnThePicturesGrid) {
  // Outputs 1 (black, at 0,0), 2 (the picture, at 640,0) and 3 (black, at
  // 640,480), each 640x480 units; the 320x240 frame fills the picture.
  const struct {
    const char* what;
    int surface, scale;  // the picture output's scale
    int x, y, frameX, frameY;
  } cases[] = {
      {"on the picture", 2, 1, 100, 40, 50, 20},
      {"the black output's right edge, a pixel away", 1, 1, 639, 0, -1, 0},
      {"far left on the black output", 1, 1, 0, 300, -320, 150},
      {"the black output below", 3, 1, 10, 0, 5, 240},
      {"on a picture of scale 2, twice the pixels", 2, 2, 100, 40, 50, 20},
  };
  for (const auto& c : cases) {
    ResetWaylandHost();
    gWl.frameWidth = 320;
    gWl.frameHeight = 240;
    const int places[][2] = {{0, 0}, {640, 0}, {640, 480}};
    for (const auto& place : places) {
      auto out = std::make_unique<WlOutputRec>();
      out->left = place[0];
      out->top = place[1];
      out->picture = gWl.outputs.size() == 1;
      out->bufferScale = out->picture ? c.scale : 1;
      out->mapping.picture = LetterboxRect{0, 0, 640 * out->bufferScale, 480 * out->bufferScale};
      // Surfaces are only compared, never used: stand-in addresses do.
      out->surface = reinterpret_cast<wl_surface*>(16 * (gWl.outputs.size() + 1));
      gWl.outputs.push_back(std::move(out));
    }
    int x = 0, y = 0;
    WlPointToFrame(reinterpret_cast<wl_surface*>(16 * c.surface), c.x, c.y, &x, &y);
    EXPECT_EQ(x, c.frameX) << c.what;
    EXPECT_EQ(y, c.frameY) << c.what;
  }
  ResetWaylandHost();
}

}  // namespace
