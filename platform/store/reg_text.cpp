// Reading and writing the .reg export syntax.
#include "platform/store/reg_text.h"

#include <cstdio>
#include <string>
#include <unordered_map>

#include "platform/registry.h"

namespace {

constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;
constexpr size_t kMaxLine = 80;  // where hex lines wrap
constexpr char kHexDigits[] = "0123456789abcdef";

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}
std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldChar(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool StartsWithFolded(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (FoldChar(s[i]) != FoldChar(prefix[i])) return false;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1..8 hex digits, nothing else.
bool ParseHexNumber(std::string_view s, uint32_t* out) {
  if (s.empty() || s.size() > 8) return false;
  uint32_t value = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    value = value << 4 | uint32_t(d);
  }
  *out = value;
  return true;
}

// A quoted string with \\ and \" escapes starting at s[0] == '"'. On success
// *rest is what follows the closing quote.
bool ParseQuoted(std::string_view s, std::string* out, std::string_view* rest) {
  out->clear();
  for (size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      *rest = s.substr(i + 1);
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return false;
      c = s[++i];
    }
    out->push_back(c);
  }
  return false;
}

void AppendQuoted(std::string* out, std::string_view s) {
  out->push_back('"');
  for (char c : s) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

// A line that can continue a hex list: hex digits, commas and blanks, maybe
// ending in the continuation mark. Anything else, a blank line too, ends the
// list, so what a value line means never depends on a line of another kind
// after it (nor on the blank line written after each section).
bool IsHexContinuation(std::string_view line) {
  line = TrimRight(line);
  if (line.empty()) return false;
  if (!line.empty() && line.back() == '\\') line.remove_suffix(1);
  for (char c : line)
    if (HexDigit(c) < 0 && c != ',' && !IsBlank(c)) return false;
  return true;
}

bool ParseHexList(std::string_view list, std::vector<uint8_t>* out) {
  out->clear();
  list = TrimRight(TrimLeft(list));
  if (list.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    std::string_view token = TrimRight(TrimLeft(list.substr(start, comma - start)));
    bool last = comma == std::string_view::npos;
    if (token.empty()) return last && !out->empty();  // only a final comma may end empty
    if (token.size() > 2) return false;
    uint32_t byte = 0;
    if (!ParseHexNumber(token, &byte)) return false;
    out->push_back(uint8_t(byte));
    if (last) return true;
    start = comma + 1;
  }
}

// The value starting at lines[first]; *used is how many lines it took.
bool ParseValue(const std::vector<std::string_view>& lines, size_t first, RegItem* item, size_t* used) {
  std::string_view s = TrimLeft(lines[first]);
  std::string name;
  if (!s.empty() && s[0] == '@') {
    s.remove_prefix(1);
  } else if (!s.empty() && s[0] == '"') {
    if (!ParseQuoted(s, &name, &s)) return false;
  } else {
    return false;
  }
  if (!RegValueNameValid(name)) return false;
  s = TrimLeft(s);
  if (s.empty() || s[0] != '=') return false;
  s = TrimLeft(s.substr(1));

  item->isValue = true;
  item->name = std::move(name);
  item->data.clear();
  *used = 1;
  if (!s.empty() && s[0] == '"') {
    std::string text;
    std::string_view rest;
    if (!ParseQuoted(s, &text, &rest) || !TrimRight(rest).empty()) return false;
    item->type = REG_SZ;
    item->data.assign(text.begin(), text.end());
    return true;
  }
  if (StartsWithFolded(s, "dword:")) {
    uint32_t value = 0;
    if (!ParseHexNumber(TrimRight(s.substr(6)), &value)) return false;
    item->type = REG_DWORD;
    item->data = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return true;
  }
  if (StartsWithFolded(s, "hex:")) {
    item->type = REG_BINARY;
    s.remove_prefix(4);
  } else if (StartsWithFolded(s, "hex(")) {
    size_t close = s.find("):");
    if (close == std::string_view::npos || !ParseHexNumber(s.substr(4, close - 4), &item->type)) return false;
    s.remove_prefix(close + 2);
  } else {
    return false;
  }
  std::string list;
  for (size_t i = first;;) {
    std::string_view part = TrimRight(s);
    bool more = !part.empty() && part.back() == '\\';
    if (more) part.remove_suffix(1);
    list.append(part);
    if (!more || i + 1 >= lines.size() || !IsHexContinuation(lines[i + 1])) break;
    s = lines[++i];
    *used = i - first + 1;
  }
  if (!ParseHexList(list, &item->data)) return false;
  // Text written in hex form carries its terminator, as an export does.
  if (item->type == REG_SZ && !item->data.empty() && item->data.back() == 0) item->data.pop_back();
  return true;
}

// "[HKEY_CURRENT_USER\path]": the path runs to the last ']' of the line, so
// key names may hold ']' themselves.
void ParseSectionHeader(std::string_view line, RegSection* section) {
  section->header = std::string(line);
  section->known = false;
  std::string_view s = TrimRight(TrimLeft(line));
  if (s.size() < 2 || s.front() != '[' || s.back() != ']') return;
  s = s.substr(1, s.size() - 2);
  if (!StartsWithFolded(s, kRootName)) return;
  s.remove_prefix(kRootName.size());
  if (!s.empty()) {
    if (s[0] != '\\') return;
    s.remove_prefix(1);
    if (s.empty() || !RegKeyPathValid(s)) return;
  }
  section->known = true;
  section->path = std::string(s);
}

bool IsHeaderLine(std::string_view line) {
  if (line.size() >= 3 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
  line = TrimRight(line);
  return line == kRegFileHeader || line == "REGEDIT4";
}

// Later definitions of a value name win; the earlier ones are dropped.
void DropOverriddenValues(RegDocument* doc) {
  std::unordered_map<std::string, std::unordered_map<std::string, std::pair<size_t, size_t>>> seen;
  std::vector<std::vector<bool>> dropped(doc->sections.size());
  bool any = false;
  for (size_t s = 0; s < doc->sections.size(); ++s) {
    const RegSection& section = doc->sections[s];
    dropped[s].assign(section.items.size(), false);
    if (!section.known) continue;
    auto& names = seen[RegFoldName(section.path)];
    for (size_t i = 0; i < section.items.size(); ++i) {
      if (!section.items[i].isValue) continue;
      auto [it, inserted] = names.try_emplace(RegFoldName(section.items[i].name), s, i);
      if (!inserted) {
        dropped[it->second.first][it->second.second] = true;
        it->second = {s, i};
        any = true;
      }
    }
  }
  if (!any) return;
  for (size_t s = 0; s < doc->sections.size(); ++s) {
    std::vector<RegItem>& items = doc->sections[s].items;
    size_t kept = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      if (dropped[s][i]) continue;
      if (kept != i) items[kept] = std::move(items[i]);
      ++kept;
    }
    items.resize(kept);
  }
}

}  // namespace

