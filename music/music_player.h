// The music player: one piece of music at a time, from the embedded track,
// a file, a playlist (its tracks in order, then from the first again) or an
// internet stream, through the sound service. Every sound failure is logged
// and closes the music; the program goes on without it.
#pragma once
#include <cstdint>

#include "platform/resources.h"
#include "platform/sound.h"

struct MusicStateRec {
  int isPlaylist = 0;
  int32_t trackIndex = 0;  // the playlist's next "FILE" tag to open
  int started = 0;         // gSound has been started on gChannel
  float volume = 0.0f;     // 0.0..1.0
  char playlistDirectory[260] = {};
  uint32_t lastUpdateTick = 0;  // GetTickCount of the poll's last real update
  int updatedOnce = 0;
  uint32_t pollCount = 0;  // polls since the clock was last read
};

extern FMOD_SYSTEM* gSystem;
extern FMOD_SOUND* gPlaylist;
extern FMOD_SOUND* gSound;
extern FMOD_CHANNEL* gChannel;
extern MusicStateRec gMusic;

// Logs a failed result with its label; true for FMOD_OK.
bool FmodCheck(FMOD_RESULT result, const char* label);

// Opens and starts location (or, fromMemory, byteCount bytes at location).
// 1 when started, 0 when it failed (all closed again, the reason logged).
int MUSICInitialise(const char* location, unsigned volumePercent, bool fromMemory, uint32_t byteCount);
// The same for the track embedded in module.
int MUSICInitialiseFromResource(ModuleHandle module, unsigned volumePercent);
void CreatePlaylistTrackSound(const char* track);
void PlaySoundIfReady();
// Starts what finished opening, moves a playlist on, lets the service work.
void MusicUpdate();
// MusicUpdate at most every kMusicPollMilliseconds: the engine calls this on
// every simulation step, so it reads the clock only every kMusicPollSteps
// calls (steps come in bursts of a frame's worth, far more than one a
// millisecond).
void MusicPoll();
constexpr uint32_t kMusicPollMilliseconds = 5;
constexpr uint32_t kMusicPollSteps = 16;
void MusicSetVolume(unsigned percent);
// Pauses playing music, resumes paused music; nothing without music.
void MusicTogglePause();
// Releases everything; harmless when nothing is open.
void MUSICClose();
// MUSICClose, and the state back to its start.
void ResetMusicPlayer();
