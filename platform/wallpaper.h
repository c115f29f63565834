// The wallpaper service: making a picture file the desktop's background in
// the way the running desktop expects it (its own settings tool, or the root
// window's background on a plain X11 session).
#pragma once
#include <cstdint>

#include "platform/window.h"

struct WallpaperService {
  // Makes the file at path (a BMP the program has just written) the desktop
  // background. picture holds the same picture in memory for desktops that
  // take pixels rather than a file. Returns 0 on success, else an errno
  // code: ENOENT when the desktop's tool is not installed, EIO when it ran
  // and failed, ETIMEDOUT when it did not finish in time, ENOTSUP when no
  // known desktop is running, ECONNREFUSED when the X server cannot be
  // reached, EINVAL for a path the desktop's tool cannot be given safely.
  int (*setWallpaper)(const char* path, const FrameImage& picture);
};

// nullptr where the host has no desktop (the wallpaper call then fails with ENOTSUP).
extern const WallpaperService* gWallpaper;
