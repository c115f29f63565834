// `prismora --idle SECONDS`: waits in the background and runs the saver full
// screen (this same program with /s and the other arguments it was given)
// after SECONDS without input, and again after each return of the user.
#pragma once
#include <cstdint>

// Returns the exit code: 0 when stopped by SIGTERM (the caller raises it
// again), 1 with a message on stderr when there is no idle source, the
// session ends or the saver keeps failing.
int RunIdleWatcher(int argc, char** argv, uint32_t seconds);
