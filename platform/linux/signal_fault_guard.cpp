// The fault guard over POSIX signals. A Linux process cannot resume the
// instruction that faulted, so the handler jumps back to the guard, which
// reports the fault; its caller then shuts the program down.
#include <csetjmp>
#include <csignal>
#include <initializer_list>

#include "platform/fault_guard.h"

namespace {

struct GuardRec {
  sigjmp_buf resume;
  bool armed = false;
  FaultReport fault;
};

GuardRec gGuard;

// Windows exception codes, so the log reads the same on every system.
uint32_t ExceptionCodeFor(int signal, int code) {
  switch (signal) {
    case SIGSEGV:
      return 0xC0000005u;  // access violation
    case SIGBUS:
      return 0x80000002u;  // datatype misalignment
    case SIGILL:
      return 0xC000001Du;  // illegal instruction
    case SIGFPE:
      return code == FPE_INTDIV ? 0xC0000094u : 0xC0000090u;  // divide by zero / float invalid
    default:
      return 0xC0000001u;
  }
}

void OnFault(int signal, siginfo_t* info, void*) {
  if (!gGuard.armed) {
    // A fault outside any guard, or a second fault while recovering: die as
    // the signal would have killed us.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  gGuard.armed = false;
  gGuard.fault.code = ExceptionCodeFor(signal, info ? info->si_code : 0);
  gGuard.fault.address = info ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
  siglongjmp(gGuard.resume, 1);
}

void InstallHandlers() {
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE}) sigaction(signal, &action, nullptr);
}

bool RunGuarded(void (*work)(void*), void* context, FaultReport* report) {
  static bool installed = false;
  if (!installed) {
    InstallHandlers();
    installed = true;
  }
  if (gGuard.armed) {  // nested: the outer guard catches
    work(context);
    return true;
  }
  if (sigsetjmp(gGuard.resume, 1) != 0) {
    if (report) *report = gGuard.fault;
    return false;
  }
  gGuard.armed = true;
  work(context);
  gGuard.armed = false;
  return true;
}

}  // namespace

extern const FaultGuardService kSignalFaultGuard;
const FaultGuardService kSignalFaultGuard = {RunGuarded};
