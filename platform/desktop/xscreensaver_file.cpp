// ~/.xscreensaver on disk: read whole, written to a new file beside it and
// renamed over it, so XScreenSaver (which rereads the file when it changes)
// never sees half of it. A link is followed to the file it names.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/desktop/xscreensaver_list.h"

namespace {

// The list can be long, but a settings file is never this big.
constexpr off_t kMaxFileSize = 4 * 1024 * 1024;

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  const passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir && entry->pw_dir[0] == '/' ? entry->pw_dir : "";
}

// The whole of a regular file; 0, or an errno code (ENOENT when missing).
int ReadWhole(const std::string& path, std::string* text) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat info;
  int error = fstat(fd, &info) != 0         ? errno
              : !S_ISREG(info.st_mode)      ? EINVAL
              : info.st_size > kMaxFileSize ? EFBIG
                                            : 0;
  char buffer[65536];
  ssize_t n = 0;
  while (error == 0 && (n = read(fd, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      error = errno;
    else
      text->append(buffer, size_t(n));
  }
  close(fd);
  return error;
}

// Writes text in place of path, keeping its permissions; 0 or an errno code.
int ReplaceFile(const std::string& path, const std::string& text, mode_t mode) {
  std::string temporary = path + ".prismora-XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return errno;
  int error = fchmod(fd, mode) != 0 ? errno : 0;
  for (size_t done = 0; error == 0 && done < text.size();) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      error = n < 0 ? errno : ENOSPC;
    else
      done += size_t(n);
  }
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) unlink(temporary.c_str());
  return error;
}

}  // namespace

int EditXScreenSaverList(bool add, const char* appDefaults) {
  std::string home = HomeDirectory();
  if (home.empty()) {
    std::fprintf(stderr, "prismora: no home folder to find ~/.xscreensaver in\n");
    return 1;
  }
  std::string path = home + "/.xscreensaver";
  char real[PATH_MAX];
  ssize_t linked = 0;
  if (realpath(path.c_str(), real)) {
    path = real;
  } else if ((linked = readlink(path.c_str(), real, sizeof real - 1)) > 0) {
    // A link to a file not made yet: the file is made where it points.
    real[linked] = '\0';
    path = real[0] == '/' ? std::string(real) : home + "/" + real;
  }
  std::string text, defaults, edited;
  int error = ReadWhole(path, &text);
  const bool exists = error != ENOENT;
  if (error != 0 && exists) {
    std::fprintf(stderr, "prismora: can't read %s: %s\n", path.c_str(), std::strerror(error));
    return 1;
  }
  ListEdit edit = ListEdit::Unchanged;
  if (add) {
    // The system's list is needed only where the user has none.
    int defaultsError = ReadWhole(appDefaults, &defaults);
    edit = AddPrismoraToList(text, defaults, &edited);
    if (edit == ListEdit::NoList) {
      std::fprintf(
          stderr,
          "prismora: can't read XScreenSaver's list of hacks in %s: %s (is xscreensaver installed?)\n",
          appDefaults, std::strerror(defaultsError != 0 ? defaultsError : ENOENT));
      return 1;
    }
  } else {
    edit = RemovePrismoraFromList(text, &edited);
  }
  if (edit == ListEdit::Unchanged) {
    std::printf(add ? "Prismora is already in XScreenSaver's list (%s)\n"
                    : "Prismora is not in XScreenSaver's list (%s)\n",
                path.c_str());
    return 0;
  }
  struct stat info;
  mode_t mode = exists && stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0644;
  error = ReplaceFile(path, edited, mode);
  if (error != 0) {
    std::fprintf(stderr, "prismora: can't write %s: %s\n", path.c_str(), std::strerror(error));
    return 1;
  }
  std::printf(add ? "Added Prismora to XScreenSaver's list (%s)\n"
                  : "Took Prismora out of XScreenSaver's list (%s)\n",
              path.c_str());
  return 0;
}
