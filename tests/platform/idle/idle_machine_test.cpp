// The idle watcher's decisions over scripted sessions.
#include "platform/idle/idle_machine.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <string_view>

namespace {

// One letter per event: I idle, A active, x the saver ended well, f it
// failed, T SIGTERM, L the source lost. One letter per answer: S start the
// saver, K stop it, E exit, . nothing.
std::string RunScript(const std::string& script) {
  ResetIdleMachine();
  std::string answers;
  for (char c : script) {
    const IdleEvent events[] = {IdleEvent::Idle,        IdleEvent::Active,    IdleEvent::ChildExited,
                                IdleEvent::ChildExited, IdleEvent::Terminate, IdleEvent::SourceLost};
    uint32_t actions = IdleMachineStep(events[std::string_view("IAxfTL").find(c)], c == 'f');
    std::string answer;
    if (actions & kStartSaver) answer += 'S';
    if (actions & kStopSaver) answer += 'K';
    if (actions & kExitNow) answer += 'E';
    answers += answer.empty() ? "." : answer;
  }
  return answers;
}

}  // namespace

TEST(IdleMachineTest, ScriptedSessions) {
  struct Case {
    const char* script;
    const char* answers;
    IdlePhase phase;
    int exitCode;
    const char* why;
  };
  const Case cases[] = {
      {"I", "S", IdlePhase::Saving, 0, "idle starts the saver"},
      {"AIAxIAxI", ".S..S..S", IdlePhase::Saving, 0,
       "a key ends it (active first), the next idle starts it again"},
      {"IxAI", "S..S", IdlePhase::Saving, 0, "the saver's end can come before the source sees the key"},
      {"IxI", "S..", IdlePhase::Spent, 0, "ended on its own while idle: not again until the user is back"},
      {"IAII", "S...", IdlePhase::Saving, 0, "a nudge and idle again while it runs start nothing more"},
      {"IAIxx", "S..S.", IdlePhase::Spent, 0,
       "back and idle again before a slow saver ended: due at once, once"},
      {"IfAIfAIf", "S..S..SE", IdlePhase::Done, 1, "three failures in a row: the watcher gives up"},
      {"IfAIxAIfAIf", "S..S..S..S.", IdlePhase::Spent, 0, "a good run clears the failures"},
      {"T", "E", IdlePhase::Done, 0, "SIGTERM while waiting exits at once"},
      {"ITTx", "SK.E", IdlePhase::Done, 0, "SIGTERM while saving stops the saver, then exits"},
      {"ILx", "SKE", IdlePhase::Done, 1, "a lost compositor stops the saver and fails"},
      {"ILTx", "SK.E", IdlePhase::Done, 1, "SIGTERM after the loss keeps the failure"},
      {"L", "E", IdlePhase::Done, 1, "a lost source while waiting fails at once"},
      {"TIAx", "E...", IdlePhase::Done, 0, "after the exit nothing more happens"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunScript(c.script), c.answers) << c.script << ": " << c.why;
    EXPECT_EQ(gIdleMachine.phase, c.phase) << c.script << ": " << c.why;
    EXPECT_EQ(gIdleMachine.exitCode, c.exitCode) << c.script << ": " << c.why;
  }
}

TEST(IdleMachineTest, SourcesInOrderOfPreference) {
  const struct {
    uint32_t offers;
    IdleSource source;
  } cases[] = {
      {0, IdleSource::None},
      {kOffersMutterMonitor, IdleSource::MutterMonitor},
      {kOffersKdeIdle | kOffersMutterMonitor, IdleSource::KdeIdle},
      {kOffersExtIdleNotify | kOffersKdeIdle | kOffersMutterMonitor, IdleSource::ExtIdleNotify},
      {kOffersExtIdleNotify, IdleSource::ExtIdleNotify},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseIdleSource(c.offers), c.source) << c.offers;
}

// Real children's ends: a stop from outside (SIGTERM, or the saver's own
// 143 answering it, as pkill gives) never counts toward the failures that
// end the watcher.
TEST(IdleMachineTest, OnlyARealFailureOfTheSaverCounts) {
  const struct {
    int exitCode;  // or, when negative, the signal it dies of
    bool failed;
  } cases[] = {{0, false}, {143, false}, {-SIGTERM, false}, {1, true}, {-SIGHUP, true}};
  for (const auto& c : cases) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(c.exitCode < 0 ? raise(-c.exitCode) + 99 : c.exitCode);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(SaverEndFailed(status), c.failed) << c.exitCode;
  }
}
