// Benchmarks run on a settings store of their own that holds only defaults.
#pragma once

// Opens (once per run) a fresh store in a temporary directory.
void OpenBenchSettings();
