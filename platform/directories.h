// Where the program keeps its files. Each directory honours its PRISMORA_*
// variable first, then its XDG variable when that is an absolute path, then
// the folder under $HOME, else under the account's home, else under a
// private folder (0700) made for the run; none other is created here.
#pragma once
#include <string>

std::string StateDirectory();   // $PRISMORA_STATE_DIR, else $XDG_STATE_HOME/prismora
std::string ConfigDirectory();  // $PRISMORA_CONFIG_DIR, else $XDG_CONFIG_HOME/prismora
std::string DataDirectory();    // $PRISMORA_DATA_DIR, else $XDG_DATA_HOME/prismora

// The directory of the installed, read-only data (help pages and the like):
// $PRISMORA_INSTALL_DIR, else share/prismora beside the program's bin/, else
// the source tree's data/ for a program run from its build tree, else the
// data directory it was built to be installed into, else the source tree's
// data/ all the same.
std::string InstallationDirectory();

// The choice InstallationDirectory makes, with every fact it rests on given,
// so each case can be checked without moving the program.
struct InstallationFacts {
  std::string variable;       // $PRISMORA_INSTALL_DIR, empty when unset
  std::string program;        // the running program's real path, empty when unknown
  std::string buildTree;      // the build tree the program was built in
  std::string installedData;  // the data directory of the configured install prefix
  std::string sourceData;     // the source tree's data/
  bool (*exists)(const std::string& directory);
};
std::string ChooseInstallationDirectory(const InstallationFacts& facts);
bool DirectoryExists(const std::string& path);

// Creates path and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
