#include "platform/sound/playlist.h"

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

void CollectXml(const pugi::xml_node& node, PlaylistKind kind, std::vector<std::string>* raw) {
  for (pugi::xml_node child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const char* value = nullptr;
    if (kind == PlaylistKind::Asx &&
        (strcasecmp(child.name(), "ref") == 0 || strcasecmp(child.name(), "entryref") == 0))
      value = AttributeNoCase(child, "href");
    else if (kind == PlaylistKind::Wpl && strcasecmp(child.name(), "media") == 0)
      value = AttributeNoCase(child, "src");
    if (value) raw->push_back(value);
    // An ASX entry lists alternative addresses of one track: the first one.
    if (kind == PlaylistKind::Asx && strcasecmp(child.name(), "entry") == 0) {
      size_t before = raw->size();
      CollectXml(child, kind, raw);
      if (raw->size() > before + 1) raw->resize(before + 1);
      continue;
    }
    CollectXml(child, kind, raw);
  }
}

void ParseXml(const std::string& text, PlaylistKind kind, std::vector<std::string>* raw) {
  std::string escaped = EscapeBareAmpersands(text);
  pugi::xml_document document;
  // What parsed before an error is kept: a torn file still plays its start.
  document.load_buffer(escaped.data(), escaped.size(), pugi::parse_default, pugi::encoding_auto);
  CollectXml(document, kind, raw);
}

}  // namespace

PlaylistKind PlaylistKindOf(const std::string& location) {
  std::string path = location;
  if (HasScheme(path)) path = path.substr(0, path.find_first_of("?#", path.find("://") + 3));
  size_t dot = path.rfind('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return PlaylistKind::None;
  std::string extension = Lower(path.substr(dot + 1));
  if (extension == "m3u" || extension == "m3u8") return PlaylistKind::M3u;
  if (extension == "pls") return PlaylistKind::Pls;
  if (extension == "asx" || extension == "wax") return PlaylistKind::Asx;
  if (extension == "wpl") return PlaylistKind::Wpl;
  return PlaylistKind::None;
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
    size_t hostStart = base.find("://") + 3;
    size_t pathStart = base.find('/', hostStart);
    std::string origin = pathStart == std::string::npos ? base : base.substr(0, pathStart);
    std::string path = pathStart == std::string::npos ? "/" : base.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    if (!entry.empty() && entry[0] == '/') return origin + NormalisePath(entry);
    return origin + NormalisePath(path.substr(0, path.rfind('/') + 1) + entry);
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
      ParseXml(body, kind, &raw);
      break;
    case PlaylistKind::None:
      return false;
  }
  for (const std::string& entry : raw) {
    if (Trim(entry).empty()) continue;
    entries->push_back(ResolvePlaylistEntry(base, entry));
  }
  return !entries->empty();
}
