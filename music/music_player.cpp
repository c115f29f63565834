#include "music/music_player.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "diag/log.h"
#include "platform/clock.h"

FMOD_SYSTEM* gSystem = nullptr;
FMOD_SOUND* gPlaylist = nullptr;
FMOD_SOUND* gSound = nullptr;
FMOD_CHANNEL* gChannel = nullptr;
MusicStateRec gMusic;

namespace {

constexpr uint32_t kRequiredVersion = 0x00042204;
constexpr uint32_t kNetStreamBufferBytes = 65536;

// Network locations stream with a raw byte buffer. "https:" counts as well
// as "http:": an encrypted station is no less a network stream.
bool IsNetLocation(const char* location) {
  return std::strstr(location, "http:") != nullptr || std::strstr(location, "https:") != nullptr;
}

// The directory part of a path or address, with its closing separator.
void KeepDirectory(const char* location, char* out, size_t outSize) {
  const char* slash = std::strrchr(location, '/');
  const char* backslash = std::strrchr(location, '\\');
  if (backslash && (!slash || backslash > slash)) slash = backslash;
  size_t length = slash ? size_t(slash - location) + 1 : 0;
  if (length >= outSize) length = outSize - 1;
  std::memcpy(out, location, length);
  out[length] = '\0';
}

// The length of a valid UTF-8 sequence at text, 0 when it is none.
size_t Utf8Length(const unsigned char* text) {
  unsigned char lead = text[0];
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (lead >= 0xF5) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((text[i] & 0xC0) != 0x80) return 0;
  return length;
}

// A location or a playlist's line as the log shows it: a byte that is no
// printable character (a control character, broken UTF-8) as \xNN, so that
// no list can break a log line in two or send the terminal that shows the
// log its escapes. A line a list made too long for a log is cut.
std::string Printable(const char* text) {
  constexpr size_t kLongest = 1024;
  std::string out;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  for (; bytes[i] != 0 && i < kLongest;) {
    size_t length = bytes[i] >= 0x80 ? Utf8Length(bytes + i) : bytes[i] >= 0x20 && bytes[i] != 0x7F ? 1 : 0;
    if (length == 0) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", bytes[i]);
      out += escaped;
      i += 1;
    } else {
      out.append(text + i, length);
      i += length;
    }
  }
  if (bytes[i] != 0) out += "...";
  return out;
}

// Step 3 to 5 of the start: the system, its output and its initialisation.
bool OpenSoundSystem() {
  if (!FmodCheck(FMOD_System_Create(&gSystem), "MUSICInitialise:FMOD_System_Create")) return false;
  uint32_t version = 0;
  if (!FmodCheck(FMOD_System_GetVersion(gSystem, &version), "MUSICInitialise:FMOD_System_GetVersion"))
    return false;
  if (version < kRequiredVersion) {
    LogDebug("Music error: You are using an old version of FMOD %08x.  This program requires %08x\n", version,
             kRequiredVersion);
    return false;
  }
  int drivers = 0;
  if (!FmodCheck(FMOD_System_GetNumDrivers(gSystem, &drivers), "MUSICInitialise:FMOD_System_GetNumDrivers"))
    return false;
  if (drivers == 0) {
    if (!FmodCheck(FMOD_System_SetOutput(gSystem, FMOD_OUTPUTTYPE_NOSOUND),
                   "MUSICInitialise:FMOD_System_SetOutput"))
      return false;
  } else {
    uint32_t caps = 0;
    int speakerMode = 0;
    if (FmodCheck(FMOD_System_GetDriverCaps(gSystem, 0, &caps, nullptr, nullptr, &speakerMode),
                  "MUSICInitialise:FMOD_System_GetDriverCaps")) {
      FmodCheck(FMOD_System_SetSpeakerMode(gSystem, speakerMode),
                "MUSICInitialise:FMOD_System_SetSpeakerMode(SpeakerMode)");
      if (caps & FMOD_CAPS_HARDWARE_EMULATED)
        FmodCheck(FMOD_System_SetDSPBufferSize(gSystem, 1024, 10),
                  "MUSICInitialise:FMOD_System_SetDSPBufferSize");
    }
    char name[256] = {};
    if (FmodCheck(FMOD_System_GetDriverInfo(gSystem, 0, name, sizeof name, nullptr),
                  "MUSICInitialise:FMOD_System_GetDriverInfo") &&
        std::strstr(name, "SigmaTel"))
      FmodCheck(FMOD_System_SetSoftwareFormat(gSystem, 48000, FMOD_SOUND_FORMAT_PCMFLOAT, 0, 0,
                                              FMOD_DSP_RESAMPLER_LINEAR),
                "MUSICInitialise:FMOD_System_SetSoftwareFormat");
  }
  FMOD_RESULT result = FMOD_System_Init(gSystem, 1, FMOD_INIT_NORMAL, nullptr);
  if (result == FMOD_ERR_OUTPUT_CREATEBUFFER) {
    FmodCheck(FMOD_System_SetSpeakerMode(gSystem, FMOD_SPEAKERMODE_STEREO),
              "MUSICInitialise:FMOD_System_SetSpeakerMode(FMOD_SPEAKERMODE_STEREO)");
    return FmodCheck(FMOD_System_Init(gSystem, 1, FMOD_INIT_NORMAL, nullptr),
                     "MUSICInitialise:FMOD_System_Init (re-init)");
  }
  return FmodCheck(result, "MUSICInitialise:FMOD_System_Init");
}

}  // namespace

