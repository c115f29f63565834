// The wallpaper service of a Linux desktop session.
#pragma once

// Points gWallpaper at the desktop's own wallpaper call.
void InstallDesktopWallpaper();
