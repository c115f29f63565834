#include "platform/sound/gst_sound.h"

#include <fcntl.h>
#include <gst/base/gsttypefindhelper.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sound/gst_sound_state.h"

GstSoundRec gGst;
std::atomic<int> gPendingStops{0};

namespace {

constexpr uintptr_t kChannelBit = uintptr_t(1) << 40;

}  // namespace

SoundRec* SoundOf(FMOD_SOUND* handle) {
  auto found = gGst.sounds.find(reinterpret_cast<uintptr_t>(handle));
  return found == gGst.sounds.end() ? nullptr : found->second.get();
}

SoundRec* SoundOfChannel(FMOD_CHANNEL* channel) {
  uintptr_t value = reinterpret_cast<uintptr_t>(channel);
  if (!(value & kChannelBit)) return nullptr;
  return SoundOf(reinterpret_cast<FMOD_SOUND*>(value & ~kChannelBit));
}

bool IsNet(const std::string& location) {
  return location.compare(0, 7, "http://") == 0 || location.compare(0, 8, "https://") == 0;
}

namespace {

void PollSound(SoundRec* sound) {
  if (sound->waitFor) {
    PollFetches(sound->system);
    PollWaitingTrack(sound);
  }
  if (sound->fetch) PollFetches(sound->system);
  PollBus(sound);
}

FMOD_RESULT Create(FMOD_SYSTEM** system) {
  *system = new FMOD_SYSTEM();
  return FMOD_OK;
}

FMOD_RESULT GetVersion(FMOD_SYSTEM*, uint32_t* version) {
  // The interface version this service offers.
  *version = 0x00042204;
  return FMOD_OK;
}

FMOD_RESULT GetNumDrivers(FMOD_SYSTEM*, int* count) {
  *count = int(gGst.drivers.size());
  return FMOD_OK;
}

FMOD_RESULT SetOutput(FMOD_SYSTEM* system, int output) {
  if (system->initialised) return FMOD_ERR_INITIALIZED;
  system->output = output;
  return FMOD_OK;
}

FMOD_RESULT GetDriverCaps(FMOD_SYSTEM*, int driver, uint32_t* caps, int*, int*, int* speakerMode) {
  if (driver < 0 || size_t(driver) >= gGst.drivers.size()) return FMOD_ERR_INVALID_PARAM;
  *caps = FMOD_CAPS_NONE;
  *speakerMode = FMOD_SPEAKERMODE_STEREO;
  return FMOD_OK;
}

FMOD_RESULT Accept(FMOD_SYSTEM*, int) { return FMOD_OK; }
FMOD_RESULT AcceptBuffer(FMOD_SYSTEM*, uint32_t, int) { return FMOD_OK; }
FMOD_RESULT AcceptFormat(FMOD_SYSTEM*, int, int, int, int, int) { return FMOD_OK; }

FMOD_RESULT GetDriverInfo(FMOD_SYSTEM*, int driver, char* name, int length, void*) {
  if (driver < 0 || size_t(driver) >= gGst.drivers.size() || length <= 0) return FMOD_ERR_INVALID_PARAM;
  std::snprintf(name, size_t(length), "%s",
                gGst.drivers[size_t(driver)] == "pulsesink" ? "PulseAudio" : "ALSA");
  return FMOD_OK;
}

FMOD_RESULT Init(FMOD_SYSTEM* system, int, uint32_t, void*) {
  if (!gGst.gstReady) return FMOD_ERR_OUTPUT_INIT;
  if (system->initialised) return FMOD_ERR_INITIALIZED;
  system->initialised = true;
  return FMOD_OK;
}

std::string Absolute(const FMOD_SYSTEM* system, const std::string& path) {
  if (path.empty() || path[0] == '/' || system->directory.empty()) return path;
  return system->directory + (system->directory.back() == '/' ? "" : "/") + path;
}

// The bytes a local file's kind is told by.
constexpr size_t kHeadBytes = 64 * 1024;

// Reads the start of a local file, up to limit bytes, without ever waiting
// on it: only a regular file is read (a FIFO or a device given as music
// would hold the frame loop up, or never end), opened non-blocking.
FMOD_RESULT ReadLocalFile(const std::string& path, size_t limit, std::string* out, off_t* size) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? FMOD_ERR_FILE_NOTFOUND : FMOD_ERR_FILE_BAD;
  struct stat info = {};
  FMOD_RESULT result = FMOD_OK;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) result = FMOD_ERR_FILE_BAD;
  *size = info.st_size;
  out->clear();
  while (result == FMOD_OK && out->size() < limit) {
    char buffer[16384];
    ssize_t got = read(fd, buffer, std::min(sizeof buffer, limit - out->size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) result = FMOD_ERR_FILE_BAD;
    if (got <= 0) break;
    out->append(buffer, size_t(got));
  }
  close(fd);
  return result;
}

