#include "patterns/settings_store.h"

#include <cstring>

#include "diag/log.h"

bool NamesEqualIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char ca = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
    char cb = *b >= 'A' && *b <= 'Z' ? char(*b + 32) : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

int32_t ReadDword(HKEY key, const char* name, int32_t fallback) {
  uint8_t data[4];
  uint32_t type = 0, size = sizeof data;
  if (RegQueryValueEx(key, name, &type, data, &size) != ERROR_SUCCESS || type != REG_DWORD || size != 4)
    return fallback;
  return int32_t(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                 uint32_t(data[3]) << 24);
}

void ReadText(HKEY key, const char* name, char* buffer, uint32_t capacity, const char* fallback) {
  uint32_t type = 0, size = capacity;
  long result = RegQueryValueEx(key, name, &type, reinterpret_cast<uint8_t*>(buffer), &size);
  if (result != ERROR_SUCCESS || type != REG_SZ) {
    std::strncpy(buffer, fallback, capacity - 1);
    buffer[capacity - 1] = '\0';
    return;
  }
  // Writers store text without its terminator; readers terminate it.
  buffer[size < capacity ? size : capacity - 1] = '\0';
}

bool ReadBinary(HKEY key, const char* name, uint8_t* buffer, uint32_t size) {
  uint8_t data[256];
  if (size > sizeof data) return false;
  uint32_t type = 0, got = size;
  if (RegQueryValueEx(key, name, &type, data, &got) != ERROR_SUCCESS || type != REG_BINARY || got != size)
    return false;
  std::memcpy(buffer, data, size);
  return true;
}

long WriteDword(HKEY key, const char* name, int32_t value) {
  uint32_t bits = uint32_t(value);
  const uint8_t data[4] = {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
  return RegSetValueEx(key, name, REG_DWORD, data, 4);
}

long WriteText(HKEY key, const char* name, const char* text) {
  return RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const uint8_t*>(text),
                       uint32_t(std::strlen(text)));
}

long WriteBinary(HKEY key, const char* name, const uint8_t* data, uint32_t size) {
  return RegSetValueEx(key, name, REG_BINARY, data, size);
}

bool LogSaveFailure(const char* routine, long result) {
  const char* reason = RegLastWriteFailure();
  if (result == ERROR_CANTWRITE || result == ERROR_CANTREAD || result == ERROR_ACCESS_DENIED ||
      result == ERROR_DISK_FULL) {
    if (reason[0] != '\0') {
      LogDebug("%s: Can't save the settings to %s\n", routine, reason);
      return false;
    }
  }
  LogDebug("%s: Can't save the settings (error %ld)\n", routine, result);
  return false;
}

bool SubkeyName(HKEY key, uint32_t index, char (&name)[32]) {
  uint32_t nameSize = sizeof name - 1;
  long result = RegEnumKeyEx(key, index, name, &nameSize);
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return false;
  name[sizeof name - 1] = '\0';
  return true;
}
