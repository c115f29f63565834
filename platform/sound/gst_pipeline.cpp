// The pipelines of the GStreamer sound service: a playbin per sound, its
// bus polled from the program's thread, its stop handed to the pool.
#include <gst/app/gstappsrc.h>

#include "platform/sound/gst_sound_state.h"

namespace {

constexpr guint kPlayFlagsAudioOnly = 0x2 | 0x10;  // audio, software volume

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

// A stream that is still opening near the time limit has timed out,
// whatever error its source gives for it (the HTTP source says only that
// the stream failed).
bool TimedOut(const SoundRec* sound, gint64 margin) {
  return sound->net && sound->openState == FMOD_OPENSTATE_LOADING &&
         g_get_monotonic_time() - sound->openedAt >= kStreamTimeoutUs - margin;
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

using GuardRef = std::shared_ptr<PipelineGuard>;

void FreeGuardRef(gpointer data) { delete static_cast<GuardRef*>(data); }

void QueueOnPool(SoundRec* sound, GstElementCallAsyncFunc task) {
  gst_element_call_async(sound->pipeline, task, new GuardRef(sound->guard), FreeGuardRef);
}

// The open (preroll) starts on the pool: a sound device's output connects
// to its server while it goes to READY, which can take tens of
// milliseconds. A failure that no element reported is reported here.
void OpenOnPool(GstElement* pipeline, gpointer data) {
  PipelineGuard& guard = **static_cast<GuardRef*>(data);
  std::lock_guard<std::mutex> lock(guard.mutex);
  if (guard.dropped) return;
  if (gst_element_set_state(pipeline, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE) return;
  GError* error =
      g_error_new_literal(GST_CORE_ERROR, GST_CORE_ERROR_STATE_CHANGE, "the sound could not be opened");
  gst_element_post_message(pipeline, gst_message_new_error(GST_OBJECT(pipeline), error, nullptr));
  g_error_free(error);
}

void StopPipelineOnPool(GstElement* pipeline, gpointer data) {
  PipelineGuard& guard = **static_cast<GuardRef*>(data);
  {
    std::lock_guard<std::mutex> lock(guard.mutex);
    guard.dropped = true;
    gst_element_set_state(pipeline, GST_STATE_NULL);
  }
  gst_object_unref(pipeline);
  gPendingStops -= 1;
}

// A stream that ended (the server closed it) connects again.
void RestartStreamOnPool(GstElement* pipeline, gpointer data) {
  PipelineGuard& guard = **static_cast<GuardRef*>(data);
  std::lock_guard<std::mutex> lock(guard.mutex);
  if (guard.dropped) return;
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
  // A stream that failed without saying why: from the network, or a bad file.
  if (error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_FAILED)
    return sound->net ? FMOD_ERR_HTTP : FMOD_ERR_FILE_BAD;
  if (error->domain == GST_STREAM_ERROR || error->domain == GST_CORE_ERROR) return FMOD_ERR_FORMAT;
  return FMOD_ERR_INTERNAL;
}

}  // namespace

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
  sound->openedAt = g_get_monotonic_time();
  if (sound->memory)
    g_signal_connect_data(playbin, "source-setup", G_CALLBACK(OnSourceSetup), g_bytes_ref(sound->memory),
                          FreeBytes, GConnectFlags(0));
  if (sound->loop && !sound->net)
    g_signal_connect_data(playbin, "about-to-finish", G_CALLBACK(OnAboutToFinish),
                          g_strdup(sound->uri.c_str()), FreeUri, GConnectFlags(0));
  sound->pipeline = playbin;
  sound->bus = gst_element_get_bus(playbin);
  sound->guard = std::make_shared<PipelineGuard>();
  if (sound->loop) LoopWithoutGap(sound);
  QueueOnPool(sound, OpenOnPool);
  return FMOD_OK;
}

// Stopping after a network stream can take a tenth of a second: it is
// left to GStreamer's own thread pool.
void DropPipeline(SoundRec* sound) {
  if (sound->bus) gst_object_unref(sound->bus);
  sound->bus = nullptr;
  if (sound->pipeline) {
    gPendingStops += 1;
    QueueOnPool(sound, StopPipelineOnPool);
  }
  sound->pipeline = nullptr;
}

void LoopWithoutGap(SoundRec* sound) {
  if (!sound->pipeline || sound->net) return;
  g_signal_connect_data(sound->pipeline, "about-to-finish", G_CALLBACK(OnAboutToFinish),
                        g_strdup(sound->uri.c_str()), FreeUri, GConnectFlags(0));
}

void ApplyPlayingState(SoundRec* sound) {
  if (!sound->pipeline || !sound->started || sound->ended) return;
  bool run = !sound->paused && !sound->buffering;
  gst_element_set_state(sound->pipeline, run ? GST_STATE_PLAYING : GST_STATE_PAUSED);
}

void PollBus(SoundRec* sound) {
  if (!sound->bus) return;
  if (TimedOut(sound, 0)) {
    sound->openState = FMOD_OPENSTATE_ERROR;
    sound->error = FMOD_ERR_HTTP_TIMEOUT;
  }
  while (GstMessage* message = gst_bus_pop(sound->bus)) {
    switch (GST_MESSAGE_TYPE(message)) {
      case GST_MESSAGE_ASYNC_DONE:
        if (sound->openState != FMOD_OPENSTATE_ERROR) sound->openState = FMOD_OPENSTATE_READY;
        break;
      case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        // The first error says why; the ones after it are its echoes
        // ("internal data stream error" from the elements downstream).
        if (sound->error == FMOD_OK)
          sound->error = TimedOut(sound, G_USEC_PER_SEC) ? FMOD_ERR_HTTP_TIMEOUT : ErrorCode(sound, error);
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
            QueueOnPool(sound, RestartStreamOnPool);
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
