// Settings files an attacker or an accident can hand the store: it opens
// them at once, in memory in proportion to the file, and loses no line.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/platform/store/store_fixture.h"

namespace {

std::string Nested(const std::string& name, int depth) {
  std::string path = name;
  for (int i = 1; i < depth; ++i) path += "\\" + name;
  return path;
}

// Opens the store in a child: 1 opened, 0 refused, -1 hung or grew past 16 MB.
int OpenInChild(const std::string& dir) {
  pid_t child = fork();
  if (child == 0) {
    alarm(5);
    bool opened = OpenRegistryStore(dir);
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmHWM:", 0) == 0 && std::stol(line.substr(6)) > 16 * 1024 + 64 * 1024) _exit(2);
    _exit(opened ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) < 2 ? WEXITSTATUS(status) : -1;
}

class HostileStore : public StoreTest {};

TEST_F(HostileStore, OpensAtOnceInLittleMemoryAndKeepsEveryLine) {
  const std::string deep = Nested("a", 10000), longest = Nested(std::string(255, 'c'), 512);
  struct Case {
    const char* what;
    char file;  // 't' the text with key, 'f' a FIFO, 'z' a link to /dev/zero
    std::string key;
    int opened;
    long deepValue;
  } cases[] = {
      {"a key 10,000 names deep", 't', deep, 1, ERROR_INVALID_NAME},
      {"a key 513 names deep", 't', Nested("b", 513), 1, ERROR_INVALID_NAME},
      {"the deepest key of the longest names", 't', longest, 1, ERROR_SUCCESS},
      {"a FIFO nobody writes", 'f', "", 0, 0},
      {"a link to an endless device", 'z', "", 0, 0},
  };
  for (const Case& c : cases) {
    CloseRegistryStore();
    std::filesystem::remove_all(FilePath());
    const std::string section = "[HKEY_CURRENT_USER\\" + c.key + "]\n\"Deep\"=dword:00000002\n";
    if (c.file == 't') WriteText(FilePath(), "Windows Registry Editor Version 5.00\n\n" + section + "\n");
    if (c.file == 'f') mkfifo(FilePath().c_str(), 0600);
    if (c.file == 'z') symlink("/dev/zero", FilePath().c_str());
    ASSERT_EQ(OpenInChild(Dir()), c.opened) << c.what;
    if (!c.opened) continue;
    ASSERT_TRUE(OpenRegistryStore(Dir()));
    uint32_t type = 0;
    std::vector<uint8_t> data;
    EXPECT_EQ(GetValue(c.key, "Deep", &type, &data), c.deepValue) << c.what;
    ASSERT_EQ(SetDword("Other", "Value", 3), ERROR_SUCCESS) << c.what;
    EXPECT_NE(ReadText(FilePath()).find(section), std::string::npos) << c.what << ": lines lost";
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, Nested("d", 513).c_str(), KEY_WRITE, &key, nullptr),
              ERROR_INVALID_NAME);
  }
}

}  // namespace
