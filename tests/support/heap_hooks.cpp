// Replacements of the global allocation functions for the whole test
// program. They forward to malloc and free; the record is constant-
// initialised, so allocations made before main see it already set up.
// The single-object nothrow new is replaced by the particle tests (a
// program can hold only one replacement); it forwards to the plain new
// here, as the library's own does, so its allocations are counted too.
#include "tests/support/heap_hooks.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

constinit HeapHooksRec gHeapHooks{};

void ResetHeapHooks() {
  int64_t live = gHeapHooks.liveBytes;
  gHeapHooks = HeapHooksRec{};
  gHeapHooks.liveBytes = live;
}

namespace {

void* Allocate(std::size_t size) {
  if (gHeapHooks.counting) ++gHeapHooks.allocations;
  void* p = std::malloc(size ? size : 1);
  if (p) gHeapHooks.liveBytes += int64_t(malloc_usable_size(p));
  return p;
}

void Free(void* p) {
  if (p) gHeapHooks.liveBytes -= int64_t(malloc_usable_size(p));
  std::free(p);
}

void* AllocateOrThrow(std::size_t size) {
  void* p = Allocate(size);
  if (!p) throw std::bad_alloc();
  return p;
}

void* AllocateNothrow(std::size_t size) {
  if (gHeapHooks.failNothrow > 0) {
    --gHeapHooks.failNothrow;
    return nullptr;
  }
  return Allocate(size);
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateNothrow(size); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
