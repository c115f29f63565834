#include "platform/idle/idle_machine.h"

#include <sys/wait.h>

#include <csignal>

IdleMachineRec gIdleMachine;

void ResetIdleMachine() { gIdleMachine = IdleMachineRec{}; }

IdleSource ChooseIdleSource(uint32_t offers) {
  if (offers & kOffersExtIdleNotify) return IdleSource::ExtIdleNotify;
  if (offers & kOffersKdeIdle) return IdleSource::KdeIdle;
  if (offers & kOffersMutterMonitor) return IdleSource::MutterMonitor;
  return IdleSource::None;
}

const char* IdleSourceName(IdleSource source) {
  switch (source) {
    case IdleSource::ExtIdleNotify:
      return "ext-idle-notify-v1";
    case IdleSource::KdeIdle:
      return "org_kde_kwin_idle";
    case IdleSource::MutterMonitor:
      return "org.gnome.Mutter.IdleMonitor";
    default:
      return "none";
  }
}

namespace {

uint32_t Exit(int code) {
  gIdleMachine.phase = IdlePhase::Done;
  gIdleMachine.exitCode = code;
  return kExitNow;
}

// Stops a running saver first; the exit follows its end.
uint32_t Finish(int code) {
  gIdleMachine.exitCode = code;
  if (gIdleMachine.phase == IdlePhase::Saving) {
    gIdleMachine.phase = IdlePhase::Stopping;
    return kStopSaver;
  }
  return Exit(code);
}

uint32_t Start() {
  gIdleMachine.phase = IdlePhase::Saving;
  gIdleMachine.backDuringRun = false;
  ++gIdleMachine.saverRuns;
  return kStartSaver;
}

}  // namespace

uint32_t IdleMachineStep(IdleEvent event, bool saverFailed) {
  IdleMachineRec& m = gIdleMachine;
  if (m.phase == IdlePhase::Done) return 0;
  switch (event) {
    case IdleEvent::Idle:
      m.userIdle = true;
      if (m.phase != IdlePhase::Armed) return 0;
      return Start();
    case IdleEvent::Active:
      m.userIdle = false;
      if (m.phase == IdlePhase::Saving) m.backDuringRun = true;
      if (m.phase == IdlePhase::Spent) m.phase = IdlePhase::Armed;
      return 0;
    case IdleEvent::ChildExited:
      if (m.phase == IdlePhase::Stopping) return Exit(m.exitCode);
      if (m.phase != IdlePhase::Saving) return 0;
      m.failuresInRow = saverFailed ? m.failuresInRow + 1 : 0;
      if (m.failuresInRow >= kMaxSaverFailures) return Exit(1);
      // The user came back and has been idle again for the whole time
      // since, while the saver was slow to end: it is due now.
      if (m.userIdle && m.backDuringRun) return Start();
      // Ended by input, the user is active (or soon reported so): armed for
      // the next idle time. Ended on its own, the user has not come back yet,
      // and starting it again at once would only repeat what just ended.
      m.phase = m.userIdle ? IdlePhase::Spent : IdlePhase::Armed;
      return 0;
    case IdleEvent::Terminate:
      if (m.phase == IdlePhase::Stopping) return 0;
      return Finish(0);
    case IdleEvent::SourceLost:
      if (m.phase == IdlePhase::Stopping) return 0;
      return Finish(1);
  }
  return 0;
}

bool SaverEndFailed(int waitStatus) {
  if (WIFSIGNALED(waitStatus)) return WTERMSIG(waitStatus) != SIGTERM;
  if (!WIFEXITED(waitStatus)) return false;
  return WEXITSTATUS(waitStatus) != 0 && WEXITSTATUS(waitStatus) != 128 + SIGTERM;
}
