// The windowed player's own options.
#include "patterns/options.h"
#include "patterns/settings_store.h"

void LoadWindowSettings() {
  gWindowOptions = WindowOptionsRec{};
  WindowOptionsRec defaults;
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kWindowKeyPath, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    for (const WindowOptionField& option : kWindowOptionFields)
      gWindowOptions.*option.field = ReadDword(key, option.name, defaults.*option.field);
    RegCloseKey(key);
  }
  if (gWindowOptions.WindowState == 2) gWindowOptions.WindowState = 1;
}

bool SaveWindowSettings(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t showState) {
  // Kept in memory for this run whether or not the store takes them.
  gWindowOptions.WindowLeft = left;
  gWindowOptions.WindowTop = top;
  gWindowOptions.WindowWidth = right - left;
  gWindowOptions.WindowHeight = bottom - top;
  gWindowOptions.WindowState = showState;
  HKEY key = nullptr;
  uint32_t disposition = 0;
  long result = RegCreateKeyEx(HKEY_CURRENT_USER, kWindowKeyPath, KEY_WRITE, &key, &disposition);
  if (result != ERROR_SUCCESS) return LogSaveFailure("SaveWindowSettings", result);
  for (const WindowOptionField& option : kWindowOptionFields)
    if (result == ERROR_SUCCESS) result = WriteDword(key, option.name, gWindowOptions.*option.field);
  RegCloseKey(key);
  return result == ERROR_SUCCESS || LogSaveFailure("SaveWindowSettings", result);
}
