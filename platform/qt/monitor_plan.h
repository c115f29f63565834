// Which parts of the desktop need a window of their own while the picture
// is full screen on the primary monitor, so that nothing of the desktop
// shows anywhere.
#pragma once

#include <QtCore/QRect>
#include <vector>

// The rectangles, in desktop coordinates, to cover: one for each monitor
// other than the primary, in the order given. A monitor lying wholly inside
// the primary (a mirror of it) needs none, monitors with the same rectangle
// share one, and an empty rectangle is skipped. A monitor that only overlaps
// the primary is covered whole: the picture's window is kept above the
// covers, so the overlap still shows the picture.
std::vector<QRect> PlanMonitorCovers(const std::vector<QRect>& monitors, const QRect& primary);