bool RegKeyNameValid(std::string_view name) {
  if (name.empty() || name.size() > kMaxKeyName) return false;
  for (char c : name)
    if (c == '\\' || IsControl(static_cast<unsigned char>(c))) return false;
  return true;
}

bool RegValueNameValid(std::string_view name) {
  if (name.size() > kMaxValueName) return false;
  for (char c : name)
    if (IsControl(static_cast<unsigned char>(c))) return false;
  return true;
}

bool RegKeyPathValid(std::string_view path) {
  if (path.empty()) return true;
  size_t start = 0;
  for (size_t depth = 1; depth <= kRegMaxKeyDepth; ++depth) {
    size_t slash = path.find('\\', start);
    if (!RegKeyNameValid(path.substr(start, slash - start))) return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
  return false;
}

std::string RegFoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = FoldChar(c);
  return folded;
}

bool ParseRegText(std::string_view text, RegDocument* out) {
  *out = RegDocument{};
  if (text.find('\0') != std::string_view::npos) return false;

  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  bool anything = false;
  for (std::string_view line : lines)
    if (!TrimLeft(line).empty()) anything = true;
  if (!anything) return true;
  if (!IsHeaderLine(lines[0])) return false;

  RegSection* section = nullptr;
  for (size_t i = 1; i < lines.size();) {
    std::string_view line = lines[i];
    std::string_view trimmed = TrimLeft(line);
    if (trimmed.empty()) {
      ++i;
      continue;
    }
    if (trimmed[0] == '[') {
      out->sections.emplace_back();
      section = &out->sections.back();
      ParseSectionHeader(line, section);
      ++i;
      continue;
    }
    if (!section) {
      out->preamble.emplace_back(line);
      ++i;
      continue;
    }
    RegItem item;
    size_t used = 1;
    if (section->known && ParseValue(lines, i, &item, &used)) {
      for (size_t k = i; k < i + used; ++k) {
        if (k > i) item.text.push_back('\n');
        item.text.append(lines[k]);
      }
    } else {
      item = RegItem{};
      item.text = std::string(line);
      used = 1;
    }
    section->items.push_back(std::move(item));
    i += used;
  }
  DropOverriddenValues(out);
  return true;
}

std::string FormatRegValue(const RegItem& value) {
  std::string out;
  if (value.name.empty())
    out.push_back('@');
  else
    AppendQuoted(&out, value.name);
  out.push_back('=');

  const std::vector<uint8_t>& data = value.data;
  if (value.type == REG_DWORD && data.size() == 4) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08x",
                  unsigned(data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24));
    out += digits;
    return out;
  }
  if (value.type == REG_SZ) {
    bool plain = true;
    for (uint8_t c : data)
      if (IsControl(c) && c != '\t') plain = false;
    if (plain) {
      AppendQuoted(&out, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
      return out;
    }
  }
  if (value.type == REG_BINARY) {
    out += "hex:";
  } else {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", unsigned(value.type));
    out += prefix;
  }
  std::vector<uint8_t> bytes = data;
  if (value.type == REG_SZ) bytes.push_back(0);
  size_t lineLength = out.size();
  bool lineHasBytes = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    // Room for "xx," and the continuation mark.
    if (lineHasBytes && lineLength + 4 > kMaxLine) {
      out += "\\\n  ";
      lineLength = 2;
    }
    out.push_back(kHexDigits[bytes[i] >> 4]);
    out.push_back(kHexDigits[bytes[i] & 15]);
    lineLength += 2;
    if (i + 1 < bytes.size()) {
      out.push_back(',');
      ++lineLength;
    }
    lineHasBytes = true;
  }
  return out;
}

std::string FormatRegText(const RegDocument& doc) {
  std::string out(kRegFileHeader);
  out += "\n\n";
  for (const std::string& line : doc.preamble) out += line + "\n";
  if (!doc.preamble.empty()) out += "\n";
  for (const RegSection& section : doc.sections) {
    if (!section.header.empty()) {
      out += section.header;
    } else {
      out += "[";
      out += kRootName;
      if (!section.path.empty()) out += "\\" + section.path;
      out += "]";
    }
    out += "\n";
    for (const RegItem& item : section.items) {
      bool standard = item.isValue && item.text.empty();
      out += standard ? FormatRegValue(item) : item.text;
      out += "\n";
      // A value read with a continuation mark on its last line was ended by
      // a blank line or the like; keep it ended.
      if (item.isValue && !standard) {
        std::string_view last = TrimRight(item.text);
        if (!last.empty() && last.back() == '\\') out += "\n";
      }
    }
    out += "\n";
  }
  return out;
}
