// SIGTERM ends the program even inside a blocking call that the handler
// restarts, and the program's own descriptors never reach the tools it starts.
#include "platform/termination.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

TEST(Termination, EndsTheProgramWhateverCallItIsIn) {
  const std::string base =
      std::filesystem::temp_directory_path() / ("prismora-term-" + std::to_string(getpid()));
  mkfifo((base + ".m3u").c_str(), 0600);
  int lock = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600), silent[2];
  ASSERT_TRUE(flock(lock, LOCK_EX) == 0 && pipe(silent) == 0);
  void (*const calls[])(const std::string&, int) = {
      [](const std::string& b, int) { open((b + ".m3u").c_str(), O_RDONLY); },  // a FIFO nobody writes
      [](const std::string& b, int) { flock(open((b + ".lock").c_str(), O_RDWR), LOCK_EX); },  // a lock held
      [](const std::string&, int fd) { (void)!read(fd, &fd, 1); },  // a silent pipe
  };
  for (auto call : calls) {
    pid_t child = fork();
    if (child == 0) {
      InstallTerminationHandler();
      call(base, silent[0]);
      _exit(7);
    }
    usleep(200 * 1000);
    auto sent = std::chrono::steady_clock::now();
    kill(child, SIGTERM);
    int status = 0;
    for (int i = 0; i < 600 && waitpid(child, &status, WNOHANG) == 0; ++i) usleep(10 * 1000);
    if (kill(child, SIGKILL) == 0) waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
  }
  close(lock);
  close(silent[0]);
  close(silent[1]);
  unlink((base + ".m3u").c_str());
  unlink((base + ".lock").c_str());
  // The wake pipe is close-on-exec.
  InstallTerminationHandler();
  signal(SIGTERM, SIG_DFL);
  std::ifstream info("/proc/self/fdinfo/" + std::to_string(TerminationWakeFd()));
  std::string field = "", flags = "0";
  while (info >> field && field != "flags:") {
  }
  info >> flags;
  EXPECT_TRUE(std::stoul(flags, nullptr, 8) & O_CLOEXEC);
}

}  // namespace
