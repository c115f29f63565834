// PNG files of presented frames, for the render command and for people to
// look at what a test drew.
#pragma once
#include <cstdint>
#include <string>

#include "platform/window.h"

// One row of frame as R, G, B bytes (width * 3 of them). 5- and 6-bit
// channels repeat their top bits in the low ones, so full scale is 255.
void FrameRowToRgb(const FrameImage& frame, uint32_t y, uint8_t* rgb);

// Writes frame (16 = 5-6-5, 24 = bytes B,G,R, 32 = 0x00RRGGBB) to path as an
// 8-bit RGB PNG; the same frame always gives the same bytes. False with a
// one-line reason in *error when the frame is empty or of another depth, or
// the file cannot be written.
bool SaveFramePng(const std::string& path, const FrameImage& frame, std::string* error);
