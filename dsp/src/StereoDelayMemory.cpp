#include "kqfx/dsp/StereoDelayMemory.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace kqfx {

const SampleAllocator& systemSampleAllocator() {
  static constexpr SampleAllocator system{
      [](std::size_t bytes) { return std::malloc(bytes); },
      [](void* block) { std::free(block); },
  };
  return system;
}

StereoDelayMemory::~StereoDelayMemory() { releaseBuffers(); }

bool StereoDelayMemory::make(int32_t length) {
  length = std::max(length, int32_t{1});
  const bool representable =
      static_cast<std::size_t>(length) <= std::numeric_limits<std::size_t>::max() / sizeof(float);
  if (representable && (length != length_ || !hasMemory())) {
    const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(float);
    auto* left = static_cast<float*>(allocator_.allocate(bytes));
    auto* right = left ? static_cast<float*>(allocator_.allocate(bytes)) : nullptr;
    if (right) {
      releaseBuffers();
      left_ = left;
      right_ = right;
      length_ = length;
    } else if (left) {
      allocator_.release(left);
    }
  }
  silence();
  return length_ == length;
}

void StereoDelayMemory::silence() {
  if (hasMemory()) {
    std::fill_n(left_, length_, 0.0f);
    std::fill_n(right_, length_, 0.0f);
  }
  cursor_ = 0;
}

void StereoDelayMemory::releaseBuffers() {
  if (left_) allocator_.release(left_);
  if (right_) allocator_.release(right_);
  left_ = right_ = nullptr;
  length_ = 0;
}

}  // namespace kqfx
