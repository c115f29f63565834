#include "patterns/pattern_library.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "diag/log.h"
#include "engine/effects.h"
#include "engine/grabbed_slots.h"
#include "patterns/options.h"
#include "patterns/pattern_selection.h"
#include "patterns/preset.h"
#include "patterns/settings_store.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "render/text_overlay.h"

namespace {

bool StoredPatternExists(const char* name) {
  std::string path = std::string(kPatternsKeyPath) + "\\" + name;
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A name the store keeps as one pattern key and one frequency value, and
// that comes back whole when the patterns are enumerated.
bool StorableName(const char* name) {
  return std::strlen(name) <= size_t(kPatternNameMax) && RegCheckKeyName(name) == ERROR_SUCCESS &&
         RegCheckValueName(name) == ERROR_SUCCESS;
}

void CopyName(char* target, const char* name) { std::snprintf(target, sizeof Preset::Name, "%s", name); }

}  // namespace

void FreeGrabName(const char* base, char* name, uint32_t capacity) {
  // Cutting the whole "base #n" to the name length could cut the number
  // away, and every n would then give the same taken name; cutting only the
  // base keeps each candidate distinct, so the probe always ends.
  for (uint32_t n = 1;; ++n) {
    char suffix[16];
    int suffixLength = std::snprintf(suffix, sizeof suffix, " #%u", n);
    int baseRoom = kPatternNameMax - suffixLength;
    std::snprintf(name, capacity, "%.*s%s", baseRoom, base, suffix);
    if (!StoredPatternExists(name)) return;
  }
}

void CaptureGrabbedSettings(uint8_t block[]) {
  Preset holder;
  auto capture = [&holder](const SlotEffect& flag) {
    SetGrabbedSlot(holder, flag.slot, gEffects.slot[flag.id].on);
  };
  for (const SlotEffect& flag : kGrabbedCopiedEffects) capture(flag);
  for (const SlotEffect& flag : kGrabbedSwitchedEffects) capture(flag);
  for (const SlotEffect& flag : kGrabbedRuledEffects) capture(flag);
  const EffectParamsRec& p = gEffects.params;
  SetGrabbedSlot(holder, kSlotOneColourSpeedMode, p.oneColourSpeedMode);
  for (int channel = 0; channel < 3; ++channel) {
    SetGrabbedSlot(holder, kSlotOneColourMultiplier1 + channel, p.oneColourMultiplier[channel]);
    SetGrabbedSlotFloat(holder, kSlotOneColourRate1 + channel, p.oneColourRate[channel]);
  }
  SetGrabbedSlot(holder, kSlotOneColourThreshold, p.oneColourThreshold);
  SetGrabbedSlot(holder, kSlotOneColourPeriod, p.oneColourPeriod);
  SetGrabbedSlot(holder, kSlotTunnelPhase, p.tunnelPhase);
  SetGrabbedSlotFloat(holder, kSlotTwistyRadius, p.twistyRadius);
  SetGrabbedSlot(holder, kSlotFlickMode, p.flickMode);
  SetGrabbedSlot(holder, kSlotColourCycleMode, p.colourCycleMode);
  SetGrabbedSlot(holder, kSlotPaletteChoice, p.paletteChoice);
  std::memcpy(block, holder.GrabbedSettings, sizeof holder.GrabbedSettings);
}

void GrabPattern() {
  if (!gPresets || gCurrentPattern >= gPatternCount) return;
  if (!AddPatternSlot()) return;
  uint32_t index = gPatternCount - 1;
  Preset& grab = gPresets[index];
  grab = gPresets[gCurrentPattern];
  grab.Grabbed = 1;
  FreeGrabName(gPresets[gCurrentPattern].Name, grab.Name, sizeof grab.Name);
  CaptureGrabbedSettings(grab.GrabbedSettings);
  SavePattern(index);
  SaveFrequency(index);
  char notice[64];
  std::snprintf(notice, sizeof notice, "Grabbed %s", grab.Name);
  ShowTimedNotice(&gTextOverlay.grabNotice, notice);
}

bool CopyPattern(uint32_t source, const PatternControlValues& controls, const char* name) {
  if (!gPresets || source >= gPatternCount) return false;
  int index = AppendPattern();
  if (index < 0) {
    ReportError("A system error occurred copying the preset.");
    return false;
  }
  Preset& copy = gPresets[index];
  const Preset& from = gPresets[source];
  CopyName(copy.Name, name);
  copy.TrailLength = controls.TrailLength;
  copy.TrailWidth = controls.TrailWidth;
  copy.TrailDensity = controls.TrailDensity;
  copy.TrailKinkiness = controls.TrailKinkiness;
  copy.Sparkliness = controls.Sparkliness;
  copy.Sparkle = controls.Sparkle;
  copy.FadeSpeed = controls.FadeSpeed;
  copy.ColourSpeed = controls.ColourSpeed;
  copy.NumberOfTrails = controls.NumberOfTrails;
  copy.JumpSpeed = controls.JumpSpeed;
  copy.Frequency = controls.Frequency;
  copy.AlwaysFadeHead = controls.AlwaysFadeHead;
  copy.AlwaysQuicksand = controls.AlwaysQuicksand;
  copy.SpiralTrail = from.SpiralTrail;
  copy.SpiralInc = from.SpiralInc;
  SavePattern(uint32_t(index));
  SaveFrequency(uint32_t(index));
  return true;
}

void RenamePattern(uint32_t index, const char* name) {
  if (!gPresets || index < kStandardPatternCount || index >= gPatternCount) return;
  DeletePatternKeys(index);
  CopyName(gPresets[index].Name, name);
  SavePattern(index);
  SaveFrequency(index);
}

void DeletePatternKeys(uint32_t index) {
  if (!gPresets || index >= gPatternCount) return;
  const char* name = gPresets[index].Name;
  // An empty name would name the patterns key itself and delete them all.
  if (RegCheckKeyName(name) != ERROR_SUCCESS) return;
  HKEY patterns = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kPatternsKeyPath, KEY_ALL_ACCESS, &patterns) == ERROR_SUCCESS) {
    RegDeleteKey(patterns, name);
    if (index > kStandardPatternCount) {
      HKEY main = nullptr;
      if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_ALL_ACCESS, &main) == ERROR_SUCCESS) {
        WriteDword(main, "Preset", int32_t(index - 1));
        RegCloseKey(main);
      }
    }
    RegCloseKey(patterns);
  }
  HKEY frequencies = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kFrequenciesKeyPath, KEY_ALL_ACCESS, &frequencies) == ERROR_SUCCESS) {
    RegDeleteValue(frequencies, name);
    RegCloseKey(frequencies);
  }
}

void ClearFrequencies() {
  HKEY main = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_ALL_ACCESS, &main) != ERROR_SUCCESS) return;
  RegDeleteKey(main, "Frequencies");
  RegCloseKey(main);
}

bool CheckPatternName(const char* name) {
  char text[200];
  if (name[0] != '\0' && !StorableName(name)) {
    std::snprintf(text, sizeof text,
                  "\"%.40s\" can't be used as a pattern name.\nUse at most %d characters, and no backslash.",
                  name, kPatternNameMax);
    ReportError(text);
    return false;
  }
  for (uint32_t i = 0; gPresets && i < gPatternCount; ++i) {
    if (NamesEqualIgnoringCase(name, gPresets[i].Name)) {
      std::snprintf(text, sizeof text, "There is already a pattern called \"%s\".\nChoose a different name.",
                    name);
      ReportError(text);
      return false;
    }
  }
  return true;
}
