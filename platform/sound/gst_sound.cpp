#include "platform/sound/gst_sound.h"

#include <curl/curl.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sound.h"
#include "platform/sound/playlist.h"

struct FMOD_SYSTEM {
  bool initialised = false;
  int output = FMOD_OUTPUTTYPE_AUTODETECT;
  uint32_t streamBufferSize = 65536;
  std::string directory;  // relative locations are taken from here
  CURLM* multi = nullptr;
};

namespace {

constexpr uintptr_t kChannelBit = uintptr_t(1) << 40;
constexpr guint kPlayFlagsAudioOnly = 0x2 | 0x10;  // audio, software volume
constexpr const char* kEntryMarker = "#prismora-entry-";

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
  std::string tagText;
  // A track of a remote playlist still being fetched: which entry.
  uintptr_t waitFor = 0;
  int waitIndex = 0;
  int openState = FMOD_OPENSTATE_LOADING;
  FMOD_RESULT error = FMOD_OK;
  GstElement* pipeline = nullptr;
  GstBus* bus = nullptr;
  bool loop = false;
  bool started = false;
  bool ended = false;
  bool paused = false;
  bool buffering = false;
  double volume = 1.0;
};

struct GstSoundRec {
  bool gstReady = false;
  std::vector<std::string> drivers;
  uintptr_t nextSerial = 1;
  std::unordered_map<uintptr_t, std::unique_ptr<SoundRec>> sounds;
};

GstSoundRec gGst;

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

// --- pipelines --------------------------------------------------------------

void OnSourceSetup(GstElement*, GstElement* source, gpointer data) {
  GBytes* bytes = static_cast<GBytes*>(data);
  g_object_set(source, "size", gint64(g_bytes_get_size(bytes)), "format", GST_FORMAT_BYTES, "stream-type", 0,
               nullptr);
  gst_app_src_push_buffer(GST_APP_SRC(source), gst_buffer_new_wrapped_bytes(bytes));
  gst_app_src_end_of_stream(GST_APP_SRC(source));
}

// Runs on a streaming thread: queues the same source again, so a loop has
// no gap. Touches nothing but its own copy of the address.
void OnAboutToFinish(GstElement* playbin, gpointer uri) {
  g_object_set(playbin, "uri", static_cast<const char*>(uri), nullptr);
}

void FreeUri(gpointer uri, GClosure*) { g_free(uri); }
void FreeBytes(gpointer bytes, GClosure*) { g_bytes_unref(static_cast<GBytes*>(bytes)); }

GstElement* MakeAudioSink(const FMOD_SYSTEM* system) {
  if (system->output != FMOD_OUTPUTTYPE_NOSOUND && !gGst.drivers.empty()) {
    GstElement* sink = gst_element_factory_make(gGst.drivers[0].c_str(), nullptr);
    if (sink) return sink;
  }
  // Silent, but on the clock: a track lasts as long as it would sound.
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (sink) g_object_set(sink, "sync", TRUE, nullptr);
  return sink;
}

