#include "tests/support/png_write.h"

#include <png.h>

#include <cstring>
#include <vector>

bool WriteFramePng(const std::string& path, const FrameImage& frame) {
  if (!frame.pixels || frame.width == 0 || frame.height == 0) return false;
  uint32_t bytes = frame.bitsPerPixel / 8;
  if (bytes < 2 || bytes > 4) return false;
  std::vector<uint8_t> rgb(size_t(frame.width) * frame.height * 3);
  for (uint32_t y = 0; y < frame.height; ++y) {
    const uint8_t* row = frame.pixels + size_t(y) * frame.pitch;
    for (uint32_t x = 0; x < frame.width; ++x) {
      const uint8_t* p = row + size_t(x) * bytes;
      uint8_t* out = &rgb[(size_t(y) * frame.width + x) * 3];
      if (bytes == 2) {
        uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
        out[0] = uint8_t((v >> 11 & 0x1F) << 3);
        out[1] = uint8_t((v >> 5 & 0x3F) << 2);
        out[2] = uint8_t((v & 0x1F) << 3);
      } else {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
      }
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = frame.width;
  image.height = frame.height;
  image.format = PNG_FORMAT_RGB;
  bool ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return ok;
}
