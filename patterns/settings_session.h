// Opening the user's settings store for a run of a program.
#pragma once
#include <string>

// Opens the store in directory, sends its reports to the diagnostic log and
// records where the program's data is installed, as an installer would: when
// the store does not say yet, or names a directory that is gone while this
// program knows one that exists. False when the store cannot be used: it
// cannot be opened, or it names no installation and cannot be written.
bool OpenSettingsSession(const std::string& directory);
void CloseSettingsSession();
// The installation step alone, on an open store; false when the store
// names no installation and cannot be made to.
bool SeedInstallationDirectory();
