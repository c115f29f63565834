// Shared set-up of the Qt host tests: one application for the process, and
// a fixture that starts every test with no windows, messages or keys.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/messages.h"

// Installs the Qt host (on the offscreen platform unless another is asked
// for); the application is made on the first call.
bool InstallQtHostForTests();

// Lets the event source's once-a-millisecond limit pass, then pumps.
void PumpAfterNextMillisecond();

// Takes every queued message.
std::vector<Message> TakeMessages();

// Runs body with the process's stderr sent to a file; returns what was
// written there.
std::string CapturedStderr(const std::function<void()>& body);

// Sets PRISMORA_PRESENT, the way windows made from now on present frames;
// nullptr unsets it.
void SetPresentChoice(const char* choice);

// Every test ends with PRISMORA_PRESENT as the run had it, whatever it set.
class QtHostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  std::optional<std::string> savedPresentChoice_;
};
