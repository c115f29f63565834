// Hostile inputs, states and environments, each row failing the way a user
// met it: settings files that are deep, endless or no file at all; saves on a
// full or read-only disk (a small tmpfs, root only); SIGTERM inside a call
// that the handler restarts; relative XDG paths and an account with no home.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "patterns/options.h"
#include "patterns/pattern_library.h"
#include "patterns/preset.h"
#include "patterns/settings_session.h"
#include "platform/directories.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_dialog.h"
#include "platform/termination.h"
#include "saver/settings_dialog.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/log_text.h"
#include "tests/support/test_host.h"

namespace {

// The child's status as waitpid gives it: signal (if not 0) after 200 ms,
// SIGKILL after seconds. growthKb: how far its peak memory went past ours.
int RunInChild(const std::function<int()>& work, int seconds, int signal = 0, long* growthKb = nullptr) {
  rusage own{}, child{};
  getrusage(RUSAGE_SELF, &own);
  pid_t pid = fork();
  if (pid == 0) _exit(work());
  int status = 0;
  for (int ms = 0; wait4(pid, &status, WNOHANG, &child) == 0; ms += 10) {
    if (ms == 200 && signal) kill(pid, signal);
    if (ms == seconds * 1000) kill(pid, SIGKILL);
    usleep(10 * 1000);
  }
  if (growthKb) *growthKb = child.ru_maxrss - own.ru_maxrss;
  return status;
}

class HostileStore : public StoreTest {};

TEST_F(HostileStore, SettingsFilesOpenAtOnceInLittleMemoryKeepingEveryLine) {
  std::string deep = "a", file = FilePath();
  for (int i = 1; i < 10000; ++i) deep += "\\a";
  const std::string section = "[HKEY_CURRENT_USER\\" + deep + "]\n\"Deep\"=dword:00000002\n";
  struct Case {
    const char* what;
    std::function<void()> make;
    int opened;
  } cases[] = {{"a FIFO nobody writes", [&] { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }, 0},
               {"a link to an endless device", [&] { ASSERT_EQ(symlink("/dev/zero", file.c_str()), 0); }, 0},
               {"a key 10,000 names deep", [&] { WriteText(file, "REGEDIT4\n\n" + section); }, 1}};
  for (const Case& c : cases) {
    CloseRegistryStore();
    std::filesystem::remove_all(file);
    c.make();
    long growthKb = 0;
    EXPECT_EQ(RunInChild([&] { return OpenRegistryStore(Dir()) ? 1 : 0; }, 5, 0, &growthKb), c.opened << 8)
        << c.what;
    EXPECT_LT(growthKb, 16 * 1024) << c.what;
  }
  // Deeper than a key may be: no key, and its lines stay through a change.
  ASSERT_TRUE(OpenRegistryStore(Dir()));
  uint32_t type = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(GetValue(deep, "Deep", &type, &data), ERROR_INVALID_NAME);
  ASSERT_EQ(SetDword("Other", "Value", 3), ERROR_SUCCESS);
  EXPECT_NE(ReadText(file).find(section), std::string::npos);
}

class SaveFailure : public HeadlessTest {};

TEST_F(SaveFailure, EverySavePathReportsKeepsMemoryAndLeavesTheFileWhole) {
  InstallHeadlessDialogs();
  WindowHandle d = 0;
  struct Case {
    const char* routine;
    bool full, firstRun;
    std::function<bool(const std::string& dir)> save;  // true: memory kept what was asked
  } cases[] = {
      {"SaveSettings", true,
       false,  // the dialog's OK: a box, and the dialog stays
       [&](const std::string&) {
         d = HeadlessOpenDialog(kSettingsDialogTemplate, ScreenSaverConfigureDialog, 0);
         HeadlessType(d, kIdMaxFps, "44");
         HeadlessClick(d, IDOK);
         return !HeadlessFindDialog(d)->ended && gOptions.MaxFps == 44u && gHeadless.messageBoxes.size() == 1;
       }},
      {"SavePattern", false, false, [](const std::string&) { return GrabPattern(), gPatternCount == 21u; }},
      {"SaveWindowSettings", true, false,
       [](const std::string&) {
         return !SaveWindowSettings(1, 2, 3, 4, 1) && gWindowOptions.WindowTop == 2;
       }},
      // An empty folder that cannot be written is no usable settings folder.
      {"SeedInstallationDirectory", false, true,
       [](const std::string& dir) { return !OpenSettingsSession(dir); }},
  };
  for (const Case& c : cases) {
    ResetRegistryStore();
    gHeadless.messageBoxes.clear();
    const std::string dir = TempDir() + "/" + c.routine;
    std::filesystem::create_directories(dir);
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k") != 0)
      GTEST_SKIP() << "cannot mount a small disk";
    ASSERT_TRUE(c.firstRun || (OpenSettingsSession(dir) && GetSettings(false))) << c.routine;
    const std::string before = ReadText(dir + "/settings.reg");
    if (c.full) std::ofstream(dir + "/filler") << std::string(512 * 1024, '\0');  // to the last byte
    // Read-only as a view over the disk, which files held open for writing
    // allow.
    if (!c.full) mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr);
    if (!c.full) mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
    EXPECT_TRUE(c.save(dir)) << c.routine;
    EXPECT_NE(
        LogText().find(std::string(c.routine) + ": Can't save the settings to " + dir + "/settings.reg: " +
                       (c.full ? "No space left on device\n" : "Read-only file system\n")),
        std::string::npos)
        << LogText();
    EXPECT_EQ(ReadText(dir + "/settings.reg"), before) << c.routine;
    if (d) HeadlessCloseDialog(d);
    d = 0;
    ResetRegistryStore();
    while (umount2(dir.c_str(), MNT_DETACH) == 0) {
    }
  }
}

