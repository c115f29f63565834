// The settings file's syntax: what reads as a value, what is kept as a line,
// what is not a settings file at all, and the form values are written in.
#include "platform/store/reg_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

// The single item of the single section of text.
RegItem OnlyItem(const std::string& text) {
  RegDocument doc;
  EXPECT_TRUE(ParseRegText(text, &doc)) << text;
  if (doc.sections.size() != 1 || doc.sections[0].items.size() != 1) {
    ADD_FAILURE() << "expected one item in one section:\n" << text;
    return RegItem{};
  }
  return doc.sections[0].items[0];
}

TEST(RegText, ValueForms) {
  struct Case {
    const char* line;
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"\"Max FPS\"=dword:00000055", "Max FPS", REG_DWORD, {0x55, 0, 0, 0}},
      {"\"Big\"=DWORD:DEADBEEF", "Big", REG_DWORD, {0xEF, 0xBE, 0xAD, 0xDE}},
      {"\"Short\"=dword:2a", "Short", REG_DWORD, {0x2A, 0, 0, 0}},
      {"\"Spaced\" = dword:00000001  ", "Spaced", REG_DWORD, {1, 0, 0, 0}},
      {"@=\"C:\\\\Program Files\\\\Prismora\"", "", REG_SZ, Bytes("C:\\Program Files\\Prismora")},
      {"\"Quote \\\"q\\\"\"=\"say \\\"hi\\\"\"", "Quote \"q\"", REG_SZ, Bytes("say \"hi\"")},
      {"\"Empty\"=\"\"", "Empty", REG_SZ, {}},
      {"\"a\\\\b\"=\"x\"", "a\\b", REG_SZ, Bytes("x")},
      {"\"Bin\"=hex:00,ff,7F", "Bin", REG_BINARY, {0x00, 0xFF, 0x7F}},
      {"\"None\"=hex:", "None", REG_BINARY, {}},
      {"\"Wrapped\"=hex:01,02,\\\n  03,04,\\\n  05", "Wrapped", REG_BINARY, {1, 2, 3, 4, 5}},
      {"\"Typed\"=hex(b):01,00,00,00,00,00,00,00", "Typed", 0xB, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"\"Nothing\"=hex(0):", "Nothing", REG_NONE, {}},
      // Text in hex form carries its terminator, which is not part of the text.
      {"\"Lines\"=hex(1):61,0a,62,00", "Lines", REG_SZ, {'a', '\n', 'b'}},
      {"\"Odd dword\"=hex(4):01,02", "Odd dword", REG_DWORD, {1, 2}},
      {"\"@\"=\"not the default\"", "@", REG_SZ, Bytes("not the default")},
  };
  for (const Case& c : cases) {
    RegItem item = OnlyItem(kHeader + "[HKEY_CURRENT_USER\\K]\n" + c.line + "\n");
    EXPECT_TRUE(item.isValue) << c.line;
    EXPECT_EQ(item.name, c.name) << c.line;
    EXPECT_EQ(item.type, c.type) << c.line;
    EXPECT_EQ(item.data, c.data) << c.line;
    EXPECT_EQ(item.text, c.line) << "an unchanged value keeps its text";
  }
}

TEST(RegText, LinesNotUnderstoodAreKeptAsTheyAre) {
  const char* lines[] = {
      "; a comment",
      "just words",
      "\"Deleted\"=-",
      "\"Quad\"=qword:5",
      "\"Open\"=\"no closing quote",
      "\"After\"=\"text\" trailing",
      "\"Nine\"=dword:123456789",
      "\"Letters\"=dword:xyz",
      "\"Wide\"=hex:1,2,300",
      "\"Gap\"=hex:01,,02",
      "\"Escape\"=\"a\\nb\"",
      "\"Tab\tin name\"=dword:00000001",
      "\"NoEquals\" dword:00000001",
      "= \"no name\"",
  };
  for (const char* line : lines) {
    RegItem item = OnlyItem(kHeader + "[HKEY_CURRENT_USER\\K]\n" + line + "\n");
    EXPECT_FALSE(item.isValue) << line;
    EXPECT_EQ(item.text, line);
  }
}

