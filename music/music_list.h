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

// One item of the dialog's music field: its text and its item data.
struct MusicComboItem {
  char text[260];
  int32_t number;
};
// The item count of the field before the user's entries: "- No Music -" and
// the built-in entries.
constexpr int32_t kMusicComboFixedItems = 1 + kBuiltInMusicCount;

// Writes the user's entries of the dialog's music field (the items after the
// fixed ones) as the music key, replacing what it held. With no item
// selected, typedText is what the user typed: it is stored as a new entry,
// numbered by NewMusicNumber over the items, and chosen as "Music Index".
void SaveMusicList(const MusicComboItem* items, int32_t itemCount, bool itemSelected, const char* typedText);
// A number for a new entry that no item's number (nor a built-in one) has:
// one more than the largest.
int32_t NewMusicNumber(const MusicComboItem* items, int32_t itemCount);
// The same over the loaded music list, for an entry added by browsing.
int32_t NewMusicListNumber();
