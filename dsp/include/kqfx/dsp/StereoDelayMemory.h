#pragma once
// Two delay lines of equal length (left, right) with one cursor that both
// share: each frame reads the sample under the cursor, rewrites it and
// advances. The memory is made on the host thread (construction, suspend)
// and only read and written on the audio thread.
//
// New memory is always silent, and its pages are written on the host
// thread, so the audio thread never meets a fresh page of the system's.
// When new memory cannot be had the old buffers stay, silenced, with the
// cursor at the start: the caller decides what a failure means.
// Set-up: make (host thread); per-sample step: left/right, advance.

#include <cstddef>
#include <cstdint>

namespace kqfx {

// Where delay memory comes from. The shipped effects use the system's
// allocator; tests may hand in one that fails.
struct SampleAllocator {
  void* (*allocate)(std::size_t bytes);
  void (*release)(void* block);
};

// The system's allocator (malloc and free).
const SampleAllocator& systemSampleAllocator();

class StereoDelayMemory {
 public:
  explicit StereoDelayMemory(const SampleAllocator& allocator = systemSampleAllocator())
      : allocator_(allocator) {}
  ~StereoDelayMemory();
  StereoDelayMemory(const StereoDelayMemory&) = delete;
  StereoDelayMemory& operator=(const StereoDelayMemory&) = delete;

  // Host thread, never during processing. Makes silent lines of `length`
  // samples (at least one) and puts the cursor at the start. Memory of the
  // same length is reused. Answers false, keeping the old lines (silenced)
  // and their length, when the new ones cannot be had.
  bool make(int32_t length);

  bool hasMemory() const { return left_ != nullptr; }
  int32_t length() const { return length_; }
  int32_t cursor() const { return cursor_; }

  // Audio thread: the samples under the cursor.
  float& left() { return left_[cursor_]; }
  float& right() { return right_[cursor_]; }

  // Audio thread. Moves the cursor on by one sample; a cursor that then
  // lies `delayLength` or more samples past the start returns to it. The
  // caller keeps delayLength within length().
  void advance(int32_t delayLength) {
    if (++cursor_ >= delayLength) cursor_ = 0;
  }

  // Audio thread. Moves the cursor on by `frames` samples at once, as that
  // many advances would when none of them wraps: the caller keeps
  // cursor() + frames below the delay length.
  void skip(int32_t frames) { cursor_ += frames; }

 private:
  void silence();
  void releaseBuffers();

  const SampleAllocator& allocator_;
  float* left_ = nullptr;
  float* right_ = nullptr;
  int32_t length_ = 0;
  int32_t cursor_ = 0;
};

}  // namespace kqfx