TEST(RegText, SectionHeaders) {
  struct Case {
    const char* header;
    bool known;
    const char* path;
  };
  const Case cases[] = {
      {"[HKEY_CURRENT_USER\\Software\\Quillfen\\Prismora]", true, "Software\\Quillfen\\Prismora"},
      {"[hkey_current_user\\Lower]", true, "Lower"},
      {"[HKEY_CURRENT_USER]", true, ""},
      {"[HKEY_CURRENT_USER\\A]b]", true, "A]b"},
      {"[HKEY_CURRENT_USER\\[x]]  ", true, "[x]"},
      {"[HKEY_CURRENT_USER\\ spaced ]", true, " spaced "},
      {"[HKEY_CURRENT_USER\\A] ; note", false, ""},
      {"[HKEY_CURRENT_USER\\A", false, ""},
      {"[HKEY_CURRENT_USER\\A\\\\B]", false, ""},
      {"[HKEY_CURRENT_USER\\]", false, ""},
      {"[HKEY_CURRENT_USERS\\A]", false, ""},
      {"[HKEY_LOCAL_MACHINE\\Software]", false, ""},
      {"[-HKEY_CURRENT_USER\\Software]", false, ""},
  };
  for (const Case& c : cases) {
    RegDocument doc;
    ASSERT_TRUE(ParseRegText(kHeader + c.header + "\n\"v\"=dword:00000001\n", &doc)) << c.header;
    ASSERT_EQ(doc.sections.size(), 1u) << c.header;
    const RegSection& section = doc.sections[0];
    EXPECT_EQ(section.known, c.known) << c.header;
    EXPECT_EQ(section.path, c.path) << c.header;
    EXPECT_EQ(section.header, c.header);
    ASSERT_EQ(section.items.size(), 1u);
    EXPECT_EQ(section.items[0].isValue, c.known) << "values of a foreign section are only kept";
  }
}

TEST(RegText, WhatIsNotASettingsFile) {
  RegDocument doc;
  EXPECT_TRUE(ParseRegText("", &doc));
  EXPECT_TRUE(ParseRegText(" \n\t\r\n", &doc)) << "nothing in it: an empty store";
  EXPECT_TRUE(doc.sections.empty());
  EXPECT_TRUE(ParseRegText("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n", &doc));
  ASSERT_EQ(doc.sections.size(), 1u);
  EXPECT_EQ(doc.sections[0].items[0].data, Bytes("x")) << "CR LF line ends";
  EXPECT_TRUE(ParseRegText("\xEF\xBB\xBFWindows Registry Editor Version 5.00\n", &doc));

  const std::string broken[] = {
      "garbage\n[HKEY_CURRENT_USER\\A]\n",
      "\nWindows Registry Editor Version 5.00\n",
      "Windows Registry Editor Version 5.0\n",
      kHeader + "[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\"\n" + std::string(16, '\0'),
      std::string("\xFF\xFEW\0i\0n\0", 8),
  };
  for (const std::string& text : broken) EXPECT_FALSE(ParseRegText(text, &doc)) << text;
}

TEST(RegText, LaterDefinitionOfAValueWins) {
  RegDocument doc;
  ASSERT_TRUE(ParseRegText(kHeader + "[HKEY_CURRENT_USER\\K]\n\"A\"=dword:00000001\n\"b\"=dword:00000002\n"
                                     "[HKEY_CURRENT_USER\\k]\n\"a\"=dword:00000003\n",
                           &doc));
  ASSERT_EQ(doc.sections.size(), 2u);
  ASSERT_EQ(doc.sections[0].items.size(), 1u);
  EXPECT_EQ(doc.sections[0].items[0].name, "b");
  ASSERT_EQ(doc.sections[1].items.size(), 1u);
  EXPECT_EQ(doc.sections[1].items[0].data, (std::vector<uint8_t>{3, 0, 0, 0}));
}

