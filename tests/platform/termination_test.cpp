// SIGTERM ends the program in every state: through the close path when the
// program looks, and by the signal itself when a blocking call that the
// handler restarts keeps it from looking.
#include "platform/termination.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/registry.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(Termination, EndsTheProgramWhateverItIsDoing) {
  const std::string dir =
      std::filesystem::temp_directory_path() / ("prismora-term-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string fifo = dir + "/music.m3u";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string lockPath = dir + "/settings.reg.lock";
  int heldLock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(heldLock, LOCK_EX), 0);
  int silent[2];
  ASSERT_EQ(pipe(silent), 0);

  struct Case {
    const char* what;
    int (*block)(const std::string& fifo, const std::string& lock, int silentFd);
    double atMostSeconds;
  };
  const Case cases[] = {
      {"looking at the request",
       [](const std::string&, const std::string&, int) {
         while (!TerminationRequested()) usleep(1000);
         ReraiseTermination();
         return 0;
       },
       0.5},
      {"opening a FIFO nobody writes",
       [](const std::string& f, const std::string&, int) { return open(f.c_str(), O_RDONLY); }, 3.0},
      {"waiting for a lock held elsewhere",
       [](const std::string&, const std::string& l, int) { return flock(open(l.c_str(), O_RDWR), LOCK_EX); },
       3.0},
      {"reading a silent pipe",
       [](const std::string&, const std::string&, int fd) {
         char byte;
         return int(read(fd, &byte, 1));
       },
       3.0},
  };
  pid_t children[std::size(cases)];
  for (size_t i = 0; i < std::size(cases); ++i) {
    children[i] = fork();
    if (children[i] == 0) {
      InstallTerminationHandler();
      cases[i].block(fifo, lockPath, silent[0]);
      _exit(7);  // the blocking call returned: the request was swallowed
    }
  }
  usleep(200 * 1000);  // every child is in its call
  Clock::time_point sent = Clock::now();
  for (pid_t child : children) kill(child, SIGTERM);
  for (size_t i = 0; i < std::size(cases); ++i) {
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(children[i], &status, WNOHANG)) == 0 &&
           Clock::now() - sent < std::chrono::seconds(6))
      usleep(10 * 1000);
    double seconds = std::chrono::duration<double>(Clock::now() - sent).count();
    if (done == 0) {
      kill(children[i], SIGKILL);
      waitpid(children[i], &status, 0);
      ADD_FAILURE() << cases[i].what << ": still running 6 s after SIGTERM";
      continue;
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << cases[i].what << ": status " << status;
    EXPECT_LE(seconds, cases[i].atMostSeconds) << cases[i].what;
  }
  close(heldLock);
  close(silent[0]);
  close(silent[1]);
  std::filesystem::remove_all(dir);
}

std::set<int> OpenDescriptors() {
  std::set<int> fds;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    fds.insert(std::stoi(entry.path().filename().string()));
  return fds;
}

bool CloseOnExec(int fd) {
  std::ifstream info("/proc/self/fdinfo/" + std::to_string(fd));
  std::string field, flags;
  while (info >> field)
    if (field == "flags:" && info >> flags) return (std::stoul(flags, nullptr, 8) & O_CLOEXEC) != 0;
  return true;  // closed meanwhile (the directory listing's own)
}

// The programs start tools (the desktop's wallpaper commands, the saver
// itself): none of them may inherit what the program holds open.
TEST(Termination, DescriptorsTheProgramHoldsAreCloseOnExec) {
  const std::set<int> before = OpenDescriptors();
  const std::string dir =
      std::filesystem::temp_directory_path() / ("prismora-fds-" + std::to_string(getpid()));
  InstallTerminationHandler();
  ASSERT_TRUE(OpenRegistryStore(dir));
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Kept", KEY_WRITE, &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  for (int fd : OpenDescriptors()) EXPECT_TRUE(before.count(fd) || CloseOnExec(fd)) << "descriptor " << fd;
  ResetRegistryStore();
  ResetTerminationRequest();
  signal(SIGTERM, SIG_DFL);
  std::filesystem::remove_all(dir);
}

}  // namespace
