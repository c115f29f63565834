// Where the program keeps its files. Each directory honours its PRISMORA_*
// variable first, then the XDG default; none is created here.
#pragma once
#include <string>

std::string StateDirectory();   // $PRISMORA_STATE_DIR, else $XDG_STATE_HOME/prismora
std::string ConfigDirectory();  // $PRISMORA_CONFIG_DIR, else $XDG_CONFIG_HOME/prismora
std::string DataDirectory();    // $PRISMORA_DATA_DIR, else $XDG_DATA_HOME/prismora

// Creates path and its parents; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
