#include "patterns/options.h"

OptionsRec gOptions;
StoredResolutionRec gStoredResolution;
WindowOptionsRec gWindowOptions;
char gHelpFilePath[260] = {};
char gPopupHelpSource[260] = {};

void ResetOptions() {
  gOptions = OptionsRec{};
  gWindowOptions = WindowOptionsRec{};
  gStoredResolution = StoredResolutionRec{};
  gHelpFilePath[0] = '\0';
  gPopupHelpSource[0] = '\0';
}
