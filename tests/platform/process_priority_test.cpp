// The nice-value priority service, in a child process so that the test
// program keeps its own priority.
#include "platform/process_priority.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/linux/linux_services.h"

namespace {

int NiceOf(pid_t thread) {
  errno = 0;
  int value = getpriority(PRIO_PROCESS, id_t(thread));
  return errno == 0 ? value : -100;
}

// Exit codes name the first check that failed.
int ChildChecks() {
  int start = NiceOf(0);
  std::atomic<pid_t> workerId{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    workerId = pid_t(syscall(SYS_gettid));
    while (!done) usleep(1000);
  });
  while (workerId == 0) usleep(1000);
  InstallLinuxProcessPriority();
  int code = 0;
  if (!gProcessPriority->setLow(true))
    code = 1;
  else if (NiceOf(0) != 19)
    code = 2;
  else if (NiceOf(workerId) != 19)
    code = 3;  // threads started earlier follow
  else {
    bool back = gProcessPriority->setLow(false);
    // Going back up needs a privilege or a nice limit that allows it.
    bool mayRaise = geteuid() == 0;
    if (mayRaise && (!back || NiceOf(0) != start || NiceOf(workerId) != start)) code = 4;
    if (!mayRaise && back && NiceOf(0) != start) code = 5;  // said yes, did nothing
    if (!back && NiceOf(0) != 19) code = 6;                 // said no, changed something
  }
  done = true;
  worker.join();
  return code;
}

}  // namespace

TEST(ProcessPriority, LowReachesEveryThreadAndNormalGoesBackWhereAllowed) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(ChildChecks());
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "check " << WEXITSTATUS(status) << " failed";
}
