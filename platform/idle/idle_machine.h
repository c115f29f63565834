// What `prismora --idle` decides, apart from how it hears of idleness and how
// it runs the saver: which idle source to use, and when to start the saver,
// stop it or give up. Driven by events, answering with actions, so a test can
// script a whole session.
#pragma once
#include <cstdint>

// The sources in the order they are preferred.
enum class IdleSource {
  None,
  ExtIdleNotify,  // ext-idle-notify-v1 (sway 1.8+, Plasma 6, Hyprland, niri, labwc)
  KdeIdle,        // org_kde_kwin_idle (sway 1.7, older Plasma)
  MutterMonitor,  // org.gnome.Mutter.IdleMonitor on the session bus (GNOME)
};

// What a session offers, as bits.
constexpr uint32_t kOffersExtIdleNotify = 1, kOffersKdeIdle = 2, kOffersMutterMonitor = 4;
IdleSource ChooseIdleSource(uint32_t offers);
const char* IdleSourceName(IdleSource source);

enum class IdleEvent {
  Idle,         // no input for the chosen time (inhibitors hold this off)
  Active,       // input again after Idle
  ChildExited,  // the saver ended; with its status (below)
  Terminate,    // SIGTERM
  SourceLost,   // the compositor or the bus went away
};

// What the driver does next, as bits.
constexpr uint32_t kStartSaver = 1, kStopSaver = 2, kExitNow = 4;

// A saver that fails this many times in a row, each time it is started,
// will not run in this session: the watcher stops rather than retry forever.
constexpr uint32_t kMaxSaverFailures = 3;

enum class IdlePhase {
  Armed,     // waiting for Idle
  Saving,    // the saver runs
  Spent,     // the saver ended while the user was still idle: waiting for Active
  Stopping,  // the saver was told to stop; the watcher exits once it has
  Done,
};

struct IdleMachineRec {
  IdlePhase phase = IdlePhase::Armed;
  bool userIdle = false;       // the source's last word was Idle
  bool backDuringRun = false;  // Active came while the saver ran
  uint32_t failuresInRow = 0;  // saver runs that ended in failure, in a row
  uint32_t saverRuns = 0;      // savers started
  int exitCode = 0;            // the watcher's exit code, once kExitNow is given
};
extern IdleMachineRec gIdleMachine;
void ResetIdleMachine();

// Whether a saver's end (a waitpid status) counts as a failure. SIGTERM is
// how the watcher, the session, a user or a locker's command line (pkill)
// stops a saver, and the saver answers it with exit code 143.
bool SaverEndFailed(int waitStatus);

// Feeds one event; saverFailed goes with ChildExited (a non-zero exit, a
// crash, or a saver that could not be started at all). Returns actions.
uint32_t IdleMachineStep(IdleEvent event, bool saverFailed = false);
