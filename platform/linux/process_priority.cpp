// The program's priority as nice values. Linux keeps a nice value per
// thread, so every thread the program has is changed; threads started
// later take the value of the thread that starts them. Low is 19, the
// lowest any user may set; normal is the value the program started with,
// which an ordinary user may only go back to where the system's nice limit
// (RLIMIT_NICE) or a privilege allows it.
#include "platform/process_priority.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/linux/linux_services.h"

namespace {

constexpr int kLowestNice = 19;

struct LinuxPriorityRec {
  bool haveStartNice = false;
  int startNice = 0;
};

LinuxPriorityRec gLinuxPriority;

int CurrentNice() {
  errno = 0;
  int value = getpriority(PRIO_PROCESS, 0);
  return errno == 0 ? value : 0;
}

bool SetEveryThread(int nice) {
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return setpriority(PRIO_PROCESS, 0, nice) == 0;
  bool ok = true;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    id_t thread = id_t(std::strtoul(entry->d_name, nullptr, 10));
    // A thread that ended meanwhile is no failure.
    if (setpriority(PRIO_PROCESS, thread, nice) != 0 && errno != ESRCH) ok = false;
  }
  closedir(tasks);
  return ok;
}

bool LinuxSetLow(bool low) {
  if (!gLinuxPriority.haveStartNice) {
    gLinuxPriority.haveStartNice = true;
    gLinuxPriority.startNice = CurrentNice();
  }
  int target = low ? kLowestNice : gLinuxPriority.startNice;
  if (!low && CurrentNice() == target) return true;
  return SetEveryThread(target);
}

const ProcessPriorityService kLinuxPriority = {LinuxSetLow};

}  // namespace

void InstallLinuxProcessPriority() {
  gLinuxPriority = LinuxPriorityRec{};
  gProcessPriority = &kLinuxPriority;
}
