// libFuzzer target: the playlist reader on any bytes, as every format, with
// a folder and an address as the base, and the sniffing that tells a list
// by its text and its server's type. It must never crash, hang, recurse
// without bound or read out of bounds, and every entry it returns is
// absolute.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/sound/playlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  for (PlaylistKind kind : {PlaylistKind::M3u, PlaylistKind::Pls, PlaylistKind::Asx, PlaylistKind::Wpl}) {
    for (const char* base : {"/music/lists/list", "http://radio.test/lists/list?id=1"}) {
      std::vector<std::string> entries;
      bool any = ParsePlaylist(text, size, kind, base, &entries);
      if (any != !entries.empty()) std::abort();
      for (const std::string& entry : entries)
        if (entry.empty() || (entry[0] != '/' && entry.find("://") == std::string::npos)) std::abort();
    }
  }
  // The start of the input as a server's Content-Type, the rest as its body.
  size_t typeLength = size < 40 ? size : 40;
  std::string type(text, typeLength);
  PlaylistKindOfContent(text + typeLength, size - typeLength, type);
  ContentTypeIsSound(type);
  return 0;
}
