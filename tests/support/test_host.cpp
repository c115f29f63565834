#include "tests/support/test_host.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "engine/engine.h"
#include "patterns/options.h"
#include "patterns/pattern_apply.h"
#include "patterns/preset.h"
#include "patterns/settings_session.h"
#include "platform/font/freetype_text.h"
#include "platform/headless/headless.h"
#include "platform/key_state.h"
#include "platform/messages.h"
#include "platform/registry.h"
#include "platform/termination.h"
#include "render/display.h"
#include "saver/program_reset.h"

void HeadlessTest::SetUp() {
  InstallHeadlessHost();
  InstallFreeTypeText();
  ResetProgram();
  ResetMessageQueue();
  ResetKeyState();
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("prismora-test-" + std::to_string(getpid()) + "-" + name);
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  tempRoot_ = root.string();
  for (const char* variable : {"PRISMORA_STATE_DIR", "PRISMORA_CONFIG_DIR", "PRISMORA_DATA_DIR"})
    setenv(variable, (root / variable).c_str(), 1);
  unsetenv("PRISMORA_INSTALL_DIR");
  // Every test starts as a first run on a freshly installed machine.
  ResetRegistryStore();
  ASSERT_TRUE(OpenSettingsSession((root / "PRISMORA_CONFIG_DIR").string()));
}

void HeadlessTest::TearDown() {
  ResetProgram();
  ResetRegistryStore();
  ResetMessageQueue();
  std::error_code ignored;
  std::filesystem::remove_all(tempRoot_, ignored);
}