TEST(RegText, StandardFormOfValues) {
  struct Case {
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
    const char* text;
  };
  std::vector<uint8_t> forty;
  for (int i = 0; i < 40; ++i) forty.push_back(uint8_t(i));
  const Case cases[] = {
      {"Preset", REG_DWORD, {17, 0, 0, 0}, "\"Preset\"=dword:00000011"},
      {"", REG_SZ, Bytes("C:\\Prismora"), "@=\"C:\\\\Prismora\""},
      {"Say \"x\"", REG_SZ, Bytes("tab\there"), "\"Say \\\"x\\\"\"=\"tab\there\""},
      {"Two lines", REG_SZ, Bytes("a\nb"), "\"Two lines\"=hex(1):61,0a,62,00"},
      {"Short", REG_DWORD, {1, 2}, "\"Short\"=hex(4):01,02"},
      {"Nothing", REG_NONE, {}, "\"Nothing\"=hex(0):"},
      {"Quad", 0xB, {1, 0, 0, 0, 0, 0, 0, 0}, "\"Quad\"=hex(b):01,00,00,00,00,00,00,00"},
      {"Grabbed Settings", REG_BINARY, forty,
       "\"Grabbed Settings\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\\n"
       "  12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27"},
  };
  for (const Case& c : cases) {
    RegItem item;
    item.isValue = true;
    item.name = c.name;
    item.type = c.type;
    item.data = c.data;
    EXPECT_EQ(FormatRegValue(item), c.text);
  }
}

TEST(RegText, LongHexLinesWrapWithinEightyColumns) {
  RegItem item;
  item.isValue = true;
  item.name = "Block";
  item.type = REG_BINARY;
  item.data.assign(212, 0xAB);
  std::string text = FormatRegValue(item);
  size_t lines = 0;
  for (size_t start = 0; start <= text.size(); ++lines) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    EXPECT_LE(end - start, 80u);
    start = end + 1;
  }
  EXPECT_EQ(lines, 9u) << "22 bytes on the first line, 25 on each further one";
  RegItem again = OnlyItem(kHeader + "[HKEY_CURRENT_USER\\K]\n" + text + "\n");
  EXPECT_EQ(again.data, item.data);
}

TEST(RegText, NameRules) {
  EXPECT_TRUE(RegKeyNameValid("Zelo #2"));
  EXPECT_TRUE(RegKeyNameValid("a]b[c\"d=e@f;g"));
  EXPECT_TRUE(RegKeyNameValid(std::string(255, 'k')));
  EXPECT_TRUE(
      RegKeyNameValid("Gr\xC3\xBC\xC3\x9F"
                      "e"));
  EXPECT_FALSE(RegKeyNameValid(""));
  EXPECT_FALSE(RegKeyNameValid(std::string(256, 'k')));
  EXPECT_FALSE(RegKeyNameValid("a\\b"));
  EXPECT_FALSE(RegKeyNameValid("tab\t"));
  EXPECT_FALSE(RegKeyNameValid("del\x7F"));
  EXPECT_TRUE(RegValueNameValid(""));
  EXPECT_TRUE(RegValueNameValid("a\\b"));
  EXPECT_TRUE(RegValueNameValid(std::string(16383, 'v')));
  EXPECT_FALSE(RegValueNameValid(std::string(16384, 'v')));
  EXPECT_FALSE(RegValueNameValid("line\n"));
  EXPECT_TRUE(RegKeyPathValid("Software\\Quillfen\\Prismora"));
  EXPECT_TRUE(RegKeyPathValid(""));
  EXPECT_FALSE(RegKeyPathValid("\\Software"));
  EXPECT_FALSE(RegKeyPathValid("Software\\"));
  EXPECT_FALSE(RegKeyPathValid("Software\\\\Quillfen"));
}

}  // namespace
