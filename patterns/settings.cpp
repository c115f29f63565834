#include <cstdio>

#include "engine/effects.h"
#include "patterns/options.h"
#include "patterns/preset.h"
#include "platform/window.h"
#include "render/display.h"

OptionsRec gOptions;

namespace {

void DeriveScreenSize() {
  uint32_t width = 640, height = 480;
  if (!gWindowMode) {
    unsigned long w = 0, h = 0;
    if (std::sscanf(gOptions.Resolution, "%lu x %lu", &w, &h) == 2 && w >= 320 && h >= 200) {
      width = uint32_t(w);
      height = uint32_t(h);
    }
  }
  gScreenWidth = width;
  gScreenHeight = height;
}

}  // namespace

bool GetSettings(bool patternsOnly) {
  if (!patternsOnly) {
    gOptions = OptionsRec{};
    uint32_t w = 640, h = 480, depth = 32;
    if (gWindows) gWindows->desktop(&w, &h, &depth);
    std::snprintf(gOptions.Resolution, sizeof gOptions.Resolution, "%lu x %lu", (unsigned long)w,
                  (unsigned long)h);
    gCurrentPattern = 17;
    gMaxEffects = gOptions.Simple ? 2 : 32;
    gActiveEffects = 0;
  }
  if (!AllocateStandardPatternTable()) return false;
  if (gCurrentPattern >= gPatternCount) gCurrentPattern = gPatternCount - 1;
  DeriveScreenSize();
  return true;
}

void ResetOptions() { gOptions = OptionsRec{}; }
