#include "tests/platform/store/store_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

void StoreTest::SetUp() {
  ResetRegistryStore();
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("prismora-store-" + std::to_string(getpid()) + "-" + name);
  std::filesystem::remove_all(root);
  dir_ = (root / "config").string();  // missing: the store makes it
  ASSERT_TRUE(OpenRegistryStore(dir_));
}

void StoreTest::TearDown() {
  ResetRegistryStore();
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(dir_).parent_path(), ignored);
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

void ReplaceText(const std::string& path, const std::string& text) {
  WriteText(path + ".other", text);
  std::filesystem::rename(path + ".other", path);
}

std::vector<std::string> DirectoryEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

long SetValue(const std::string& path, const char* name, uint32_t type, const std::vector<uint8_t>& data) {
  HKEY key = nullptr;
  if (long result = RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_WRITE, &key, nullptr)) return result;
  long result = RegSetValueEx(key, name, type, data.data(), uint32_t(data.size()));
  RegCloseKey(key);
  return result;
}

long SetDword(const std::string& path, const char* name, uint32_t value) {
  return SetValue(path, name, REG_DWORD,
                  {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)});
}

long GetValue(const std::string& path, const char* name, uint32_t* type, std::vector<uint8_t>* data) {
  HKEY key = nullptr;
  if (long result = RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_QUERY_VALUE, &key)) return result;
  uint32_t size = 0;
  long result = RegQueryValueEx(key, name, type, nullptr, &size);
  if (result == ERROR_SUCCESS) {
    data->assign(size, 0);
    result = RegQueryValueEx(key, name, type, data->data(), &size);
    data->resize(size);
  }
  RegCloseKey(key);
  return result;
}

namespace {

void DumpKey(HKEY key, const std::string& path, std::string* out) {
  for (uint32_t i = 0;; ++i) {
    char name[16384];
    uint32_t nameSize = sizeof name, type = 0, dataSize = 0;
    long result = RegEnumValue(key, i, name, &nameSize, &type, nullptr, &dataSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(result, ERROR_SUCCESS);
    std::vector<uint8_t> data(dataSize);
    nameSize = sizeof name;
    ASSERT_EQ(RegEnumValue(key, i, name, &nameSize, &type, data.data(), &dataSize), ERROR_SUCCESS);
    *out += path + " | " + name + " | " + std::to_string(type) + " |";
    for (uint8_t b : data) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02x", b);
      *out += hex;
    }
    *out += "\n";
  }
  for (uint32_t i = 0;; ++i) {
    char name[256];
    uint32_t nameSize = sizeof name;
    long result = RegEnumKeyEx(key, i, name, &nameSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(result, ERROR_SUCCESS);
    std::string child = path.empty() ? name : path + "\\" + name;
    *out += "[" + child + "]\n";
    HKEY sub = nullptr;
    ASSERT_EQ(RegOpenKeyEx(key, name, KEY_READ, &sub), ERROR_SUCCESS) << child;
    DumpKey(sub, child, out);
    RegCloseKey(sub);
  }
}

}  // namespace

std::string DumpTree() {
  std::string out;
  DumpKey(HKEY_CURRENT_USER, "", &out);
  return out;
}