bool FmodCheck(FMOD_RESULT result, const char* label) {
  if (result == FMOD_OK) return true;
  LogDebug("FMOD error in %s: (%d) %s\n", label, result, FMOD_ErrorString(result));
  return false;
}

int MUSICInitialise(const char* location, unsigned volumePercent, bool fromMemory, uint32_t byteCount) {
  if (!location || !gSoundService) return 0;
  // Callers close what was open; whatever is left is forgotten, not released.
  gSystem = nullptr;
  gPlaylist = nullptr;
  gSound = nullptr;
  gChannel = nullptr;
  gMusic = MusicStateRec{};
  gMusic.volume = float(volumePercent) / 100.0f;
  if (!OpenSoundSystem()) {
    MUSICClose();
    return 0;
  }
  if (fromMemory) {
    FMOD_CREATESOUNDEXINFO info = {};
    info.cbsize = 108;
    info.length = byteCount;
    if (!FmodCheck(
            FMOD_System_CreateSound(gSystem, location, FMOD_OPENMEMORY | FMOD_HARDWARE, &info, &gPlaylist),
            "MUSICInitialise:FMOD_System_CreateSound(Mem)")) {
      MUSICClose();
      return 0;
    }
  } else if (!FmodCheck(FMOD_System_CreateSound(gSystem, location, FMOD_CREATESTREAM, nullptr, &gPlaylist),
                        "MUSICInitialise:FMOD_System_CreateSound")) {
    LogDebug("Trying to create sound for %s\n", Printable(location).c_str());
    MUSICClose();
    return 0;
  }
  int type = FMOD_SOUND_TYPE_UNKNOWN;
  if (!FmodCheck(FMOD_Sound_GetFormat(gPlaylist, &type, nullptr, nullptr, nullptr),
                 "MUSICInitialise:FMOD_Sound_GetFormat")) {
    MUSICClose();
    return 0;
  }
  gMusic.isPlaylist = type == FMOD_SOUND_TYPE_PLAYLIST;
  if (gMusic.isPlaylist) {
    KeepDirectory(location, gMusic.playlistDirectory, sizeof gMusic.playlistDirectory);
    FMOD_TAG tag = {};
    if (!FmodCheck(FMOD_Sound_GetTag(gPlaylist, "FILE", gMusic.trackIndex, &tag),
                   "MUSICInitialise:FMOD_Sound_GetTag(FILE)")) {
      MUSICClose();
      return 0;
    }
    CreatePlaylistTrackSound(static_cast<const char*>(tag.data));
    PlaySoundIfReady();
    return 1;
  }
  gSound = gPlaylist;
  gPlaylist = nullptr;
  if (!fromMemory && IsNetLocation(location) &&
      !FmodCheck(FMOD_System_SetStreamBufferSize(gSystem, kNetStreamBufferBytes, FMOD_TIMEUNIT_RAWBYTES),
                 "MUSICInitialise:FMOD_System_SetStreamBufferSize - Normal sound")) {
    MUSICClose();
    return 0;
  }
  if (!FmodCheck(FMOD_Sound_SetMode(gSound, FMOD_LOOP_NORMAL),
                 "MUSICInitialise:FMOD_Sound_SetMode - Normal sound")) {
    MUSICClose();
    return 0;
  }
  PlaySoundIfReady();
  return 1;
}

int MUSICInitialiseFromResource(ModuleHandle module, unsigned volumePercent) {
  uint32_t error = 0;
  ResourceHandle found = gResources->find(module, kMusicTrackResource, &error);
  if (!found) {
    LogDebug("MUSICInitialiseFromResource: FindResource returned NULL %lu\n", (unsigned long)error);
    return 0;
  }
  ResourceHandle loaded = gResources->load(module, found, &error);
  if (!loaded) {
    LogDebug("MUSICInitialiseFromResource: LoadResource returned NULL %lu\n", (unsigned long)error);
    return 0;
  }
  const void* data = gResources->lock(loaded, &error);
  if (!data) {
    LogDebug("MUSICInitialiseFromResource; LockResource returned NULL %lu\n", (unsigned long)error);
    return 0;
  }
  uint32_t size = gResources->size(module, found, &error);
  if (size == 0) {
    LogDebug("MUSICInitialiseFromResource: SizeofResource returned NULL %lu\n", (unsigned long)error);
    return 0;
  }
  return MUSICInitialise(static_cast<const char*>(data), volumePercent, true, size);
}