// Whether the start of a file is something GStreamer can play: a sound or
// a media container, not text, a picture or a program named like music.
bool LooksLikeSound(const std::string& head) {
  if (head.empty()) return false;
  GstCaps* caps = gst_type_find_helper_for_data(nullptr, reinterpret_cast<const guint8*>(head.data()),
                                                head.size(), nullptr);
  if (!caps) return false;
  std::string type = gst_structure_get_name(gst_caps_get_structure(caps, 0));
  gst_caps_unref(caps);
  static const char* const kContainers[] = {"application/ogg", "application/x-id3", "application/x-apetag",
                                            "application/x-3gp", "application/vnd.rn-realmedia"};
  if (type.rfind("audio/", 0) == 0 || type.rfind("video/", 0) == 0) return true;
  for (const char* container : kContainers)
    if (type == container) return true;
  return false;
}

// A local source: a playlist (by its text or, failing that, its name) is
// read at once; anything else must look like a sound to be opened.
FMOD_RESULT OpenLocal(SoundRec* sound, const std::string& path) {
  std::string head;
  off_t size = 0;
  FMOD_RESULT result = ReadLocalFile(path, kHeadBytes, &head, &size);
  if (result != FMOD_OK) return result;
  PlaylistKind kind = PlaylistKindOfContent(head.data(), head.size(), "");
  if (kind == PlaylistKind::None) kind = PlaylistKindOf(path);
  if (kind == PlaylistKind::None) {
    if (!LooksLikeSound(head)) return FMOD_ERR_FORMAT;
    gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
    if (!uri) return FMOD_ERR_FILE_NOTFOUND;
    sound->uri = uri;
    g_free(uri);
    return FMOD_OK;
  }
  sound->playlist = true;
  sound->kind = kind;
  if (size > off_t(kMaxPlaylistBytes)) return FMOD_ERR_FILE_BAD;
  std::string body;
  // Read again whole: a file that grew past the limit meanwhile is refused.
  result = ReadLocalFile(path, kMaxPlaylistBytes + 1, &body, &size);
  if (result != FMOD_OK) return result;
  if (body.size() > kMaxPlaylistBytes) return FMOD_ERR_FILE_BAD;
  if (!ParsePlaylist(body.data(), body.size(), kind, path, &sound->entries)) return FMOD_ERR_FORMAT;
  sound->openState = FMOD_OPENSTATE_READY;
  return FMOD_OK;
}

// The deferred track "LIST#prismora-entry-N" of a remote playlist LIST that
// is still being fetched; nullptr when location is no such thing.
SoundRec* LoadingListOf(const std::string& location, int* index) {
  size_t marker = location.rfind(kEntryMarker);
  if (marker == std::string::npos) return nullptr;
  std::string list = location.substr(0, marker);
  for (auto& [serial, sound] : gGst.sounds)
    if (sound->playlist && sound->location == list) {
      *index = std::atoi(location.c_str() + marker + std::strlen(kEntryMarker));
      return sound.get();
    }
  return nullptr;
}

FMOD_RESULT CreateSound(FMOD_SYSTEM* system, const char* nameOrData, FMOD_MODE mode,
                        FMOD_CREATESOUNDEXINFO* info, FMOD_SOUND** out) {
  if (!system->initialised) return FMOD_ERR_INITIALIZATION;
  if (!nameOrData) return FMOD_ERR_INVALID_PARAM;
  auto sound = std::make_unique<SoundRec>();
  sound->serial = gGst.nextSerial++;
  sound->system = system;
  if (mode & FMOD_OPENMEMORY) {
    if (!info || info->length == 0) return FMOD_ERR_INVALID_PARAM;
    sound->memory = g_bytes_new(nameOrData, info->length);
    sound->uri = "appsrc://";
    sound->location = "<memory>";
  } else {
    sound->location = nameOrData;
    if (sound->location.empty()) return FMOD_ERR_FILE_NOTFOUND;
    sound->net = IsNet(sound->location);
    sound->kind = PlaylistKindOf(sound->location);
    int index = 0;
    if (SoundRec* list = LoadingListOf(sound->location, &index)) {
      sound->waitFor = list->serial;
      sound->waitIndex = index;
      sound->net = list->net;
    } else if (sound->net) {
      // An address that names no sound file may be a list whatever its
      // name says: the server's answer tells (its type, its first bytes).
      if (sound->kind != PlaylistKind::None || !HasSoundExtension(sound->location)) {
        sound->playlist = true;
        if (!StartFetch(system, sound.get())) return FMOD_ERR_MEMORY;
      } else {
        sound->uri = sound->location;
      }
    } else {
      std::string path = Absolute(system, sound->location);
      if (sound->location.compare(0, 7, "file://") == 0) {
        gchar* name = g_filename_from_uri(sound->location.c_str(), nullptr, nullptr);
        path = name ? name : "";
        g_free(name);
        if (path.empty()) return FMOD_ERR_FILE_NOTFOUND;
      }
      FMOD_RESULT result = OpenLocal(sound.get(), path);
      if (result != FMOD_OK) return result;
    }
  }
  if (!sound->playlist && !sound->waitFor) {
    FMOD_RESULT result = StartPipeline(sound.get());
    if (result != FMOD_OK) {
      if (sound->memory) g_bytes_unref(sound->memory);
      return result;
    }
  }
  *out = reinterpret_cast<FMOD_SOUND*>(sound->serial);
  gGst.sounds.emplace(sound->serial, std::move(sound));
  return FMOD_OK;
}