FMOD_RESULT StartPipeline(SoundRec* sound) {
  GstElement* playbin = gst_element_factory_make("playbin", nullptr);
  GstElement* sink = MakeAudioSink(sound->system);
  if (!playbin || !sink) {
    if (playbin) gst_object_unref(playbin);
    if (sink) gst_object_unref(sink);
    return FMOD_ERR_OUTPUT_INIT;
  }
  g_object_set(playbin, "uri", sound->uri.c_str(), "flags", kPlayFlagsAudioOnly, "audio-sink", sink, "volume",
               sound->volume, nullptr);
  if (sound->net) {
    // Without a duration limit playback waits for seconds of stream first.
    g_object_set(playbin, "buffer-size", gint(sound->system->streamBufferSize), "buffer-duration",
                 gint64(GST_SECOND), nullptr);
  }
  if (sound->memory)
    g_signal_connect_data(playbin, "source-setup", G_CALLBACK(OnSourceSetup), g_bytes_ref(sound->memory),
                          FreeBytes, GConnectFlags(0));
  if (sound->loop && !sound->net)
    g_signal_connect_data(playbin, "about-to-finish", G_CALLBACK(OnAboutToFinish),
                          g_strdup(sound->uri.c_str()), FreeUri, GConnectFlags(0));
  sound->pipeline = playbin;
  sound->bus = gst_element_get_bus(playbin);
  if (gst_element_set_state(playbin, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
    sound->openState = FMOD_OPENSTATE_ERROR;
    sound->error = sound->net ? FMOD_ERR_NET_CONNECT : FMOD_ERR_FILE_BAD;
  }
  return FMOD_OK;
}

void StopPipelineOnPool(GstElement* pipeline, gpointer) {
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
}

// Stopping after a network stream can take a tenth of a second: it is
// left to GStreamer's own thread pool.
void DropPipeline(SoundRec* sound) {
  if (sound->bus) gst_object_unref(sound->bus);
  sound->bus = nullptr;
  if (sound->pipeline) gst_element_call_async(sound->pipeline, StopPipelineOnPool, nullptr, nullptr);
  sound->pipeline = nullptr;
}

void RestartStreamOnPool(GstElement* pipeline, gpointer) {
  gst_element_set_state(pipeline, GST_STATE_READY);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
}

FMOD_RESULT ErrorCode(const SoundRec* sound, const GError* error) {
  if (error->domain == GST_RESOURCE_ERROR) {
    switch (error->code) {
      case GST_RESOURCE_ERROR_NOT_FOUND:
        return sound->net ? FMOD_ERR_NET_URL : FMOD_ERR_FILE_NOTFOUND;
      case GST_RESOURCE_ERROR_OPEN_READ:
      case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
        return sound->net ? FMOD_ERR_NET_CONNECT : FMOD_ERR_FILE_BAD;
      case GST_RESOURCE_ERROR_READ:
        return sound->net ? FMOD_ERR_HTTP_TIMEOUT : FMOD_ERR_FILE_BAD;
      case GST_RESOURCE_ERROR_OPEN_WRITE:
      case GST_RESOURCE_ERROR_BUSY:
        return FMOD_ERR_OUTPUT_INIT;
      default:
        return sound->net ? FMOD_ERR_HTTP : FMOD_ERR_FILE_BAD;
    }
  }
  if (error->domain == GST_STREAM_ERROR || error->domain == GST_CORE_ERROR) return FMOD_ERR_FORMAT;
  return FMOD_ERR_INTERNAL;
}

void ApplyPlayingState(SoundRec* sound) {
  if (!sound->pipeline || !sound->started || sound->ended) return;
  bool run = !sound->paused && !sound->buffering;
  gst_element_set_state(sound->pipeline, run ? GST_STATE_PLAYING : GST_STATE_PAUSED);
}

void PollBus(SoundRec* sound) {
  if (!sound->bus) return;
  while (GstMessage* message = gst_bus_pop(sound->bus)) {
    switch (GST_MESSAGE_TYPE(message)) {
      case GST_MESSAGE_ASYNC_DONE:
        if (sound->openState != FMOD_OPENSTATE_ERROR) sound->openState = FMOD_OPENSTATE_READY;
        break;
      case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        sound->error = ErrorCode(sound, error);
        g_error_free(error);
        if (sound->started)
          sound->ended = true;
        else
          sound->openState = FMOD_OPENSTATE_ERROR;
        break;
      }
      case GST_MESSAGE_EOS:
        if (sound->loop && sound->started) {
          if (sound->net)
            gst_element_call_async(sound->pipeline, RestartStreamOnPool, nullptr, nullptr);
          else if (!gst_element_seek_simple(sound->pipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0))
            sound->ended = true;
        } else {
          sound->ended = true;
        }
        break;
      case GST_MESSAGE_BUFFERING:
        if (sound->net) {
          gint percent = 100;
          gst_message_parse_buffering(message, &percent);
          bool buffering = percent < 100;
          if (buffering != sound->buffering) {
            sound->buffering = buffering;
            ApplyPlayingState(sound);
          }
        }
        break;
      case GST_MESSAGE_CLOCK_LOST:
        if (sound->started && !sound->paused) {
          gst_element_set_state(sound->pipeline, GST_STATE_PAUSED);
          gst_element_set_state(sound->pipeline, GST_STATE_PLAYING);
        }
        break;
      default:
        break;
    }
    gst_message_unref(message);
  }
}

// --- remote playlists -------------------------------------------------------

size_t KeepBody(char* data, size_t size, size_t count, void* user) {
  std::string* body = static_cast<std::string*>(user);
  if (body->size() + size * count > kMaxPlaylistBytes) return 0;  // too long: the transfer fails
  body->append(data, size * count);
  return size * count;
}

bool StartFetch(FMOD_SYSTEM* system, SoundRec* sound) {
  if (!system->multi) system->multi = curl_multi_init();
  CURL* easy = curl_easy_init();
  if (!system->multi || !easy) {
    if (easy) curl_easy_cleanup(easy);
    return false;
  }
  curl_easy_setopt(easy, CURLOPT_URL, sound->location.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, KeepBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sound->body);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT, 15L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, "Prismora");
  curl_easy_setopt(easy, CURLOPT_PRIVATE, reinterpret_cast<char*>(sound->serial));
  curl_multi_add_handle(system->multi, easy);
  sound->fetch = easy;
  return true;
}

void EndFetch(FMOD_SYSTEM* system, SoundRec* sound) {
  if (!sound->fetch) return;
  curl_multi_remove_handle(system->multi, sound->fetch);
  curl_easy_cleanup(sound->fetch);
  sound->fetch = nullptr;
}

