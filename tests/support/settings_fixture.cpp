#include "tests/support/settings_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

#include "patterns/settings_store.h"
#include "platform/registry.h"

namespace {

HKEY Create(const std::string& path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS, &key, nullptr), ERROR_SUCCESS)
      << path;
  return key;
}

void Store(const std::string& path, const char* name, uint32_t type, const uint8_t* data, uint32_t size) {
  HKEY key = Create(path);
  EXPECT_EQ(RegSetValueEx(key, name, type, data, size), ERROR_SUCCESS) << path << " " << name;
  RegCloseKey(key);
}

// The value's type and bytes; false when it is missing.
bool Query(const std::string& path, const char* name, uint32_t* type, std::vector<uint8_t>* data) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_READ, &key) != ERROR_SUCCESS) return false;
  uint32_t size = 0;
  bool found = RegQueryValueEx(key, name, type, nullptr, &size) == ERROR_SUCCESS;
  if (found) {
    data->assign(size, 0);
    found = RegQueryValueEx(key, name, type, data->data(), &size) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return found;
}

}  // namespace

std::string PatternPath(const std::string& name) { return std::string(kPatternsKeyPath) + "\\" + name; }

void StoreDword(const std::string& path, const char* name, int32_t value) {
  uint32_t bits = uint32_t(value);
  const uint8_t data[4] = {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
  Store(path, name, REG_DWORD, data, 4);
}

void StoreText(const std::string& path, const char* name, const char* text) {
  Store(path, name, REG_SZ, reinterpret_cast<const uint8_t*>(text), uint32_t(std::strlen(text)));
}

void StoreBinary(const std::string& path, const char* name, const std::vector<uint8_t>& data) {
  Store(path, name, REG_BINARY, data.data(), uint32_t(data.size()));
}

int32_t StoredDword(const std::string& path, const char* name) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!Query(path, name, &type, &data) || type != REG_DWORD || data.size() != 4) return -999999;
  return int32_t(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                 uint32_t(data[3]) << 24);
}

std::string StoredText(const std::string& path, const char* name) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!Query(path, name, &type, &data) || type != REG_SZ) return "<missing>";
  std::string text(data.begin(), data.end());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

uint32_t StoredBinarySize(const std::string& path, const char* name) {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (!Query(path, name, &type, &data)) return 0;
  return uint32_t(data.size());
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::vector<std::string> ValueNames(const std::string& path) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_READ, &key) != ERROR_SUCCESS) return names;
  for (uint32_t index = 0;; ++index) {
    char name[256];
    uint32_t size = sizeof name;
    if (RegEnumValue(key, index, name, &size, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  RegCloseKey(key);
  return names;
}
