// The music turn as an advisory lock (flock) on a file in the user's runtime
// folder, else the state folder. The kernel drops the lock with the last
// descriptor, so a saver that is killed or crashes gives its turn up too.
#include "platform/music_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/directories.h"
#include "platform/linux/linux_services.h"

namespace {

struct LinuxMusicLockRec {
  int fd = -1;  // open and locked while the turn is ours
};

LinuxMusicLockRec gLinuxMusicLock;

std::string LockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && DirectoryExists(runtime))
    return runtime;
  std::string state = StateDirectory();
  return MakeDirectories(state) ? state : "";
}

bool AcquireMusicTurn() {
  if (gLinuxMusicLock.fd >= 0) return true;
  std::string folder = LockFolder();
  std::string path = folder + "/prismora-music.lock";
  // Not inherited: a child process must not keep the turn after we end.
  int fd = folder.empty() ? -1 : open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  gLinuxMusicLock.fd = fd;
  return true;
}

void ReleaseMusicTurn() {
  if (gLinuxMusicLock.fd < 0) return;
  close(gLinuxMusicLock.fd);  // drops the lock
  gLinuxMusicLock.fd = -1;
}

const MusicLockService kLinuxMusicLock = {AcquireMusicTurn, ReleaseMusicTurn};

}  // namespace

void InstallLinuxMusicLock() { gMusicLock = &kLinuxMusicLock; }
