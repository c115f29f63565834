#include "tests/qt/qt_test_support.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/event_source.h"
#include "platform/key_state.h"
#include "platform/qt/qt_host.h"

namespace {

// The application keeps a reference to its argument count for its lifetime.
int gTestArgc = 1;
char gTestProgramName[] = "prismora_qt_tests";
char* gTestArgv[] = {gTestProgramName, nullptr};

}  // namespace

bool InstallQtHostForTests() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  return InstallQtHost(gTestArgc, gTestArgv);
}

void PumpAfterNextMillisecond() {
  std::this_thread::sleep_for(std::chrono::microseconds(1100));
  gEvents->pump();
}

std::vector<Message> TakeMessages() {
  std::vector<Message> messages;
  Message message;
  // Bounded, so a host that keeps posting fails the test instead of hanging it.
  while (messages.size() < 1000 && QueuedMessageCount() > 0 && PeekMessage(&message, true)) {
    messages.push_back(message);
  }
  return messages;
}

std::string CapturedStderr(const std::function<void()>& body) {
  std::FILE* file = std::tmpfile();
  if (!file) {
    body();
    return "(stderr could not be captured)";
  }
  std::fflush(stderr);
  int saved = dup(2);
  dup2(fileno(file), 2);
  body();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  std::rewind(file);
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  std::fclose(file);
  return text;
}

void SetPresentChoice(const char* choice) {
  if (choice) {
    setenv("PRISMORA_PRESENT", choice, 1);
  } else {
    unsetenv("PRISMORA_PRESENT");
  }
}

void QtHostTest::SetUp() {
  savedPresentChoice_.reset();
  if (const char* value = std::getenv("PRISMORA_PRESENT")) savedPresentChoice_ = value;
  ASSERT_TRUE(InstallQtHostForTests());
  ResetQtHost();
  ResetMessageQueue();
  ResetKeyState();
}

void QtHostTest::TearDown() {
  ResetQtHost();
  ResetMessageQueue();
  ResetKeyState();
  SetPresentChoice(savedPresentChoice_ ? savedPresentChoice_->c_str() : nullptr);
}
