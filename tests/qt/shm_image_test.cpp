// Which windows' pixels a shared image can hold as frame_copy writes them:
// anything else must leave the window to the backing store.
#include "platform/qt/shm_image.h"

#include <gtest/gtest.h>

namespace {

TEST(ShmImageTest, OnlyLittleEndianTrueColourAt32BitsIsTaken) {
  struct Case {
    const char* name;
    uint8_t depth, bitsPerPixel, byteOrder, visualClass;
    uint32_t red, green, blue;
    ShmRefusal expected;
  };
  constexpr uint8_t kLsb = XCB_IMAGE_ORDER_LSB_FIRST, kMsb = XCB_IMAGE_ORDER_MSB_FIRST;
  constexpr uint8_t kTrue = XCB_VISUAL_CLASS_TRUE_COLOR, kDirect = XCB_VISUAL_CLASS_DIRECT_COLOR;
  const Case cases[] = {
      {"depth 24", 24, 32, kLsb, kTrue, 0xFF0000, 0xFF00, 0xFF, ShmRefusal::None},
      {"depth 32 (with alpha)", 32, 32, kLsb, kTrue, 0xFF0000, 0xFF00, 0xFF, ShmRefusal::None},
      {"depth 16", 16, 16, kLsb, kTrue, 0xF800, 0x7E0, 0x1F, ShmRefusal::Depth},
      {"depth 30", 30, 32, kLsb, kTrue, 0x3FF00000, 0xFFC00, 0x3FF, ShmRefusal::Depth},
      {"depth 8", 8, 8, kLsb, XCB_VISUAL_CLASS_PSEUDO_COLOR, 0, 0, 0, ShmRefusal::Depth},
      {"depth 24 packed in 24 bits", 24, 24, kLsb, kTrue, 0xFF0000, 0xFF00, 0xFF, ShmRefusal::PixelFormat},
      {"big-endian server", 24, 32, kMsb, kTrue, 0xFF0000, 0xFF00, 0xFF, ShmRefusal::PixelFormat},
      {"red and blue swapped", 24, 32, kLsb, kTrue, 0xFF, 0xFF00, 0xFF0000, ShmRefusal::PixelFormat},
      {"direct colour", 24, 32, kLsb, kDirect, 0xFF0000, 0xFF00, 0xFF, ShmRefusal::PixelFormat},
      {"visual not found", 24, 32, kLsb, 0xFF, 0, 0, 0, ShmRefusal::PixelFormat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShmPixelFormat format;
    format.depth = c.depth;
    format.bitsPerPixel = c.bitsPerPixel;
    format.imageByteOrder = c.byteOrder;
    format.visualClass = c.visualClass;
    format.redMask = c.red;
    format.greenMask = c.green;
    format.blueMask = c.blue;
    EXPECT_EQ(ShmFormatRefusal(format), c.expected);
  }
}

// Without a connection nothing is attempted.
TEST(ShmImageTest, NoConnectionIsRefused) {
  ShmRefusal refusal = ShmRefusal::None;
  EXPECT_EQ(CreateShmImage(nullptr, 1, 64, 64, &refusal), nullptr);
  EXPECT_EQ(refusal, ShmRefusal::NoExtension);
}

}  // namespace
