// PNG writing through libpng.
#include "platform/image/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct PngErrorRec {
  char message[200] = {};
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<PngErrorRec*>(png_get_error_ptr(png));
  std::snprintf(error->message, sizeof error->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// libpng reports errors by a long jump back here, so nothing in this
// function may need destroying; the row buffer belongs to the caller.
bool WritePng(FILE* file, const FrameImage& frame, uint8_t* row, PngErrorRec* error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, OnPngError, OnPngWarning);
  if (!png) {
    std::snprintf(error->message, sizeof error->message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(error->message, sizeof error->message, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, frame.width, frame.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < frame.height; ++y) {
    FrameRowToRgb(frame, y, row);
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

void FrameRowToRgb(const FrameImage& frame, uint32_t y, uint8_t* rgb) {
  const uint8_t* source = frame.pixels + size_t(y) * frame.pitch;
  for (uint32_t x = 0; x < frame.width; ++x, rgb += 3) {
    if (frame.bitsPerPixel == 16) {
      uint32_t p = uint32_t(source[2 * x]) | uint32_t(source[2 * x + 1]) << 8;
      uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
      rgb[0] = uint8_t(r << 3 | r >> 2);
      rgb[1] = uint8_t(g << 2 | g >> 4);
      rgb[2] = uint8_t(b << 3 | b >> 2);
    } else {
      // 24 and 32 bits both store B, G, R in their first three bytes.
      const uint8_t* p = source + size_t(x) * (frame.bitsPerPixel / 8);
      rgb[0] = p[2];
      rgb[1] = p[1];
      rgb[2] = p[0];
    }
  }
}

bool SaveFramePng(const std::string& path, const FrameImage& frame, std::string* error) {
  if (!frame.pixels || frame.width == 0 || frame.height == 0) {
    *error = "cannot write " + path + ": the frame is empty";
    return false;
  }
  if (frame.bitsPerPixel != 16 && frame.bitsPerPixel != 24 && frame.bitsPerPixel != 32) {
    *error = "cannot write " + path + ": " + std::to_string(frame.bitsPerPixel) + " bits per pixel";
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wbe");
  if (!file) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> row(size_t(frame.width) * 3);
  PngErrorRec pngError;
  bool written = WritePng(file, frame, row.data(), &pngError);
  bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *error = "cannot write " + path + ": " + (written ? std::strerror(errno) : pngError.message);
    std::remove(path.c_str());
    return false;
  }
  return true;
}
