// Where the program finds its read-only data: installed in any prefix, run
// from its build tree, copied into a locker's hack folder, or told by
// $PRISMORA_INSTALL_DIR.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "platform/directories.h"

namespace {

// The directories that exist on the imagined machine of each case.
std::set<std::string> gPresent;
bool Present(const std::string& directory) { return gPresent.count(directory) > 0; }

TEST(InstallationDirectoryTest, ChoosesByWhereTheProgramRunsAndWhatExists) {
  struct Case {
    const char* what;
    const char* variable;
    const char* program;
    std::set<std::string> present;
    const char* expected;
  };
  const Case cases[] = {
      {"the variable wins over everything",
       "/opt/mine",
       "/usr/bin/prismora",
       {"/usr/share/prismora", "/opt/mine"},
       "/opt/mine"},
      {"the variable wins even when its directory is gone",
       "/gone",
       "/usr/bin/prismora",
       {"/usr/share/prismora"},
       "/gone"},
      {"the packaged program", "", "/usr/bin/prismora", {"/usr/share/prismora"}, "/usr/share/prismora"},
      {"a relocated install beside its bin",
       "",
       "/tmp/p/bin/prismora",
       {"/tmp/p/share/prismora", "/usr/share/prismora"},
       "/tmp/p/share/prismora"},
      {"a relocated install inside the build tree still uses its own share",
       "",
       "/src/build/stage/bin/prismora",
       {"/src/build/stage/share/prismora", "/usr/share/prismora"},
       "/src/build/stage/share/prismora"},
      {"the build tree's program takes the source tree over an installed copy",
       "",
       "/src/build/apps/prismora/prismora",
       {"/usr/share/prismora"},
       "/src/data"},
      {"a build tree with a similar name is not the build tree",
       "",
       "/src/build-other/apps/prismora",
       {"/usr/share/prismora"},
       "/usr/share/prismora"},
      {"a copy in the hack folder finds the configured prefix",
       "",
       "/usr/libexec/xscreensaver/prismora",
       {"/usr/share/prismora"},
       "/usr/share/prismora"},
      {"nothing installed: the source tree", "", "/home/me/prismora", {}, "/src/data"},
      {"the program's path unknown: the configured prefix",
       "",
       "",
       {"/usr/share/prismora"},
       "/usr/share/prismora"},
      {"the program's path unknown and nothing installed: the source tree", "", "", {}, "/src/data"},
  };
  for (const Case& c : cases) {
    gPresent = c.present;
    InstallationFacts facts{c.variable, c.program, "/src/build", "/usr/share/prismora", "/src/data", Present};
    EXPECT_EQ(ChooseInstallationDirectory(facts), c.expected) << c.what;
  }
  gPresent.clear();
}

TEST(InstallationDirectoryTest, TheBuiltProgramTakesTheVariableElseItsSourceTree) {
  // The tests run from the build tree: the source tree's data/, which alone
  // holds the track's source file (an install does not carry it).
  unsetenv("PRISMORA_INSTALL_DIR");
  const std::string fromTree = InstallationDirectory();
  EXPECT_TRUE(DirectoryExists(fromTree + "/help")) << fromTree;
  EXPECT_TRUE(std::filesystem::exists(fromTree + "/prism_drift.mp3")) << fromTree;
  setenv("PRISMORA_INSTALL_DIR", "/nowhere/prismora", 1);
  EXPECT_EQ(InstallationDirectory(), "/nowhere/prismora");
  unsetenv("PRISMORA_INSTALL_DIR");
}

}  // namespace
