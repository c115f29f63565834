// The headless sound service: plays nothing, records every call, and lets a
// test script the machine (drivers, version), the sources (playlists and
// their tracks, opens that take a while or fail) and make any call fail.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/sound.h"

enum SoundOp {
  kOpSystemCreate,
  kOpSystemGetVersion,
  kOpSystemGetNumDrivers,
  kOpSystemSetOutput,
  kOpSystemGetDriverCaps,
  kOpSystemSetSpeakerMode,
  kOpSystemSetDSPBufferSize,
  kOpSystemGetDriverInfo,
  kOpSystemSetSoftwareFormat,
  kOpSystemInit,
  kOpSystemCreateSound,
  kOpSoundGetFormat,
  kOpSoundGetTag,
  kOpSystemSetStreamBufferSize,
  kOpSoundSetMode,
  kOpSoundGetOpenState,
  kOpSystemPlaySound,
  kOpChannelSetVolume,
  kOpChannelIsPlaying,
  kOpChannelGetPaused,
  kOpChannelSetPaused,
  kOpSystemUpdate,
  kOpSoundRelease,
  kOpSystemClose,
  kOpSystemRelease,
  kSoundOpCount
};

struct ScriptedFailure {
  FMOD_RESULT result = FMOD_OK;  // what the call returns instead of working
  int times = 0;                 // that many calls fail, then it works; 0: every call
};

struct ScriptedSound {
  std::string location;  // "<memory N bytes>" for memory
  FMOD_MODE mode = 0;
  bool released = false;
  bool playlist = false;
  std::vector<std::string> tracks;  // a playlist's "FILE" tags
  int pendingOpenChecks = 0;        // open-state calls still answering LOADING
  FMOD_RESULT openError = FMOD_OK;  // an open that fails once it finishes
  bool playing = false;             // started on its channel and not ended
  bool paused = false;
  float volume = 1.0f;
};

struct ScriptedSoundRec {
  int driverCount = 0;
  uint32_t version = 0x00042204;
  uint32_t caps = 0;
  int speakerMode = FMOD_SPEAKERMODE_STEREO;
  std::string driverName = "Headless";
  ScriptedFailure failures[kSoundOpCount];
  // Sources: locations that are playlists, with their tracks; locations
  // whose open takes this many open-state checks or fails when done.
  std::map<std::string, std::vector<std::string>> playlists;
  std::map<std::string, int> slowOpens;
  std::map<std::string, FMOD_RESULT> failingOpens;
  std::map<std::string, FMOD_RESULT> missing;  // CreateSound fails at once
  uint32_t setDirectoryError = 0;              // what setCurrentDirectory returns
  // The program's embedded track (installed as the resource service too);
  // empty: the program has none. resourceFailStep 1..4 makes find, load,
  // lock or size come up empty.
  std::string embeddedTrack;
  int resourceFailStep = 0;
  // What happened.
  std::vector<std::string> calls;  // "CreateSound /a.mp3 0x80", ...
  std::vector<ScriptedSound> sounds;
  int output = FMOD_OUTPUTTYPE_AUTODETECT;
  uint32_t streamBufferSize = 0;
  std::string currentDirectory;
  int systemsOpen = 0;
  int updates = 0;
};

extern ScriptedSoundRec gScriptedSound;

// Installs the scripted sound and resource services and resets the record.
void InstallScriptedSound();
void ResetScriptedSound();
// The sound a handle names; nullptr for an unknown handle.
ScriptedSound* ScriptedSoundOf(FMOD_SOUND* sound);
// The sound the last channel handed out plays.
ScriptedSound* ScriptedSoundOfChannel(FMOD_CHANNEL* channel);
// Ends the playing sound's track, as a finished file would.
void ScriptedEndTrack(FMOD_SOUND* sound);
// How many calls of op were made; calls recorded as "Op ..." text.
int ScriptedCallCount(const std::string& opName);
