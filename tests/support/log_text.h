// What the program has written to its diagnostic log so far.
#pragma once
#include <fstream>
#include <sstream>
#include <string>

#include "diag/log.h"

inline std::string LogText() {
  std::ifstream in(LogFilePath());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
