// A clean program on the headless host for every test: all records reset,
// the message queue and key state empty, files in a fresh temporary place.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "tests/support/headless_engine.h"

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A fresh directory under the test's temporary root.
  std::string TempDir() const { return tempRoot_; }

 private:
  std::string tempRoot_;
};
