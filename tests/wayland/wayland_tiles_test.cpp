// The Wayland window service's choices: the picture's output, the buffer a
// frame may go into, and what each buffer lacks of the picture.
#include "platform/wayland/wayland_tiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(WaylandTilesTest, PictureGoesOnTheNamedOutputElseTheFirst) {
  struct Case {
    std::vector<std::string> names;
    std::string wanted;
    int expected;
  };
  const Case cases[] = {
      {{"HEADLESS-1", "HEADLESS-2"}, "", 0},
      {{"HEADLESS-1", "HEADLESS-2"}, "HEADLESS-2", 1},
      {{"HEADLESS-1", "HEADLESS-2"}, "HDMI-A-1", 0},
      {{"HEADLESS-1", "HEADLESS-2"}, "headless-2", 0},  // names are exact
      {{"", "DP-1"}, "", 0},                            // an output without a name yet
      {{}, "DP-1", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(ChoosePictureOutput(c.names, c.wanted), c.expected) << c.wanted;
}

TEST(WaylandTilesTest, NeverTheBufferTheCompositorHolds) {
  struct Case {
    bool busy[2];
    int expected;
  };
  const Case cases[] = {{{false, false}, 0}, {{true, false}, 1}, {{false, true}, 0}, {{true, true}, -1}};
  for (const Case& c : cases) EXPECT_EQ(ChooseFreeBuffer(c.busy), c.expected) << c.busy[0] << c.busy[1];
}

// Two buffers written in turn: each must get every tile changed since it
// was last written, not only the latest frame's.
TEST(WaylandTilesTest, EachBufferCollectsTheTilesChangedSinceItWasWritten) {
  struct Step {
    std::vector<uint8_t> changed;  // empty: the whole frame changed
    bool reshaped;
    int written;                   // the buffer drawn this frame
    std::vector<uint8_t> missing;  // the tiles it lacks; empty: it is drawn whole
  };
  const Step steps[] = {
      // The first frame is drawn whole into buffer 0.
      {{}, true, 0, {}},
      // Buffer 1 has never been drawn: still whole.
      {{1, 0, 0, 0}, false, 1, {}},
      // Buffer 0 lacks tile 0 (frame 2) and tile 2 (frame 3).
      {{0, 0, 1, 0}, false, 0, {1, 0, 1, 0}},
      // Buffer 1 lacks tiles 2 and 3.
      {{0, 0, 0, 1}, false, 1, {0, 0, 1, 1}},
      // A frame whole again, then a new frame shape.
      {{}, false, 0, {}},
      {{0, 1, 0, 0}, true, 1, {}},
  };
  std::vector<uint8_t> stale[2];
  bool whole[2] = {true, true};
  int n = 0;
  for (const Step& s : steps) {
    for (int b = 0; b < 2; ++b)
      MarkStale(&stale[b], &whole[b], s.changed.empty() ? nullptr : s.changed.data(), 4, s.reshaped);
    EXPECT_EQ(whole[s.written], s.missing.empty()) << "frame " << n;
    if (!whole[s.written]) {
      EXPECT_EQ(stale[s.written], s.missing) << "frame " << n;
    }
    // Drawing the buffer brings it up to date.
    stale[s.written].assign(4, 0);
    whole[s.written] = false;
    ++n;
  }
}

}  // namespace
