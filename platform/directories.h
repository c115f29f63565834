// Where the program keeps its files. Each directory honours its PRISMORA_*
// variable first, then the XDG default; none is created here.
#pragma once
#include <string>

std::string StateDirectory();   // $PRISMORA_STATE_DIR, else $XDG_STATE_HOME/prismora
std::string ConfigDirectory();  // $PRISMORA_CONFIG_DIR, else $XDG_CONFIG_HOME/prismora
std::string DataDirectory();    // $PRISMORA_DATA_DIR, else $XDG_DATA_HOME/prismora

// The directory of the installed, read-only data (help pages and the like):
// $PRISMORA_INSTALL_DIR, else share/prismora beside the program's bin/, else
// the data/ folder of the source tree the program was built from.
std::string InstallationDirectory();
bool DirectoryExists(const std::string& path);

// Creates path and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
