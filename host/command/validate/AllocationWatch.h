#pragma once
// Counts the allocations and frees a thread makes while it is inside a
// watched section: the validator watches every process call it makes, and
// a process call must neither allocate nor free.
//
// The counting itself lives in the kqfx executable (it replaces malloc and
// its family for the whole process) or, in sanitizer builds, in the
// sanitizer's allocator hooks. A program without either (the test
// executables) can still use the watch; it then reports that it cannot
// count.

#include <cstdint>

namespace kqfx::command::validate {

struct AllocationCounts {
  uint64_t allocations = 0;
  uint64_t frees = 0;
  bool any() const { return allocations != 0 || frees != 0; }
};

// Whether allocations can be counted in this program; when not, `why`
// says why.
bool allocationsCountable(const char** why = nullptr);

// Watches the calling thread from construction to destruction and adds
// what it saw to `into`. Watches do not nest.
class AllocationWatch {
 public:
  explicit AllocationWatch(AllocationCounts& into);
  ~AllocationWatch();
  AllocationWatch(const AllocationWatch&) = delete;
  AllocationWatch& operator=(const AllocationWatch&) = delete;

 private:
  AllocationCounts& into_;
};

namespace detail {
// Called by the counting allocator on every allocation and free.
void noteAllocation() noexcept;
void noteFree() noexcept;
}  // namespace detail

}  // namespace kqfx::command::validate
