// The settings file as text: the .reg export syntax read into a document and
// written back. Pure functions with no I/O, so a fuzzer can drive them.
//
// A document keeps the file's layout: sections in file order, and in each its
// values and the lines that were not understood, in their places. Values
// that were not changed keep the text they were read from; so do section
// headers. A key's values may be spread over several sections with the same
// path; a name given twice for one key keeps only its later definition, as
// an import of the file would.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct RegItem {
  bool isValue = false;       // false: a line kept exactly as it was read
  std::string name;           // value name; "" is the default value
  uint32_t type = 0;          // REG_* number
  std::vector<uint8_t> data;  // REG_SZ: the text without a terminating NUL
  std::string text;           // the lines as read, without the final newline;
                              // empty for a value: written in the standard form
};

struct RegSection {
  bool known = false;  // a key below HKEY_CURRENT_USER; else every item is a kept line
  std::string path;    // below HKEY_CURRENT_USER, names joined by '\'; "" is the root
  std::string header;  // the header line as read; empty: the standard form
  std::vector<RegItem> items;
};

struct RegDocument {
  std::vector<std::string> preamble;  // kept lines between the first line and the first section
  std::vector<RegSection> sections;
};

// The first line of every file written.
inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";

// Reads text into *out (replacing what it held). False when the text is not
// a settings file at all: a first line other than the header, or a NUL byte
// anywhere. Text that is empty or only white space is an empty document.
bool ParseRegText(std::string_view text, RegDocument* out);

// The file text of a document; ParseRegText gives the same document back.
std::string FormatRegText(const RegDocument& doc);

// The text of one value line in the standard form (hex lines wrapped with
// ",\" continuations after at most 80 characters).
std::string FormatRegValue(const RegItem& value);

// Name rules: a key name is one path segment of 1..255 bytes without '\' or
// control characters; a value name is 0..16383 bytes without control
// characters.
bool RegKeyNameValid(std::string_view name);
bool RegValueNameValid(std::string_view name);
// A key path: at most kRegMaxKeyDepth valid names joined by '\' ("" is
// valid: no names). A section deeper than that is kept as lines that were not
// understood: written back as read, never a key.
inline constexpr size_t kRegMaxKeyDepth = 512;
bool RegKeyPathValid(std::string_view path);

// Names compare without regard to ASCII case; this is the form compared.
std::string RegFoldName(std::string_view name);
