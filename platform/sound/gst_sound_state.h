// What the GStreamer sound service keeps: the system, its sounds and their
// pipelines, shared by the files of the service. Only the program's thread
// touches these records; the pool tasks get what they need passed in.
#pragma once
#include <curl/curl.h>
#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sound.h"
#include "platform/sound/playlist.h"

// A stream that sends nothing for this long has timed out.
constexpr gint64 kStreamTimeoutUs = 15 * G_USEC_PER_SEC;

struct FMOD_SYSTEM {
  bool initialised = false;
  int output = FMOD_OUTPUTTYPE_AUTODETECT;
  uint32_t streamBufferSize = 65536;
  std::string directory;  // relative locations are taken from here
  CURLM* multi = nullptr;
};

// Shared by a pipeline's tasks on GStreamer's thread pool, so that a
// stream's restart never runs after (or during) the pipeline's stop.
struct PipelineGuard {
  std::mutex mutex;
  bool dropped = false;
};

struct SoundRec {
  uintptr_t serial = 0;
  FMOD_SYSTEM* system = nullptr;
  std::string location;
  std::string uri;
  GBytes* memory = nullptr;
  bool net = false;
  // A playlist: its entries once read; a remote one is fetched first.
  bool playlist = false;
  PlaylistKind kind = PlaylistKind::None;
  std::vector<std::string> entries;
  CURL* fetch = nullptr;
  std::string body;
  // What the server's answer turned out to be: a list of some kind, or
  // (sniffed) the sound itself, which then is the list's only entry.
  bool sniffed = false;
  bool isStream = false;
  std::string tagText;
  // A track of a remote playlist still being fetched: which entry.
  uintptr_t waitFor = 0;
  int waitIndex = 0;
  int openState = FMOD_OPENSTATE_LOADING;
  FMOD_RESULT error = FMOD_OK;
  GstElement* pipeline = nullptr;
  GstBus* bus = nullptr;
  std::shared_ptr<PipelineGuard> guard;
  bool loop = false;
  bool started = false;
  bool ended = false;
  bool paused = false;
  bool buffering = false;
  double volume = 1.0;
  gint64 openedAt = 0;  // g_get_monotonic_time when the open started
};

struct GstSoundRec {
  bool gstReady = false;
  std::vector<std::string> drivers;
  // The PulseAudio output that the probe opened, kept open for the life of
  // the program: the element's shared connection to the server is torn
  // down when its last user closes, and a close racing that tear-down
  // aborts inside libpulse.
  GstElement* keptOutput = nullptr;
  uintptr_t nextSerial = 1;
  std::unordered_map<uintptr_t, std::unique_ptr<SoundRec>> sounds;
};

extern GstSoundRec gGst;
// Pipelines whose stop is still running on the pool; only ever waited for
// at the end of the program.
extern std::atomic<int> gPendingStops;

// The marker of a track of a remote playlist not fetched yet: "LIST#...N".
constexpr const char* kEntryMarker = "#prismora-entry-";

SoundRec* SoundOf(FMOD_SOUND* handle);
SoundRec* SoundOfChannel(FMOD_CHANNEL* channel);
bool IsNet(const std::string& location);

// Pipelines (gst_pipeline.cpp).
// Builds the playbin for sound->uri and starts its open (preroll).
FMOD_RESULT StartPipeline(SoundRec* sound);
// Hands the pipeline to GStreamer's thread pool to stop and free.
void DropPipeline(SoundRec* sound);
// Repeats the source with no gap (files and memory).
void LoopWithoutGap(SoundRec* sound);
// Running or paused, as the user and the buffering want it.
void ApplyPlayingState(SoundRec* sound);
// Takes every message waiting on the sound's bus.
void PollBus(SoundRec* sound);

// Remote playlists (gst_fetch.cpp).
bool StartFetch(FMOD_SYSTEM* system, SoundRec* sound);
void EndFetch(FMOD_SYSTEM* system, SoundRec* sound);
// Moves every transfer on and finishes those that are done.
void PollFetches(FMOD_SYSTEM* system);
// Opens a waiting track once its list has come.
void PollWaitingTrack(SoundRec* sound);