FMOD_RESULT FetchError(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_URL_MALFORMAT:
      return FMOD_ERR_NET_URL;
    case CURLE_COULDNT_CONNECT:
      return FMOD_ERR_NET_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return FMOD_ERR_HTTP_TIMEOUT;
    case CURLE_WRITE_ERROR:
      return FMOD_ERR_FILE_BAD;
    default:
      return FMOD_ERR_HTTP;
  }
}

void PollFetches(FMOD_SYSTEM* system) {
  if (!system->multi) return;
  int running = 0;
  curl_multi_perform(system->multi, &running);
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(system->multi, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    char* serial = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &serial);
    SoundRec* sound = SoundOf(reinterpret_cast<FMOD_SOUND*>(serial));
    CURLcode result = message->data.result;
    if (!sound) continue;
    EndFetch(system, sound);
    if (result != CURLE_OK) {
      sound->openState = FMOD_OPENSTATE_ERROR;
      sound->error = FetchError(result);
    } else if (ParsePlaylist(sound->body.data(), sound->body.size(), sound->kind, sound->location,
                             &sound->entries)) {
      sound->openState = FMOD_OPENSTATE_READY;
    } else {
      sound->openState = FMOD_OPENSTATE_ERROR;
      sound->error = FMOD_ERR_FORMAT;
    }
    std::string().swap(sound->body);
  }
}

// A track of a remote playlist: opens once the list has come.
void PollWaitingTrack(SoundRec* sound) {
  if (!sound->waitFor) return;
  SoundRec* list = SoundOf(reinterpret_cast<FMOD_SOUND*>(sound->waitFor));
  if (!list) {
    sound->waitFor = 0;
    sound->openState = FMOD_OPENSTATE_ERROR;
    sound->error = FMOD_ERR_INVALID_HANDLE;
    return;
  }
  if (list->openState == FMOD_OPENSTATE_LOADING) return;
  sound->waitFor = 0;
  if (list->openState == FMOD_OPENSTATE_ERROR) {
    sound->openState = FMOD_OPENSTATE_ERROR;
    sound->error = list->error;
    return;
  }
  if (size_t(sound->waitIndex) >= list->entries.size()) {
    sound->openState = FMOD_OPENSTATE_ERROR;
    sound->error = FMOD_ERR_TAGNOTFOUND;
    return;
  }
  sound->location = list->entries[size_t(sound->waitIndex)];
  sound->net = IsNet(sound->location);
  if (!sound->net) {
    gchar* uri = gst_filename_to_uri(sound->location.c_str(), nullptr);
    sound->uri = uri ? uri : "";
    g_free(uri);
  } else {
    sound->uri = sound->location;
  }
  StartPipeline(sound);
}

void PollSound(SoundRec* sound) {
  if (sound->waitFor) {
    PollFetches(sound->system);
    PollWaitingTrack(sound);
  }
  if (sound->fetch) PollFetches(sound->system);
  PollBus(sound);
}

// --- the service ------------------------------------------------------------

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

bool ReadSmallFile(const std::string& path, std::string* out) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  out->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return out->size() <= kMaxPlaylistBytes;
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
    } else if (sound->kind != PlaylistKind::None) {
      sound->playlist = true;
      if (sound->net) {
        if (!StartFetch(system, sound.get())) return FMOD_ERR_MEMORY;
      } else {
        std::string path = Absolute(system, sound->location);
        std::string body;
        struct stat info_ = {};
        if (stat(path.c_str(), &info_) != 0) return FMOD_ERR_FILE_NOTFOUND;
        if (!ReadSmallFile(path, &body)) return FMOD_ERR_FILE_BAD;
        if (!ParsePlaylist(body.data(), body.size(), sound->kind, path, &sound->entries))
          return FMOD_ERR_FORMAT;
        sound->openState = FMOD_OPENSTATE_READY;
      }
    } else if (sound->net || sound->location.compare(0, 7, "file://") == 0) {
      sound->uri = sound->location;
    } else {
      std::string path = Absolute(system, sound->location);
      struct stat info_ = {};
      if (stat(path.c_str(), &info_) != 0 || !S_ISREG(info_.st_mode)) return FMOD_ERR_FILE_NOTFOUND;
      gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
      if (!uri) return FMOD_ERR_FILE_NOTFOUND;
      sound->uri = uri;
      g_free(uri);
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
  if (loop && !sound->loop && sound->pipeline && !sound->net)
    g_signal_connect_data(sound->pipeline, "about-to-finish", G_CALLBACK(OnAboutToFinish),
                          g_strdup(sound->uri.c_str()), FreeUri, GConnectFlags(0));
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
  }
  gSoundService = &kGstSound;
}

int GstSoundDriverCount() { return int(gGst.drivers.size()); }
