// Writing the options, one pattern or one frequency to the store.
#include <cstring>
#include <string>

#include "patterns/options.h"
#include "patterns/preset.h"
#include "patterns/settings_layout.h"
#include "patterns/settings_store.h"

void SaveSettings() {
  HKEY main = nullptr;
  uint32_t disposition = 0;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_WRITE, &main, &disposition) != ERROR_SUCCESS)
    return;
  WriteDword(main, "Show More Options", gOptions.ShowMoreOptions);
  if (!gStoredResolution.keep)
    WriteText(main, "Resolution", gOptions.Resolution);
  else if (gStoredResolution.text[0])
    WriteText(main, "Resolution", gStoredResolution.text);
  WriteDword(main, "Preset", int32_t(gCurrentPattern));
  for (const DwordOption& option : kOptionsAfterPreset)
    WriteDword(main, option.name,
               option.field ? gOptions.*option.field : int32_t(gOptions.*option.unsignedField));
  RegCloseKey(main);
}

void SavePattern(uint32_t index) {
  if (!gPresets || index >= gPatternCount) return;
  Preset& p = gPresets[index];
  if (index < kStandardPatternCount) p.Modified = 1;
  // A name that is not one key name would write into some other key.
  if (RegCheckKeyName(p.Name) != ERROR_SUCCESS) return;
  std::string path = std::string(kPatternsKeyPath) + "\\" + p.Name;
  HKEY key = nullptr;
  uint32_t disposition = 0;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_WRITE, &key, &disposition) != ERROR_SUCCESS) return;
  for (const PatternValue& value : kPatternValuesBeforeInc) WriteDword(key, value.name, p.*value.field);
  uint32_t raw = 0;
  std::memcpy(&raw, &p.SpiralInc, 4);
  const uint8_t bits[4] = {uint8_t(raw), uint8_t(raw >> 8), uint8_t(raw >> 16), uint8_t(raw >> 24)};
  WriteBinary(key, "Spiral Inc", bits, 4);
  for (const PatternValue& value : kPatternFlagsAfterInc) WriteDword(key, value.name, p.*value.field);
  if (p.Grabbed) WriteBinary(key, "Grabbed Settings", p.GrabbedSettings, sizeof p.GrabbedSettings);
  RegCloseKey(key);
}

void SaveFrequency(uint32_t index) {
  if (!gPresets || index >= gPatternCount || RegCheckKeyName(gPresets[index].Name) != ERROR_SUCCESS) return;
  HKEY key = nullptr;
  uint32_t disposition = 0;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, kFrequenciesKeyPath, KEY_WRITE, &key, &disposition) != ERROR_SUCCESS)
    return;
  WriteDword(key, gPresets[index].Name, gPresets[index].Frequency);
  RegCloseKey(key);
}
