// Writes a presented frame as a PNG file for a person to look at.
#pragma once
#include <string>

#include "platform/window.h"

// 16 (5-6-5), 24 (B,G,R) and 32 (0x00RRGGBB) bits per pixel; false when the
// file cannot be written or the depth is none of these.
bool WriteFramePng(const std::string& path, const FrameImage& frame);
