// Reading one pop-up help text out of the topics file.
#include "platform/help_topics.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class HelpTopicsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ =
        (std::filesystem::temp_directory_path() / ("prismora-topics-" + std::to_string(getpid()) + ".txt"))
            .string();
  }
  void TearDown() override { std::filesystem::remove(path_); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string path_;
};

TEST_F(HelpTopicsTest, FindsEachTopicTrimmedWhateverItsLineEndings) {
  Write(
      ".topic 1000\r\n  First text,\r\nsecond line.\r\n\r\n.topic 1001\nOther.\n.topic 1050\nLast, no "
      "newline");
  struct Case {
    int topic;
    const char* text;
  };
  for (const Case& c :
       {Case{1000, "First text,\nsecond line."}, Case{1001, "Other."}, Case{1050, "Last, no newline"}}) {
    char text[100];
    ASSERT_TRUE(ReadHelpTopic(path_.c_str(), c.topic, text, sizeof text)) << c.topic;
    EXPECT_STREQ(text, c.text);
  }
}

TEST_F(HelpTopicsTest, AMissingTopicOrFileReadsAsNothingAndLongTextsAreCut) {
  Write(".topic 1000\n" + std::string(50, 'x') + "\n");
  char text[16] = "unchanged";
  EXPECT_FALSE(ReadHelpTopic(path_.c_str(), 999, text, sizeof text));
  EXPECT_STREQ(text, "");
  EXPECT_FALSE(ReadHelpTopic((path_ + ".missing").c_str(), 1000, text, sizeof text));
  ASSERT_TRUE(ReadHelpTopic(path_.c_str(), 1000, text, sizeof text));
  EXPECT_EQ(std::string(text), std::string(15, 'x'));
}

}  // namespace
