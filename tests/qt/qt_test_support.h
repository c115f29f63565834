// Shared set-up of the Qt host tests: one application for the process, and
// a fixture that starts every test with no windows, messages or keys.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "platform/messages.h"

// Installs the Qt host (on the offscreen platform unless another is asked
// for); the application is made on the first call.
bool InstallQtHostForTests();

// Lets the event source's once-a-millisecond limit pass, then pumps.
void PumpAfterNextMillisecond();

// Takes every queued message.
std::vector<Message> TakeMessages();

class QtHostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
