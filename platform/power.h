// The power service: keeping the machine and its display awake while the
// saver runs. Sleep and resume are not part of it: a host that hears of them
// posts WM_POWERBROADCAST (wParam PBT_APMSUSPEND or PBT_APMRESUMESUSPEND) to
// the program's window. gPower is nullptr where the host has no such service.
#pragma once

struct PowerService {
  // Asks the desktop not to blank the screen or sleep for idleness until
  // releaseIdle or the end of the program; reason is shown to the user where
  // the desktop lists who holds it awake. Asking again while it holds does
  // nothing more. False, silently, when the desktop offers no such request
  // or refuses it.
  bool (*inhibitIdle)(const char* reason);
  // Ends what inhibitIdle asked for; harmless when nothing is held.
  void (*releaseIdle)();
};

extern const PowerService* gPower;
