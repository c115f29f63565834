// Loading the options, the pattern table and the frequencies from the store.
#include <cstdio>
#include <cstring>
#include <string>

#include "diag/log.h"
#include "engine/effects.h"
#include "music/music_list.h"
#include "patterns/options.h"
#include "patterns/pattern_bounds.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "patterns/settings_layout.h"
#include "patterns/settings_store.h"
#include "platform/directories.h"
#include "platform/window.h"
#include "render/display.h"

namespace {

void ReadOptions(HKEY main, bool patternsOnly, const char* defaultResolution) {
  OptionsRec defaults;
  gCurrentPattern = uint32_t(ReadDword(main, "Preset", 17));
  if (patternsOnly) return;
  gOptions.ShowMoreOptions = ReadDword(main, "Show More Options", defaults.ShowMoreOptions);
  ReadText(main, "Resolution", gStoredResolution.text, sizeof gStoredResolution.text, "");
  ReadText(main, "Resolution", gOptions.Resolution, sizeof gOptions.Resolution, defaultResolution);
  for (const DwordOption& option : kOptionsAfterPreset) {
    if (option.field)
      gOptions.*option.field = ReadDword(main, option.name, defaults.*option.field);
    else
      gOptions.*option.unsignedField =
          uint32_t(ReadDword(main, option.name, int32_t(defaults.*option.unsignedField)));
  }
}

// Reads one stored pattern into record target; every missing value takes
// pattern 17's built-in value.
void ReadPattern(HKEY key, Preset& target, const Preset& defaults) {
  for (const PatternValue& value : kPatternValuesBeforeInc)
    target.*value.field = ReadDword(key, value.name, defaults.*value.field);
  uint8_t bits[4];
  if (ReadBinary(key, "Spiral Inc", bits, 4)) {
    uint32_t raw =
        uint32_t(bits[0]) | uint32_t(bits[1]) << 8 | uint32_t(bits[2]) << 16 | uint32_t(bits[3]) << 24;
    std::memcpy(&target.SpiralInc, &raw, 4);
  } else {
    target.SpiralInc = defaults.SpiralInc;
  }
  for (const PatternValue& value : kPatternFlagsAfterInc) target.*value.field = ReadDword(key, value.name, 0);
  if (target.Grabbed) {
    std::memset(target.GrabbedSettings, 0, sizeof target.GrabbedSettings);
    uint8_t block[sizeof target.GrabbedSettings];
    if (ReadBinary(key, "Grabbed Settings", block, sizeof block))
      std::memcpy(target.GrabbedSettings, block, sizeof block);
  }
}

// False when growing the table failed (already reported): loading stops.
bool ReadStoredPatterns(const Preset& defaults) {
  HKEY patterns = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kPatternsKeyPath, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE,
                   &patterns) != ERROR_SUCCESS)
    return true;
  bool ok = true;
  char name[32];
  for (uint32_t index = 0; SubkeyName(patterns, index, name); ++index) {
    int target = StandardPatternIndex(name);
    if (target >= 0) gPresets[target].Modified = 1;
    HKEY key = nullptr;
    if (RegOpenKeyEx(patterns, name, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
      LogDebug("Couldn't open registry key \"%s\" for setting \"%s\"\n", kPatternsKeyPath, name);
      continue;
    }
    if (target < 0) {
      if (!AddPatternSlot()) {
        RegCloseKey(key);
        ok = false;
        break;
      }
      target = int(gPatternCount - 1);
    }
    Preset& record = gPresets[target];
    std::snprintf(record.Name, sizeof record.Name, "%s", name);
    ReadPattern(key, record, defaults);
    BoundPatternValues(record, defaults.SpiralInc);
    if (target >= int(kStandardPatternCount)) record.PaintRule = 0;
    RegCloseKey(key);
  }
  RegCloseKey(patterns);
  return ok;
}

void ReadFrequencies() {
  ResetFrequencies();
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kFrequenciesKeyPath, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  for (uint32_t index = 0;; ++index) {
    char name[32];
    uint8_t data[4] = {};
    uint32_t nameSize = 31, type = 0, dataSize = 4;
    long result = RegEnumValue(key, index, name, &nameSize, &type, data, &dataSize);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) break;
    name[31] = '\0';
    // Anything but a four-byte number is unreadable and leaves the default.
    if (result != ERROR_SUCCESS || type != REG_DWORD || dataSize != 4) continue;
    for (uint32_t i = 0; i < gPatternCount; ++i) {
      if (std::strcmp(gPresets[i].Name, name) == 0) {
        gPresets[i].Frequency = data[0];
        break;
      }
    }
  }
  RegCloseKey(key);
}

