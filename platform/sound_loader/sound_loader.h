// The sound service loaded on first use. GStreamer, libcurl and the TLS
// libraries they bring live in a separate shared object (the sound module),
// so a run without music never maps them. The service installed here loads
// the module when the first sound system is created and hands every call to
// the module's service from then on.
#pragma once
#include <string>

#include "platform/sound.h"

// Installs the service that loads the module on first use. Until then no
// handle exists, so every call but the system's creation answers
// FMOD_ERR_INVALID_HANDLE; when the module cannot be loaded, creating a
// system fails with FMOD_ERR_OUTPUT_INIT (the reason goes to stderr once).
void InstallSoundLoader();
// Loads the module now rather than at the first system's creation (the
// settings dialog: its music preview should not wait for GStreamer's first
// start, up to a second, at its first click). True once it is loaded.
bool LoadSoundModule();
// True once the module is loaded.
bool SoundModuleLoaded();
// Forgets a failed load, so the next creation tries again (a loaded module
// stays loaded). For tests.
void ResetSoundLoader();
// Lets the module finish stopping what it released (see FinishGstSound);
// nothing when it was never loaded. For the end of main.
void FinishSoundLoader();

// The entry points the module exports (C names, looked up with dlsym);
// defined in the module alone. Start installs its service and returns it.
extern "C" __attribute__((visibility("default"))) const SoundService* PrismoraSoundModuleStart();
extern "C" __attribute__((visibility("default"))) void PrismoraSoundModuleFinish();
using SoundModuleStart = decltype(&PrismoraSoundModuleStart);
using SoundModuleFinish = decltype(&PrismoraSoundModuleFinish);
inline constexpr const char* kSoundModuleStart = "PrismoraSoundModuleStart";
inline constexpr const char* kSoundModuleFinish = "PrismoraSoundModuleFinish";

// Where the module is looked for, with every fact the choice rests on given,
// so each case can be checked without moving the program.
struct SoundModuleFacts {
  std::string variable;         // $PRISMORA_SOUND_MODULE, empty when unset
  std::string program;          // the running program's real path, empty when unknown
  std::string buildTree;        // the build tree the program was built in
  std::string builtModule;      // the module in that build tree
  std::string libraryDir;       // the install's library folder, relative to its prefix
  std::string installedModule;  // the module under the configured install prefix
  bool (*exists)(const std::string& file);
};
// $PRISMORA_SOUND_MODULE; else LIBDIR/prismora/ beside the program's bin/
// (a relocated install); else the build tree's module for a program run from
// that tree; else the configured install's module.
std::string ChooseSoundModule(const SoundModuleFacts& facts);
