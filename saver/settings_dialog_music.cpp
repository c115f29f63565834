// The settings dialog's music field. Items are "- No Music -" (data 0),
// then the music list by display text with each entry's number as data.
#include "saver/settings_dialog_music.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "diag/log.h"
#include "music/music_list.h"
#include "music/music_player.h"
#include "patterns/options.h"
#include "platform/dialog.h"
#include "platform/registry.h"
#include "saver/settings_dialog.h"

namespace {

constexpr int kFirstUserItem = kMusicComboFixedItems;  // after "- No Music -" and the built-in entries

// The preview plays through the saver's own music player: "" is the
// built-in track, anything else a location as "Music Index" would name it.
bool PlayerStart(const char* location, int volume) {
  unsigned percent = unsigned(std::clamp(volume, 0, 100));
  if (location[0] == '\0') return MUSICInitialiseFromResource(0, percent) != 0;
  return MUSICInitialise(location, percent, false, 0) != 0;
}
void PlayerSetVolume(int volume) { MusicSetVolume(unsigned(std::clamp(volume, 0, 100))); }

const MusicPreviewPlayer kMusicPlayer = {PlayerStart, MusicUpdate, PlayerSetVolume, MUSICClose};

int SelectedItem(WindowHandle d) { return int(SendDlgItemMessage(d, kIdMusic, DLG_GETCURSEL)); }

void AddItem(WindowHandle d, const char* text, intptr_t data, bool select) {
  LResult item = SendDlgItemMessage(d, kIdMusic, DLG_ADDITEM, 0, LParam(text));
  SendDlgItemMessage(d, kIdMusic, DLG_SETITEMDATA, WParam(item), data);
  if (select) SendDlgItemMessage(d, kIdMusic, DLG_SETCURSEL, WParam(item));
  SendDlgItemMessage(d, kIdMusic, DLG_SETVISIBLEITEMS,
                     WParam(SendDlgItemMessage(d, kIdMusic, DLG_GETCOUNT) + 3));
}

// One more than every number in the field and the stored list, and never a
// built-in entry's: numbers must stay unique for "Music Index" to find its
// entry, even after entries were removed.
int32_t NextMusicNumber(WindowHandle d) {
  int32_t largest = kBuiltInMusicCount - 1;
  int count = int(SendDlgItemMessage(d, kIdMusic, DLG_GETCOUNT));
  for (int i = kFirstUserItem; i < count; ++i)
    largest =
        std::max<int32_t>(largest, int32_t(SendDlgItemMessage(d, kIdMusic, DLG_GETITEMDATA, WParam(i))));
  for (int32_t i = 0; i < gMusicCount; ++i) largest = std::max(largest, gMusicList[i].number);
  return largest + 1;
}

void StopPreview(WindowHandle d) {
  gMusicPreviewPlayer.stop();
  KillTimer(d, kMusicPreviewTimer);
  gConfigDialog.musicPreview = false;
  SendDlgItemMessage(d, kIdMusicPreview, DLG_SETTEXT, 0, LParam("Preview"));
}

}  // namespace

MusicPreviewPlayer gMusicPreviewPlayer = kMusicPlayer;

void ResetMusicPreviewPlayer() { gMusicPreviewPlayer = kMusicPlayer; }

void FillMusicList(WindowHandle d) {
  SendDlgItemMessage(d, kIdMusic, DLG_RESETCONTENT);
  AddItem(d, "- No Music -", 0, gOptions.MusicIndex == -1);
  for (int32_t i = 0; i < gMusicCount; ++i)
    AddItem(d, gMusicList[i].display, gMusicList[i].number, gMusicList[i].number == gOptions.MusicIndex);
}

void BrowseForMusic(WindowHandle d) {
  static const char* const kFilters[] = {
      "Playlists (.asx;.m3u;.pls;.wax;.wpl)",
      "*.m3u;*.pls;*.asx;*.wax;*.wpl",
      "Music Files (.mid;.mp3;.ogg;.wav;.wma)",
      "*.mid;*.mp3;*.ogg;*.wav;*.wma",
      "All Files (*.*)",
      "*",
  };
  int filter = gOptions.MusicType >= 1 && gOptions.MusicType <= 3 ? gOptions.MusicType : 1;
  char path[260] = {};
  if (!gDialogs->openFile(d, kFilters, 3, &filter, path, sizeof path)) return;
  gOptions.MusicType = filter;
  AddItem(d, path, NextMusicNumber(d), true);
}

void RemoveMusicEntry(WindowHandle d) {
  int item = SelectedItem(d);
  if (item <= 0) return;  // "- No Music -", or typed text that is no entry yet
  if (item < kFirstUserItem) {
    ReportError("You can't remove this entry.");
    return;
  }
  SendDlgItemMessage(d, kIdMusic, DLG_DELETEITEM, WParam(item));
  SendDlgItemMessage(d, kIdMusic, DLG_SETCURSEL, 0);
}

void ToggleMusicPreview(WindowHandle d) {
  if (gConfigDialog.musicPreview) {
    StopPreview(d);
    return;
  }
  int item = SelectedItem(d);
  if (item == 0) return;
  char source[kDialogTextMax] = {};
  if (item < 0) {
    SendDlgItemMessage(d, kIdMusic, DLG_GETTEXT, sizeof source, LParam(source));
    if (source[0] == '\0') return;
  } else if (item < kFirstUserItem) {
    int32_t number = int32_t(SendDlgItemMessage(d, kIdMusic, DLG_GETITEMDATA, WParam(item)));
    std::snprintf(source, sizeof source, "%s", MusicEntryLocation(number));
  } else {
    SendDlgItemMessage(d, kIdMusic, DLG_GETITEMTEXT, WParam(item), LParam(source));
  }
  gDialogs->busyCursor(true);
  bool started = gMusicPreviewPlayer.start(source, int(SendDlgItemMessage(d, kIdVolume, DLG_GETPOS)));
  gDialogs->busyCursor(false);
  if (!started) {
    ReportError("This music can't be played.");
    return;
  }
  SetTimer(d, kMusicPreviewTimer, kMusicPreviewPeriodMs);
  gConfigDialog.musicPreview = true;
  SendDlgItemMessage(d, kIdMusicPreview, DLG_SETTEXT, 0, LParam("Stop"));
}

void CommitMusic(WindowHandle d) {
  int item = SelectedItem(d);
  if (item == 0)
    gOptions.MusicIndex = -1;
  else if (item > 0)
    gOptions.MusicIndex = int(SendDlgItemMessage(d, kIdMusic, DLG_GETITEMDATA, WParam(item)));
  char typed[kDialogTextMax] = {};
  if (item < 0) SendDlgItemMessage(d, kIdMusic, DLG_GETTEXT, sizeof typed, LParam(typed));
  int count = int(SendDlgItemMessage(d, kIdMusic, DLG_GETCOUNT));
  std::vector<MusicComboItem> items(size_t(count > 0 ? count : 0));
  for (int i = kFirstUserItem; i < count; ++i) {
    items[size_t(i)].number = int32_t(SendDlgItemMessage(d, kIdMusic, DLG_GETITEMDATA, WParam(i)));
    SendDlgItemMessage(d, kIdMusic, DLG_GETITEMTEXT, WParam(i), LParam(items[size_t(i)].text));
  }
  SaveMusicList(items.data(), count, item >= 0, typed[0] != '\0' ? typed : nullptr);
  // The field now shows what is stored, so a second save (Preview, then OK)
  // does not add the typed entry again.
  LoadMusicList();
  FillMusicList(d);
}
