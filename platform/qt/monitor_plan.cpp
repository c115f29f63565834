// The layout of the cover windows, apart from the windows themselves so it
// can be checked without a desktop of many monitors.
#include "platform/qt/monitor_plan.h"

#include <algorithm>

std::vector<QRect> PlanMonitorCovers(const std::vector<QRect>& monitors, const QRect& primary) {
  std::vector<QRect> covers;
  for (const QRect& monitor : monitors) {
    if (monitor.isEmpty()) continue;
    if (!primary.isEmpty() && primary.contains(monitor)) continue;
    if (std::find(covers.begin(), covers.end(), monitor) != covers.end()) continue;
    covers.push_back(monitor);
  }
  return covers;
}
