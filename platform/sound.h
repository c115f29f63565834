// The sound service: a sound system, sounds opened from memory, files,
// playlists and network streams, and the channels that play them, through
// the calls, result codes and constants of a classic sound library's plain
// interface. The music player is written against these calls; the real
// implementation (platform/sound/) plays through GStreamer, the headless one
// (platform/headless/scripted_sound.h) is scripted by tests.
//
// Common rules:
// - Every call returns FMOD_OK or an error code of the table below; output
//   arguments are left untouched on failure.
// - Handles are opaque and never dereferenced by callers. A handle that was
//   released (or never existed) gives FMOD_ERR_INVALID_HANDLE, never a crash.
// - Every call returns at once: opening, buffering, decoding and playing go
//   on inside the service and are advanced by FMOD_System_Update and
//   FMOD_Sound_GetOpenState. Only the program's thread calls in.
#pragma once
#include <cstdint>

using FMOD_RESULT = int;
enum : FMOD_RESULT {
  FMOD_OK = 0,
  FMOD_ERR_BADCOMMAND = 2,
  FMOD_ERR_CHANNEL_ALLOC = 10,
  FMOD_ERR_FILE_BAD = 19,
  FMOD_ERR_FILE_NOTFOUND = 23,
  FMOD_ERR_FORMAT = 25,
  FMOD_ERR_HTTP = 29,
  FMOD_ERR_HTTP_TIMEOUT = 33,
  FMOD_ERR_INITIALIZATION = 34,
  FMOD_ERR_INITIALIZED = 35,
  FMOD_ERR_INTERNAL = 36,
  FMOD_ERR_INVALID_HANDLE = 37,
  FMOD_ERR_INVALID_PARAM = 38,
  FMOD_ERR_MEMORY = 43,
  FMOD_ERR_NET_CONNECT = 46,
  FMOD_ERR_NET_URL = 49,
  FMOD_ERR_NOTREADY = 54,
  FMOD_ERR_OUTPUT_CREATEBUFFER = 57,
  FMOD_ERR_OUTPUT_INIT = 60,
  FMOD_ERR_TAGNOTFOUND = 70,
};

// The text for a result code; "Unknown error." for a code outside the table.
const char* FMOD_ErrorString(FMOD_RESULT result);

using FMOD_MODE = uint32_t;
enum : FMOD_MODE {
  FMOD_DEFAULT = 0,
  FMOD_LOOP_NORMAL = 0x2,
  FMOD_2D = 0x8,
  FMOD_HARDWARE = 0x20,
  FMOD_CREATESTREAM = 0x80,
  FMOD_OPENMEMORY = 0x800,
  FMOD_NONBLOCKING = 0x10000,
};

enum : int { FMOD_OUTPUTTYPE_AUTODETECT = 0, FMOD_OUTPUTTYPE_NOSOUND = 2 };
enum : uint32_t { FMOD_CAPS_NONE = 0, FMOD_CAPS_HARDWARE_EMULATED = 0x2 };
enum : int { FMOD_SPEAKERMODE_RAW = 0, FMOD_SPEAKERMODE_MONO = 1, FMOD_SPEAKERMODE_STEREO = 2 };
enum : int { FMOD_SOUND_FORMAT_PCM16 = 2, FMOD_SOUND_FORMAT_PCMFLOAT = 5 };
enum : int { FMOD_DSP_RESAMPLER_LINEAR = 1 };
enum : uint32_t { FMOD_INIT_NORMAL = 0 };
enum : uint32_t { FMOD_TIMEUNIT_RAWBYTES = 8 };
enum : int { FMOD_CHANNEL_FREE = -1 };

enum : int {
  FMOD_SOUND_TYPE_UNKNOWN = 0,
  FMOD_SOUND_TYPE_MPEG = 11,
  FMOD_SOUND_TYPE_PLAYLIST = 15,
};

enum : int {
  FMOD_OPENSTATE_READY = 0,
  FMOD_OPENSTATE_LOADING = 1,
  FMOD_OPENSTATE_ERROR = 2,
  FMOD_OPENSTATE_CONNECTING = 3,
  FMOD_OPENSTATE_BUFFERING = 4,
};

// Extra information for a sound opened from memory: cbsize and length (the
// byte count) are read, the rest must be zero.
struct FMOD_CREATESOUNDEXINFO {
  int cbsize;
  uint32_t length;
  uint32_t reserved[25];
};

