// The music sources to choose from: four built-in entries, then the user's
// own files, playlists and addresses from the store.
#pragma once
#include <cstdint>

struct MusicEntry {
  char location[260];  // what the player opens; "" = the embedded track
  char display[260];   // what the dialog shows
  int32_t number;      // "Music Index" selects an entry by this
};

constexpr int32_t kBuiltInMusicCount = 4;

extern MusicEntry* gMusicList;  // heap array of gMusicCount entries
extern int32_t gMusicCount;

// Builds the list from the built-in entries and the music key. False (after
// telling the user) when memory ran out; the entries made so far are kept.
bool LoadMusicList();
void FreeMusicList();
// The location of the entry numbered number; "" when there is none.
const char* MusicEntryLocation(int32_t number);
void ResetMusicList();
