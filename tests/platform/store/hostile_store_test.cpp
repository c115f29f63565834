// Settings files and disks an attacker or an accident can hand the store:
// memory stays in proportion to the file, nothing in the file is lost, and a
// change that cannot reach the disk is reported with the file left whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/registry.h"
#include "tests/platform/store/store_fixture.h"

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

std::string Repeat(const std::string& name, int count) {
  std::string path;
  for (int i = 0; i < count; ++i) path += (i ? "\\" : "") + name;
  return path;
}

long KilobytesIn(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  return -1;
}

struct Opening {
  bool finished = false;  // within five seconds
  bool opened = false;
  long growthKb = 0;  // of the peak memory
};

// Opens the store in dir in a child, so its peak memory can be told apart
// and a hang ends.
Opening OpenInChild(const std::string& dir) {
  Opening result;
  int channel[2];
  if (pipe(channel) != 0) return result;
  pid_t child = fork();
  if (child == 0) {
    alarm(5);
    Opening seen;
    long before = KilobytesIn("VmRSS:");
    seen.finished = true;
    seen.opened = OpenRegistryStore(dir);
    seen.growthKb = KilobytesIn("VmHWM:") - before;
    ssize_t ignored = write(channel[1], &seen, sizeof seen);
    (void)ignored;
    _exit(0);
  }
  close(channel[1]);
  if (read(channel[0], &result, sizeof result) != sizeof result) result = Opening{};
  close(channel[0]);
  waitpid(child, nullptr, 0);
  return result;
}

class HostileStore : public StoreTest {};

TEST_F(HostileStore, DeepKeysCostMemoryInProportionToTheFile) {
  struct Case {
    const char* what;
    std::string path;
    bool reachable;  // a key the store serves, or lines it only keeps
  };
  const Case cases[] = {
      {"one key 10,000 names deep", Repeat("a", 10000), false},
      {"one key just too deep", Repeat("b", 513), false},
      {"the deepest key, of the longest names", Repeat(std::string(255, 'c'), 512), true},
  };
  for (const Case& c : cases) {
    CloseRegistryStore();
    const std::string text = kHeader + "[HKEY_CURRENT_USER\\Kept]\n\"Before\"=dword:00000001\n\n" +
                             "[HKEY_CURRENT_USER\\" + c.path + "]\n\"Deep\"=dword:00000002\n\n";
    std::filesystem::create_directories(Dir());
    WriteText(FilePath(), text);
    Opening opening = OpenInChild(Dir());
    ASSERT_TRUE(opening.finished && opening.opened) << c.what;
    EXPECT_LT(opening.growthKb, 16 * 1024)
        << c.what << ": " << text.size() << " bytes took " << opening.growthKb << " KB";

    ASSERT_TRUE(OpenRegistryStore(Dir())) << c.what;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    EXPECT_EQ(GetValue(c.path, "Deep", &type, &data), c.reachable ? ERROR_SUCCESS : ERROR_INVALID_NAME)
        << c.what;
    // A change elsewhere writes the deep key's lines back as they were.
    ASSERT_EQ(SetDword("Kept", "After", 3), ERROR_SUCCESS) << c.what;
    std::string written = ReadText(FilePath());
    EXPECT_NE(written.find("[HKEY_CURRENT_USER\\" + c.path + "]\n\"Deep\"=dword:00000002\n"),
              std::string::npos)
        << c.what;
    EXPECT_NE(written.find("\"Before\"=dword:00000001\n\"After\"=dword:00000003\n"), std::string::npos)
        << c.what;
    // Nothing can make a key deeper than the store would read back.
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, (Repeat("d", 512) + "\\e").c_str(), KEY_WRITE, &key, nullptr),
              ERROR_INVALID_NAME)
        << c.what;
  }
}

// Not a file to read: the store refuses it at once, and the program runs on
// defaults, instead of waiting for a writer or reading without end.
TEST_F(HostileStore, SettingsFileThatIsNoFile) {
  struct Case {
    const char* what;
    std::function<void(const std::string& file)> make;
  };
  const Case cases[] = {
      {"a FIFO nobody writes", [](const std::string& file) { mkfifo(file.c_str(), 0600); }},
      {"a link to an endless device", [](const std::string& file) { symlink("/dev/zero", file.c_str()); }},
      {"a folder", [](const std::string& file) { std::filesystem::create_directory(file); }},
  };
  for (const Case& c : cases) {
    CloseRegistryStore();
    std::filesystem::remove_all(FilePath());
    c.make(FilePath());
    Opening opening = OpenInChild(Dir());
    EXPECT_TRUE(opening.finished) << c.what;
    EXPECT_FALSE(opening.opened) << c.what;
    EXPECT_LT(opening.growthKb, 16 * 1024) << c.what;
  }
}

TEST_F(HostileStore, ChangesThatCannotReachTheDiskAreReportedAndTheFileStaysWhole) {
  struct Case {
    const char* what;
    std::function<void(SmallDisk&)> spoil;
    long result;
    const char* reason;
  };
  const Case cases[] = {
      {"full disk", [](SmallDisk& disk) { disk.Fill(); }, ERROR_DISK_FULL, "No space left on device"},
      {"read-only folder", [](SmallDisk& disk) { disk.MakeReadOnly(); }, ERROR_ACCESS_DENIED,
       "Read-only file system"},
  };
  for (const Case& c : cases) {
    CloseRegistryStore();
    std::string dir = Dir() + "-" + std::to_string(&c - cases);
    SmallDisk disk;
    if (!disk.Mount(dir, 64)) GTEST_SKIP() << "cannot mount a small disk here";
    ASSERT_TRUE(OpenRegistryStore(dir));
    ASSERT_EQ(SetValue("Keep", "Text", REG_SZ, Bytes(std::string(2000, 'k'))), ERROR_SUCCESS);
    const std::string before = ReadText(dir + "/settings.reg");
    const uint32_t failedBefore = RegFailedWrites();
    c.spoil(disk);

    EXPECT_EQ(SetValue("Keep", "Text", REG_SZ, Bytes(std::string(4000, 'n'))), c.result) << c.what;
    EXPECT_EQ(RegFailedWrites(), failedBefore + 1) << c.what;
    EXPECT_EQ(std::string(RegLastWriteFailure()), dir + "/settings.reg: " + c.reason) << c.what;
    EXPECT_EQ(ReadText(dir + "/settings.reg"), before) << c.what;
    EXPECT_FALSE(std::filesystem::exists(dir + "/settings.reg.tmp")) << c.what;
    // Readers see what the file holds, not the change that failed.
    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_EQ(GetValue("Keep", "Text", &type, &data), ERROR_SUCCESS) << c.what;
    EXPECT_EQ(data.size(), 2001u) << c.what;
    CloseRegistryStore();
  }
}

}  // namespace
