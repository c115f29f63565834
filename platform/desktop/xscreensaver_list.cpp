// The list's text: found as the last `programs:` resource (a later one
// wins, as in every resource file), entries told apart by their command's
// program name. Lines of the file are kept as they are, their ends too.
#include "platform/desktop/xscreensaver_list.h"

#include <cstring>
#include <vector>

namespace {

const char kEntry[] = "\t\t\t\tprismora --root\t\t\t\t    \\n";

struct ResourceRec {
  size_t first = 0, last = 0;  // lines of the resource, last included
  size_t valueStart = 0;       // where the value starts on the first line
  bool found = false;
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

bool Continues(const std::string& line) { return !line.empty() && line.back() == '\\'; }

size_t SkipBlanks(const std::string& line, size_t at) {
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  return at;
}

ResourceRec FindPrograms(const std::vector<std::string>& lines) {
  ResourceRec found;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    size_t at = SkipBlanks(line, 0);
    if (at < line.size() && line[at] == '*') ++at;
    if (line.compare(at, 8, "programs") != 0) continue;
    at = SkipBlanks(line, at + 8);
    if (at >= line.size() || line[at] != ':') continue;
    ResourceRec rec;
    rec.found = true;
    rec.first = rec.last = i;
    rec.valueStart = at + 1;
    while (Continues(lines[rec.last]) && rec.last + 1 < lines.size()) ++rec.last;
    found = rec;
    i = rec.last;
  }
  return found;
}

// An entry is [-] ["label"] [visual:] command args; true when the
// command's program is prismora, wherever it lives.
bool NamesPrismora(const std::string& line, size_t at) {
  at = SkipBlanks(line, at);
  if (at < line.size() && line[at] == '-') at = SkipBlanks(line, at + 1);
  if (at < line.size() && line[at] == '"') {
    size_t close = line.find('"', at + 1);
    if (close == std::string::npos) return false;
    at = SkipBlanks(line, close + 1);
  }
  size_t end = line.find_first_of(" \t\\", at);
  if (end == std::string::npos) end = line.size();
  if (end > at && line[end - 1] == ':') {
    at = SkipBlanks(line, end);
    end = line.find_first_of(" \t\\", at);
    if (end == std::string::npos) end = line.size();
  }
  std::string word = line.substr(at, end - at);
  size_t slash = word.rfind('/');
  if (slash != std::string::npos) word.erase(0, slash + 1);
  return word == "prismora";
}

bool ListNamesPrismora(const std::vector<std::string>& lines, const ResourceRec& rec) {
  for (size_t i = rec.first; i <= rec.last; ++i)
    if (NamesPrismora(lines[i], i == rec.first ? rec.valueStart : 0)) return true;
  return false;
}

// Our entry at the top of the list: right after the resource's first line
// when that continues, else after the one-line value.
void InsertEntry(std::vector<std::string>* lines, const ResourceRec& rec) {
  std::string& first = (*lines)[rec.first];
  if (Continues(first)) {
    lines->insert(lines->begin() + long(rec.first) + 1, std::string(kEntry) + "\\");
    return;
  }
  first += "\\n\\";
  lines->insert(lines->begin() + long(rec.first) + 1, kEntry);
}

}  // namespace

ListEdit AddPrismoraToList(const std::string& text, const std::string& defaults, std::string* out) {
  std::vector<std::string> lines = SplitLines(text);
  ResourceRec rec = FindPrograms(lines);
  if (rec.found) {
    if (ListNamesPrismora(lines, rec)) return ListEdit::Unchanged;
    InsertEntry(&lines, rec);
    *out = JoinLines(lines);
    return ListEdit::Changed;
  }
  std::vector<std::string> system = SplitLines(defaults);
  ResourceRec stock = FindPrograms(system);
  if (!stock.found) return ListEdit::NoList;
  std::vector<std::string> list(system.begin() + long(stock.first), system.begin() + long(stock.last) + 1);
  // The user's file names its resources without the class's wildcard.
  list[0] = "programs:" + list[0].substr(stock.valueStart);
  ResourceRec copied;
  copied.last = list.size() - 1;
  copied.valueStart = std::strlen("programs:");
  if (ListNamesPrismora(list, copied)) return ListEdit::Unchanged;
  InsertEntry(&list, copied);
  std::string result = text;
  if (!result.empty() && result.back() != '\n') result += '\n';
  if (!result.empty()) result += '\n';
  *out = result + JoinLines(list);
  return ListEdit::Changed;
}

ListEdit RemovePrismoraFromList(const std::string& text, std::string* out) {
  std::vector<std::string> lines = SplitLines(text);
  ResourceRec rec = FindPrograms(lines);
  if (!rec.found || !ListNamesPrismora(lines, rec)) return ListEdit::Unchanged;
  const bool endedOpen = Continues(lines[rec.last]);
  std::string& first = lines[rec.first];
  if (NamesPrismora(first, rec.valueStart))
    first = first.substr(0, rec.valueStart) + (Continues(first) ? "\\" : "");
  for (size_t i = rec.last; i > rec.first; --i) {
    if (NamesPrismora(lines[i], 0)) {
      lines.erase(lines.begin() + long(i));
      rec.last -= 1;
    }
  }
  // The list's last line continues nothing.
  if (!endedOpen && Continues(lines[rec.last])) lines[rec.last].pop_back();
  *out = JoinLines(lines);
  return ListEdit::Changed;
}
