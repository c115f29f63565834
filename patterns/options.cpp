#include "patterns/options.h"

OptionsRec gOptions;
WindowOptionsRec gWindowOptions;
char gHelpFilePath[260] = {};
char gPopupHelpSource[260] = {};

void ResetOptions() {
  gOptions = OptionsRec{};
  gWindowOptions = WindowOptionsRec{};
  gHelpFilePath[0] = '\0';
  gPopupHelpSource[0] = '\0';
}
