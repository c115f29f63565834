// Remote playlists of the GStreamer sound service: fetched with libcurl's
// multi interface (its threaded resolver; never waiting on the network),
// read by our playlist reader, and the tracks waiting for them.
#include "platform/sound/gst_sound_state.h"

namespace {

// Bytes enough to tell a list from a stream by its start.
constexpr size_t kSniffBytes = 512;

std::string ContentTypeOf(CURL* easy) {
  char* type = nullptr;
  curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type);
  return type ? type : "";
}

// Takes what the server sends. As soon as its type (or, where the type
// says nothing, its first bytes) shows a stream rather than a list, the
// transfer stops: the stream is played as the list's only entry.
size_t KeepBody(char* data, size_t size, size_t count, void* user) {
  SoundRec* sound = static_cast<SoundRec*>(user);
  if (sound->body.size() + size * count > kMaxPlaylistBytes) return 0;  // too long: the transfer fails
  sound->body.append(data, size * count);
  if (sound->sniffed) return size * count;
  std::string type = ContentTypeOf(sound->fetch);
  PlaylistKind kind = PlaylistKindOfContent(sound->body.data(), sound->body.size(), type);
  bool enough = sound->body.size() >= kSniffBytes;
  // A name that says list is believed over a server that calls it a sound.
  if (kind == PlaylistKind::None && sound->kind == PlaylistKind::None &&
      (ContentTypeIsSound(type) || enough)) {
    sound->isStream = true;
    return 0;
  }
  if (enough) {
    sound->sniffed = true;
    if (kind != PlaylistKind::None) sound->kind = kind;
  }
  return size * count;
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

}  // namespace

bool StartFetch(FMOD_SYSTEM* system, SoundRec* sound) {
  if (!system->multi) system->multi = curl_multi_init();
  CURL* easy = curl_easy_init();
  if (!system->multi || !easy) {
    if (easy) curl_easy_cleanup(easy);
    return false;
  }
  curl_easy_setopt(easy, CURLOPT_URL, sound->location.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, KeepBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, sound);
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
    char* effective = nullptr;
    curl_easy_getinfo(message->easy_handle, CURLINFO_EFFECTIVE_URL, &effective);
    // Relative entries are taken from where the list really came from.
    std::string base = effective ? effective : sound->location;
    std::string type = ContentTypeOf(message->easy_handle);
    EndFetch(system, sound);
    PlaylistKind kind = PlaylistKindOfContent(sound->body.data(), sound->body.size(), type);
    if (kind == PlaylistKind::None) kind = sound->kind;
    if (sound->isStream) {
      sound->entries = {sound->location};
      sound->openState = FMOD_OPENSTATE_READY;
    } else if (result != CURLE_OK) {
      sound->openState = FMOD_OPENSTATE_ERROR;
      sound->error = FetchError(result);
    } else if (ParsePlaylist(sound->body.data(), sound->body.size(), kind, base, &sound->entries)) {
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
