#include "patterns/settings_session.h"

#include "diag/log.h"
#include "patterns/settings_store.h"
#include "platform/directories.h"
#include "platform/registry.h"

bool SeedInstallationDirectory() {
  char stored[260];
  HKEY main = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_QUERY_VALUE, &main) == ERROR_SUCCESS) {
    ReadText(main, nullptr, stored, sizeof stored, "");
    RegCloseKey(main);
  } else {
    stored[0] = '\0';
  }
  if (stored[0] != '\0' && DirectoryExists(stored)) return true;
  std::string installed = InstallationDirectory();
  if (!DirectoryExists(installed) && stored[0] != '\0') return true;
  long result = RegCreateKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_WRITE, &main, nullptr);
  if (result == ERROR_SUCCESS) {
    result = WriteText(main, nullptr, installed.c_str());
    RegCloseKey(main);
  }
  if (result == ERROR_SUCCESS) return true;
  LogSaveFailure("SeedInstallationDirectory", result);
  // Only a store that already names an installation can go on without it.
  return stored[0] != '\0';
}

bool OpenSettingsSession(const std::string& directory) {
  gRegistryLog = LogDebug;
  if (!OpenRegistryStore(directory)) {
    LogDebug("Can't use the settings directory %s\n", directory.c_str());
    return false;
  }
  // A folder that can be read but not written (left behind by a run as
  // another user) is as unusable as one that cannot be made.
  if (!SeedInstallationDirectory()) {
    CloseRegistryStore();
    LogDebug("Can't use the settings directory %s\n", directory.c_str());
    return false;
  }
  return true;
}

void CloseSettingsSession() { CloseRegistryStore(); }
