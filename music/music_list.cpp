#include "music/music_list.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "diag/log.h"
#include "patterns/options.h"
#include "platform/registry.h"

MusicEntry* gMusicList = nullptr;
int32_t gMusicCount = 0;

namespace {

constexpr const char* kMusicKeyPath = "Software\\Quillfen\\Prismora\\Music";

struct BuiltInMusic {
  const char* location;
  const char* display;
};

const BuiltInMusic kBuiltInMusic[kBuiltInMusicCount] = {
    {"", "\"Prism Drift\" by the Prismora developers, the track built into the program"},
    {"https://somafm.com/dronezone.pls", "SomaFM - Ambient (somafm.com/dronezone.pls)"},
    {"https://somafm.com/groovesalad.pls", "SomaFM - Chillout (somafm.com/groovesalad.pls)"},
    {"http://radio.stereoscenic.com/asp-h.m3u",
     "Stereoscenic - Ambient & Chill (http://radio.stereoscenic.com/asp-h.m3u)"},
};

// Grows the list by one zeroed entry; false when memory ran out.
bool GrowMusicList() {
  MusicEntry* grown = new (std::nothrow) MusicEntry[size_t(gMusicCount) + 1]();
  if (!grown) return false;
  if (gMusicList) std::memcpy(grown, gMusicList, sizeof(MusicEntry) * size_t(gMusicCount));
  delete[] gMusicList;
  gMusicList = grown;
  gMusicCount += 1;
  return true;
}

}  // namespace

bool LoadMusicList() {
  FreeMusicList();
  gMusicList = new (std::nothrow) MusicEntry[kBuiltInMusicCount]();
  if (!gMusicList) {
    ReportError("A system error occurred reading music settings.");
    return false;
  }
  for (int32_t i = 0; i < kBuiltInMusicCount; ++i) {
    std::snprintf(gMusicList[i].location, sizeof gMusicList[i].location, "%s", kBuiltInMusic[i].location);
    std::snprintf(gMusicList[i].display, sizeof gMusicList[i].display, "%s", kBuiltInMusic[i].display);
    gMusicList[i].number = i;
  }
  gMusicCount = kBuiltInMusicCount;
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kMusicKeyPath, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    LogDebug("Couldn't open registry key \"%s\"\n", kMusicKeyPath);
    return true;
  }
  bool ok = true;
  for (uint32_t index = 0;; ++index) {
    // Numbers of any length are read whole, so entries from 100 up keep theirs.
    char name[16] = {};
    char data[260] = {};
    // Text comes with its terminator: 259 characters fill the record.
    uint32_t nameSize = sizeof name, type = 0, dataSize = sizeof data;
    long result =
        RegEnumValue(key, index, name, &nameSize, &type, reinterpret_cast<uint8_t*>(data), &dataSize);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) break;
    // A location too long to open, or a name too long to be a number, would
    // come through empty: an entry that plays something else.
    if (result == ERROR_MORE_DATA) {
      LogDebug("LoadMusicList: music entry %u does not fit and was left out (%lu bytes)\n", index,
               (unsigned long)dataSize);
      continue;
    }
    if (type != REG_SZ) continue;
    if (!GrowMusicList()) {
      ReportError("A system error occurred reading music settings.");
      ok = false;
      break;
    }
    MusicEntry& entry = gMusicList[gMusicCount - 1];
    std::snprintf(entry.location, sizeof entry.location, "%s", data);
    std::snprintf(entry.display, sizeof entry.display, "%s", data);
    entry.number = int32_t(std::atol(name));
  }
  RegCloseKey(key);
  return ok;
}

void FreeMusicList() {
  delete[] gMusicList;
  gMusicList = nullptr;
  gMusicCount = 0;
}

const char* MusicEntryLocation(int32_t number) {
  for (int32_t i = 0; i < gMusicCount; ++i)
    if (gMusicList[i].number == number) return gMusicList[i].location;
  return "";
}

void ResetMusicList() { FreeMusicList(); }

namespace {

int32_t LargerNumber(int32_t largest, int32_t number) { return number > largest ? number : largest; }

}  // namespace

int32_t NewMusicNumber(const MusicComboItem* items, int32_t itemCount) {
  // Never below the built-in numbers, which a user entry must not shadow.
  int32_t largest = kBuiltInMusicCount - 1;
  for (int32_t i = kMusicComboFixedItems; i < itemCount; ++i)
    largest = LargerNumber(largest, items[i].number);
  return largest + 1;
}

int32_t NewMusicListNumber() {
  int32_t largest = kBuiltInMusicCount - 1;
  for (int32_t i = 0; i < gMusicCount; ++i) largest = LargerNumber(largest, gMusicList[i].number);
  return largest + 1;
}

void SaveMusicList(const MusicComboItem* items, int32_t itemCount, bool itemSelected, const char* typedText) {
  SHDeleteKey(HKEY_CURRENT_USER, kMusicKeyPath);
  HKEY key = nullptr;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, kMusicKeyPath, KEY_WRITE, &key, nullptr) != ERROR_SUCCESS) return;
  char name[16];
  for (int32_t i = kMusicComboFixedItems; i < itemCount; ++i) {
    std::snprintf(name, sizeof name, "%d", items[i].number);
    RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const uint8_t*>(items[i].text),
                  uint32_t(std::strlen(items[i].text)));
  }
  if (!itemSelected && typedText) {
    char text[260];
    std::snprintf(text, sizeof text, "%s", typedText);
    int32_t number = NewMusicNumber(items, itemCount);
    gOptions.MusicIndex = number;
    std::snprintf(name, sizeof name, "%d", number);
    RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const uint8_t*>(text), uint32_t(std::strlen(text)));
    if (gMusicList) {
      std::snprintf(gMusicList[0].location, sizeof gMusicList[0].location, "%s", text);
      std::snprintf(gMusicList[0].display, sizeof gMusicList[0].display, "%s", text);
      gMusicList[0].number = number;
    }
  }
  RegCloseKey(key);
}
