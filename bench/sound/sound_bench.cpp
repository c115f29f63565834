// What sound costs the saver: starting GStreamer and probing the outputs,
// opening the built-in track, and the per-step music poll while it plays.
// Prints its figures. Run it twice with GST_REGISTRY pointing at a fresh
// file to see a first start on a machine, e.g.
//   GST_REGISTRY=$(mktemp -u) build/release/bench/prismora_sound_bench
#include <chrono>
#include <cstdio>

#include "music/music_player.h"
#include "platform/headless/headless.h"
#include "platform/linux/linux_services.h"
#include "platform/sound/gst_sound.h"
#include "platform/track/embedded_track.h"
#include "saver/program_reset.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  InstallHeadlessHost();
  ResetProgram();
  InstallLinuxServices();
  auto start = Clock::now();
  InstallGstSound();
  std::printf("sound system start (gst_init and output probe): %.1f ms, %d output(s)\n", MsSince(start),
              GstSoundDriverCount());
  InstallEmbeddedTrack();
  start = Clock::now();
  int opened = MUSICInitialiseFromResource(0, 100);
  std::printf("MUSICInitialiseFromResource: %.2f ms (result %d)\n", MsSince(start), opened);
  start = Clock::now();
  while (!gMusic.started && MsSince(start) < 5000) MusicUpdate();
  std::printf("built-in track playing after %.1f ms more\n", MsSince(start));

  // The engine polls once per simulation step; most polls return at once.
  constexpr int kSteps = 20000000;
  start = Clock::now();
  for (int i = 0; i < kSteps; ++i) MusicPoll();
  double pollMs = MsSince(start);
  std::printf("MusicPoll while playing: %.1f ns per step over %d steps (%.0f ms)\n", pollMs * 1e6 / kSteps,
              kSteps, pollMs);
  start = Clock::now();
  for (int i = 0; i < 10000; ++i) MusicUpdate();
  std::printf("MusicUpdate (the real work): %.2f us a call\n", MsSince(start) * 1000 / 10000);
  start = Clock::now();
  MUSICClose();
  std::printf("MUSICClose: %.2f ms\n", MsSince(start));
  FinishGstSound();
  return 0;
}
