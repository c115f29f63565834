// The background of an X11 root window, for sessions without a desktop
// that keeps its own wallpaper setting.
#pragma once

#include "platform/window.h"

// Makes picture the root window's background on $DISPLAY's default screen
// and announces it through _XROOTPMAP_ID and ESETROOT_PMAP_ID, so that
// other programs find it; the pixmap outlives the program. The pixmap left
// by an earlier setter is released. 0, or ECONNREFUSED when the display
// cannot be opened, ENOTSUP for a root depth it cannot fill, EIO when the
// server refused a request.
int SetX11RootBackground(const FrameImage& picture);
