// The wallpaper export. The file is a plain Windows BMP: a 14-byte file
// header, a 40-byte info header, a colour table (all zero, and present only
// below 24 bits, where a 16-bit picture carries 65536 empty entries) and
// the pixel rows bottom-up, each padded to 4 bytes. 16-bit pixels are 5-5-5
// as BMP readers expect; 24 and 32 bits are stored as B, G, R (and 0).
#include "render/wallpaper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "diag/log.h"
#include "patterns/options.h"
#include "platform/directories.h"
#include "platform/wallpaper.h"
#include "render/display.h"
#include "render/text_overlay.h"
#include "saver/screen_saver.h"

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

// An errno value, or EIO when the failing call left none.
int LastError() { return errno != 0 ? errno : EIO; }

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// Owns a block from new[]; nullptr when the memory could not be had.
struct Block {
  uint8_t* bytes = nullptr;
  explicit Block(uint64_t size) {
    if (size <= uint64_t(SIZE_MAX)) bytes = new (std::nothrow) uint8_t[size_t(size)];
  }
  ~Block() { delete[] bytes; }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
};

// The screen picture resized to the bitmap by nearest pixel, in the
// display's own format.
void StretchCopy(const SurfaceDescRec& screen, uint8_t* out, uint32_t width, uint32_t height,
                 uint32_t pitch) {
  uint32_t bytesPerPixel = screen.bitsPerPixel / 8;
  for (uint32_t y = 0; y < height; ++y) {
    uint32_t sourceY = uint32_t(uint64_t(y) * screen.height / height);
    const uint8_t* in = screen.pixels + size_t(sourceY) * screen.pitch;
    uint8_t* row = out + size_t(y) * pitch;
    if (width == screen.width) {
      std::memcpy(row, in, size_t(width) * bytesPerPixel);
      continue;
    }
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t sourceX = uint32_t(uint64_t(x) * screen.width / width);
      std::memcpy(row + size_t(x) * bytesPerPixel, in + size_t(sourceX) * bytesPerPixel, bytesPerPixel);
    }
  }
}

// The bitmap's rows as the file stores them: bottom-up, padded, 5-6-5 made 5-5-5.
void ToFileRows(const uint8_t* bitmap, uint32_t bitmapPitch, uint32_t width, uint32_t height,
                uint32_t bitsPerPixel, uint8_t* rows, uint32_t rowBytes) {
  uint32_t bytesPerPixel = bitsPerPixel / 8;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = bitmap + size_t(y) * bitmapPitch;
    uint8_t* out = rows + size_t(height - 1 - y) * rowBytes;
    std::memset(out, 0, rowBytes);
    if (bitsPerPixel != 16) {
      std::memcpy(out, in, size_t(width) * bytesPerPixel);
      continue;
    }
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t v = uint32_t(in[2 * x]) | uint32_t(in[2 * x + 1]) << 8;
      Put16(out + 2 * x, ((v >> 1) & 0x7FE0) | (v & 0x1F));
    }
  }
}

// Copies from to to, replacing it; 0 or an errno code.
int CopyFile(const std::string& from, const std::string& to) {
  errno = 0;
  FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) return LastError();
  FILE* out = std::fopen(to.c_str(), "wb");
  if (!out) {
    int error = LastError();
    std::fclose(in);
    return error;
  }
  int error = 0;
  char buffer[16384];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    if (std::fwrite(buffer, 1, count, out) != count) {
      error = LastError();
      break;
    }
  }
  if (error == 0 && std::ferror(in)) error = LastError();
  std::fclose(in);
  if (std::fclose(out) != 0 && error == 0) error = LastError();
  return error;
}

bool Write(FILE* file, const uint8_t* bytes, uint64_t size) {
  errno = 0;
  return std::fwrite(bytes, 1, size_t(size), file) == size_t(size) && std::fflush(file) == 0;
}

