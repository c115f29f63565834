// The registry calls on the real store in a temporary directory: results,
// sizes and enumeration as callers rely on them, and the file they leave.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/registry.h"
#include "platform/store/reg_text.h"
#include "tests/platform/store/store_fixture.h"

namespace {

const std::string kMain = "Software\\Quillfen\\Prismora";
const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

std::vector<uint8_t> Dword(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

// Closes the store and opens it again, so that what follows is read from disk.
void Reopen(const std::string& dir) {
  CloseRegistryStore();
  ASSERT_TRUE(OpenRegistryStore(dir));
}

// settings.reg.broken-YYYYMMDD-HHMMSS
bool IsBrokenFileName(const std::string& name) {
  const std::string prefix = "settings.reg.broken-";
  if (name.size() != prefix.size() + 15 || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = prefix.size(); i < name.size(); ++i)
    if (i == prefix.size() + 8 ? name[i] != '-' : !isdigit(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

std::vector<std::string> gLogged;

void RecordLogLine(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  gLogged.push_back(line);
}

class RegistryStore : public StoreTest {};

TEST_F(RegistryStore, WritesTheExportSyntax) {
  std::vector<uint8_t> forty;
  for (int i = 0; i < 40; ++i) forty.push_back(uint8_t(i));
  ASSERT_EQ(SetValue(kMain, nullptr, REG_SZ, Bytes("C:\\Prismora")), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kMain, "Preset", 42), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "Resolution", REG_SZ, Bytes("1024 x 768")), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain + "\\Patterns\\Zelo \"1\"", "Grabbed Settings", REG_BINARY, forty), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kMain + "\\Frequencies", "Zelo", 50), ERROR_SUCCESS);
  EXPECT_EQ(ReadText(FilePath()),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora]\n"
            "@=\"C:\\\\Prismora\"\n"
            "\"Preset\"=dword:0000002a\n"
            "\"Resolution\"=\"1024 x 768\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora\\Patterns\\Zelo \"1\"]\n"
            "\"Grabbed Settings\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\\n"
            "  12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora\\Frequencies]\n"
            "\"Zelo\"=dword:00000032\n"
            "\n");
}

