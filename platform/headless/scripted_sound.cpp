#include "platform/headless/scripted_sound.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/resources.h"

ScriptedSoundRec gScriptedSound;

namespace {

FMOD_SYSTEM* const kSystemHandle = reinterpret_cast<FMOD_SYSTEM*>(uintptr_t(0x5157));
constexpr uintptr_t kChannelTag = 0x100000;

ScriptedSoundRec& S() { return gScriptedSound; }

// A scripted failure for op, if one is due.
bool Failing(SoundOp op, FMOD_RESULT* result) {
  ScriptedFailure& f = S().failures[op];
  if (f.result == FMOD_OK) return false;
  *result = f.result;
  if (f.times > 0 && --f.times == 0) f.result = FMOD_OK;
  return true;
}

void Record(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Record(const char* format, ...) {
  char line[600];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  S().calls.push_back(line);
}

bool SystemOk(FMOD_SYSTEM* system) { return system == kSystemHandle && S().systemsOpen > 0; }

ScriptedSound* Live(FMOD_SOUND* sound) {
  ScriptedSound* s = ScriptedSoundOf(sound);
  return s && !s->released ? s : nullptr;
}

#define FAIL_IF_SCRIPTED(op)                       \
  do {                                             \
    FMOD_RESULT scripted_;                         \
    if (Failing(op, &scripted_)) return scripted_; \
  } while (0)

FMOD_RESULT Create(FMOD_SYSTEM** system) {
  Record("System_Create");
  FAIL_IF_SCRIPTED(kOpSystemCreate);
  S().systemsOpen += 1;
  *system = kSystemHandle;
  return FMOD_OK;
}

FMOD_RESULT GetVersion(FMOD_SYSTEM* system, uint32_t* version) {
  Record("System_GetVersion");
  FAIL_IF_SCRIPTED(kOpSystemGetVersion);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  *version = S().version;
  return FMOD_OK;
}

FMOD_RESULT GetNumDrivers(FMOD_SYSTEM* system, int* count) {
  Record("System_GetNumDrivers");
  FAIL_IF_SCRIPTED(kOpSystemGetNumDrivers);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  *count = S().driverCount;
  return FMOD_OK;
}

FMOD_RESULT SetOutput(FMOD_SYSTEM* system, int output) {
  Record("System_SetOutput %d", output);
  FAIL_IF_SCRIPTED(kOpSystemSetOutput);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  S().output = output;
  return FMOD_OK;
}

FMOD_RESULT GetDriverCaps(FMOD_SYSTEM* system, int driver, uint32_t* caps, int*, int*, int* speakerMode) {
  Record("System_GetDriverCaps %d", driver);
  FAIL_IF_SCRIPTED(kOpSystemGetDriverCaps);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  *caps = S().caps;
  *speakerMode = S().speakerMode;
  return FMOD_OK;
}

FMOD_RESULT SetSpeakerMode(FMOD_SYSTEM* system, int mode) {
  Record("System_SetSpeakerMode %d", mode);
  FAIL_IF_SCRIPTED(kOpSystemSetSpeakerMode);
  return SystemOk(system) ? FMOD_OK : FMOD_ERR_INVALID_HANDLE;
}

FMOD_RESULT SetDSPBufferSize(FMOD_SYSTEM* system, uint32_t length, int count) {
  Record("System_SetDSPBufferSize %u %d", length, count);
  FAIL_IF_SCRIPTED(kOpSystemSetDSPBufferSize);
  return SystemOk(system) ? FMOD_OK : FMOD_ERR_INVALID_HANDLE;
}

FMOD_RESULT GetDriverInfo(FMOD_SYSTEM* system, int driver, char* name, int length, void*) {
  Record("System_GetDriverInfo %d", driver);
  FAIL_IF_SCRIPTED(kOpSystemGetDriverInfo);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  std::snprintf(name, size_t(length), "%s", S().driverName.c_str());
  return FMOD_OK;
}

FMOD_RESULT SetSoftwareFormat(FMOD_SYSTEM* system, int rate, int format, int, int, int resampler) {
  Record("System_SetSoftwareFormat %d %d %d", rate, format, resampler);
  FAIL_IF_SCRIPTED(kOpSystemSetSoftwareFormat);
  return SystemOk(system) ? FMOD_OK : FMOD_ERR_INVALID_HANDLE;
}

FMOD_RESULT Init(FMOD_SYSTEM* system, int channels, uint32_t flags, void*) {
  Record("System_Init %d %u", channels, flags);
  FAIL_IF_SCRIPTED(kOpSystemInit);
  return SystemOk(system) ? FMOD_OK : FMOD_ERR_INVALID_HANDLE;
}

FMOD_RESULT CreateSound(FMOD_SYSTEM* system, const char* nameOrData, FMOD_MODE mode,
                        FMOD_CREATESOUNDEXINFO* info, FMOD_SOUND** out) {
  ScriptedSound sound;
  if (mode & FMOD_OPENMEMORY) {
    sound.location = "<memory " + std::to_string(info ? info->length : 0) + " bytes>";
  } else {
    sound.location = nameOrData;
  }
  sound.mode = mode;
  Record("System_CreateSound %s 0x%x", sound.location.c_str(), mode);
  FAIL_IF_SCRIPTED(kOpSystemCreateSound);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  if (sound.location.empty()) return FMOD_ERR_FILE_NOTFOUND;
  auto missing = S().missing.find(sound.location);
  if (missing != S().missing.end()) return missing->second;
  auto playlist = S().playlists.find(sound.location);
  if (playlist != S().playlists.end()) {
    sound.playlist = true;
    sound.tracks = playlist->second;
  }
  auto slow = S().slowOpens.find(sound.location);
  if (slow != S().slowOpens.end()) sound.pendingOpenChecks = slow->second;
  auto failing = S().failingOpens.find(sound.location);
  if (failing != S().failingOpens.end()) sound.openError = failing->second;
  S().sounds.push_back(sound);
  *out = reinterpret_cast<FMOD_SOUND*>(uintptr_t(S().sounds.size()));
  return FMOD_OK;
}

FMOD_RESULT GetFormat(FMOD_SOUND* handle, int* type, int*, int*, int*) {
  Record("Sound_GetFormat");
  FAIL_IF_SCRIPTED(kOpSoundGetFormat);
  ScriptedSound* sound = Live(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  *type = sound->playlist ? FMOD_SOUND_TYPE_PLAYLIST : FMOD_SOUND_TYPE_MPEG;
  return FMOD_OK;
}

FMOD_RESULT GetTag(FMOD_SOUND* handle, const char* name, int index, FMOD_TAG* tag) {
  Record("Sound_GetTag %s %d", name, index);
  FAIL_IF_SCRIPTED(kOpSoundGetTag);
  ScriptedSound* sound = Live(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  if (std::strcmp(name, "FILE") != 0 || index < 0 || size_t(index) >= sound->tracks.size())
    return FMOD_ERR_TAGNOTFOUND;
  const std::string& track = sound->tracks[size_t(index)];
  tag->name = "FILE";
  tag->data = track.c_str();
  tag->datalen = uint32_t(track.size() + 1);
  return FMOD_OK;
}

FMOD_RESULT SetStreamBufferSize(FMOD_SYSTEM* system, uint32_t size, uint32_t unit) {
  Record("System_SetStreamBufferSize %u %u", size, unit);
  FAIL_IF_SCRIPTED(kOpSystemSetStreamBufferSize);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  S().streamBufferSize = size;
  return FMOD_OK;
}

FMOD_RESULT SetMode(FMOD_SOUND* handle, FMOD_MODE mode) {
  Record("Sound_SetMode 0x%x", mode);
  FAIL_IF_SCRIPTED(kOpSoundSetMode);
  ScriptedSound* sound = Live(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  sound->mode |= mode;
  return FMOD_OK;
}

FMOD_RESULT GetOpenState(FMOD_SOUND* handle, int* state, uint32_t*, bool*) {
  Record("Sound_GetOpenState");
  FAIL_IF_SCRIPTED(kOpSoundGetOpenState);
  ScriptedSound* sound = Live(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  if (sound->pendingOpenChecks > 0) {
    sound->pendingOpenChecks -= 1;
    *state = FMOD_OPENSTATE_LOADING;
    return FMOD_OK;
  }
  if (sound->openError != FMOD_OK) {
    *state = FMOD_OPENSTATE_ERROR;
    return sound->openError;
  }
  *state = FMOD_OPENSTATE_READY;
  return FMOD_OK;
}

FMOD_RESULT PlaySound(FMOD_SYSTEM* system, int index, FMOD_SOUND* handle, bool paused,
                      FMOD_CHANNEL** channel) {
  Record("System_PlaySound %d %d", index, paused ? 1 : 0);
  FAIL_IF_SCRIPTED(kOpSystemPlaySound);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  ScriptedSound* sound = Live(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  sound->playing = true;
  sound->paused = paused;
  *channel = reinterpret_cast<FMOD_CHANNEL*>(reinterpret_cast<uintptr_t>(handle) | kChannelTag);
  return FMOD_OK;
}

ScriptedSound* ChannelSound(FMOD_CHANNEL* channel) {
  ScriptedSound* sound = ScriptedSoundOfChannel(channel);
  return sound && !sound->released ? sound : nullptr;
}

FMOD_RESULT SetVolume(FMOD_CHANNEL* channel, float volume) {
  Record("Channel_SetVolume %.2f", double(volume));
  FAIL_IF_SCRIPTED(kOpChannelSetVolume);
  ScriptedSound* sound = ChannelSound(channel);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  sound->volume = volume;
  return FMOD_OK;
}

FMOD_RESULT IsPlaying(FMOD_CHANNEL* channel, bool* playing) {
  Record("Channel_IsPlaying");
  FAIL_IF_SCRIPTED(kOpChannelIsPlaying);
  ScriptedSound* sound = ChannelSound(channel);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  *playing = sound->playing;
  return FMOD_OK;
}

FMOD_RESULT GetPaused(FMOD_CHANNEL* channel, bool* paused) {
  Record("Channel_GetPaused");
  FAIL_IF_SCRIPTED(kOpChannelGetPaused);
  ScriptedSound* sound = ChannelSound(channel);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  *paused = sound->paused;
  return FMOD_OK;
}

FMOD_RESULT SetPaused(FMOD_CHANNEL* channel, bool paused) {
  Record("Channel_SetPaused %d", paused ? 1 : 0);
  FAIL_IF_SCRIPTED(kOpChannelSetPaused);
  ScriptedSound* sound = ChannelSound(channel);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  sound->paused = paused;
  return FMOD_OK;
}

FMOD_RESULT Update(FMOD_SYSTEM* system) {
  S().updates += 1;
  FAIL_IF_SCRIPTED(kOpSystemUpdate);
  return SystemOk(system) ? FMOD_OK : FMOD_ERR_INVALID_HANDLE;
}

FMOD_RESULT Release(FMOD_SOUND* handle) {
  Record("Sound_Release");
  FAIL_IF_SCRIPTED(kOpSoundRelease);
  ScriptedSound* sound = Live(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  sound->released = true;
  sound->playing = false;
  return FMOD_OK;
}

FMOD_RESULT Close(FMOD_SYSTEM* system) {
  Record("System_Close");
  FAIL_IF_SCRIPTED(kOpSystemClose);
  return SystemOk(system) ? FMOD_OK : FMOD_ERR_INVALID_HANDLE;
}

FMOD_RESULT SystemRelease(FMOD_SYSTEM* system) {
  Record("System_Release");
  FAIL_IF_SCRIPTED(kOpSystemRelease);
  if (!SystemOk(system)) return FMOD_ERR_INVALID_HANDLE;
  S().systemsOpen -= 1;
  return FMOD_OK;
}

uint32_t SetDirectory(FMOD_SYSTEM*, const char* directory) {
  Record("SetCurrentDirectory %s", directory);
  if (S().setDirectoryError == 0) S().currentDirectory = directory;
  return S().setDirectoryError;
}

const SoundService kScriptedSound = {
    Create,           GetVersion,          GetNumDrivers,     SetOutput,    GetDriverCaps, SetSpeakerMode,
    SetDSPBufferSize, GetDriverInfo,       SetSoftwareFormat, Init,         CreateSound,   GetFormat,
    GetTag,           SetStreamBufferSize, SetMode,           GetOpenState, PlaySound,     SetVolume,
    IsPlaying,        GetPaused,           SetPaused,         Update,       Release,       Close,
    SystemRelease,    SetDirectory,
};

constexpr uint32_t kErrorStepFailed = 1812;  // "the image has no resource section"

ResourceHandle FindTrack(ModuleHandle module, int id, uint32_t* error) {
  if (module != 0 || id != kMusicTrackResource || S().embeddedTrack.empty() || S().resourceFailStep == 1) {
    *error = S().resourceFailStep == 1 ? kErrorStepFailed : kErrorResourceNotFound;
    return 0;
  }
  return 1;
}
ResourceHandle LoadTrack(ModuleHandle, ResourceHandle found, uint32_t* error) {
  if (S().resourceFailStep == 2) {
    *error = kErrorStepFailed;
    return 0;
  }
  return found;
}
const void* LockTrack(ResourceHandle, uint32_t* error) {
  if (S().resourceFailStep == 3) {
    *error = kErrorStepFailed;
    return nullptr;
  }
  return S().embeddedTrack.data();
}
uint32_t TrackSize(ModuleHandle, ResourceHandle, uint32_t* error) {
  if (S().resourceFailStep == 4) {
    *error = kErrorStepFailed;
    return 0;
  }
  return uint32_t(S().embeddedTrack.size());
}

const ResourceService kScriptedResources = {FindTrack, LoadTrack, LockTrack, TrackSize};

}  // namespace

void InstallScriptedSound() {
  ResetScriptedSound();
  gSoundService = &kScriptedSound;
  gResources = &kScriptedResources;
}

void ResetScriptedSound() { gScriptedSound = ScriptedSoundRec{}; }

ScriptedSound* ScriptedSoundOf(FMOD_SOUND* sound) {
  uintptr_t index = reinterpret_cast<uintptr_t>(sound);
  if (index == 0 || index > S().sounds.size()) return nullptr;
  return &S().sounds[index - 1];
}

ScriptedSound* ScriptedSoundOfChannel(FMOD_CHANNEL* channel) {
  uintptr_t value = reinterpret_cast<uintptr_t>(channel);
  if (!(value & kChannelTag)) return nullptr;
  return ScriptedSoundOf(reinterpret_cast<FMOD_SOUND*>(value & ~kChannelTag));
}

void ScriptedEndTrack(FMOD_SOUND* sound) {
  ScriptedSound* s = ScriptedSoundOf(sound);
  if (s) s->playing = false;
}

int ScriptedCallCount(const std::string& opName) {
  int count = 0;
  for (const std::string& call : S().calls)
    if (call == opName || call.rfind(opName + " ", 0) == 0) count += 1;
  return count;
}
