// The wallpaper service on a Linux desktop: XDG_CURRENT_DESKTOP names the
// desktop, whose own settings tool is then run (gsettings, xfconf-query,
// plasma-apply-wallpaperimage, swaymsg); a plain X11 session gets the root
// window's background, as xsetroot-style tools set it. Another Wayland
// desktop has no call anyone would see.
#include "platform/desktop/desktop_wallpaper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/desktop/x11_root_background.h"
#include "platform/wallpaper.h"

extern char** environ;

namespace {

// A settings tool that has not finished by then is given up.
constexpr int kToolTimeoutMs = 10000;

void SleepMs(long ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&t, nullptr);
}

// Runs argv (found on PATH) with no input; its standard output goes to
// output when given, else nowhere. 0 when it ran and exited 0, else an
// errno code (see wallpaper.h).
int RunTool(const std::vector<std::string>& argv, std::string* output) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int pipeFds[2] = {-1, -1};
  if (output && pipe2(pipeFds, O_CLOEXEC) != 0) return errno;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output) close(pipeFds[1]);
  if (spawned != 0) {
    if (output) close(pipeFds[0]);
    return spawned;
  }
  int waited = 0;
  if (output) {
    // To the end of its output, or until the tool has had its time.
    char buffer[4096];
    while (waited < kToolTimeoutMs) {
      pollfd ready{pipeFds[0], POLLIN, 0};
      int polled = poll(&ready, 1, 100);
      if (polled == 0) {
        waited += 100;
        continue;
      }
      if (polled < 0 && errno == EINTR) continue;
      ssize_t n = polled > 0 ? read(pipeFds[0], buffer, sizeof buffer) : -1;
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      output->append(buffer, size_t(n));
    }
    close(pipeFds[0]);
  }
  int status = 0;
  for (;; waited += 10) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return ECHILD;
    if (waited >= kToolTimeoutMs) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return ETIMEDOUT;
    }
    SleepMs(10);
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return 0;
  // The shell's "command not found", from tools that are wrappers.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return ENOENT;
  return EIO;
}

std::string FileUri(const char* path) {
  std::string uri = "file://";
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(path); *c; ++c) {
    if (std::isalnum(*c) || std::strchr("/-_.~", *c)) {
      uri += char(*c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", *c);
      uri += escaped;
    }
  }
  return uri;
}

// True when one of the colon-separated names in desktops is name.
bool DesktopIs(const char* desktops, const char* name) {
  std::string list = desktops ? desktops : "";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (strcasecmp(list.substr(start, end - start).c_str(), name) == 0) return true;
    start = end + 1;
  }
  return false;
}

int SetGnome(const std::string& uri) {
  int result = RunTool({"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri}, nullptr);
  // Only newer GNOME has the dark variant; its absence is no failure.
  if (result == 0)
    RunTool({"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri}, nullptr);
  return result;
}

// Every monitor and workspace that has a backdrop image, or the first one.
int SetXfce(const char* path) {
  std::string listing;
  int result = RunTool({"xfconf-query", "-c", "xfce4-desktop", "-l"}, &listing);
  if (result != 0) return result;
  std::vector<std::string> properties;
  size_t start = 0;
  while (start < listing.size()) {
    size_t end = listing.find('\n', start);
    if (end == std::string::npos) end = listing.size();
    std::string line = listing.substr(start, end - start);
    const std::string suffix = "/last-image";
    if (line.size() > suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
      properties.push_back(line);
    start = end + 1;
  }
  if (properties.empty())
    return RunTool({"xfconf-query", "-c", "xfce4-desktop", "-p",
                    "/backdrop/screen0/monitor0/workspace0/last-image", "-n", "-t", "string", "-s", path},
                   nullptr);
  for (const std::string& property : properties) {
    int one = RunTool({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", path}, nullptr);
    if (one != 0) result = one;
  }
  return result;
}

// swaymsg joins its arguments into one sway command, and sway hands the
// background's path to wordexp() after its own parser has taken the quotes
// off: a path is only safe where neither can read anything into it, so one
// with any other character is refused rather than escaped.
bool SwayQuote(const std::string& path, std::string* quoted) {
  for (unsigned char c : path) {
    if (c < 0x80 && !std::isalnum(c) && !std::strchr("/._-+,@%=:~ ", c)) return false;
  }
  *quoted = "\"" + path + "\"";
  return true;
}

// Copies from to to; 0 or an errno code.
int CopyFile(const std::string& from, const std::string& to) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int result = out < 0 ? errno : 0;
  char buffer[65536];
  ssize_t n = 0;
  while (result == 0 && (n = read(in, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) result = errno;
    errno = 0;
    if (n > 0 && write(out, buffer, size_t(n)) != n) result = errno ? errno : ENOSPC;
  }
  close(in);
  if (out >= 0 && close(out) != 0 && result == 0) result = errno;
  return result;
}

// Plasma keeps showing the picture it has for a file name it already
// shows, so each export is handed over under the other of two names: a
// link to the file of record (a copy where links are not possible).
int SetPlasma(const std::string& path) {
  std::string folder = path.substr(0, path.rfind('/') + 1);
  std::string names[2] = {folder + "PrismoraPlasma1.bmp", folder + "PrismoraPlasma2.bmp"};
  int next = access(names[0].c_str(), F_OK) == 0 ? 1 : 0;
  unlink(names[next].c_str());
  if (link(path.c_str(), names[next].c_str()) != 0) {
    int copied = CopyFile(path, names[next]);
    if (copied != 0) return copied;
  }
  int result = RunTool({"plasma-apply-wallpaperimage", "--", names[next]}, nullptr);
  unlink(names[result == 0 ? 1 - next : next].c_str());
  return result;
}

int DesktopSetWallpaper(const char* file, const FrameImage& picture) {
  const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
  // The tools get an absolute path, so none can take it for an option.
  std::string path = file;
  char cwd[4096];
  if (path.empty() || path[0] != '/') path = std::string(getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + path;
  std::string uri = FileUri(path.c_str());
  if (DesktopIs(desktops, "GNOME") || DesktopIs(desktops, "Unity") || DesktopIs(desktops, "Budgie") ||
      DesktopIs(desktops, "Pantheon"))
    return SetGnome(uri);
  if (DesktopIs(desktops, "X-Cinnamon") || DesktopIs(desktops, "Cinnamon"))
    return RunTool({"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", uri}, nullptr);
  if (DesktopIs(desktops, "MATE"))
    return RunTool({"gsettings", "set", "org.mate.background", "picture-filename", path}, nullptr);
  if (DesktopIs(desktops, "KDE")) return SetPlasma(path);
  if (DesktopIs(desktops, "XFCE")) return SetXfce(path.c_str());
  if (DesktopIs(desktops, "sway") || std::getenv("SWAYSOCK")) {
    std::string quoted;
    if (!SwayQuote(path, &quoted)) return EINVAL;
    return RunTool({"swaymsg", "output", "*", "bg", quoted, "fill"}, nullptr);
  }
  // Under Wayland an X11 root window is Xwayland's, behind every window.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland && *wayland) return ENOTSUP;
  const char* display = std::getenv("DISPLAY");
  if (display && *display) return SetX11RootBackground(picture);
  return ENOTSUP;
}

const WallpaperService kDesktopWallpaper = {DesktopSetWallpaper};

}  // namespace

void InstallDesktopWallpaper() { gWallpaper = &kDesktopWallpaper; }
