#include "bench/bench_settings.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "patterns/settings_session.h"

namespace {

std::string gBenchSettingsDirectory;

void RemoveBenchSettings() {
  CloseSettingsSession();
  std::error_code ignored;
  std::filesystem::remove_all(gBenchSettingsDirectory, ignored);
}

}  // namespace

void OpenBenchSettings() {
  if (!gBenchSettingsDirectory.empty()) return;
  std::string directory = (std::filesystem::temp_directory_path() / "prismora-bench-XXXXXX").string();
  if (!mkdtemp(directory.data()) || !OpenSettingsSession(directory)) std::abort();
  gBenchSettingsDirectory = directory;
  std::atexit(RemoveBenchSettings);
}
