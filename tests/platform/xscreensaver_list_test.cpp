// Prismora's entry in an XScreenSaver list: at the top of the list that
// counts, once, however the list already names it; out again leaves the
// file as it was. (The real file and app-defaults are in cli_test.sh.)
#include "platform/desktop/xscreensaver_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kEntry = "\t\t\t\tprismora --root\t\t\t\t    \\n";
const std::string kDefaults = "*timeout: 1\n*programs:\t\\\n\t\tmaze --root\\n\n*fade: True\n";

TEST(XScreenSaverListTest, AddsOnceAtTheTopAndRemovesCleanly) {
  struct Case {
    const char* name;
    std::string text;
    ListEdit edit;
    std::string result;
  } cases[] = {
      {"a one-line list", "programs: maze --root\n", ListEdit::Changed,
       "programs: maze --root\\n\\\n" + kEntry + "\n"},
      {"the later of two lists", "programs: a\nprograms:\t\\\n\t\tb\\n\n", ListEdit::Changed,
       "programs: a\nprograms:\t\\\n" + kEntry + "\\\n\t\tb\\n\n"},
      {"no list: the system's", "! programs: prismora", ListEdit::Changed,
       "! programs: prismora\n\nprograms:\t\\\n" + kEntry + "\\\n\t\tmaze --root\\n\n"},
      {"switched off", "programs:\t\\\n-\t\tprismora --root\\n\\\n\t\tqix\\n\n", ListEdit::Unchanged, ""},
      {"with a label, a visual and a path",
       "programs: \\\n \"P\" GL: /usr/libexec/xscreensaver/prismora -root\\n\n", ListEdit::Unchanged, ""},
      {"a name that only starts alike", "programs:\t\\\n\t\tprismora2\\n\n", ListEdit::Changed,
       "programs:\t\\\n" + kEntry + "\\\n\t\tprismora2\\n\n"},
  };
  for (const Case& c : cases) {
    std::string out, removed;
    EXPECT_EQ(AddPrismoraToList(c.text, kDefaults, &out), c.edit) << c.name;
    EXPECT_EQ(out, c.result) << c.name;
    if (c.edit != ListEdit::Changed) continue;
    EXPECT_EQ(AddPrismoraToList(out, kDefaults, &removed), ListEdit::Unchanged) << c.name;
    ASSERT_EQ(RemovePrismoraFromList(out, &removed), ListEdit::Changed) << c.name;
    EXPECT_EQ(removed.find("prismora --root"), std::string::npos) << c.name;
  }
  std::string out;
  EXPECT_EQ(AddPrismoraToList("timeout: 1\n", "*timeout: 1\n", &out), ListEdit::NoList);
  // The last entry taken out: the one before it ends the list.
  EXPECT_EQ(RemovePrismoraFromList("programs:\t\\\n\t\tmaze\\n\\\n-\tprismora\\n\nlock: True\n", &out),
            ListEdit::Changed);
  EXPECT_EQ(out, "programs:\t\\\n\t\tmaze\\n\nlock: True\n");
}

}  // namespace
