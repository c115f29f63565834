// The music turn: screen-saver hosts start one saver per monitor, and only
// one of them may play music. The turn is per user and held until released
// or until the process ends, however it ends. gMusicLock is nullptr where
// the host has no such service: every saver then plays.
#pragma once

struct MusicLockService {
  // Takes the turn; true when this process holds it (also when it already
  // did), false while another process does. Where the turn cannot be kept
  // track of at all (no folder for it), true: one saver alone must play.
  bool (*acquire)();
  // Gives the turn up; harmless when not held.
  void (*release)();
};

extern const MusicLockService* gMusicLock;
