// A clean program on the headless host for every test: all records reset,
// the message queue and key state empty, files in a fresh temporary place.
#pragma once
#include <gtest/gtest.h>

#include <string>

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A fresh directory under the test's temporary root.
  std::string TempDir() const { return tempRoot_; }

 private:
  std::string tempRoot_;
};

// Loads the standard patterns and default options, and applies pattern
// index to the engine on a headless window of the given drawing size, as
// the saver's start-up would.
void StartHeadlessEngine(unsigned width, unsigned height, unsigned pattern = 0);
