// Our reader of playlist files: .m3u (and .m3u8), .pls, .asx, .wax and .wpl,
// from a file or from the body a server sent. It takes what a person or an
// old program may have written: byte-order marks, CRLF line ends,
// backslashes as separators, bare '&' in XML, tags in any case, entries
// relative to the playlist's own folder or address.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

enum class PlaylistKind { None, M3u, Pls, Asx, Wpl };

// The largest playlist read, local or remote; anything longer is refused.
constexpr size_t kMaxPlaylistBytes = 1 << 20;

// The deepest nesting of elements an XML playlist may have; no list that
// people write comes near it, and a deeper one is refused.
constexpr int kMaxPlaylistDepth = 64;

// The kind a location names by its extension (case ignored, an address's
// query and fragment left out); None when it is no playlist.
PlaylistKind PlaylistKindOf(const std::string& location);
// Whether the extension names a sound file (.mp3, .ogg, ...): an address
// with one is played as a stream without asking the server first.
bool HasSoundExtension(const std::string& location);

// The kind a playlist's own text shows ("#EXTM3U", "[playlist]", <asx>,
// <smil>, <?wpl>, or text whose first line is an address), else the kind
// its Content-Type names (empty for a local file); None when neither does.
PlaylistKind PlaylistKindOfContent(const char* text, size_t size, const std::string& contentType);
// A Content-Type of something that plays as it comes (a sound or a media
// container), which a body that shows no playlist is taken to be.
bool ContentTypeIsSound(const std::string& contentType);

// The entries of a playlist, in playing order, each made absolute against
// base (the playlist's own path or address). Entries that are empty after
// trimming are left out. False when the text holds no entry at all, or
// when its XML is nested deeper than kMaxPlaylistDepth.
bool ParsePlaylist(const char* text, size_t size, PlaylistKind kind, const std::string& base,
                   std::vector<std::string>* entries);

// One entry made absolute: an address stays as it is, "file://" is decoded,
// '\' becomes '/', a relative name is taken from base's folder, or resolved
// against base's address as a relative reference ("//host/x", "?id=5");
// empty when that gives no address.
std::string ResolvePlaylistEntry(const std::string& base, std::string entry);