// The drawing size: 640 x 480 in a window; otherwise the stored
// "Resolution" when the display offers it, else the first mode it offers.
void DeriveScreenSize() {
  if (gWindowMode) {
    gScreenWidth = 640;
    gScreenHeight = 480;
    return;
  }
  char list[kResolutionListSize][kResolutionTextSize];
  uint32_t count = 0;
  DDGetResolutions(list, &count);
  if (count == 0) {
    // A desktop smaller than every size offered (a host's wide but short
    // window) is drawn at its own size.
    uint32_t width = 0, height = 0, depth = 0;
    gWindows->desktop(&width, &height, &depth);
    if (width > 0 && height > 0) {
      std::snprintf(gOptions.Resolution, sizeof gOptions.Resolution, "%lu x %lu", (unsigned long)width,
                    (unsigned long)height);
    }
  }
  bool available = false;
  for (uint32_t i = 0; i < count; ++i)
    if (std::strcmp(list[i], gOptions.Resolution) == 0) available = true;
  if (!available && count > 0) std::snprintf(gOptions.Resolution, sizeof gOptions.Resolution, "%s", list[0]);
  unsigned long width = 0, height = 0;
  if (std::sscanf(gOptions.Resolution, "%lu x %lu", &width, &height) != 2 || width < 1 || height < 1) {
    width = 640;
    height = 480;
  }
  gScreenWidth = uint32_t(width);
  gScreenHeight = uint32_t(height);
}

}  // namespace

bool GetSettings(bool patternsOnly) {
  HKEY main = nullptr;
  long opened = RegOpenKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_QUERY_VALUE, &main);
  if (opened != ERROR_SUCCESS) {
    char text[128];
    std::snprintf(text, sizeof text, "Can't find the installation directory!\n[Error Code: %ld]", opened);
    ReportError(text);
    return false;
  }
  char installDir[260];
  ReadText(main, nullptr, installDir, sizeof installDir, "");
  RegCloseKey(main);
  if (installDir[0] == '\0' || !DirectoryExists(installDir)) {
    ReportError("Can't find the installation directory!\nPlease reinstall Prismora.");
    return false;
  }
  // The help is a set of HTML pages with the pop-up topics beside them.
  std::snprintf(gHelpFilePath, sizeof gHelpFilePath, "%s/%s", installDir, kHelpPage);
  std::snprintf(gPopupHelpSource, sizeof gPopupHelpSource, "%s/%s", installDir, kPopupTopics);

  if (!AllocateStandardPatternTable()) {
    LogDebug("GetSettings: Allocating memory for gPresets failed.\n");
    return false;
  }
  const Preset defaults = gPresets[kDefaultsPattern];
  FreeMusicList();

  uint32_t desktopWidth = 640, desktopHeight = 480, depth = 32;
  if (gWindows) gWindows->desktop(&desktopWidth, &desktopHeight, &depth);
  char defaultResolution[30];
  std::snprintf(defaultResolution, sizeof defaultResolution, "%lu x %lu", (unsigned long)desktopWidth,
                (unsigned long)desktopHeight);

  if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_QUERY_VALUE, &main) != ERROR_SUCCESS) {
    gOptions = OptionsRec{};
    gStoredResolution.text[0] = '\0';
    std::snprintf(gOptions.Resolution, sizeof gOptions.Resolution, "%s", defaultResolution);
    gCurrentPattern = 17;
    ResetFrequencies();
  } else {
    ReadOptions(main, patternsOnly, defaultResolution);
    bool complete = ReadStoredPatterns(defaults) && LoadMusicList();
    // Clamped even when loading stopped, so the index always names a record.
    if (gCurrentPattern > gPatternCount - 1) gCurrentPattern = gPatternCount - 1;
    if (!complete) {
      RegCloseKey(main);
      return true;
    }
    ReadFrequencies();
    if (CountNeverPatterns() == gPatternCount - 1) gOptions.MorphSettings = 0;
    RegCloseKey(main);
  }
  DeriveScreenSize();
  gMaxEffects = gOptions.Simple ? 2 : 32;
  gActiveEffects = 0;
  SaveSettings();
  return true;
}
