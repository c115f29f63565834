#include "patterns/settings_session.h"

#include "diag/log.h"
#include "patterns/settings_store.h"
#include "platform/directories.h"
#include "platform/registry.h"

void SeedInstallationDirectory() {
  char stored[260];
  HKEY main = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_QUERY_VALUE, &main) == ERROR_SUCCESS) {
    ReadText(main, nullptr, stored, sizeof stored, "");
    RegCloseKey(main);
  } else {
    stored[0] = '\0';
  }
  if (stored[0] != '\0' && DirectoryExists(stored)) return;
  std::string installed = InstallationDirectory();
  if (!DirectoryExists(installed) && stored[0] != '\0') return;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, kMainKeyPath, KEY_WRITE, &main, nullptr) != ERROR_SUCCESS) return;
  WriteText(main, nullptr, installed.c_str());
  RegCloseKey(main);
}

bool OpenSettingsSession(const std::string& directory) {
  gRegistryLog = LogDebug;
  if (!OpenRegistryStore(directory)) {
    LogDebug("Can't use the settings directory %s\n", directory.c_str());
    return false;
  }
  SeedInstallationDirectory();
  return true;
}

void CloseSettingsSession() { CloseRegistryStore(); }
