#include "tests/support/headless_engine.h"

#include "engine/engine.h"
#include "patterns/options.h"
#include "patterns/pattern_apply.h"
#include "patterns/preset.h"
#include "render/display.h"

void StartHeadlessEngine(unsigned width, unsigned height, unsigned pattern) {
  GetSettings(false);
  gScreenWidth = width;
  gScreenHeight = height;
  gCurrentPattern = pattern;
  ApplyPattern();
  DDInitialise(1);
  InitialiseEngine();
}
