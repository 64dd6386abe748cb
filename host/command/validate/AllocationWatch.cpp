#include "AllocationWatch.h"

#include <cstddef>

// Defined by the counting allocator when it is linked into the program.
extern "C" {
__attribute__((weak)) extern const bool kqfxCountingAllocatorLinked;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KQFX_SANITIZER_ALLOCATOR 1
// The sanitizer runtimes replace malloc themselves and offer hooks instead.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*onAllocation)(const volatile void* pointer, std::size_t size),
    void (*onFree)(const volatile void* pointer));
#endif

namespace kqfx::command::validate {
namespace {

// Plain thread-local integers: reading them from inside malloc must never
// allocate.
thread_local bool watching = false;
thread_local uint64_t allocationsSeen = 0;
thread_local uint64_t freesSeen = 0;

#if defined(KQFX_SANITIZER_ALLOCATOR)
void onAllocation(const volatile void*, std::size_t) { detail::noteAllocation(); }
void onFree(const volatile void*) { detail::noteFree(); }

bool installHooks() {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(onAllocation, onFree) != 0;
  return installed;
}
#endif

}  // namespace

namespace detail {
void noteAllocation() noexcept {
  if (watching) ++allocationsSeen;
}
void noteFree() noexcept {
  if (watching) ++freesSeen;
}
}  // namespace detail

bool allocationsCountable(const char** why) {
#if defined(KQFX_SANITIZER_ALLOCATOR)
  if (installHooks()) return true;
  if (why) *why = "this sanitizer build offers no allocator hooks";
  return false;
#else
  if (&kqfxCountingAllocatorLinked != nullptr) return true;
  if (why) *why = "this program was built without the counting allocator";
  return false;
#endif
}

AllocationWatch::AllocationWatch(AllocationCounts& into) : into_(into) {
  allocationsSeen = 0;
  freesSeen = 0;
  watching = true;
}

AllocationWatch::~AllocationWatch() {
  watching = false;
  into_.allocations += allocationsSeen;
  into_.frees += freesSeen;
}

}  // namespace kqfx::command::validate