TEST(HostileEnvironment, SigtermEndsTheProgramInsideRestartedBlockingCalls) {
  const std::string fifo =
      std::filesystem::temp_directory_path() / ("prismora-fifo-" + std::to_string(getpid()));
  int silent[2];
  ASSERT_TRUE(mkfifo(fifo.c_str(), 0600) == 0 && pipe(silent) == 0);
  std::function<int()> calls[] = {[&] { return open(fifo.c_str(), O_RDONLY); },
                                  [&] { return int(read(silent[0], silent, 1)); }};
  for (const auto& call : calls) {
    int status = RunInChild([&] { return InstallTerminationHandler(), call(); }, 3, SIGTERM);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
  }
  unlink(fifo.c_str());
  InstallTerminationHandler();
  signal(SIGTERM, SIG_DFL);
  std::ifstream info("/proc/self/fdinfo/" + std::to_string(TerminationWakeFd()));
  std::string field, flags = "0";
  while (info >> field && field != "flags:") {
  }
  info >> flags;
  EXPECT_TRUE(std::stoul(flags, nullptr, 8) & O_CLOEXEC) << "the wake pipe reaches the tools started";
}

// An account with no password-database entry (only root can become one), no
// $HOME and a relative XDG path: a private folder of its own.
TEST(HostileEnvironment, AnAccountWithoutAnyHomeGetsAPrivateFolder) {
  if (getuid() != 0) GTEST_SKIP() << "only root can become another account";
  const uid_t account = 54321;
  int status = RunInChild(
      [&] {
        clearenv();
        setenv("XDG_CONFIG_HOME", "./x", 1);
        if (setresuid(account, account, account) != 0) return 1;
        std::string got = ConfigDirectory(), home = got.substr(0, got.rfind("/.config/prismora"));
        struct stat st {};
        bool own = home.starts_with("/tmp/prismora-home-") && stat(home.c_str(), &st) == 0 &&
                   (st.st_mode & 0777) == 0700 && st.st_uid == account;
        rmdir(home.c_str());
        return own ? 0 : 3;
      },
      5);
  EXPECT_EQ(status, 0);
}

}  // namespace