TEST_F(RegistryStore, RoundTripsEveryByteAndEveryNameCharacter) {
  std::vector<uint8_t> everyByte;
  for (int b = 0; b < 256; ++b) everyByte.push_back(uint8_t(b));
  std::string printable;
  for (char c = ' '; c <= '~'; ++c) printable.push_back(c);
  std::string keyName;
  for (char c : printable)
    if (c != '\\') keyName.push_back(c);
  const std::string utf8 =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x98\x83 \xF0\x9D\x84\x9E";
  const std::string odd[] = {"]",     "a]b]",  "[x]",   " lead", "trail ", "@",
                             "\"q\"", "-dash", ";semi", "=",     utf8};

  ASSERT_EQ(SetValue(kMain, "Every byte", REG_BINARY, everyByte), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, printable.c_str(), REG_SZ, Bytes(printable + utf8)), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, utf8.c_str(), REG_SZ, Bytes("x")), ERROR_SUCCESS);
  // Text with line breaks and other control characters has to survive too.
  std::string controls;
  for (int c = 1; c < 32; ++c) controls.push_back(char(c));
  ASSERT_EQ(SetValue(kMain, "Controls", REG_SZ, Bytes(controls + "\x7F")), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain + "\\" + keyName, "in key", REG_DWORD, Dword(7)), ERROR_SUCCESS);
  for (const std::string& name : odd)
    ASSERT_EQ(SetValue(kMain + "\\Odd\\" + name, name.c_str(), REG_SZ, Bytes(name)), ERROR_SUCCESS) << name;
  std::string before = DumpTree();
  Reopen(Dir());
  EXPECT_EQ(DumpTree(), before);

  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(GetValue(kMain, "Every byte", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(data, everyByte);
  ASSERT_EQ(GetValue(kMain, printable.c_str(), &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(data, Bytes(printable + utf8 + std::string(1, '\0')));
  ASSERT_EQ(GetValue(kMain, "Controls", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, Bytes(controls + "\x7F" + std::string(1, '\0')));
  ASSERT_EQ(GetValue(kMain, utf8.c_str(), &type, &data), ERROR_SUCCESS);
  ASSERT_EQ(GetValue(kMain + "\\" + keyName, "in key", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, Dword(7));

  HKEY odd_key = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, (kMain + "\\Odd").c_str(), KEY_READ, &odd_key), ERROR_SUCCESS);
  for (uint32_t i = 0; i < std::size(odd); ++i) {
    char name[256];
    uint32_t size = sizeof name;
    ASSERT_EQ(RegEnumKeyEx(odd_key, i, name, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(name, size), odd[i]);
    ASSERT_EQ(GetValue(kMain + "\\Odd\\" + odd[i], odd[i].c_str(), &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Bytes(odd[i] + std::string(1, '\0')));
  }
  RegCloseKey(odd_key);
}

TEST_F(RegistryStore, QuerySizesAndTypes) {
  ASSERT_EQ(SetDword(kMain, "Max FPS", 85), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "Resolution", REG_SZ, Bytes("800 x 600")), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "With NUL", REG_SZ, Bytes(std::string("abc", 4))), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "Empty", REG_SZ, {}), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "Block", REG_BINARY, std::vector<uint8_t>(212, 9)), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "Nothing", REG_NONE, {}), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "Half", REG_DWORD, {1, 2}), ERROR_SUCCESS);
  Reopen(Dir());

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  struct Case {
    const char* name;
    uint32_t capacity;
    long result;
    uint32_t type, size;
    std::vector<uint8_t> data;  // what the buffer holds afterwards
  };
  const uint8_t kUntouched = 0xEE;
  const Case cases[] = {
      {"Max FPS", 4, ERROR_SUCCESS, REG_DWORD, 4, {85, 0, 0, 0}},
      {"max fps", 8, ERROR_SUCCESS, REG_DWORD, 4, {85, 0, 0, 0}},
      {"Max FPS", 2, ERROR_MORE_DATA, REG_DWORD, 4, {}},
      {"Resolution", 30, ERROR_SUCCESS, REG_SZ, 10, Bytes(std::string("800 x 600", 10))},
      {"Resolution", 10, ERROR_SUCCESS, REG_SZ, 10, Bytes(std::string("800 x 600", 10))},
      {"Resolution", 9, ERROR_MORE_DATA, REG_SZ, 10, {}},
      {"With NUL", 4, ERROR_SUCCESS, REG_SZ, 4, Bytes(std::string("abc", 4))},
      {"Empty", 1, ERROR_SUCCESS, REG_SZ, 1, {0}},
      {"Empty", 0, ERROR_MORE_DATA, REG_SZ, 1, {}},
      {"Block", 212, ERROR_SUCCESS, REG_BINARY, 212, std::vector<uint8_t>(212, 9)},
      {"Block", 211, ERROR_MORE_DATA, REG_BINARY, 212, {}},
      {"Nothing", 4, ERROR_SUCCESS, REG_NONE, 0, {}},
      {"Half", 4, ERROR_SUCCESS, REG_DWORD, 2, {1, 2}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> buffer(c.capacity + 1, kUntouched);
    uint32_t type = 99, size = c.capacity;
    EXPECT_EQ(RegQueryValueEx(key, c.name, &type, buffer.data(), &size), c.result) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(size, c.size) << c.name;
    std::vector<uint8_t> expected = c.data;
    expected.resize(c.capacity + 1, kUntouched);
    EXPECT_EQ(buffer, expected) << c.name << ": nothing written beyond the value, nothing on failure";
  }

  uint32_t type = 0, size = 0;
  EXPECT_EQ(RegQueryValueEx(key, "Resolution", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 10u) << "no buffer: the size it needs";
  EXPECT_EQ(RegQueryValueEx(key, "Max FPS", nullptr, nullptr, nullptr), ERROR_SUCCESS);
  uint8_t byte = 0;
  EXPECT_EQ(RegQueryValueEx(key, "Max FPS", &type, &byte, nullptr), ERROR_INVALID_PARAMETER);
  size = 4;
  EXPECT_EQ(RegQueryValueEx(key, "Missing", &type, &byte, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueEx(key, nullptr, &type, &byte, &size), ERROR_FILE_NOT_FOUND)
      << "no default value was set";
  RegCloseKey(key);
}

TEST_F(RegistryStore, DefaultValueAnswersToNullAndEmptyName) {
  ASSERT_EQ(SetValue(kMain, "", REG_SZ, Bytes("/usr/share/prismora")), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "@", REG_SZ, Bytes("at")), ERROR_SUCCESS);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(GetValue(kMain, nullptr, &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, Bytes(std::string("/usr/share/prismora", 20)));
  ASSERT_EQ(GetValue(kMain, "@", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, Bytes(std::string("at", 3)));
  EXPECT_NE(ReadText(FilePath()).find("\n@=\"/usr/share/prismora\"\n\"@\"=\"at\"\n"), std::string::npos);
}

TEST_F(RegistryStore, EnumerationInFileOrder) {
  // A file written by hand lists its keys in its own order, not sorted.
  ReplaceText(FilePath(), kHeader +
                              "[HKEY_CURRENT_USER\\P\\Zeta]\n\"z\"=dword:00000001\n\"a\"=dword:00000002\n\n"
                              "[HKEY_CURRENT_USER\\P\\Alpha\\Deep]\n\n"
                              "[HKEY_CURRENT_USER\\P\\Mid]\n@=\"d\"\n\n");
  ASSERT_EQ(SetDword("P\\Beta", "v", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword("P\\Zeta", "m", 3), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "P", KEY_READ, &key), ERROR_SUCCESS);
  const char* expected[] = {"Zeta", "Alpha", "Mid", "Beta"};
  for (uint32_t i = 0; i < 4; ++i) {
    char name[8];
    uint32_t size = sizeof name;
    ASSERT_EQ(RegEnumKeyEx(key, i, name, &size), ERROR_SUCCESS);
    EXPECT_STREQ(name, expected[i]);
    EXPECT_EQ(size, strlen(expected[i]));
  }
  char name[8];
  uint32_t size = sizeof name;
  EXPECT_EQ(RegEnumKeyEx(key, 4, name, &size), ERROR_NO_MORE_ITEMS);
  size = 4;
  EXPECT_EQ(RegEnumKeyEx(key, 0, name, &size), ERROR_MORE_DATA) << "\"Zeta\" needs 5 with its NUL";
  EXPECT_STREQ(name, "Zet") << "as much as fits";
  EXPECT_EQ(size, 4u) << "the full length";
  RegCloseKey(key);

  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "P\\Zeta", KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  const char* values[] = {"z", "a", "m"};
  for (uint32_t i = 0; i < 3; ++i) {
    char valueName[4];
    uint32_t nameSize = sizeof valueName, type = 0, dataSize = 4;
    uint8_t data[4] = {};
    ASSERT_EQ(RegEnumValue(key, i, valueName, &nameSize, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_STREQ(valueName, values[i]);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(dataSize, 4u);
  }
  char valueName[4];
  uint32_t nameSize = sizeof valueName, type = 0, dataSize = 2;
  uint8_t data[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(RegEnumValue(key, 0, valueName, &nameSize, &type, data, &dataSize), ERROR_MORE_DATA);
  EXPECT_STREQ(valueName, "z") << "the name is given when only the data does not fit";
  EXPECT_EQ(dataSize, 4u);
  EXPECT_EQ(data[0], 0xEE);
  nameSize = 1;
  dataSize = 4;
  EXPECT_EQ(RegEnumValue(key, 0, valueName, &nameSize, &type, data, &dataSize), ERROR_MORE_DATA);
  EXPECT_EQ(nameSize, 1u);
  nameSize = sizeof valueName;
  EXPECT_EQ(RegEnumValue(key, 3, valueName, &nameSize, &type, data, &dataSize), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);

  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "P\\Mid", KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  nameSize = sizeof valueName;
  dataSize = 4;
  ASSERT_EQ(RegEnumValue(key, 0, valueName, &nameSize, &type, data, &dataSize), ERROR_SUCCESS);
  EXPECT_EQ(nameSize, 0u) << "the default value enumerates with an empty name";
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(dataSize, 2u);
  RegCloseKey(key);
}

TEST_F(RegistryStore, DeletingKeys) {
  ASSERT_EQ(SetDword(kMain + "\\Patterns\\Zelo", "Sparkle", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kMain + "\\Patterns\\Zelo\\Inner", "x", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kMain + "\\Patterns\\Other", "y", 2), ERROR_SUCCESS);
  HKEY patterns = nullptr, zelo = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, (kMain + "\\Patterns").c_str(), KEY_ALL_ACCESS, &patterns),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyEx(patterns, "Zelo", KEY_ALL_ACCESS, &zelo), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKey(patterns, "Zelo"), ERROR_ACCESS_DENIED) << "it has a subkey";
  EXPECT_NE(DumpTree().find("Zelo\\Inner]"), std::string::npos);
  EXPECT_EQ(RegDeleteKey(patterns, "Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(SHDeleteKey(patterns, "Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKey(patterns, "zelo\\INNER"), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(kMain + "\\Patterns\\Zelo\\Inner", "x", 1), ERROR_SUCCESS);
  EXPECT_EQ(SHDeleteKey(patterns, "ZELO"), ERROR_SUCCESS);

  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyEx(patterns, "Zelo", KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(gone, nullptr);
  EXPECT_EQ(RegOpenKeyEx(patterns, "Zelo\\Inner", KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  uint32_t size = 4;
  uint8_t data[4];
  EXPECT_EQ(RegQueryValueEx(zelo, "Sparkle", nullptr, data, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegSetValueEx(zelo, "Sparkle", REG_DWORD, data, 4), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(zelo), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, ""), ERROR_ACCESS_DENIED) << "the root stays";

  // A path of nothing names the handle's own key.
  HKEY other = nullptr, same = nullptr;
  ASSERT_EQ(RegOpenKeyEx(patterns, "Other", KEY_ALL_ACCESS, &other), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyEx(other, nullptr, KEY_QUERY_VALUE, &same), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueEx(same, "y", nullptr, data, &size), ERROR_SUCCESS);
  uint32_t disposition = 0;
  RegCloseKey(same);
  ASSERT_EQ(RegCreateKeyEx(other, "", KEY_ALL_ACCESS, &same, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(same);
  EXPECT_EQ(RegDeleteKey(other, ""), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyEx(patterns, "Other", KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  RegCloseKey(other);

  // A key that existed only through its last subkey stays when that goes.
  ReplaceText(FilePath(), kHeader + "[HKEY_CURRENT_USER\\Implicit\\Only]\n\n");
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Implicit\\Only"), ERROR_SUCCESS);
  HKEY implicit = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Implicit", KEY_READ, &implicit), ERROR_SUCCESS);
  RegCloseKey(implicit);
  EXPECT_EQ(ReadText(FilePath()), kHeader + "[HKEY_CURRENT_USER\\Implicit]\n\n");
  RegCloseKey(patterns);
}

TEST_F(RegistryStore, ValuesAndKeysIgnoreCase) {
  uint32_t disposition = 0;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, (kMain + "\\Patterns\\Zelo").c_str(), KEY_ALL_ACCESS, &key,
                           &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegSetValueEx(key, "Trail Length", REG_DWORD, Dword(180).data(), 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueEx(key, "TRAIL LENGTH", REG_DWORD, Dword(90).data(), 4), ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\quillfen\\PRISMORA\\patterns\\ZELO", KEY_WRITE, &key,
                           &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(GetValue("software\\QUILLFEN\\prismora\\PATTERNS\\zelo", "trail length", &type, &data),
            ERROR_SUCCESS);
  EXPECT_EQ(data, Dword(90));
  EXPECT_EQ(DumpTree(),
            "[Software]\n[Software\\Quillfen]\n[Software\\Quillfen\\Prismora]\n"
            "[Software\\Quillfen\\Prismora\\Patterns]\n[Software\\Quillfen\\Prismora\\Patterns\\Zelo]\n"
            "Software\\Quillfen\\Prismora\\Patterns\\Zelo | Trail Length | 4 | 5a 00 00 00\n")
      << "one value, spelled as first stored";
}

TEST_F(RegistryStore, RefusesNamesTheRegistryCouldNotHold) {
  const std::string badPaths[] = {"a\\\\b",
                                  "\\a",
                                  "a\\",
                                  "tab\tname",
                                  "line\nbreak",
                                  "del\x7F",
                                  std::string(256, 'k'),
                                  kMain + "\\" + std::string(256, 'k')};
  for (const std::string& path : badPaths) {
    HKEY key = reinterpret_cast<HKEY>(uintptr_t(1));
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_WRITE, &key, nullptr), ERROR_INVALID_NAME)
        << path;
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_READ, &key), ERROR_INVALID_NAME);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, path.c_str()), ERROR_INVALID_NAME);
    EXPECT_EQ(SHDeleteKey(HKEY_CURRENT_USER, path.c_str()), ERROR_INVALID_NAME);
  }
  EXPECT_FALSE(std::filesystem::exists(FilePath())) << "nothing was written";
  const std::string badValues[] = {"ctl\x01", "new\nline", std::string(16384, 'v')};
  for (const std::string& name : badValues) {
    EXPECT_EQ(SetDword(kMain, name.c_str(), 1), ERROR_INVALID_NAME);
    uint32_t size = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueEx(key, name.c_str(), nullptr, nullptr, &size), ERROR_INVALID_NAME);
    EXPECT_EQ(RegDeleteValue(key, name.c_str()), ERROR_INVALID_NAME);
    RegCloseKey(key);
  }
  EXPECT_EQ(RegCheckKeyName("Zelo #2"), ERROR_SUCCESS);
  EXPECT_EQ(RegCheckKeyName("Zelo\\Evil"), ERROR_INVALID_NAME) << "a pattern name is one key";
  EXPECT_EQ(RegCheckKeyName(""), ERROR_INVALID_NAME);
  EXPECT_EQ(RegCheckValueName("C:\\path"), ERROR_SUCCESS);
  EXPECT_EQ(RegCheckValueName("bell\a"), ERROR_INVALID_NAME);

  // The longest names that are allowed work.
  EXPECT_EQ(SetDword(kMain + "\\" + std::string(255, 'k'), std::string(16383, 'v').c_str(), 5),
            ERROR_SUCCESS);
  Reopen(Dir());
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(GetValue(kMain + "\\" + std::string(255, 'K'), std::string(16383, 'V').c_str(), &type, &data),
            ERROR_SUCCESS);
}

TEST_F(RegistryStore, HandlesAndRights) {
  ASSERT_EQ(SetDword(kMain, "Preset", 3), ERROR_SUCCESS);
  HKEY reader = nullptr, writer = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_QUERY_VALUE, &reader), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_WRITE, &writer, nullptr), ERROR_SUCCESS);
  uint8_t data[4] = {1, 0, 0, 0};
  uint32_t size = 4;
  char name[16];
  uint32_t nameSize = sizeof name;
  EXPECT_EQ(RegSetValueEx(reader, "Preset", REG_DWORD, data, 4), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValue(reader, "Preset"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegEnumKeyEx(reader, 0, name, &nameSize), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryValueEx(writer, "Preset", nullptr, data, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegEnumValue(writer, 0, name, &nameSize, nullptr, nullptr, nullptr), ERROR_ACCESS_DENIED);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyEx(reader, "New", KEY_WRITE, &sub, nullptr), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyEx(writer, "New", KEY_WRITE, &sub, nullptr), ERROR_SUCCESS);
  RegCloseKey(sub);
  EXPECT_EQ(RegSetValueEx(writer, "Preset", REG_DWORD, data, 4), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueEx(reader, "Preset", nullptr, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(writer, "Preset"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(writer, "Preset"), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(RegCloseKey(reader), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(reader), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueEx(reader, "Preset", nullptr, data, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegQueryValueEx(nullptr, "Preset", nullptr, data, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueEx(writer, "x", REG_BINARY, nullptr, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_READ, nullptr), ERROR_INVALID_PARAMETER);

  CloseRegistryStore();
  EXPECT_EQ(RegSetValueEx(writer, "Preset", REG_DWORD, data, 4), ERROR_CANTWRITE);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_READ, &sub), ERROR_CANTREAD);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_READ, &sub, nullptr), ERROR_CANTWRITE);
}

TEST_F(RegistryStore, KeepsLinesItDoesNotUnderstand) {
  const std::string original = kHeader +
                               "; Written by hand\n"
                               "\n"
                               "[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora]\n"
                               "; options follow\n"
                               "\"Preset\"=dword:00000011\n"
                               "\"Future\"=qword:0000000000000001\n"
                               "\"Max FPS\" = DWORD:00000055\n"
                               "\"Gone\"=-\n"
                               "\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Other]\n"
                               "\"Theirs\"=dword:00000001\n"
                               "\n"
                               "[-HKEY_CURRENT_USER\\Software\\Old]\n"
                               "\n";
  ReplaceText(FilePath(), original);
  ASSERT_EQ(SetDword(kMain, "Preset", 3), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kMain, "Simple", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kMain + "\\Frequencies", "Zelo", 0), ERROR_SUCCESS);
  EXPECT_EQ(ReadText(FilePath()), kHeader +
                                      "; Written by hand\n"
                                      "\n"
                                      "[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora]\n"
                                      "; options follow\n"
                                      "\"Preset\"=dword:00000003\n"
                                      "\"Future\"=qword:0000000000000001\n"
                                      "\"Max FPS\" = DWORD:00000055\n"
                                      "\"Gone\"=-\n"
                                      "\"Simple\"=dword:00000001\n"
                                      "\n"
                                      "[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora\\Frequencies]\n"
                                      "\"Zelo\"=dword:00000000\n"
                                      "\n"
                                      "[HKEY_LOCAL_MACHINE\\Software\\Other]\n"
                                      "\"Theirs\"=dword:00000001\n"
                                      "\n"
                                      "[-HKEY_CURRENT_USER\\Software\\Old]\n"
                                      "\n")
      << "changed lines in the standard form, every other line as it was";
  EXPECT_EQ(DumpTree().find("Theirs"), std::string::npos) << "another root's values are not ours";
}

TEST_F(RegistryStore, BrokenFileIsMovedAsideAndTheStoreStartsEmpty) {
  const std::string broken[] = {
      "this is not a settings file\n",
      std::string("\xFF\xFEW\0i\0n\0d\0", 10),
      kHeader + "[HKEY_CURRENT_USER\\Software]\n\"a\"=dword:00000001\n" + std::string(512, '\0'),
  };
  std::vector<std::string>& logged = gLogged;
  logged.clear();
  gRegistryLog = RecordLogLine;
  for (const std::string& text : broken) {
    CloseRegistryStore();
    std::filesystem::remove_all(Dir());
    std::filesystem::create_directories(Dir());
    WriteText(FilePath(), text);
    logged.clear();
    ASSERT_TRUE(OpenRegistryStore(Dir()));

    std::vector<std::string> names = DirectoryEntries(Dir());
    std::string aside;
    for (const std::string& name : names)
      if (IsBrokenFileName(name)) aside = name;
    ASSERT_FALSE(aside.empty()) << "kept, with the time in its name";
    EXPECT_EQ(ReadText(Dir() + "/" + aside), text) << "nothing the user wrote is lost";
    EXPECT_FALSE(std::filesystem::exists(FilePath()));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find(Dir() + "/" + aside), std::string::npos) << logged[0];
    EXPECT_EQ(logged[0].back(), '\n');

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(SetDword(kMain, "Preset", 17), ERROR_SUCCESS);
    RegDocument doc;
    EXPECT_TRUE(ParseRegText(ReadText(FilePath()), &doc));
  }

  // Broken while the store is open, twice within one second: both are kept.
  logged.clear();
  ReplaceText(FilePath(), "garbage one\n");
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  ReplaceText(FilePath(), "garbage two\n");
  EXPECT_EQ(SetDword(kMain, "Preset", 5), ERROR_SUCCESS);
  EXPECT_EQ(logged.size(), 2u);
  size_t kept = 0;
  for (const std::string& name : DirectoryEntries(Dir())) {
    if (name.find(".broken-") == std::string::npos) continue;
    std::string text = ReadText(Dir() + "/" + name);
    if (text == "garbage one\n" || text == "garbage two\n") ++kept;
  }
  EXPECT_EQ(kept, 2u);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(GetValue(kMain, "Preset", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, Dword(5));
}

TEST_F(RegistryStore, FileIsValidAfterEveryOperation) {
  struct Step {
    const char* what;
    long (*run)();
  };
  const Step steps[] = {
      {"create main key", [] { return SetValue(kMain, nullptr, REG_SZ, Bytes("/opt/prismora")); }},
      {"dword", [] { return SetDword(kMain, "Preset", 17); }},
      {"text", [] { return SetValue(kMain, "Resolution", REG_SZ, Bytes("640 x 480")); }},
      {"binary",
       [] {
         return SetValue(kMain + "\\Patterns\\A", "Spiral Inc", REG_BINARY, {1, 2, 3, 4});
       }},
      {"second pattern", [] { return SetDword(kMain + "\\Patterns\\B]", "Sparkle", 0); }},
      {"replace value", [] { return SetValue(kMain, "Preset", REG_SZ, Bytes("17")); }},
      {"delete value",
       [] {
         HKEY key = nullptr;
         RegOpenKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_ALL_ACCESS, &key);
         long result = RegDeleteValue(key, "Resolution");
         RegCloseKey(key);
         return result;
       }},
      {"delete key", [] { return RegDeleteKey(HKEY_CURRENT_USER, (kMain + "\\Patterns\\A").c_str()); }},
      {"deep key", [] { return SetDword(kMain + "\\Music\\1\\2\\3", "x", 1); }},
      {"delete tree", [] { return SHDeleteKey(HKEY_CURRENT_USER, (kMain + "\\Music").c_str()); }},
      {"delete patterns", [] { return SHDeleteKey(HKEY_CURRENT_USER, (kMain + "\\Patterns").c_str()); }},
  };
  for (const Step& step : steps) {
    ASSERT_EQ(step.run(), ERROR_SUCCESS) << step.what;
    RegDocument doc;
    ASSERT_TRUE(ParseRegText(ReadText(FilePath()), &doc)) << step.what;
    std::string live = DumpTree();
    Reopen(Dir());
    EXPECT_EQ(DumpTree(), live) << "after " << step.what;
    EXPECT_EQ(DirectoryEntries(Dir()), (std::vector<std::string>{"settings.reg", "settings.reg.lock"}))
        << "no temporary file left after " << step.what;
  }
  EXPECT_EQ(DumpTree(),
            "[Software]\n[Software\\Quillfen]\n[Software\\Quillfen\\Prismora]\n"
            "Software\\Quillfen\\Prismora |  | 1 | 2f 6f 70 74 2f 70 72 69 73 6d 6f 72 61 00\n"
            "Software\\Quillfen\\Prismora | Preset | 1 | 31 37 00\n");
}

TEST_F(RegistryStore, SeesAndKeepsWhatOthersWrote) {
  ASSERT_EQ(SetDword(kMain, "Mine", 1), ERROR_SUCCESS);
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(GetValue(kMain, "Mine", &type, &data), ERROR_SUCCESS);

  // Another process replaced the file.
  ReplaceText(FilePath(), ReadText(FilePath()) +
                              "[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora\\Window]\n"
                              "\"Low Priority\"=dword:00000000\n");
  ASSERT_EQ(GetValue(kMain + "\\Window", "Low Priority", &type, &data), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(kMain, "Mine", 2), ERROR_SUCCESS);
  EXPECT_EQ(GetValue(kMain + "\\Window", "Low Priority", &type, &data), ERROR_SUCCESS)
      << "a write applies to the file as it is now";

  // An editor changed the file in place, keeping its size. Within one tick
  // of the file clock after the last write that would go unseen.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::string text = ReadText(FilePath());
  size_t at = text.find("dword:00000002");
  ASSERT_NE(at, std::string::npos);
  WriteText(FilePath(), text.replace(at, 14, "dword:0000abcd"));
  ASSERT_EQ(GetValue(kMain, "Mine", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, Dword(0xABCD));

  // Removed from outside: the store is empty, and open handles see their key gone.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kMain.c_str(), KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  std::filesystem::remove(FilePath());
  uint32_t size = 4;
  uint8_t buffer[4];
  EXPECT_EQ(RegQueryValueEx(key, "Mine", nullptr, buffer, &size), ERROR_KEY_DELETED);
  RegCloseKey(key);
}

TEST_F(RegistryStore, StoringWhatIsThereWritesNothing) {
  ASSERT_EQ(SetDword(kMain, "Max FPS", 85), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "Resolution", REG_SZ, Bytes("800 x 600")), ERROR_SUCCESS);
  struct stat before, after;
  ASSERT_EQ(stat(FilePath().c_str(), &before), 0);
  ASSERT_EQ(SetDword(kMain, "max fps", 85), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(kMain, "Resolution", REG_SZ, Bytes(std::string("800 x 600", 10))), ERROR_SUCCESS)
      << "with or without its NUL, the same text";
  ASSERT_EQ(stat(FilePath().c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino) << "the file was not replaced";
  ASSERT_EQ(SetDword(kMain, "Max FPS", 86), ERROR_SUCCESS);
  ASSERT_EQ(stat(FilePath().c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
}

TEST_F(RegistryStore, WriterWaitsForTheLock) {
  ASSERT_EQ(SetDword(kMain, "Preset", 1), ERROR_SUCCESS);
  // flock excludes other open files of the lock even within one process.
  int fd = open((FilePath() + ".lock").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  auto start = std::chrono::steady_clock::now();
  std::thread release([fd] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    close(fd);
  });
  EXPECT_EQ(SetDword(kMain, "Preset", 2), ERROR_SUCCESS);
  auto waited = std::chrono::steady_clock::now() - start;
  release.join();
  EXPECT_GE(waited, std::chrono::milliseconds(250));
  uint32_t type = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(GetValue(kMain, "Preset", &type, &data), ERROR_SUCCESS);
  EXPECT_EQ(data, Dword(2));
}

TEST_F(RegistryStore, KeepsTheFilesPermissions) {
  ASSERT_EQ(SetDword(kMain, "Preset", 1), ERROR_SUCCESS);
  ASSERT_EQ(chmod(FilePath().c_str(), 0600), 0);
  ASSERT_EQ(SetDword(kMain, "Preset", 2), ERROR_SUCCESS);
  struct stat st;
  ASSERT_EQ(stat(FilePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
