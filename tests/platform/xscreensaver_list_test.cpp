// Prismora's entry in an XScreenSaver list: where it goes, that it goes in
// once, that every other line stays, and that taking it out leaves the
// list as it was.
#include "platform/desktop/xscreensaver_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kEntry = "\t\t\t\tprismora --root\t\t\t\t    \\n";

// An app-defaults file of the usual shape, wildcard and all.
const std::string kDefaults =
    "! comment\n*timeout:\t0:10:00\n*programs:\t\t\\\n\t\tmaze --root\t\\n\\\n- GL: \t\tsuperquadrics "
    "--root\t\\n\n"
    "*fade:\tTrue\n";

TEST(XScreenSaverListTest, AddingPutsOneEntryAtTheTopAndKeepsEveryOtherLine) {
  struct Case {
    const char* name;
    std::string text, defaults;
    ListEdit edit;
    std::string result;
  } cases[] = {
      {"a user's list",
       "lock:\tTrue\nprograms:\t\\\n\t\tmaze --root\t\\n\\\n\t\tqix --root\t\\n\nfade:\tFalse\n", "",
       ListEdit::Changed,
       "lock:\tTrue\nprograms:\t\\\n" + kEntry +
           "\\\n\t\tmaze --root\t\\n\\\n\t\tqix --root\t\\n\nfade:\tFalse\n"},
      {"a one-line list", "programs: maze --root\n", "", ListEdit::Changed,
       "programs: maze --root\\n\\\n" + kEntry + "\n"},
      {"the later of two lists", "programs: a\nprograms:\t\\\n\t\tb\\n\n", "", ListEdit::Changed,
       "programs: a\nprograms:\t\\\n" + kEntry + "\\\n\t\tb\\n\n"},
      {"no list of the user's: the system's", "timeout:\t0:05:00", kDefaults, ListEdit::Changed,
       "timeout:\t0:05:00\n\nprograms:\t\t\\\n" + kEntry +
           "\\\n\t\tmaze --root\t\\n\\\n- GL: \t\tsuperquadrics --root\t\\n\n"},
      {"no file", "", kDefaults, ListEdit::Changed,
       "programs:\t\t\\\n" + kEntry + "\\\n\t\tmaze --root\t\\n\\\n- GL: \t\tsuperquadrics --root\t\\n\n"},
      {"no list anywhere", "timeout:\t0:05:00\n", "*timeout: 1\n", ListEdit::NoList, ""},
      {"already there", "programs:\t\\\n\t\tprismora --root\t\\n\n", "", ListEdit::Unchanged, ""},
      {"there, switched off", "programs:\t\\\n-\t\tprismora --root\\n\\\n\t\tqix\\n\n", "",
       ListEdit::Unchanged, ""},
      {"there with a label, a visual and a path",
       "programs: \\\n  \"Mine\" default: /usr/libexec/xscreensaver/prismora --root --names \\n\n", "",
       ListEdit::Unchanged, ""},
      {"on the resource's own line", "programs: prismora -root\n", "", ListEdit::Unchanged, ""},
      {"a name that only starts alike", "programs:\t\\\n\t\tprismora2 --root\\n\n", "", ListEdit::Changed,
       "programs:\t\\\n" + kEntry + "\\\n\t\tprismora2 --root\\n\n"},
      {"a comment is no list", "! programs: prismora\n", kDefaults, ListEdit::Changed,
       "! programs: prismora\n\nprograms:\t\t\\\n" + kEntry +
           "\\\n\t\tmaze --root\t\\n\\\n- GL: \t\tsuperquadrics --root\t\\n\n"},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(AddPrismoraToList(c.text, c.defaults, &out), c.edit) << c.name;
    EXPECT_EQ(out, c.result) << c.name;
    if (c.edit != ListEdit::Changed) continue;
    std::string again;
    EXPECT_EQ(AddPrismoraToList(out, c.defaults, &again), ListEdit::Unchanged) << c.name << ": added once";
  }
}

TEST(XScreenSaverListTest, RemovingTakesOutEveryPrismoraLineAndEndsTheListCleanly) {
  struct Case {
    const char* name;
    std::string text;
    ListEdit edit;
    std::string result;
  } cases[] = {
      {"at the top", "programs:\t\\\n" + kEntry + "\\\n\t\tmaze\t\\n\nlock: True\n", ListEdit::Changed,
       "programs:\t\\\n\t\tmaze\t\\n\nlock: True\n"},
      {"last in the list", "programs:\t\\\n\t\tmaze\t\\n\\\n-\t\tprismora --root\\n\nlock: True\n",
       ListEdit::Changed, "programs:\t\\\n\t\tmaze\t\\n\nlock: True\n"},
      {"twice", "programs:\t\\\n\t\tprismora\\n\\\n\t\tmaze\\n\\\n\t\t/opt/prismora -root\\n\n",
       ListEdit::Changed, "programs:\t\\\n\t\tmaze\\n\n"},
      {"the only one", "programs:\t\\\n\t\tprismora --root\\n\n", ListEdit::Changed, "programs:\t\n"},
      {"on the resource's own line", "programs: prismora --root\n", ListEdit::Changed, "programs:\n"},
      {"not there", "programs:\t\\\n\t\tmaze\\n\n", ListEdit::Unchanged, ""},
      {"no list", "lock: True\n", ListEdit::Unchanged, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(RemovePrismoraFromList(c.text, &out), c.edit) << c.name;
    EXPECT_EQ(out, c.result) << c.name;
  }
  // Out again is the file as it was before it went in.
  const std::string mine = "# mine\nprograms:\t\\\n\t\tmaze\t\\n\\\n-\t\tqix\t\\n\nlock: True\n";
  std::string added, removed;
  ASSERT_EQ(AddPrismoraToList(mine, "", &added), ListEdit::Changed);
  ASSERT_EQ(RemovePrismoraFromList(added, &removed), ListEdit::Changed);
  EXPECT_EQ(removed, mine);
}

}  // namespace
