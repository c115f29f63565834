// A started engine on the headless host, shared by tests and benchmarks.
#pragma once

// Loads the standard patterns and default options, and applies pattern
// index to the engine on a headless window of the given drawing size, as
// the saver's start-up would.
void StartHeadlessEngine(unsigned width, unsigned height, unsigned pattern = 0);