// A tag of a sound. For a playlist, the tag "FILE" number i holds the
// location of track i: an absolute path or an address, NUL-terminated, valid
// until the next call on that sound.
struct FMOD_TAG {
  const char* name;
  const void* data;
  uint32_t datalen;
};

struct FMOD_SYSTEM;
struct FMOD_SOUND;
struct FMOD_CHANNEL;

struct SoundService {
  FMOD_RESULT (*systemCreate)(FMOD_SYSTEM** system);
  FMOD_RESULT (*systemGetVersion)(FMOD_SYSTEM* system, uint32_t* version);
  // Counts the real sound outputs; 0 on a machine without one.
  FMOD_RESULT (*systemGetNumDrivers)(FMOD_SYSTEM* system, int* count);
  // FMOD_OUTPUTTYPE_NOSOUND: a silent output that keeps time as a real one.
  FMOD_RESULT (*systemSetOutput)(FMOD_SYSTEM* system, int output);
  FMOD_RESULT(*systemGetDriverCaps)
  (FMOD_SYSTEM* system, int driver, uint32_t* caps, int* minFrequency, int* maxFrequency, int* speakerMode);
  FMOD_RESULT (*systemSetSpeakerMode)(FMOD_SYSTEM* system, int speakerMode);
  FMOD_RESULT (*systemSetDSPBufferSize)(FMOD_SYSTEM* system, uint32_t length, int count);
  FMOD_RESULT (*systemGetDriverInfo)(FMOD_SYSTEM* system, int driver, char* name, int nameLength, void* guid);
  FMOD_RESULT(*systemSetSoftwareFormat)
  (FMOD_SYSTEM* system, int rate, int format, int outputChannels, int inputChannels, int resampler);
  FMOD_RESULT (*systemInit)(FMOD_SYSTEM* system, int channels, uint32_t flags, void* driverData);
  // nameOrData: a location (path or address), or the bytes with
  // FMOD_OPENMEMORY and exinfo->length. Memory is copied.
  FMOD_RESULT(*systemCreateSound)
  (FMOD_SYSTEM* system, const char* nameOrData, FMOD_MODE mode, FMOD_CREATESOUNDEXINFO* exinfo,
   FMOD_SOUND** sound);
  FMOD_RESULT (*soundGetFormat)(FMOD_SOUND* sound, int* type, int* format, int* channels, int* bits);
  FMOD_RESULT (*soundGetTag)(FMOD_SOUND* sound, const char* name, int index, FMOD_TAG* tag);
  FMOD_RESULT (*systemSetStreamBufferSize)(FMOD_SYSTEM* system, uint32_t size, uint32_t unit);
  FMOD_RESULT (*soundSetMode)(FMOD_SOUND* sound, FMOD_MODE mode);
  // The result is the open's own error once it failed (state ERROR).
  FMOD_RESULT (*soundGetOpenState)(FMOD_SOUND* sound, int* state, uint32_t* percent, bool* starving);
  FMOD_RESULT(*systemPlaySound)
  (FMOD_SYSTEM* system, int channelIndex, FMOD_SOUND* sound, bool paused, FMOD_CHANNEL** channel);
  FMOD_RESULT (*channelSetVolume)(FMOD_CHANNEL* channel, float volume);
  FMOD_RESULT (*channelIsPlaying)(FMOD_CHANNEL* channel, bool* playing);
  FMOD_RESULT (*channelGetPaused)(FMOD_CHANNEL* channel, bool* paused);
  FMOD_RESULT (*channelSetPaused)(FMOD_CHANNEL* channel, bool paused);
  FMOD_RESULT (*systemUpdate)(FMOD_SYSTEM* system);
  FMOD_RESULT (*soundRelease)(FMOD_SOUND* sound);
  FMOD_RESULT (*systemClose)(FMOD_SYSTEM* system);
  FMOD_RESULT (*systemRelease)(FMOD_SYSTEM* system);
  // The directory that relative locations of later opens are taken from.
  // 0 on success, else an errno value (the directory is then unchanged).
  uint32_t (*setCurrentDirectory)(FMOD_SYSTEM* system, const char* directory);
};

// Installed by the host; the headless scripted service by default.
extern const SoundService* gSoundService;