// Writes the three parts to a new file beside path and renames it over
// path, so a desktop that reads the file never sees half a picture.
bool WriteBitmapFile(const std::string& path, const uint8_t* fileHeader, const uint8_t* info,
                     uint64_t infoSize, const uint8_t* rows, uint64_t imageSize) {
  std::string temporary = path + ".new";
  errno = 0;
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    LogDebug("MakeWallpaper: CreateFile failed: %x\n", unsigned(LastError()));
    return false;
  }
  const char* failed = nullptr;
  if (!Write(file, fileHeader, kFileHeaderSize))
    failed = "MakeWallpaper: WriteFile (BITMAPFILEHEADER) failed: %x\n";
  else if (!Write(file, info, infoSize))
    failed = "MakeWallpaper: WriteFile (BITMAPINFOHEADER and RGBQUAD) failed: %x\n";
  else if (!Write(file, rows, imageSize))
    failed = "MakeWallpaper: WriteFile (lpBits) failed: %x\n";
  int error = failed ? LastError() : 0;
  if (std::fclose(file) != 0 && !failed) {
    failed = "MakeWallpaper: WriteFile (lpBits) failed: %x\n";
    error = LastError();
  }
  if (!failed && std::rename(temporary.c_str(), path.c_str()) != 0) {
    failed = "MakeWallpaper: CreateFile failed: %x\n";
    error = LastError();
  }
  if (failed) {
    LogDebug(failed, unsigned(error));
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

BitmapLayoutRec BitmapLayout(uint32_t width, uint32_t height, uint32_t displayBits) {
  BitmapLayoutRec layout;
  uint32_t b = 32;
  for (uint32_t depth : {1u, 4u, 8u, 16u, 24u, 32u}) {
    if (displayBits <= depth) {
      b = depth;
      break;
    }
  }
  layout.bitsPerPixel = b;
  layout.colours = b < 24 ? 1u << b : 0;
  layout.imageSize = ((uint64_t(width) * b + 31) & ~uint64_t(31)) / 8 * height;
  layout.offset = kFileHeaderSize + kInfoHeaderSize + 4 * uint64_t(layout.colours);
  layout.fileSize = layout.offset + layout.imageSize;
  return layout;
}

std::string WallpaperPath() { return DataDirectory() + "/Prismora.bmp"; }
std::string OldWallpaperPath() { return DataDirectory() + "/PrismoraOld.bmp"; }

void MakeWallpaper() {
  SurfaceDescRec screen;
  if (!DDGetPresentedFrame(&screen)) {
    LogDebug("MakeWallpaper: DDGetDC failed: %x\n", unsigned(gSurfacesReady ? EAGAIN : ENODEV));
    return;
  }
  bool stretch = gOptions.StretchWallpaper && gDesktopWidth != 0 && gDesktopHeight != 0;
  uint32_t width = stretch ? gDesktopWidth : gScreenWidth;
  uint32_t height = stretch ? gDesktopHeight : gScreenHeight;
  uint32_t bytesPerPixel = screen.bitsPerPixel / 8;
  uint64_t bitmapPitch = (uint64_t(width) * bytesPerPixel + 3) & ~uint64_t(3);
  Block bitmap(bitmapPitch * height);
  if (!bitmap.bytes) {
    LogDebug("MakeWallpaper: CreateCompatibleBitmap failed: %x\n", unsigned(ENOMEM));
    return;
  }
  if (width == 0 || height == 0 || screen.width == 0 || screen.height == 0) {
    LogDebug("MakeWallpaper: GetDIBits failed\n");
    return;
  }
  StretchCopy(screen, bitmap.bytes, width, height, uint32_t(bitmapPitch));

  BitmapLayoutRec layout = BitmapLayout(width, height, screen.bitsPerPixel);
  uint64_t infoSize = kInfoHeaderSize + 4 * uint64_t(layout.colours);
  Block info(infoSize);
  Block rows(layout.imageSize);
  if (!info.bytes || !rows.bytes || layout.fileSize > UINT32_MAX) {
    LogDebug("MakeWallpaper: GlobalAlloc failed: %x\n", unsigned(ENOMEM));
    return;
  }
  std::memset(info.bytes, 0, size_t(infoSize));
  Put32(info.bytes + 0, kInfoHeaderSize);
  Put32(info.bytes + 4, width);
  Put32(info.bytes + 8, height);  // positive: rows bottom-up
  Put16(info.bytes + 12, 1);
  Put16(info.bytes + 14, layout.bitsPerPixel);
  Put32(info.bytes + 16, 0);  // BI_RGB
  Put32(info.bytes + 20, uint32_t(layout.imageSize));
  Put32(info.bytes + 32, layout.colours);
  uint32_t rowBytes = uint32_t(layout.imageSize / height);
  ToFileRows(bitmap.bytes, uint32_t(bitmapPitch), width, height, screen.bitsPerPixel, rows.bytes, rowBytes);

  uint8_t fileHeader[kFileHeaderSize] = {'B', 'M'};
  Put32(fileHeader + 2, uint32_t(layout.fileSize));
  Put32(fileHeader + 10, uint32_t(layout.offset));

  std::string current = WallpaperPath();
  MakeDirectories(DataDirectory());
  int copyError = CopyFile(current, OldWallpaperPath());
  if (copyError != 0) LogDebug("MakeWallpaper: CopyFile failed: %x\n", unsigned(copyError));
  if (!WriteBitmapFile(current, fileHeader, info.bytes, infoSize, rows.bytes, layout.imageSize)) return;

  FrameImage picture;
  picture.pixels = bitmap.bytes;
  picture.pitch = uint32_t(bitmapPitch);
  picture.width = width;
  picture.height = height;
  picture.bitsPerPixel = screen.bitsPerPixel;
  int result = gWallpaper ? gWallpaper->setWallpaper(current.c_str(), picture) : ENOTSUP;
  if (result != 0) LogDebug("MakeWallpaper: SystemParametersInfo failed: %x\n", unsigned(result));
  // The file was written either way; only the desktop's yes makes it the wallpaper.
  ShowTimedNotice(&gTextOverlay.wallpaperNotice, result == 0 ? "Wallpaper set!" : "Wallpaper saved");
}
