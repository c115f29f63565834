// Fuzzes the settings-file parser with what a user could hand it. Beyond
// not crashing, every text that parses must come back unchanged from what
// the writer makes of it, both as kept (original text) and in the standard
// form that the store writes for changed values and new sections.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/store/reg_text.h"

namespace {

bool SameValue(const RegItem& a, const RegItem& b) {
  return a.isValue == b.isValue && a.name == b.name && a.type == b.type && a.data == b.data;
}

// withText: the kept lines must match too (they are written as they were).
bool SameDocument(const RegDocument& a, const RegDocument& b, bool withText) {
  if (a.preamble != b.preamble || a.sections.size() != b.sections.size()) return false;
  for (size_t s = 0; s < a.sections.size(); ++s) {
    const RegSection& x = a.sections[s];
    const RegSection& y = b.sections[s];
    if (x.known != y.known || x.path != y.path || x.items.size() != y.items.size()) return false;
    if ((withText || !x.known) && x.header != y.header) return false;
    for (size_t i = 0; i < x.items.size(); ++i) {
      if (!SameValue(x.items[i], y.items[i])) return false;
      if ((withText || !x.items[i].isValue) && x.items[i].text != y.items[i].text) return false;
    }
  }
  return true;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "reg_parser_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(bytes), size);
  RegDocument parsed;
  if (!ParseRegText(text, &parsed)) return 0;

  std::string kept = FormatRegText(parsed);
  RegDocument again;
  if (!ParseRegText(kept, &again)) Fail("written text does not parse");
  if (!SameDocument(parsed, again, true)) Fail("written text reads back differently");
  if (FormatRegText(again) != kept) Fail("writing is not stable");

  RegDocument standard = parsed;
  for (RegSection& section : standard.sections) {
    if (!section.known) continue;
    section.header.clear();
    for (RegItem& item : section.items)
      if (item.isValue) item.text.clear();
  }
  RegDocument reread;
  if (!ParseRegText(FormatRegText(standard), &reread)) Fail("standard form does not parse");
  if (!SameDocument(parsed, reread, false)) Fail("standard form reads back differently");
  return 0;
}
