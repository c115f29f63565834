// Full screen on a desktop of several monitors: the picture's window sits on
// the primary monitor and a borderless window covers each other monitor,
// black or (when asked) showing the same frame, so nothing of the desktop
// stays visible. Input on a cover becomes the same queued messages as input
// on the picture's window, addressed to it. The covers follow monitors as
// they come and go; the picture follows the primary monitor.
#pragma once

#include <vector>

#include "platform/messages.h"
#include "platform/qt/letterbox.h"

class QImage;
class QWindow;

// Covers every monitor but the one main (the full-screen window behind
// handle) is on. With allMonitors the covers show each frame presented in
// main, scaled to fit; else they stay black. Replaces the covers of an
// earlier full-screen window.
void StartMonitorCovers(WindowHandle handle, QWindow* main, bool allMonitors);

// Closes the covers of handle's window; harmless when it has none.
void StopMonitorCovers(WindowHandle handle);

// After a frame of image's size was drawn at picture in handle's window:
// positions on the covers are mapped as that picture maps them, and with
// allMonitors the frame is shown on every cover.
void PresentOnMonitorCovers(WindowHandle handle, const QImage& image, const LetterboxRect& picture);

// Lays the covers out again after monitors were added, removed, resized or
// the primary changed. Run outside the toolkit's event delivery: the
// toolkit's screen signals only mark the layout as stale.
void ApplyMonitorCoverWork();

// The cover windows, for tests.
std::vector<QWindow*> MonitorCoverWindows();
