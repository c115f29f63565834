// The store shared by processes: two writers at once lose nothing, and a
// writer killed at any moment leaves the file readable.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/store/reg_text.h"
#include "tests/platform/store/store_fixture.h"

namespace {

const std::string kStress = "Software\\Quillfen\\Prismora\\Stress";

uint32_t ReadDword(HKEY key, const char* name) {
  uint8_t data[4] = {};
  uint32_t size = 4;
  if (RegQueryValueEx(key, name, nullptr, data, &size) != ERROR_SUCCESS) return 0;
  return uint32_t(data[0] | data[1] << 8 | data[2] << 16) | uint32_t(data[3]) << 24;
}

// The name of the I-th value a writer writes. Appended rather than
// "v" + std::to_string(i): GCC 12 at -O3 takes the inserted prefix for an
// overlapping copy and warns (-Wrestrict) on a copy that cannot happen.
std::string ValueName(uint32_t i) {
  std::string name = "v";
  name += std::to_string(i);
  return name;
}

// The child's side of a test: open the store afresh (what the parent had is
// only a copy) and never return into the test framework.
[[noreturn]] void RunChild(const std::string& dir, int (*work)(const std::string& dir, int arg), int arg) {
  CloseRegistryStore();
  int status = OpenRegistryStore(dir) ? work(dir, arg) : 100;
  _exit(status);
}

int WriteTwoThousand(const std::string&, int writer) {
  int failures = 0;
  for (uint32_t i = 0; i < 2000; ++i) {
    // A new key every hundred values, created while the other writer writes.
    std::string path = kStress + "\\Writer" + std::to_string(writer) + "\\" + std::to_string(i / 100);
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_WRITE, &key, nullptr) != ERROR_SUCCESS) {
      ++failures;
      continue;
    }
    uint32_t value = i * 2 + uint32_t(writer);
    std::string name = ValueName(i);
    if (RegSetValueEx(key, name.c_str(), REG_DWORD, reinterpret_cast<uint8_t*>(&value), 4) != ERROR_SUCCESS)
      ++failures;
    RegCloseKey(key);
  }
  return failures > 99 ? 99 : failures;
}

class RegistryProcesses : public StoreTest {};

// What is tested here is the lock and the re-read, not the disk: on a
// memory file system the 8,000 fsyncs cost nothing and the test takes
// seconds instead of about a minute.
std::string StressDirectory(const std::string& otherwise) {
  std::error_code error;
  if (!std::filesystem::is_directory("/dev/shm", error) || access("/dev/shm", W_OK) != 0) return otherwise;
  std::string dir = "/dev/shm/prismora-stress-" + std::to_string(getpid());
  std::filesystem::remove_all(dir, error);
  return dir;
}

TEST_F(RegistryProcesses, TwoWritersAtOnceLoseNothing) {
  const std::string dir = StressDirectory(Dir());
  auto start = std::chrono::steady_clock::now();
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  pid_t children[2];
  for (int writer = 0; writer < 2; ++writer) {
    children[writer] = fork();
    ASSERT_GE(children[writer], 0);
    if (children[writer] == 0) {
      close(go[1]);
      char ignored;
      (void)!read(go[0], &ignored, 1);  // both start when the pipe closes
      RunChild(dir, WriteTwoThousand, writer);
    }
  }
  close(go[0]);
  close(go[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in a child";
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  CloseRegistryStore();
  ASSERT_TRUE(OpenRegistryStore(dir));
  int present = 0;
  for (int writer = 0; writer < 2; ++writer) {
    for (uint32_t batch = 0; batch < 20; ++batch) {
      std::string path = kStress + "\\Writer" + std::to_string(writer) + "\\" + std::to_string(batch);
      HKEY key = nullptr;
      ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), KEY_QUERY_VALUE, &key), ERROR_SUCCESS) << path;
      for (uint32_t i = batch * 100; i < batch * 100 + 100; ++i) {
        uint32_t value = ReadDword(key, ValueName(i).c_str());
        if (value == i * 2 + uint32_t(writer)) ++present;
      }
      RegCloseKey(key);
    }
  }
  EXPECT_EQ(present, 4000);
  std::printf("[ stress ] 2 processes x 2000 writes in %s: %d of 4000 values present, %.1f s\n", dir.c_str(),
              present, seconds);
  CloseRegistryStore();
  if (dir != Dir()) std::filesystem::remove_all(dir);
}

