// The wallpaper export: the picture on screen saved as a BMP file in the
// data directory and handed to the desktop as its background.
#pragma once
#include <cstdint>
#include <string>

// The sizes of the BMP file for a width x height picture from a display of
// displayBits bits per pixel (16, 24 or 32).
struct BitmapLayoutRec {
  uint32_t bitsPerPixel = 0;
  uint32_t colours = 0;    // colour-table entries: 2^bits below 24 bits, else 0
  uint64_t imageSize = 0;  // bytes of pixel rows, each padded to 4 bytes
  uint64_t offset = 0;     // where the pixel rows start: 14 + 40 + 4 x colours
  uint64_t fileSize = 0;
};
BitmapLayoutRec BitmapLayout(uint32_t width, uint32_t height, uint32_t displayBits);

std::string WallpaperPath();     // Prismora.bmp in the data directory
std::string OldWallpaperPath();  // PrismoraOld.bmp beside it

// Saves the last presented frame (stretched to the desktop's size recorded
// at start-up when "Stretch Wallpaper" is on), keeping the previous file as
// PrismoraOld.bmp, asks the desktop to show it, and shows "Wallpaper set!"
// for 4 seconds, or "Wallpaper saved" when the desktop refused it. Every
// failure is logged with an errno code; a failure before the file is
// written leaves the wallpaper alone and shows nothing.
void MakeWallpaper();
