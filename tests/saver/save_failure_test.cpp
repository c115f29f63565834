// Every way the programs save settings, on a full or a read-only disk (a
// small tmpfs; root only): the log names the file and the reason, the dialog
// says so and stays open, memory keeps the settings, the file stays whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "patterns/options.h"
#include "patterns/pattern_library.h"
#include "patterns/preset.h"
#include "patterns/settings_session.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_dialog.h"
#include "platform/registry.h"
#include "saver/settings_dialog.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/log_text.h"
#include "tests/support/test_host.h"

namespace {

class SaveFailure : public HeadlessTest {};

TEST_F(SaveFailure, EverySavePathReportsAndKeepsTheFile) {
  InstallHeadlessDialogs();
  WindowHandle dialog = 0;
  struct Case {
    const char* routine;
    bool full, firstRun;
    bool (*save)(const std::string& dir, WindowHandle* dialog);  // true: memory kept what was asked
  } cases[] = {
      {"SaveSettings", true, false,  // the dialog's OK
       [](const std::string&, WindowHandle* d) {
         *d = HeadlessOpenDialog(kSettingsDialogTemplate, ScreenSaverConfigureDialog, 0);
         HeadlessType(*d, kIdMaxFps, "44");
         HeadlessClick(*d, IDOK);
         return !HeadlessFindDialog(*d)->ended && gOptions.MaxFps == 44u &&
                gHeadless.messageBoxes.size() == 1 &&
                gHeadless.messageBoxes[0].text.starts_with("Can't save the settings to ");
       }},
      {"SavePattern", false, false,  // Space's grab
       [](const std::string&, WindowHandle*) {
         GrabPattern();
         return gPatternCount == 21u;
       }},
      {"SaveWindowSettings", true, false,
       [](const std::string&, WindowHandle*) {
         return !SaveWindowSettings(10, 20, 330, 260, 1) && gWindowOptions.WindowLeft == 10;
       }},
      {"SeedInstallationDirectory", false, true,  // the first run: the folder cannot be used
       [](const std::string& dir, WindowHandle*) { return !OpenSettingsSession(dir); }},
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
    char zeros[512] = {};
    if (c.full) {
      int fd = open((dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
      while (write(fd, zeros, sizeof zeros) > 0 || write(fd, zeros, 1) > 0) {
      }
      close(fd);
    }
    // Read-only as a view laid over the disk, which files the store holds open for writing allow.
    if (!c.full) mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr);
    if (!c.full) mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
    EXPECT_TRUE(c.save(dir, &dialog)) << c.routine;
    EXPECT_NE(
        LogText().find(std::string(c.routine) + ": Can't save the settings to " + dir + "/settings.reg: " +
                       (c.full ? "No space left on device\n" : "Read-only file system\n")),
        std::string::npos)
        << LogText();
    EXPECT_EQ(ReadText(dir + "/settings.reg"), before) << c.routine;
    if (dialog) HeadlessCloseDialog(dialog);
    dialog = 0;
    ResetRegistryStore();
    while (umount2(dir.c_str(), MNT_DETACH) == 0) {
    }
  }
}

}  // namespace
