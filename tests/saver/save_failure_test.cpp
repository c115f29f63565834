// Every way the programs save settings, on a disk that is full or read-only:
// the log names the file and the reason, the dialog says so and stays open,
// the running program keeps its settings in memory, the file stays whole.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "patterns/options.h"
#include "patterns/pattern_library.h"
#include "patterns/preset.h"
#include "patterns/settings_session.h"
#include "patterns/settings_store.h"
#include "platform/headless/headless.h"
#include "platform/headless/headless_dialog.h"
#include "platform/registry.h"
#include "saver/settings_dialog.h"
#include "tests/platform/store/store_fixture.h"
#include "tests/support/log_text.h"
#include "tests/support/test_host.h"

namespace {

class SaveFailure : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    InstallHeadlessDialogs();
  }
  void TearDown() override {
    if (dialog_) HeadlessCloseDialog(dialog_);
    HeadlessTest::TearDown();
  }
  WindowHandle dialog_ = 0;
};

TEST_F(SaveFailure, EverySavePathReportsAndKeepsTheFile) {
  struct Case {
    const char* what;
    bool readOnly;  // else full
    bool firstRun;  // an empty folder: nothing stored yet
    std::function<void(const std::string&, WindowHandle*)> save;
    std::function<bool(WindowHandle)> keptInMemory;
    const char* routine;
  };
  const Case cases[] = {
      {"dialog OK", false, false,
       [](const std::string&, WindowHandle* dialog) {
         *dialog = HeadlessOpenDialog(kSettingsDialogTemplate, ScreenSaverConfigureDialog, 0);
         HeadlessType(*dialog, kIdMaxFps, "44");
         HeadlessClick(*dialog, IDOK);
       },
       [](WindowHandle dialog) {
         HeadlessDialogRec* d = HeadlessFindDialog(dialog);
         return d && !d->ended && gOptions.MaxFps == 44u && gHeadless.messageBoxes.size() == 1 &&
                gHeadless.messageBoxes[0].text.starts_with("Can't save the settings to ");
       },
       "SaveSettings"},
      {"Space's grab", true, false, [](const std::string&, WindowHandle*) { GrabPattern(); },
       [](WindowHandle) { return gPatternCount == 21u && gPresets[20].Grabbed == 1; }, "SavePattern"},
      {"LumioWindow's options", false, false,
       [](const std::string&, WindowHandle*) {
         gWindowOptions.AlwaysOnTop = 0;
         SaveWindowSettings(10, 20, 330, 260, 1);
       },
       [](WindowHandle) { return gWindowOptions.WindowLeft == 10 && gWindowOptions.AlwaysOnTop == 0; },
       "SaveWindowSettings"},
      // The folder cannot be used: the program says so and runs on defaults
      // rather than calling the installation missing.
      {"first-run write", true, true,
       [](const std::string& dir, WindowHandle*) { EXPECT_FALSE(OpenSettingsSession(dir)); },
       [](WindowHandle) { return true; }, "SeedInstallationDirectory"},
  };
  for (const Case& c : cases) {
    ResetRegistryStore();
    gHeadless.messageBoxes.clear();
    std::string dir = TempDir() + "/disk-" + std::to_string(&c - cases);
    SmallDisk disk;
    if (!disk.Mount(dir, 256)) GTEST_SKIP() << "cannot mount a small disk here";
    if (!c.firstRun) {
      ASSERT_TRUE(OpenSettingsSession(dir)) << c.what;
      ASSERT_TRUE(GetSettings(false)) << c.what;
      gCurrentPattern = 3;
    }
    const std::string before = ReadText(dir + "/settings.reg");
    const std::string reason = c.readOnly ? "Read-only file system" : "No space left on device";
    if (c.readOnly)
      disk.MakeReadOnly();
    else
      disk.Fill();
    c.save(dir, &dialog_);

    EXPECT_NE(LogText().find(std::string(c.routine) + ": Can't save the settings to " + dir +
                             "/settings.reg: " + reason + "\n"),
              std::string::npos)
        << c.what << "\n"
        << LogText();
    EXPECT_TRUE(c.keptInMemory(dialog_)) << c.what;
    EXPECT_EQ(ReadText(dir + "/settings.reg"), before) << c.what;
    if (dialog_) HeadlessCloseDialog(dialog_);
    dialog_ = 0;
  }
}

}  // namespace
