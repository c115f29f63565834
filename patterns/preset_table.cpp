// The in-memory pattern table and the byte-level access to a grabbed
// pattern's effect states.
#include <bit>
#include <cstdlib>
#include <cstring>

#include "patterns/preset.h"
#include "patterns/settings_store.h"

Preset* gPresets = nullptr;
uint32_t gPatternCount = 0;
uint32_t gCurrentPattern = 0;

bool AllocateStandardPatternTable() {
  FreePatternTable();
  // Plain heap memory, because the table grows one record at a time by
  // realloc. Preset is an implicit-lifetime aggregate whose defaults are all
  // zero, so zeroed memory is a set of default records.
  void* table = calloc(kStandardPatternCount, sizeof(Preset));
  if (!table) return false;
  gPresets = static_cast<Preset*>(table);
  gPatternCount = kStandardPatternCount;
  for (uint32_t index = 0; index < kStandardPatternCount; ++index) {
    SetStandardPattern(index);
    gPresets[index].Frequency = 50;
  }
  return true;
}

int AppendPattern() {
  void* grown = realloc(static_cast<void*>(gPresets), (size_t(gPatternCount) + 1) * sizeof(Preset));
  if (!grown) return -1;
  gPresets = static_cast<Preset*>(grown);
  gPresets[gPatternCount] = Preset{};
  return int(gPatternCount++);
}

void FreePatternTable() {
  free(static_cast<void*>(gPresets));
  gPresets = nullptr;
  gPatternCount = 0;
}

void ResetPatterns() {
  FreePatternTable();
  gCurrentPattern = 0;
}

namespace {

bool SlotInRange(int slot) { return slot >= 0 && slot < kGrabbedSlotCount; }

uint32_t ReadSlotBits(const Preset& preset, int slot) {
  const uint8_t* p = preset.GrabbedSettings + slot * 4;
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WriteSlotBits(Preset& preset, int slot, uint32_t bits) {
  uint8_t* p = preset.GrabbedSettings + slot * 4;
  p[0] = uint8_t(bits);
  p[1] = uint8_t(bits >> 8);
  p[2] = uint8_t(bits >> 16);
  p[3] = uint8_t(bits >> 24);
}

}  // namespace

int32_t GetGrabbedSlot(const Preset& preset, int slot) {
  if (!SlotInRange(slot)) return 0;
  return int32_t(ReadSlotBits(preset, slot));
}

void SetGrabbedSlot(Preset& preset, int slot, int32_t value) {
  if (!SlotInRange(slot)) return;
  WriteSlotBits(preset, slot, uint32_t(value));
}

float GetGrabbedSlotFloat(const Preset& preset, int slot) {
  if (!SlotInRange(slot)) return 0.0f;
  return std::bit_cast<float>(ReadSlotBits(preset, slot));
}

void SetGrabbedSlotFloat(Preset& preset, int slot, float value) {
  if (!SlotInRange(slot)) return;
  WriteSlotBits(preset, slot, std::bit_cast<uint32_t>(value));
}

int StandardPatternIndex(const char* name) {
  for (uint32_t i = 0; gPresets && i < kStandardPatternCount && i < gPatternCount; ++i)
    if (NamesEqualIgnoringCase(name, gPresets[i].Name)) return int(i);
  return -1;
}
