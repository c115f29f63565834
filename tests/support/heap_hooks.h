// The test program's own global operator new and delete: a test can count
// the heap allocations made while it looks, and make the next nothrow
// array allocations fail to reach the program's out-of-memory paths.
#pragma once
#include <cstdint>

struct HeapHooksRec {
  bool counting = false;     // count allocations into allocations
  uint64_t allocations = 0;  // made while counting
  unsigned failNothrow = 0;  // this many nothrow array allocations still to fail
  int64_t liveBytes = 0;     // usable bytes of every block not yet freed; kept across resets
};

extern HeapHooksRec gHeapHooks;

void ResetHeapHooks();

// Resets the hooks when the scope ends, so a failing test leaves none armed.
class HeapHooksScope {
 public:
  HeapHooksScope() { ResetHeapHooks(); }
  ~HeapHooksScope() { ResetHeapHooks(); }
  HeapHooksScope(const HeapHooksScope&) = delete;
  HeapHooksScope& operator=(const HeapHooksScope&) = delete;
};
