// The render command: the saver's start-up and frame loop on the headless
// host, with the presented frames written as PNG files.
#pragma once
#include "saver/command_line.h"

// Runs the render a parsed --render command line asks for. Returns the
// process exit code: 0 when every frame was drawn and written, 1 when the
// saver could not start or a file could not be written (said on stderr).
int RunRenderCommand(const CommandLine& commandLine);
