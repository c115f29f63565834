// Output choice, buffer choice and stale tiles of the Wayland window service.
#include "platform/wayland/wayland_tiles.h"

int ChoosePictureOutput(const std::vector<std::string>& names, const std::string& wanted) {
  if (names.empty()) return -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (!wanted.empty() && names[i] == wanted) return int(i);
  }
  return 0;
}

int ChooseFreeBuffer(const bool busy[2]) {
  if (!busy[0]) return 0;
  if (!busy[1]) return 1;
  return -1;
}

void MarkStale(std::vector<uint8_t>* stale, bool* whole, const uint8_t* changed, size_t tileCount,
               bool reshaped) {
  if (reshaped || stale->size() != tileCount) {
    stale->assign(tileCount, 0);
    *whole = true;
    return;
  }
  if (*whole) return;
  if (!changed) {
    *whole = true;
    return;
  }
  for (size_t i = 0; i < tileCount; ++i) (*stale)[i] |= changed[i] != 0 ? 1 : 0;
}
