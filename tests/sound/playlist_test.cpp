// Our playlist reader: the five formats as people and old programs wrote
// them, entries made absolute against a folder or an address.
#include "platform/sound/playlist.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Read(const std::string& text, PlaylistKind kind, const std::string& base) {
  std::vector<std::string> entries;
  ParsePlaylist(text.data(), text.size(), kind, base, &entries);
  return entries;
}

}  // namespace

TEST(PlaylistTest, EachFormatGivesItsEntriesInPlayingOrder) {
  struct Case {
    const char* name;
    PlaylistKind kind;
    std::string text;
    std::vector<std::string> entries;
  };
  const std::string base = "/home/u/Music/list";
  const std::vector<Case> cases = {
      {"m3u with comments, BOM and CRLF",
       PlaylistKind::M3u,
       "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:12,One\r\none.mp3\r\n\r\n  two.ogg  \r\n/abs/three.wav",
       {"/home/u/Music/one.mp3", "/home/u/Music/two.ogg", "/abs/three.wav"}},
      {"m3u with a bare CR",
       PlaylistKind::M3u,
       "a.mp3\rb.mp3",
       {"/home/u/Music/a.mp3", "/home/u/Music/b.mp3"}},
      {"pls ordered by number, keys in any case",
       PlaylistKind::Pls,
       "[playlist]\r\nfile10=ten.mp3\r\nTitle1=One\r\nFILE2=two.mp3\r\nFile1 = one.mp3\r\nFileX=no.mp3\r\n"
       "NumberOfEntries=3\r\n",
       {"/home/u/Music/one.mp3", "/home/u/Music/two.mp3", "/home/u/Music/ten.mp3"}},
      {"asx with tags in any case, alternatives and a bare &",
       PlaylistKind::Asx,
       "<ASX version=\"3.0\"><title>Rock & Roll</title>"
       "<Entry><Ref HREF=\"http://a.test/x?p=1&q=2\"/><ref href=\"http://b.test/x\"/></Entry>"
       "<entry><ref href=\"local.mp3\"/></entry><ENTRYREF href=\"more.asx\"/></ASX>",
       {"http://a.test/x?p=1&q=2", "/home/u/Music/local.mp3", "/home/u/Music/more.asx"}},
      {"asx entries take their first reference, however deep",
       PlaylistKind::Asx,
       "<asx><entry><x><ref href=\"a\"/></x><ref href=\"b\"/></entry><entry/><ref href=\"c\"/></asx>",
       {"/home/u/Music/a", "/home/u/Music/c"}},
      {"asx with entities kept as meant",
       PlaylistKind::Asx,
       "<asx><entry><ref href=\"a&amp;b.mp3\"/></entry><entry><ref href=\"c&#38;d.mp3\"/></entry></asx>",
       {"/home/u/Music/a&b.mp3", "/home/u/Music/c&d.mp3"}},
      {"wpl",
       PlaylistKind::Wpl,
       "<?wpl version=\"1.0\"?>\r\n<smil><head><title>x</title></head><body><seq>"
       "<media src=\"..\\Other\\a.wma\"/><MEDIA SRC=\"b.mid\" tid=\"{1}\"/></seq></body></smil>",
       {"/home/u/Other/a.wma", "/home/u/Music/b.mid"}},
      {"torn XML keeps what came before the tear",
       PlaylistKind::Wpl,
       "<smil><body><seq><media src=\"a.mp3\"/><media src=",
       {"/home/u/Music/a.mp3"}},
      {"UTF-16 XML with its BOM",
       PlaylistKind::Asx,
       std::string("\xFF\xFE<\0a\0s\0x\0>\0<\0r\0e\0f\0 "
                   "\0h\0r\0e\0f\0=\0\"\0x\0.\0m\0p\0\x33\0\"\0/\0>\0<\0/\0a\0s\0x\0>\0",
                   60),
       {"/home/u/Music/x.mp3"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.text, c.kind, base), c.entries) << c.name;
}

TEST(PlaylistTest, EntriesAreMadeAbsoluteAgainstTheFolderOrAddress) {
  struct Case {
    const char* base;
    const char* entry;
    const char* resolved;
  };
  const std::vector<Case> cases = {
      {"/m/lists/a.m3u", "track.mp3", "/m/lists/track.mp3"},
      {"/m/lists/a.m3u", "..\\other\\t.mp3", "/m/other/t.mp3"},
      {"/m/lists/a.m3u", "./sub/./t.mp3", "/m/lists/sub/t.mp3"},
      {"/m/a.m3u", "../../../t.mp3", "/t.mp3"},
      {"/m/a.m3u", "file:///srv/My%20Music/t.mp3", "/srv/My Music/t.mp3"},
      {"/m/a.m3u", "file://localhost/srv/t.mp3", "/srv/t.mp3"},
      {"/m/a.m3u", "http://radio.test:8000/live", "http://radio.test:8000/live"},
      {"/m/a.m3u", "https://radio.test/a\\b", "https://radio.test/a\\b"},
      {"http://radio.test/lists/a.pls?x=1", "stream", "http://radio.test/lists/stream"},
      {"http://radio.test/lists/a.pls", "..\\live.mp3", "http://radio.test/live.mp3"},
      {"http://radio.test/lists/a.pls", "/root.mp3", "http://radio.test/root.mp3"},
      {"http://radio.test", "x.mp3", "http://radio.test/x.mp3"},
      {"http://radio.test/lists/a.pls", "//other.test/x.mp3", "http://other.test/x.mp3"},
      {"http://radio.test/lists/a.pls?x=1", "?id=5", "http://radio.test/lists/a.pls?id=5"},
      {"https://radio.test/lists/", "My Song.mp3", "https://radio.test/lists/My%20Song.mp3"},
      {"http://radio.test/a.pls", "//[::1/x", ""},
      {"http://radio.test/a.pls", "Track:1.mp3", "http://radio.test/Track:1.mp3"},
      {"relative.m3u", "x.mp3", "x.mp3"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ResolvePlaylistEntry(c.base, c.entry), c.resolved) << c.base << " + " << c.entry;
}

TEST(PlaylistTest, KindsComeFromTheExtensionAndEmptyOrHugeListsAreRefused) {
  EXPECT_EQ(PlaylistKindOf("/m/A.M3U"), PlaylistKind::M3u);
  EXPECT_EQ(PlaylistKindOf("/m/a.m3u8"), PlaylistKind::M3u);
  EXPECT_EQ(PlaylistKindOf("http://r.test/x.pls?sid=1#top"), PlaylistKind::Pls);
  EXPECT_EQ(PlaylistKindOf("C:\\Music\\x.Wax"), PlaylistKind::Asx);
  EXPECT_EQ(PlaylistKindOf("/m/x.asx"), PlaylistKind::Asx);
  EXPECT_EQ(PlaylistKindOf("/m/x.wpl"), PlaylistKind::Wpl);
  EXPECT_EQ(PlaylistKindOf("/m/x.mp3"), PlaylistKind::None);
  EXPECT_EQ(PlaylistKindOf("/m.pls/x"), PlaylistKind::None);
  EXPECT_EQ(PlaylistKindOf("http://r.test/live?f=.pls"), PlaylistKind::None);
  std::vector<std::string> entries = {"old"};
  const std::string comments = "#EXTM3U\n# only comments\n";
  EXPECT_FALSE(ParsePlaylist(comments.data(), comments.size(), PlaylistKind::M3u, "/m/a.m3u", &entries));
  EXPECT_TRUE(entries.empty());
  std::string huge(kMaxPlaylistBytes + 1, 'a');
  EXPECT_FALSE(ParsePlaylist(huge.data(), huge.size(), PlaylistKind::M3u, "/m/a.m3u", &entries));
  EXPECT_FALSE(ParsePlaylist("<asx>", 5, PlaylistKind::Asx, "/m/a.asx", &entries));
}

TEST(PlaylistTest, KindsComeFromTheTextThenTheServersType) {
  struct Case {
    std::string text;
    const char* contentType;
    PlaylistKind kind;
  };
  const std::vector<Case> cases = {
      {"\xEF\xBB\xBF  #EXTM3U\nx.mp3", "", PlaylistKind::M3u},
      {"\r\n[Playlist]\nFile1=x", "audio/mpeg", PlaylistKind::Pls},
      {"<?xml version=\"1.0\"?><!-- list --><ASX version=\"3\">", "video/x-ms-asf", PlaylistKind::Asx},
      {std::string("\xFF\xFE<\0s\0m\0i\0l\0>\0", 14), "", PlaylistKind::Wpl},
      {"http://radio.test/live\n", "text/plain; charset=utf-8", PlaylistKind::M3u},
      {"stream.mp3\n", "Audio/X-MpegURL", PlaylistKind::M3u},
      {"http://radio.test/live\n", "audio/mpeg", PlaylistKind::None},
      {"<html><body>", "text/html", PlaylistKind::None},
      {"This is no sound, only text.", "", PlaylistKind::None},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PlaylistKindOfContent(c.text.data(), c.text.size(), c.contentType), c.kind) << c.text;
  EXPECT_FALSE(ContentTypeIsSound("video/x-ms-asf"));  // ASX lists come with it too
}

// Nesting up to the limit is read; deeper is refused, however deep, without
// recursion.
TEST(PlaylistTest, XmlDeeperThanTheLimitIsRefused) {
  const std::vector<std::pair<int, bool>> cases = {{kMaxPlaylistDepth - 1, true},
                                                   {kMaxPlaylistDepth, false},
                                                   {50000, false},
                                                   {-200000, false}};  // < 0: never closed
  for (auto [depth, read] : cases) {
    std::string text;
    for (int i = 0; i < std::abs(depth); ++i) text += "<seq>";
    text += "<media src=\"x.mp3\"/>";
    for (int i = 0; i < depth; ++i) text += "</seq>";
    EXPECT_EQ(Read(text, PlaylistKind::Wpl, "/m/l"),
              read ? std::vector<std::string>{"/m/x.mp3"} : std::vector<std::string>{})
        << depth;
  }
}
