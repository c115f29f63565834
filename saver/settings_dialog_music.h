// The settings dialog's music field: filling it from the music list, adding
// and removing entries, previewing, and writing the list back.
#pragma once
#include <cstdint>

#include "platform/messages.h"

// The music player as the preview uses it: by default the saver's own
// (MUSICInitialise and kin). Tests put their own player here;
// ResetMusicPreviewPlayer brings the default back.
struct MusicPreviewPlayer {
  // Starts location ("" = the built-in track) at volume 0..100; false when
  // it cannot be played.
  bool (*start)(const char* location, int volume);
  void (*update)();  // the player's periodic work
  void (*setVolume)(int volume);
  void (*stop)();
};

extern MusicPreviewPlayer gMusicPreviewPlayer;
void ResetMusicPreviewPlayer();

void FillMusicList(WindowHandle dialog);
void BrowseForMusic(WindowHandle dialog);
void RemoveMusicEntry(WindowHandle dialog);
void ToggleMusicPreview(WindowHandle dialog);
// Sets "Music Index" from the field and rewrites the stored music list.
void CommitMusic(WindowHandle dialog);
