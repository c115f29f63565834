// The real sound service: GStreamer playbin pipelines polled from the
// program's thread (gst_bus_pop; no GLib main loop, no thread of ours),
// playlists through our own reader, remote playlists through libcurl's
// multi interface.
#pragma once

// Starts GStreamer (up to a second on a first run, so before the animation)
// and probes the sound outputs (none when PRISMORA_NO_SOUND_DEVICE is 1),
// then installs the service. Without
// GStreamer the service still installs and every system it opens fails
// with FMOD_ERR_OUTPUT_INIT.
void InstallGstSound();
// The outputs found by the probe: "pulsesink", "alsasink"; empty without
// any, when sounds play on a silent output that keeps time.
int GstSoundDriverCount();
// Waits (up to a second) for released sounds to finish stopping, so that
// the program ends with no pipeline still running. For the end of main.
void FinishGstSound();
