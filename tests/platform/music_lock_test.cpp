// The music turn on Linux: a lock file that one process at a time holds,
// given up on release and by the kernel when the holder ends.
#include "platform/music_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/linux/linux_services.h"
#include "tests/support/test_host.h"

namespace {

class MusicLockTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    savedRuntime_ = runtime ? runtime : "";
    hadRuntime_ = runtime != nullptr;
    runtime_ = TempDir() + "/runtime";
    std::filesystem::create_directories(runtime_);
    setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    InstallLinuxMusicLock();
  }
  void TearDown() override {
    gMusicLock->release();
    if (hadRuntime_)
      setenv("XDG_RUNTIME_DIR", savedRuntime_.c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
    HeadlessTest::TearDown();
  }

  // Whether another process could take the lock now (it tries and lets go).
  bool FreeForAnotherProcess() const {
    pid_t child = fork();
    if (child == 0) {
      int fd = open((runtime_ + "/prismora-music.lock").c_str(), O_RDWR | O_CREAT, 0600);
      _exit(fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  std::string runtime_;
  std::string savedRuntime_;
  bool hadRuntime_ = false;
};

}  // namespace

TEST_F(MusicLockTest, OneProcessAtATimeHoldsTheTurn) {
  ASSERT_TRUE(FreeForAnotherProcess());
  EXPECT_TRUE(gMusicLock->acquire());
  EXPECT_TRUE(gMusicLock->acquire()) << "taking it again while held";
  EXPECT_FALSE(FreeForAnotherProcess());
  gMusicLock->release();
  EXPECT_TRUE(FreeForAnotherProcess());
  gMusicLock->release();  // harmless when not held

  // Held by another process: not ours until that one ends.
  int ready[2], finish[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(finish), 0);
  pid_t holder = fork();
  if (holder == 0) {
    bool held = gMusicLock->acquire();
    char c = held ? '1' : '0';
    (void)!write(ready[1], &c, 1);
    (void)!read(finish[0], &c, 1);
    _exit(0);  // ends without releasing: the kernel lets go
  }
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  EXPECT_EQ(held, '1');
  EXPECT_FALSE(gMusicLock->acquire());
  (void)!write(finish[1], "x", 1);
  waitpid(holder, nullptr, 0);
  EXPECT_TRUE(gMusicLock->acquire());
  for (int fd : {ready[0], ready[1], finish[0], finish[1]}) close(fd);
}

TEST_F(MusicLockTest, WithoutAFolderForTheLockTheSaverPlays) {
  unsetenv("XDG_RUNTIME_DIR");
  setenv("PRISMORA_STATE_DIR", "/proc/no-such-folder", 1);
  EXPECT_TRUE(gMusicLock->acquire());
}

TEST_F(MusicLockTest, TheStateFolderServesWithoutARuntimeFolder) {
  unsetenv("XDG_RUNTIME_DIR");
  std::string state = TempDir() + "/state/deeper";
  setenv("PRISMORA_STATE_DIR", state.c_str(), 1);
  EXPECT_TRUE(gMusicLock->acquire());
  EXPECT_TRUE(std::filesystem::exists(state + "/prismora-music.lock"));
}