FMOD_RESULT GetFormat(FMOD_SOUND* handle, int* type, int*, int*, int*) {
  SoundRec* sound = SoundOf(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  *type = sound->playlist ? FMOD_SOUND_TYPE_PLAYLIST : FMOD_SOUND_TYPE_UNKNOWN;
  return FMOD_OK;
}

FMOD_RESULT GetTag(FMOD_SOUND* handle, const char* name, int index, FMOD_TAG* tag) {
  SoundRec* sound = SoundOf(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  if (!sound->playlist || std::strcmp(name, "FILE") != 0 || index < 0) return FMOD_ERR_TAGNOTFOUND;
  PollSound(sound);
  if (sound->openState == FMOD_OPENSTATE_LOADING) {
    // The list is still on its way: a track that opens when it comes.
    sound->tagText = sound->location + kEntryMarker + std::to_string(index);
  } else if (sound->openState == FMOD_OPENSTATE_ERROR) {
    return sound->error;  // the list could not be fetched: say why
  } else if (size_t(index) < sound->entries.size()) {
    sound->tagText = sound->entries[size_t(index)];
  } else {
    return FMOD_ERR_TAGNOTFOUND;
  }
  tag->name = "FILE";
  tag->data = sound->tagText.c_str();
  tag->datalen = uint32_t(sound->tagText.size() + 1);
  return FMOD_OK;
}

FMOD_RESULT SetStreamBufferSize(FMOD_SYSTEM* system, uint32_t size, uint32_t unit) {
  if (unit != FMOD_TIMEUNIT_RAWBYTES || size == 0) return FMOD_ERR_INVALID_PARAM;
  system->streamBufferSize = size;
  return FMOD_OK;
}

FMOD_RESULT SetMode(FMOD_SOUND* handle, FMOD_MODE mode) {
  SoundRec* sound = SoundOf(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  if (sound->playlist) return FMOD_ERR_BADCOMMAND;
  bool loop = (mode & FMOD_LOOP_NORMAL) != 0;
  if (loop && !sound->loop) LoopWithoutGap(sound);
  sound->loop = sound->loop || loop;
  return FMOD_OK;
}

FMOD_RESULT GetOpenState(FMOD_SOUND* handle, int* state, uint32_t* percent, bool* starving) {
  SoundRec* sound = SoundOf(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  PollSound(sound);
  *state = sound->buffering && sound->openState == FMOD_OPENSTATE_READY ? FMOD_OPENSTATE_BUFFERING
                                                                        : sound->openState;
  if (percent) *percent = sound->openState == FMOD_OPENSTATE_READY ? 100 : 0;
  if (starving) *starving = sound->buffering;
  return sound->openState == FMOD_OPENSTATE_ERROR ? sound->error : FMOD_OK;
}

FMOD_RESULT PlaySound(FMOD_SYSTEM*, int, FMOD_SOUND* handle, bool paused, FMOD_CHANNEL** channel) {
  SoundRec* sound = SoundOf(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  if (sound->playlist || !sound->pipeline) return FMOD_ERR_BADCOMMAND;
  if (sound->openState != FMOD_OPENSTATE_READY) return FMOD_ERR_NOTREADY;
  sound->started = true;
  sound->ended = false;
  sound->paused = paused;
  ApplyPlayingState(sound);
  *channel = reinterpret_cast<FMOD_CHANNEL*>(sound->serial | kChannelBit);
  return FMOD_OK;
}

FMOD_RESULT SetVolume(FMOD_CHANNEL* channel, float volume) {
  SoundRec* sound = SoundOfChannel(channel);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  sound->volume = volume < 0 ? 0.0 : volume > 1 ? 1.0 : double(volume);
  if (sound->pipeline) g_object_set(sound->pipeline, "volume", sound->volume, nullptr);
  return FMOD_OK;
}

FMOD_RESULT IsPlaying(FMOD_CHANNEL* channel, bool* playing) {
  SoundRec* sound = SoundOfChannel(channel);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  PollBus(sound);
  *playing = sound->started && !sound->ended;
  return FMOD_OK;
}

FMOD_RESULT GetPaused(FMOD_CHANNEL* channel, bool* paused) {
  SoundRec* sound = SoundOfChannel(channel);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  *paused = sound->paused;
  return FMOD_OK;
}

FMOD_RESULT SetPaused(FMOD_CHANNEL* channel, bool paused) {
  SoundRec* sound = SoundOfChannel(channel);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  sound->paused = paused;
  ApplyPlayingState(sound);
  return FMOD_OK;
}

FMOD_RESULT Update(FMOD_SYSTEM* system) {
  PollFetches(system);
  for (auto& [serial, sound] : gGst.sounds)
    if (sound->system == system) {
      PollWaitingTrack(sound.get());
      PollBus(sound.get());
    }
  return FMOD_OK;
}

void FreeSound(SoundRec* sound) {
  EndFetch(sound->system, sound);
  DropPipeline(sound);
  if (sound->memory) g_bytes_unref(sound->memory);
  sound->memory = nullptr;
}

FMOD_RESULT Release(FMOD_SOUND* handle) {
  SoundRec* sound = SoundOf(handle);
  if (!sound) return FMOD_ERR_INVALID_HANDLE;
  FreeSound(sound);
  gGst.sounds.erase(sound->serial);
  return FMOD_OK;
}

FMOD_RESULT Close(FMOD_SYSTEM* system) {
  for (auto it = gGst.sounds.begin(); it != gGst.sounds.end();) {
    if (it->second->system == system) {
      FreeSound(it->second.get());
      it = gGst.sounds.erase(it);
    } else {
      ++it;
    }
  }
  system->initialised = false;
  return FMOD_OK;
}

FMOD_RESULT SystemRelease(FMOD_SYSTEM* system) {
  Close(system);
  if (system->multi) curl_multi_cleanup(system->multi);
  delete system;
  return FMOD_OK;
}

uint32_t SetDirectory(FMOD_SYSTEM* system, const char* directory) {
  struct stat info = {};
  if (!directory || stat(directory, &info) != 0) return uint32_t(errno ? errno : ENOENT);
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  system->directory = directory;
  return 0;
}

const SoundService kGstSound = {
    Create,        GetVersion,   GetNumDrivers, SetOutput,     GetDriverCaps, Accept,    AcceptBuffer,
    GetDriverInfo, AcceptFormat, Init,          CreateSound,   GetFormat,     GetTag,    SetStreamBufferSize,
    SetMode,       GetOpenState, PlaySound,     SetVolume,     IsPlaying,     GetPaused, SetPaused,
    Update,        Release,      Close,         SystemRelease, SetDirectory,
};

// An output counts when its element reaches READY, that is, opens a device.
bool OutputWorks(const char* factory) {
  GstElement* sink = gst_element_factory_make(factory, nullptr);
  if (!sink) return false;
  bool works = gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
  if (works && std::strcmp(factory, "pulsesink") == 0) {
    gGst.keptOutput = sink;
    return true;
  }
  gst_element_set_state(sink, GST_STATE_NULL);
  gst_object_unref(sink);
  return works;
}

}  // namespace

void InstallGstSound() {
  if (!gGst.gstReady) {
    gGst.gstReady = gst_init_check(nullptr, nullptr, nullptr);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // PRISMORA_NO_SOUND_DEVICE=1 plays on the silent output even where
    // there is a device (tests, or a muted session).
    const char* noDevice = std::getenv("PRISMORA_NO_SOUND_DEVICE");
    bool probe = !noDevice || std::strcmp(noDevice, "1") != 0;
    if (gGst.gstReady && probe)
      for (const char* factory : {"pulsesink", "alsasink"})
        if (OutputWorks(factory)) gGst.drivers.push_back(factory);
    // Loading a plugin the first time it is used (libsoup with the HTTP
    // source above all) takes up to 20 ms; done here, not in a frame.
    if (gGst.gstReady)
      for (const char* name : {"playbin", "souphttpsrc", "appsrc", "fakesink", "icydemux", "queue2",
                               "typefind", "mpegaudioparse", "mpg123audiodec"})
        if (GstElementFactory* factory = gst_element_factory_find(name)) {
          GstPluginFeature* loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory));
          if (loaded) gst_object_unref(loaded);
          gst_object_unref(factory);
        }
    // So do the type finders that tell a sound file from anything else.
    static const guint8 kNothing[64] = {};
    if (gGst.gstReady)
      if (GstCaps* caps = gst_type_find_helper_for_data(nullptr, kNothing, sizeof kNothing, nullptr))
        gst_caps_unref(caps);
  }
  gSoundService = &kGstSound;
}

int GstSoundDriverCount() { return int(gGst.drivers.size()); }

void FinishGstSound() {
  for (int waited = 0; gPendingStops > 0 && waited < 1000; ++waited) g_usleep(1000);
}
