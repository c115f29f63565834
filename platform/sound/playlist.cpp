#include "platform/sound/playlist.h"

#include <glib.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <pugixml.hpp>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Trim(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool HasScheme(const std::string& text) {
  size_t colon = text.find("://");
  if (colon == std::string::npos || colon == 0) return false;
  if (!std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  for (size_t i = 1; i < colon; ++i) {
    char c = text[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = char(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += char(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

// Drops "." segments and folds ".." into its parent, never above the root.
std::string NormalisePath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  bool absolute = !path.empty() && path[0] == '/';
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..")
        parts.pop_back();
      else if (!absolute)
        parts.push_back(part);
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
  return out;
}

// Splits text into lines, without CR or LF.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

void ParseM3u(const std::string& text, std::vector<std::string>* raw) {
  for (const std::string& line : Lines(text)) {
    std::string entry = Trim(line);
    if (!entry.empty() && entry[0] != '#') raw->push_back(entry);
  }
}

// "FileN=location" in the order of N; other keys are ignored.
void ParsePls(const std::string& text, std::vector<std::string>* raw) {
  std::map<long, std::string> files;
  for (const std::string& line : Lines(text)) {
    std::string trimmed = Trim(line);
    size_t equals = trimmed.find('=');
    if (equals == std::string::npos) continue;
    std::string key = Lower(Trim(trimmed.substr(0, equals)));
    if (key.size() < 5 || key.compare(0, 4, "file") != 0) continue;
    char* end = nullptr;
    long number = std::strtol(key.c_str() + 4, &end, 10);
    if (*end != '\0') continue;
    files.emplace(number, Trim(trimmed.substr(equals + 1)));
  }
  for (const auto& file : files) raw->push_back(file.second);
}

// A bare '&' (not starting an entity) becomes "&amp;", as writers that
// never escaped their addresses meant it.
std::string EscapeBareAmpersands(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    size_t j = i + 1;
    if (j < text.size() && text[j] == '#') ++j;
    size_t nameStart = j;
    while (j < text.size() && j - nameStart < 12 && std::isalnum(static_cast<unsigned char>(text[j]))) ++j;
    bool entity = j > nameStart && j < text.size() && text[j] == ';';
    out += entity ? "&" : "&amp;";
  }
  return out;
}

const char* AttributeNoCase(const pugi::xml_node& node, const char* name) {
  for (pugi::xml_attribute attribute : node.attributes())
    if (strcasecmp(attribute.name(), name) == 0) return attribute.value();
  return nullptr;
}

const char* EntryOf(const pugi::xml_node& node, PlaylistKind kind) {
  if (kind == PlaylistKind::Asx &&
      (strcasecmp(node.name(), "ref") == 0 || strcasecmp(node.name(), "entryref") == 0))
    return AttributeNoCase(node, "href");
  if (kind == PlaylistKind::Wpl && strcasecmp(node.name(), "media") == 0) return AttributeNoCase(node, "src");
  return nullptr;
}

// Walks the elements in document order without recursion, so that no
// nesting can exhaust the stack; false when it goes deeper than
// kMaxPlaylistDepth. An ASX entry lists alternative addresses of one track:
// only its first counts.
bool CollectXml(const pugi::xml_node& root, PlaylistKind kind, std::vector<std::string>* raw) {
  pugi::xml_node node = root.first_child();
  pugi::xml_node entry;  // the outermost ASX entry we are inside, if any
  bool entryTaken = false;
  int depth = 1;
  while (node) {
    bool element = node.type() == pugi::node_element;
    if (element) {
      if (const char* value = EntryOf(node, kind)) {
        if (!entry || !entryTaken) raw->push_back(value);
        entryTaken = entry != nullptr;
      }
      if (!entry && kind == PlaylistKind::Asx && strcasecmp(node.name(), "entry") == 0) {
        entry = node;
        entryTaken = false;
      }
    }
    if (element && node.first_child()) {
      if (++depth > kMaxPlaylistDepth) return false;
      node = node.first_child();
      continue;
    }
    // The node's subtree is done: on to the next sibling, up as needed.
    while (true) {
      if (node == entry) entry = pugi::xml_node();
      if (node.next_sibling()) break;
      node = node.parent();
      --depth;
      if (!node || node == root) return true;
    }
    node = node.next_sibling();
  }
  return true;
}

bool ParseXml(const std::string& text, PlaylistKind kind, std::vector<std::string>* raw) {
  std::string escaped = EscapeBareAmpersands(text);
  pugi::xml_document document;
  // What parsed before an error is kept: a torn file still plays its start.
  document.load_buffer(escaped.data(), escaped.size(), pugi::parse_default, pugi::encoding_auto);
  return CollectXml(document, kind, raw);
}

// The start of a body as 8-bit text: UTF-16 (with its byte-order mark)
// keeps its low bytes, a UTF-8 mark is dropped, leading space is skipped.
std::string SniffText(const char* text, size_t size) {
  constexpr size_t kSniffBytes = 512;
  std::string out;
  size_t start = 0, step = 1, offset = 0;
  if (size >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
      static_cast<unsigned char>(text[1]) == 0xFE) {
    start = 2, step = 2;
  } else if (size >= 2 && static_cast<unsigned char>(text[0]) == 0xFE &&
             static_cast<unsigned char>(text[1]) == 0xFF) {
    start = 2, step = 2, offset = 1;
  } else if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
    start = 3;
  }
  for (size_t i = start + offset; i < size && out.size() < kSniffBytes; i += step) {
    if (out.empty() && std::isspace(static_cast<unsigned char>(text[i]))) continue;
    out += char(std::tolower(static_cast<unsigned char>(text[i])));
  }
  return out;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The first element's name of XML text, past declarations and comments.
std::string FirstElement(const std::string& text) {
  size_t at = 0;
  while ((at = text.find('<', at)) != std::string::npos) {
    if (text.compare(at, 5, "<?wpl") == 0) return "?wpl";
    if (at + 1 < text.size() && (text[at + 1] == '?' || text[at + 1] == '!')) {
      at = text.find('>', at);
      if (at == std::string::npos) break;
      continue;
    }
    size_t end = text.find_first_of(" \t\r\n/>", at + 1);
    return text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
  }
  return "";
}

std::string MediaType(const std::string& contentType) {
  return Lower(Trim(contentType.substr(0, contentType.find(';'))));
}

}  // namespace

namespace {

// A location's extension in lower case, an address's query and fragment
// left out; empty when it has none.
std::string ExtensionOf(const std::string& location) {
  std::string path = location;
  if (HasScheme(path)) path = path.substr(0, path.find_first_of("?#", path.find("://") + 3));
  size_t dot = path.rfind('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot + 1));
}

}  // namespace

PlaylistKind PlaylistKindOf(const std::string& location) {
  std::string extension = ExtensionOf(location);
  if (extension == "m3u" || extension == "m3u8") return PlaylistKind::M3u;
  if (extension == "pls") return PlaylistKind::Pls;
  if (extension == "asx" || extension == "wax") return PlaylistKind::Asx;
  if (extension == "wpl") return PlaylistKind::Wpl;
  return PlaylistKind::None;
}

bool HasSoundExtension(const std::string& location) {
  static const char* const kSounds[] = {"mp3", "mp2", "ogg", "oga",  "opus", "aac", "m4a", "flac",
                                        "wav", "wma", "mid", "midi", "spx",  "mka", "webm"};
  std::string extension = ExtensionOf(location);
  for (const char* sound : kSounds)
    if (extension == sound) return true;
  return false;
}

PlaylistKind PlaylistKindOfContent(const char* text, size_t size, const std::string& contentType) {
  std::string start = SniffText(text, size);
  if (StartsWith(start, "#extm3u")) return PlaylistKind::M3u;
  if (StartsWith(start, "[playlist]")) return PlaylistKind::Pls;
  if (StartsWith(start, "<")) {
    std::string element = FirstElement(start);
    if (element == "asx") return PlaylistKind::Asx;
    if (element == "smil" || element == "?wpl") return PlaylistKind::Wpl;
  }
  struct Named {
    const char* type;
    PlaylistKind kind;
  };
  static const Named kTypes[] = {
      {"audio/x-mpegurl", PlaylistKind::M3u},
      {"audio/mpegurl", PlaylistKind::M3u},
      {"application/x-mpegurl", PlaylistKind::M3u},
      {"application/vnd.apple.mpegurl", PlaylistKind::M3u},
      {"audio/x-m3u", PlaylistKind::M3u},
      {"audio/m3u", PlaylistKind::M3u},
      {"audio/x-scpls", PlaylistKind::Pls},
      {"audio/scpls", PlaylistKind::Pls},
      {"application/pls+xml", PlaylistKind::Pls},
      {"video/x-ms-asx", PlaylistKind::Asx},
      {"audio/x-ms-wax", PlaylistKind::Asx},
      {"video/x-ms-wvx", PlaylistKind::Asx},
      {"application/vnd.ms-wpl", PlaylistKind::Wpl},
  };
  std::string type = MediaType(contentType);
  for (const Named& named : kTypes)
    if (type == named.type) return named.kind;
  // Plain text whose first line is an address: a list without its header.
  if ((type.empty() || StartsWith(type, "text/")) &&
      (StartsWith(start, "http://") || StartsWith(start, "https://")))
    return PlaylistKind::M3u;
  return PlaylistKind::None;
}

bool ContentTypeIsSound(const std::string& contentType) {
  std::string type = MediaType(contentType);
  // Servers send ASX lists as well as ASF streams with this one.
  if (type == "video/x-ms-asf") return false;
  return StartsWith(type, "audio/") || StartsWith(type, "video/") || type == "application/ogg";
}

std::string ResolvePlaylistEntry(const std::string& base, std::string entry) {
  entry = Trim(entry);
  if (HasScheme(entry)) {
    if (Lower(entry.substr(0, 7)) != "file://") return entry;
    entry = PercentDecode(entry.substr(7));
    // "file://localhost/x" and "file:///x" both name /x.
    if (entry.compare(0, 9, "localhost") == 0) entry = entry.substr(9);
  }
  std::replace(entry.begin(), entry.end(), '\\', '/');
  if (HasScheme(base)) {
    // A reference relative to an address, by the rules of RFC 3986; a name
    // with a colon in its first segment ("C:/x", "Track:1") is a name, not
    // an address of its own scheme.
    size_t colon = entry.find(':');
    if (colon != std::string::npos && colon < entry.find_first_of("/?#")) entry = "./" + entry;
    gchar* resolved = g_uri_resolve_relative(base.c_str(), entry.c_str(), G_URI_FLAGS_PARSE_RELAXED, nullptr);
    std::string out = resolved ? resolved : "";
    g_free(resolved);
    return out;
  }
  if (!entry.empty() && entry[0] == '/') return NormalisePath(entry);
  std::string folder = base;
  std::replace(folder.begin(), folder.end(), '\\', '/');
  size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? "" : folder.substr(0, slash + 1);
  return NormalisePath(folder + entry);
}

bool ParsePlaylist(const char* text, size_t size, PlaylistKind kind, const std::string& base,
                   std::vector<std::string>* entries) {
  entries->clear();
  if (size > kMaxPlaylistBytes) return false;
  std::string body(text, size);
  std::vector<std::string> raw;
  switch (kind) {
    case PlaylistKind::M3u:
    case PlaylistKind::Pls: {
      if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);
      if (kind == PlaylistKind::M3u)
        ParseM3u(body, &raw);
      else
        ParsePls(body, &raw);
      break;
    }
    case PlaylistKind::Asx:
    case PlaylistKind::Wpl:
      if (!ParseXml(body, kind, &raw)) return false;
      break;
    case PlaylistKind::None:
      return false;
  }
  for (const std::string& entry : raw) {
    if (Trim(entry).empty()) continue;
    std::string resolved = ResolvePlaylistEntry(base, entry);
    if (!resolved.empty()) entries->push_back(resolved);
  }
  return !entries->empty();
}