// The calls, as the music player writes them.
inline FMOD_RESULT FMOD_System_Create(FMOD_SYSTEM** s) { return gSoundService->systemCreate(s); }
inline FMOD_RESULT FMOD_System_GetVersion(FMOD_SYSTEM* s, uint32_t* v) {
  return gSoundService->systemGetVersion(s, v);
}
inline FMOD_RESULT FMOD_System_GetNumDrivers(FMOD_SYSTEM* s, int* n) {
  return gSoundService->systemGetNumDrivers(s, n);
}
inline FMOD_RESULT FMOD_System_SetOutput(FMOD_SYSTEM* s, int o) {
  return gSoundService->systemSetOutput(s, o);
}
inline FMOD_RESULT FMOD_System_GetDriverCaps(FMOD_SYSTEM* s, int d, uint32_t* c, int* lo, int* hi, int* m) {
  return gSoundService->systemGetDriverCaps(s, d, c, lo, hi, m);
}
inline FMOD_RESULT FMOD_System_SetSpeakerMode(FMOD_SYSTEM* s, int m) {
  return gSoundService->systemSetSpeakerMode(s, m);
}
inline FMOD_RESULT FMOD_System_SetDSPBufferSize(FMOD_SYSTEM* s, uint32_t l, int n) {
  return gSoundService->systemSetDSPBufferSize(s, l, n);
}
inline FMOD_RESULT FMOD_System_GetDriverInfo(FMOD_SYSTEM* s, int d, char* name, int len, void* guid) {
  return gSoundService->systemGetDriverInfo(s, d, name, len, guid);
}
inline FMOD_RESULT FMOD_System_SetSoftwareFormat(FMOD_SYSTEM* s, int rate, int f, int out, int in, int r) {
  return gSoundService->systemSetSoftwareFormat(s, rate, f, out, in, r);
}
inline FMOD_RESULT FMOD_System_Init(FMOD_SYSTEM* s, int channels, uint32_t flags, void* data) {
  return gSoundService->systemInit(s, channels, flags, data);
}
inline FMOD_RESULT FMOD_System_CreateSound(FMOD_SYSTEM* s, const char* n, FMOD_MODE m,
                                           FMOD_CREATESOUNDEXINFO* x, FMOD_SOUND** out) {
  return gSoundService->systemCreateSound(s, n, m, x, out);
}
inline FMOD_RESULT FMOD_Sound_GetFormat(FMOD_SOUND* s, int* type, int* f, int* c, int* b) {
  return gSoundService->soundGetFormat(s, type, f, c, b);
}
inline FMOD_RESULT FMOD_Sound_GetTag(FMOD_SOUND* s, const char* name, int i, FMOD_TAG* t) {
  return gSoundService->soundGetTag(s, name, i, t);
}
inline FMOD_RESULT FMOD_System_SetStreamBufferSize(FMOD_SYSTEM* s, uint32_t size, uint32_t unit) {
  return gSoundService->systemSetStreamBufferSize(s, size, unit);
}
inline FMOD_RESULT FMOD_Sound_SetMode(FMOD_SOUND* s, FMOD_MODE m) {
  return gSoundService->soundSetMode(s, m);
}
inline FMOD_RESULT FMOD_Sound_GetOpenState(FMOD_SOUND* s, int* st, uint32_t* p, bool* starving) {
  return gSoundService->soundGetOpenState(s, st, p, starving);
}
inline FMOD_RESULT FMOD_System_PlaySound(FMOD_SYSTEM* s, int i, FMOD_SOUND* snd, bool paused,
                                         FMOD_CHANNEL** c) {
  return gSoundService->systemPlaySound(s, i, snd, paused, c);
}
inline FMOD_RESULT FMOD_Channel_SetVolume(FMOD_CHANNEL* c, float v) {
  return gSoundService->channelSetVolume(c, v);
}
inline FMOD_RESULT FMOD_Channel_IsPlaying(FMOD_CHANNEL* c, bool* p) {
  return gSoundService->channelIsPlaying(c, p);
}
inline FMOD_RESULT FMOD_Channel_GetPaused(FMOD_CHANNEL* c, bool* p) {
  return gSoundService->channelGetPaused(c, p);
}
inline FMOD_RESULT FMOD_Channel_SetPaused(FMOD_CHANNEL* c, bool p) {
  return gSoundService->channelSetPaused(c, p);
}
inline FMOD_RESULT FMOD_System_Update(FMOD_SYSTEM* s) { return gSoundService->systemUpdate(s); }
inline FMOD_RESULT FMOD_Sound_Release(FMOD_SOUND* s) { return gSoundService->soundRelease(s); }
inline FMOD_RESULT FMOD_System_Close(FMOD_SYSTEM* s) { return gSoundService->systemClose(s); }
inline FMOD_RESULT FMOD_System_Release(FMOD_SYSTEM* s) { return gSoundService->systemRelease(s); }
