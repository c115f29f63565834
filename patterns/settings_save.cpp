// Writing the options, one pattern or one frequency to the store.
#include <cstring>
#include <string>

#include "patterns/options.h"
#include "patterns/preset.h"
#include "patterns/settings_layout.h"
#include "patterns/settings_store.h"

// The writes of one save stop at the first that fails: the rest would fail
// the same way, and the settings stay in memory.
bool SaveSettings() {
  HKEY main = nullptr;
  uint32_t disposition = 0;
  long result = RegCreateKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_WRITE, &main, &disposition);
  if (result != ERROR_SUCCESS) return LogSaveFailure("SaveSettings", result);
  result = WriteDword(main, "Show More Options", gOptions.ShowMoreOptions);
  if (result != ERROR_SUCCESS) {
  } else if (!gStoredResolution.keep) {
    result = WriteText(main, "Resolution", gOptions.Resolution);
  } else if (gStoredResolution.text[0]) {
    result = WriteText(main, "Resolution", gStoredResolution.text);
  }
  if (result == ERROR_SUCCESS) result = WriteDword(main, "Preset", int32_t(gCurrentPattern));
  for (const DwordOption& option : kOptionsAfterPreset)
    if (result == ERROR_SUCCESS)
      result = WriteDword(main, option.name,
                          option.field ? gOptions.*option.field : int32_t(gOptions.*option.unsignedField));
  RegCloseKey(main);
  return result == ERROR_SUCCESS || LogSaveFailure("SaveSettings", result);
}

bool SavePattern(uint32_t index) {
  if (!gPresets || index >= gPatternCount) return false;
  Preset& p = gPresets[index];
  if (index < kStandardPatternCount) p.Modified = 1;
  // A name that is not one key name would write into some other key.
  if (RegCheckKeyName(p.Name) != ERROR_SUCCESS) return false;
  std::string path = std::string(kPatternsKeyPath) + "\\" + p.Name;
  HKEY key = nullptr;
  uint32_t disposition = 0;
  long result = RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_WRITE, &key, &disposition);
  if (result != ERROR_SUCCESS) return LogSaveFailure("SavePattern", result);
  for (const PatternValue& value : kPatternValuesBeforeInc)
    if (result == ERROR_SUCCESS) result = WriteDword(key, value.name, p.*value.field);
  uint32_t raw = 0;
  std::memcpy(&raw, &p.SpiralInc, 4);
  const uint8_t bits[4] = {uint8_t(raw), uint8_t(raw >> 8), uint8_t(raw >> 16), uint8_t(raw >> 24)};
  if (result == ERROR_SUCCESS) result = WriteBinary(key, "Spiral Inc", bits, 4);
  for (const PatternValue& value : kPatternFlagsAfterInc)
    if (result == ERROR_SUCCESS) result = WriteDword(key, value.name, p.*value.field);
  if (result == ERROR_SUCCESS && p.Grabbed)
    result = WriteBinary(key, "Grabbed Settings", p.GrabbedSettings, sizeof p.GrabbedSettings);
  RegCloseKey(key);
  return result == ERROR_SUCCESS || LogSaveFailure("SavePattern", result);
}

bool SaveFrequency(uint32_t index) {
  if (!gPresets || index >= gPatternCount || RegCheckKeyName(gPresets[index].Name) != ERROR_SUCCESS)
    return false;
  HKEY key = nullptr;
  uint32_t disposition = 0;
  long result = RegCreateKeyEx(HKEY_CURRENT_USER, kFrequenciesKeyPath, KEY_WRITE, &key, &disposition);
  if (result == ERROR_SUCCESS) {
    result = WriteDword(key, gPresets[index].Name, gPresets[index].Frequency);
    RegCloseKey(key);
  }
  return result == ERROR_SUCCESS || LogSaveFailure("SaveFrequency", result);
}
