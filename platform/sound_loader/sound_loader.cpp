#include "platform/sound_loader/sound_loader.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

struct SoundLoaderRec {
  void* module = nullptr;
  const SoundService* service = nullptr;
  SoundModuleFinish finish = nullptr;
  bool failed = false;  // tried once and failed: not tried again in this run
};
SoundLoaderRec gSoundLoader;

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::string ModulePath() {
  SoundModuleFacts facts;
  if (const char* value = std::getenv("PRISMORA_SOUND_MODULE"); value && *value) facts.variable = value;
  std::error_code error;
  std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) facts.program = program.string();
  facts.buildTree = PRISMORA_BUILD_DIR;
  facts.builtModule = PRISMORA_BUILT_SOUND_MODULE;
  facts.libraryDir = PRISMORA_LIBRARY_DIR;
  facts.installedModule = PRISMORA_INSTALLED_SOUND_MODULE;
  facts.exists = FileExists;
  return ChooseSoundModule(facts);
}

}  // namespace

bool LoadSoundModule() {
  if (gSoundLoader.service) return true;
  if (gSoundLoader.failed) return false;
  gSoundLoader.failed = true;
  std::string path = ModulePath();
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::fprintf(stderr, "prismora: no music: %s\n", dlerror());
    return false;
  }
  auto start = reinterpret_cast<SoundModuleStart>(dlsym(module, kSoundModuleStart));
  auto finish = reinterpret_cast<SoundModuleFinish>(dlsym(module, kSoundModuleFinish));
  const SoundService* service = start ? start() : nullptr;
  if (!service) {
    std::fprintf(stderr, "prismora: no music: %s is not a sound module\n", path.c_str());
    dlclose(module);
    return false;
  }
  // The module stays loaded to the end: its threads and GStreamer's own
  // cannot be unloaded safely.
  gSoundLoader = {module, service, finish, false};
  gSoundService = service;
  return true;
}

namespace {

FMOD_RESULT LoadAndCreate(FMOD_SYSTEM** system) {
  if (!LoadSoundModule()) return FMOD_ERR_OUTPUT_INIT;
  return gSoundService->systemCreate(system);
}

// No system was created yet, so no handle can be valid.
FMOD_RESULT NoVersion(FMOD_SYSTEM*, uint32_t*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoDrivers(FMOD_SYSTEM*, int*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoOutput(FMOD_SYSTEM*, int) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoCaps(FMOD_SYSTEM*, int, uint32_t*, int*, int*, int*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoSpeakerMode(FMOD_SYSTEM*, int) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoDspBuffer(FMOD_SYSTEM*, uint32_t, int) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoDriverInfo(FMOD_SYSTEM*, int, char*, int, void*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoSoftwareFormat(FMOD_SYSTEM*, int, int, int, int, int) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoInit(FMOD_SYSTEM*, int, uint32_t, void*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoCreateSound(FMOD_SYSTEM*, const char*, FMOD_MODE, FMOD_CREATESOUNDEXINFO*, FMOD_SOUND**) {
  return FMOD_ERR_INVALID_HANDLE;
}
FMOD_RESULT NoFormat(FMOD_SOUND*, int*, int*, int*, int*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoTag(FMOD_SOUND*, const char*, int, FMOD_TAG*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoStreamBuffer(FMOD_SYSTEM*, uint32_t, uint32_t) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoMode(FMOD_SOUND*, FMOD_MODE) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoOpenState(FMOD_SOUND*, int*, uint32_t*, bool*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoPlay(FMOD_SYSTEM*, int, FMOD_SOUND*, bool, FMOD_CHANNEL**) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoVolume(FMOD_CHANNEL*, float) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoChannelFlag(FMOD_CHANNEL*, bool*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoSetPaused(FMOD_CHANNEL*, bool) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoSystem(FMOD_SYSTEM*) { return FMOD_ERR_INVALID_HANDLE; }
FMOD_RESULT NoSound(FMOD_SOUND*) { return FMOD_ERR_INVALID_HANDLE; }
uint32_t NoDirectory(FMOD_SYSTEM*, const char*) { return EBADF; }

const SoundService kLoadOnFirstUse = {
    LoadAndCreate, NoVersion,        NoDrivers, NoOutput,      NoCaps,        NoSpeakerMode, NoDspBuffer,
    NoDriverInfo,  NoSoftwareFormat, NoInit,    NoCreateSound, NoFormat,      NoTag,         NoStreamBuffer,
    NoMode,        NoOpenState,      NoPlay,    NoVolume,      NoChannelFlag, NoChannelFlag, NoSetPaused,
    NoSystem,      NoSound,          NoSystem,  NoSystem,      NoDirectory,
};

}  // namespace

void InstallSoundLoader() { gSoundService = gSoundLoader.service ? gSoundLoader.service : &kLoadOnFirstUse; }

bool SoundModuleLoaded() { return gSoundLoader.service != nullptr; }

void ResetSoundLoader() { gSoundLoader.failed = false; }

void FinishSoundLoader() {
  if (gSoundLoader.finish) gSoundLoader.finish();
}

std::string ChooseSoundModule(const SoundModuleFacts& facts) {
  if (!facts.variable.empty()) return facts.variable;
  if (!facts.program.empty()) {
    std::filesystem::path program(facts.program);
    std::string beside =
        (program.parent_path().parent_path() / facts.libraryDir / "prismora" / "sound.so").string();
    if (!facts.libraryDir.empty() && facts.exists(beside)) return beside;
    std::string tree = facts.buildTree;
    if (!tree.empty() && tree.back() != '/') tree += '/';
    if (!tree.empty() && facts.program.starts_with(tree)) return facts.builtModule;
  }
  return facts.installedModule;
}
