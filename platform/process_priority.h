// The scheduling priority of the whole program.
#pragma once

struct ProcessPriorityService {
  // Low: every thread of the program runs at the lowest priority an
  // ordinary user may give it, so that any other work goes first. Normal:
  // back to the priority the program started with. False when the system
  // refused (going back up can need a privilege the user lacks); the
  // priority then stays as it was.
  bool (*setLow)(bool low);
};

extern const ProcessPriorityService* gProcessPriority;
