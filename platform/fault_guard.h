// Runs a piece of work so that a processor fault inside it (bad memory
// access, arithmetic or illegal-instruction trap) is caught and reported
// instead of killing the process without a word.
#pragma once
#include <cstdint>

struct FaultReport {
  uint32_t code = 0;      // Windows-style exception code, e.g. 0xC0000005 for an access violation
  uintptr_t address = 0;  // the faulting address
};

struct FaultGuardService {
  // Calls work(context). Returns true when it returned normally; false when
  // it faulted, with the fault in *report. After a fault the process state
  // may be damaged: callers should only shut down.
  bool (*run)(void (*work)(void*), void* context, FaultReport* report);
};

extern const FaultGuardService* gFaultGuard;
