#pragma once
// A delay-memory allocator for tests: counts what it hands out and gives
// back, and refuses once its budget of allocations is spent.

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "kqfx/dsp/StereoDelayMemory.h"

namespace kqfx::test {

struct ScarceMemory {
  static inline int budget = std::numeric_limits<int>::max();
  static inline int live = 0;
  static inline int made = 0;

  static void reset(int allocations) {
    budget = allocations;
    live = 0;
    made = 0;
  }
  static void* allocate(std::size_t bytes) {
    if (budget <= 0) return nullptr;
    --budget;
    ++live;
    ++made;
    // Never silent by chance: whoever gets this must clear it.
    void* block = std::malloc(bytes);
    if (block) std::memset(block, 0x55, bytes);
    return block;
  }
  static void release(void* block) {
    --live;
    std::free(block);
  }
  static const SampleAllocator& allocator() {
    static constexpr SampleAllocator scarce{&allocate, &release};
    return scarce;
  }
};

}  // namespace kqfx::test