// Writes until killed: a counter, then a block whose size and bytes follow
// from the counter, now and then a key created and deleted again.
int WriteUntilKilled(const std::string&, int readyFd) {
  HKEY key = nullptr;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, kStress.c_str(), KEY_ALL_ACCESS, &key, nullptr) != ERROR_SUCCESS)
    return 1;
  uint32_t counter = ReadDword(key, "Counter");
  auto writeBlock = [&] {
    std::vector<uint8_t> block(4 + counter * 37 % 3000, uint8_t(counter));
    memcpy(block.data(), &counter, 4);
    RegSetValueEx(key, "Block", REG_BINARY, block.data(), uint32_t(block.size()));
    return block;
  };
  // The previous writer may have been killed between counter and block.
  writeBlock();
  if (write(readyFd, "r", 1) != 1) return 2;
  while (true) {
    ++counter;
    RegSetValueEx(key, "Counter", REG_DWORD, reinterpret_cast<uint8_t*>(&counter), 4);
    std::vector<uint8_t> block = writeBlock();
    if (counter % 3 == 0) {
      std::string sub = "Sub" + std::to_string(counter % 5);
      HKEY subKey = nullptr;
      RegCreateKeyEx(key, sub.c_str(), KEY_WRITE, &subKey, nullptr);
      RegSetValueEx(subKey, "x", REG_BINARY, block.data(), uint32_t(block.size()));
      RegCloseKey(subKey);
      SHDeleteKey(key, ("Sub" + std::to_string((counter + 2) % 5)).c_str());
    }
  }
}

TEST_F(RegistryProcesses, KilledWriterNeverLeavesAnUnreadableFile) {
  auto start = std::chrono::steady_clock::now();
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> delayMicroseconds(0, 20000);
  uint32_t lastCounter = 0;
  int midWrite = 0, progressed = 0, absent = 0;
  const int kKills = 200;
  for (int attempt = 0; attempt < kKills; ++attempt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      RunChild(Dir(), WriteUntilKilled, ready[1]);
    }
    close(ready[1]);
    char byte;
    bool started = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
    usleep(useconds_t(delayMicroseconds(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(started) << "the writer did not start";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself";

    int temporary = 0;
    for (const std::string& name : DirectoryEntries(Dir())) {
      if (name == "settings.reg.tmp")
        ++temporary;
      else
        ASSERT_TRUE(name == "settings.reg" || name == "settings.reg.lock") << name;
    }
    EXPECT_LE(temporary, 1);
    midWrite += temporary;
    std::string path = FilePath();
    if (!std::filesystem::exists(path)) {
      ++absent;
      continue;
    }
    RegDocument doc;
    ASSERT_TRUE(ParseRegText(ReadText(path), &doc)) << "after kill " << attempt;

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kStress.c_str(), KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    uint32_t counter = ReadDword(key, "Counter");
    EXPECT_GE(counter, lastCounter) << "an older file came back";
    if (counter > lastCounter) ++progressed;
    lastCounter = counter;
    std::vector<uint8_t> block(4000);
    uint32_t size = uint32_t(block.size());
    if (RegQueryValueEx(key, "Block", nullptr, block.data(), &size) == ERROR_SUCCESS) {
      uint32_t of = 0;
      memcpy(&of, block.data(), 4);
      EXPECT_TRUE(of == counter || of + 1 == counter) << "block " << of << ", counter " << counter;
      EXPECT_EQ(size, 4 + of * 37 % 3000);
      for (uint32_t i = 4; i < size; ++i) ASSERT_EQ(block[i], uint8_t(of));
    }
    RegCloseKey(key);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(progressed, 0) << "some writers got writes done before the kill";
  EXPECT_GT(midWrite, 0) << "some kills came in the middle of a write";
  std::printf(
      "[ kill ] %d kills in %.1f s: %d during a write (temporary file left), %d after progress, "
      "%d before the first write; counter reached %u\n",
      kKills, seconds, midWrite, progressed, absent, lastCounter);
}

}  // namespace
