// Replacements of the global allocation functions for the whole test
// program. They forward to malloc and free; the record is constant-
// initialised, so allocations made before main see it already set up.
// The single-object nothrow new is replaced by the particle tests (a
// program can hold only one replacement); it forwards to the plain new
// here, as the library's own does, so its allocations are counted too.
#include "tests/support/heap_hooks.h"

#include <cstdlib>
#include <new>

constinit HeapHooksRec gHeapHooks{};

void ResetHeapHooks() { gHeapHooks = HeapHooksRec{}; }

namespace {

void* Allocate(std::size_t size) {
  if (gHeapHooks.counting) ++gHeapHooks.allocations;
  return std::malloc(size ? size : 1);
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
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