void CreatePlaylistTrackSound(const char* track) {
  FMOD_RESULT result;
  if (IsNetLocation(track)) {
    if (!FmodCheck(FMOD_System_SetStreamBufferSize(gSystem, kNetStreamBufferBytes, FMOD_TIMEUNIT_RAWBYTES),
                   "CreatePlaylistTrackSound:FMOD_System_SetStreamBufferSize - Normal sound")) {
      MUSICClose();
      return;
    }
    result = FMOD_System_CreateSound(
        gSystem, track, FMOD_2D | FMOD_HARDWARE | FMOD_CREATESTREAM | FMOD_NONBLOCKING, nullptr, &gSound);
    FmodCheck(result, "CreatePlaylistTrackSound:FMOD_System_CreateSound - Net playlist track");
  } else {
    uint32_t error = gSoundService->setCurrentDirectory(gSystem, gMusic.playlistDirectory);
    if (error != 0)
      LogDebug("CreatePlaylistTrackSound: SetCurrentDirectory failed (%lu)\n", (unsigned long)error);
    result = FMOD_System_CreateSound(gSystem, track, FMOD_DEFAULT, nullptr, &gSound);
    FmodCheck(result, "CreatePlaylistTrackSound:FMOD_System_CreateSound");
  }
  if (result != FMOD_OK) {
    LogDebug("Trying to play track %s of playlist\n", Printable(track).c_str());
    MUSICClose();
  }
}

void PlaySoundIfReady() {
  gMusic.started = 0;
  if (!gSystem || !gSound) return;
  int state = FMOD_OPENSTATE_LOADING;
  if (!FmodCheck(FMOD_Sound_GetOpenState(gSound, &state, nullptr, nullptr),
                 "PlaySoundIfReady:FMOD_Sound_GetOpenState")) {
    MUSICClose();
    return;
  }
  if (state != FMOD_OPENSTATE_READY) return;
  if (!FmodCheck(FMOD_System_PlaySound(gSystem, FMOD_CHANNEL_FREE, gSound, false, &gChannel),
                 "PlaySoundIfReady:FMOD_System_PlaySound")) {
    MUSICClose();
    return;
  }
  FMOD_Channel_SetVolume(gChannel, gMusic.volume);
  gMusic.started = 1;
  if (gMusic.isPlaylist) gMusic.trackIndex += 1;
}

void MusicUpdate() {
  if (!gSystem) return;
  if (!gMusic.started) PlaySoundIfReady();
  // A failed start has closed the music.
  if (!gSystem) return;
  if (gMusic.isPlaylist) {
    bool playing = false;
    if (gChannel) {
      if (FMOD_Channel_IsPlaying(gChannel, &playing) != FMOD_OK) playing = false;
    } else {
      // No channel: a track is still opening (keep waiting), or the last
      // one ended past the end of the list (start the first again).
      playing = gSound != nullptr;
    }
    if (!playing) {
      if (gSound) FMOD_Sound_Release(gSound);
      gSound = nullptr;
      // The ended track's channel goes with it, so that the next track's
      // open can finish; the not-started path above then starts it.
      gChannel = nullptr;
      gMusic.started = 0;
      FMOD_TAG tag = {};
      if (FMOD_Sound_GetTag(gPlaylist, "FILE", gMusic.trackIndex, &tag) != FMOD_OK) {
        gMusic.trackIndex = 0;
        FMOD_System_Update(gSystem);
        return;
      }
      CreatePlaylistTrackSound(static_cast<const char*>(tag.data));
      PlaySoundIfReady();
    }
  }
  if (gSystem) FMOD_System_Update(gSystem);
}

void MusicPoll() {
  if (!gSystem) return;
  if (++gMusic.pollCount < kMusicPollSteps) return;
  gMusic.pollCount = 0;
  uint32_t now = GetTickCount();
  if (gMusic.updatedOnce && now - gMusic.lastUpdateTick < kMusicPollMilliseconds) return;
  gMusic.updatedOnce = 1;
  gMusic.lastUpdateTick = now;
  MusicUpdate();
}

void MusicSetVolume(unsigned percent) {
  gMusic.volume = float(percent) / 100.0f;
  if (gChannel) FMOD_Channel_SetVolume(gChannel, gMusic.volume);
}

void MusicTogglePause() {
  if (!gChannel) return;
  bool paused = false;
  FMOD_Channel_GetPaused(gChannel, &paused);
  FMOD_Channel_SetPaused(gChannel, !paused);
}

void MUSICClose() {
  if (gSound) {
    FmodCheck(FMOD_Sound_Release(gSound), "MUSICClose:FMOD_Sound_Release(gSound)");
    gSound = nullptr;
  }
  if (gPlaylist) {
    FmodCheck(FMOD_Sound_Release(gPlaylist), "MUSICClose:FMOD_Sound_Release(gPlaylist)");
    gPlaylist = nullptr;
  }
  if (gSystem) {
    FmodCheck(FMOD_System_Close(gSystem), "MUSICClose:FMOD_System_Close");
    FmodCheck(FMOD_System_Release(gSystem), "MUSICClose:FMOD_System_Release");
    gSystem = nullptr;
  }
  gChannel = nullptr;
}

void ResetMusicPlayer() {
  if (gSoundService) MUSICClose();
  gSystem = nullptr;
  gPlaylist = nullptr;
  gSound = nullptr;
  gChannel = nullptr;
  gMusic = MusicStateRec{};
}
