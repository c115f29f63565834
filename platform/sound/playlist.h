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

// The kind a location names by its extension (case ignored, an address's
// query and fragment left out); None when it is no playlist.
PlaylistKind PlaylistKindOf(const std::string& location);

// The entries of a playlist, in playing order, each made absolute against
// base (the playlist's own path or address). Entries that are empty after
// trimming are left out. False when the text holds no entry at all.
bool ParsePlaylist(const char* text, size_t size, PlaylistKind kind, const std::string& base,
                   std::vector<std::string>* entries);

// One entry made absolute: an address stays as it is, "file://" is decoded,
// '\' becomes '/', a relative name is taken from base's folder or address.
std::string ResolvePlaylistEntry(const std::string& base, std::string entry);
