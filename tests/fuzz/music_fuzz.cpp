// Fuzzes the way music reaches the sound service: the input is a settings
// file and, after its first NUL byte, the bytes of a playlist. The settings
// go through the real store and GetSettings (the music list and "Music
// Index"), the playlist is written beside them under every name a list can
// have, and the saver's own start-up call hands the chosen entry to the
// real GStreamer service, whose reader, sniffing and file checks take it;
// the music is then moved on as the engine would, and closed. Addresses are
// refused before any connection, so the fuzzer stays on this machine.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "music/music_list.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "patterns/settings_session.h"
#include "platform/headless/headless.h"
#include "platform/registry.h"
#include "platform/sound.h"
#include "platform/sound/gst_sound.h"
#include "saver/program_reset.h"

namespace {

std::string gDirectory;
std::string gStartFolder;
const SoundService* gGstService = nullptr;
SoundService gOffline;

FMOD_RESULT OfflineCreateSound(FMOD_SYSTEM* system, const char* name, FMOD_MODE mode,
                               FMOD_CREATESOUNDEXINFO* info, FMOD_SOUND** out) {
  if (!(mode & FMOD_OPENMEMORY) && name && std::strstr(name, "://") && std::strncmp(name, "file://", 7) != 0)
    return FMOD_ERR_NET_URL;
  return gGstService->systemCreateSound(system, name, mode, info, out);
}

void Setup() {
  // In memory where there is a tmpfs: the store syncs every value it writes.
  char memory[] = "/dev/shm/prismora-music-fuzz-XXXXXX";
  char disk[] = "/tmp/prismora-music-fuzz-XXXXXX";
  const char* made = mkdtemp(memory);
  if (!made) made = mkdtemp(disk);
  if (!made) std::abort();
  gDirectory = made;
  for (const char* variable : {"PRISMORA_STATE_DIR", "PRISMORA_DATA_DIR"})
    setenv(variable, (gDirectory + "/" + variable).c_str(), 1);
  setenv("PRISMORA_NO_SOUND_DEVICE", "1", 1);
  char* folder = getcwd(nullptr, 0);
  if (!folder) std::abort();
  gStartFolder = folder;
  std::free(folder);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(gDirectory, ignored);
  });
}

void WriteFile(const std::string& path, const uint8_t* bytes, size_t size) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes), std::streamsize(size));
}

}  // namespace

// GStreamer and GLib keep their registries and type data for the process;
// the fast unwinder (the full one slows every allocation a hundredfold)
// gives only the library that allocated.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libgstreamer-1.0.so\nleak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (gDirectory.empty()) Setup();
  const uint8_t* split = static_cast<const uint8_t*>(std::memchr(bytes, 0, size));
  size_t settingsSize = split ? size_t(split - bytes) : size;
  std::string config = gDirectory + "/config";
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  std::filesystem::create_directories(config);
  WriteFile(config + "/settings.reg", bytes, settingsSize);
  const uint8_t* list = split ? split + 1 : bytes + size;
  size_t listSize = size_t(bytes + size - list);
  for (const char* name : {"list", "list.m3u", "list.pls", "list.asx", "list.wpl", "list.mp3"})
    WriteFile(gDirectory + "/" + name, list, listSize);

  // Relative music entries are taken from the current folder, as in a run;
  // the fuzzer's own relative paths from its own.
  if (chdir(gDirectory.c_str()) != 0) std::abort();
  InstallHeadlessHost();
  ResetProgram();
  ResetRegistryStore();
  InstallGstSound();
  gGstService = gSoundService;
  gOffline = *gGstService;
  gOffline.systemCreateSound = OfflineCreateSound;
  gSoundService = &gOffline;
  if (OpenSettingsSession(config) && GetSettings(false) && gOptions.MusicIndex > 0) {
    // As the saver starts its music.
    MUSICInitialise(MusicEntryLocation(gOptions.MusicIndex), unsigned(gOptions.MusicVolume), false, 0);
    for (int update = 0; update < 8 && gSystem; ++update) MusicUpdate();
    MUSICClose();
  }
  CloseSettingsSession();
  ResetProgram();
  ResetRegistryStore();
  if (chdir(gStartFolder.c_str()) != 0) std::abort();
  return 0;
}
