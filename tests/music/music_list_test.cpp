// Saving the dialog's music field, and numbers for new entries that stay
// unique; the load itself is covered with the settings.
#include "music/music_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "patterns/options.h"
#include "patterns/settings_session.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/test_host.h"

namespace {

const std::string kMusicKey = "Software\\Quillfen\\Prismora\\Music";

// The field as the dialog fills it: "- No Music -", the built-ins, then
// the user's entries with their numbers.
std::vector<MusicComboItem> Field(const std::vector<std::pair<int32_t, const char*>>& userEntries) {
  std::vector<MusicComboItem> items(kMusicComboFixedItems);
  std::snprintf(items[0].text, sizeof items[0].text, "- No Music -");
  for (int32_t i = 0; i < kBuiltInMusicCount; ++i) {
    std::snprintf(items[size_t(i) + 1].text, sizeof items[0].text, "built-in %d", i);
    items[size_t(i) + 1].number = i;
  }
  for (const auto& [number, text] : userEntries) {
    MusicComboItem item = {};
    std::snprintf(item.text, sizeof item.text, "%s", text);
    item.number = number;
    items.push_back(item);
  }
  return items;
}

}  // namespace

class MusicListTest : public HeadlessTest {};

TEST_F(MusicListTest, SavingWritesTheUserEntriesAndNumbersTypedTextUniquely) {
  struct Case {
    const char* name;
    std::vector<std::pair<int32_t, const char*>> entries;
    bool selected;
    const char* typed;
    std::vector<std::string> values;  // names in the stored order
    int musicIndex;
  };
  const std::vector<Case> cases = {
      {"typed after 4 and 6",
       {{4, "/m/four.mp3"}, {6, "/m/six.m3u"}},
       false,
       "http://radio.test/live",
       {"4", "6", "7"},
       7},
      // A typed location never takes a built-in entry's number.
      {"typed with no user entries", {}, false, "/m/typed.ogg", {"4"}, 4},
      {"typed after a large number", {{250, "/m/x.ogg"}}, false, "/m/y.ogg", {"250", "251"}, 251},
      {"an item selected", {{5, "/m/five.mp3"}}, true, "ignored", {"5"}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StoreText(kMusicKey, "99", "/m/stale.mp3");
    gOptions.MusicIndex = 3;
    std::vector<MusicComboItem> field = Field(c.entries);
    SaveMusicList(field.data(), int32_t(field.size()), c.selected, c.typed);
    EXPECT_EQ(ValueNames(kMusicKey), c.values);
    EXPECT_EQ(gOptions.MusicIndex, c.musicIndex);
    for (const auto& [number, text] : c.entries)
      EXPECT_EQ(StoredText(kMusicKey, std::to_string(number).c_str()), text);
    if (!c.selected) {
      EXPECT_EQ(StoredText(kMusicKey, std::to_string(c.musicIndex).c_str()), c.typed);
    }
  }
  // What was saved loads back after the built-ins, and the typed entry plays.
  std::vector<MusicComboItem> field = Field({{4, "/m/four.mp3"}});
  SaveMusicList(field.data(), int32_t(field.size()), false, "/m/typed.ogg");
  ASSERT_TRUE(LoadMusicList());
  ASSERT_EQ(gMusicCount, 6);
  EXPECT_STREQ(MusicEntryLocation(5), "/m/typed.ogg");
  EXPECT_STREQ(MusicEntryLocation(1), gMusicList[1].location) << "the built-in entry 1 is not shadowed";
  EXPECT_EQ(NewMusicListNumber(), 6);
}

TEST_F(MusicListTest, ABrowsedEntryGetsANumberNoEntryHas) {
  StoreText(kMusicKey, "9", "/m/nine.mp3");
  StoreText(kMusicKey, "4", "/m/four.mp3");
  ASSERT_TRUE(LoadMusicList());
  // The entry count (6) would repeat no number here, but after removing
  // entry 4 it would give 5 twice; the largest number + 1 never repeats.
  EXPECT_EQ(NewMusicListNumber(), 10);
  FreeMusicList();
  EXPECT_EQ(NewMusicListNumber(), kBuiltInMusicCount);
}
