// Starting other programs: the saver itself and the user's browser.
#pragma once

struct LaunchService {
  // Starts the program called name, found beside the running program or
  // else on PATH, with the arguments (ending with nullptr), detached,
  // inheriting the environment; false when it cannot be started.
  bool (*startProgram)(const char* name, const char* const* arguments);
  // Opens a local file or a web address in the user's browser; false when
  // no opener could be started.
  bool (*openInBrowser)(const char* address);
};

extern const LaunchService* gLaunch;
