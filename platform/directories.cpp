// The program's directories, after the XDG base-directory conventions.
#include "platform/directories.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

// Made once a run, when the account has no home at all.
std::string gPrivateHome;

// A folder only this user can enter, under the temporary directory; never a
// shared, guessable one such as /tmp/.config, which another user could make
// first and fill.
std::string PrivateHome() {
  if (!gPrivateHome.empty()) return gPrivateHome;
  std::error_code error;
  std::string pattern = (std::filesystem::temp_directory_path(error) / "prismora-home-XXXXXX").string();
  if (error) pattern = "/tmp/prismora-home-XXXXXX";
  if (mkdtemp(pattern.data())) gPrivateHome = pattern;
  return gPrivateHome;
}

bool Absolute(const char* path) { return path && path[0] == '/'; }

// Lockers may start the saver with a stripped environment: without $HOME
// the account's own home still holds the files, never the current folder.
std::string HomeDirectory() {
  if (const char* home = getenv("HOME"); Absolute(home)) return home;
  if (const passwd* entry = getpwuid(getuid()); entry && Absolute(entry->pw_dir)) return entry->pw_dir;
  return PrivateHome();
}

// Relative XDG paths are invalid and ignored, as the base-directory
// conventions say.
std::string FromEnvironment(const char* own, const char* xdg, const char* fallbackUnderHome) {
  if (const char* value = getenv(own); value && *value) return value;
  if (const char* value = getenv(xdg); Absolute(value)) return std::string(value) + "/prismora";
  return HomeDirectory() + "/" + fallbackUnderHome + "/prismora";
}

}  // namespace

std::string StateDirectory() {
  return FromEnvironment("PRISMORA_STATE_DIR", "XDG_STATE_HOME", ".local/state");
}

std::string ConfigDirectory() { return FromEnvironment("PRISMORA_CONFIG_DIR", "XDG_CONFIG_HOME", ".config"); }

std::string DataDirectory() { return FromEnvironment("PRISMORA_DATA_DIR", "XDG_DATA_HOME", ".local/share"); }

bool MakeDirectories(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

std::string ChooseInstallationDirectory(const InstallationFacts& facts) {
  if (!facts.variable.empty()) return facts.variable;
  if (!facts.program.empty()) {
    // A relocated install (another prefix, an unpacked package) keeps bin/
    // and share/ side by side.
    std::filesystem::path program(facts.program);
    std::string beside = (program.parent_path().parent_path() / "share" / "prismora").string();
    if (facts.exists(beside)) return beside;
    // A developer's build must show the pages it was built from, not those
    // of an older copy installed on the machine.
    std::string tree = facts.buildTree;
    if (!tree.empty() && tree.back() != '/') tree += '/';
    if (!tree.empty() && facts.program.starts_with(tree)) return facts.sourceData;
  }
  // A copy of the program elsewhere (a locker's hack folder) still finds the
  // data of the prefix it was built for.
  if (!facts.installedData.empty() && facts.exists(facts.installedData)) return facts.installedData;
  return facts.sourceData;
}

std::string InstallationDirectory() {
  InstallationFacts facts;
  if (const char* value = getenv("PRISMORA_INSTALL_DIR"); value && *value) facts.variable = value;
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) facts.program = program.string();
  facts.buildTree = PRISMORA_BUILD_DIR;
  facts.installedData = PRISMORA_INSTALLED_DATA_DIR;
  facts.sourceData = PRISMORA_SOURCE_DATA_DIR;
  facts.exists = DirectoryExists;
  return ChooseInstallationDirectory(facts);
}

bool DirectoryExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}
