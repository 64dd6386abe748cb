#pragma once
// The tempo filter's LFO: a triangle between 0 and 1 that rises for one
// sweep of `length` samples and falls for the next, turning on the last
// sample of each sweep. After a restart it yields 1/T, 2/T, ..., (T-1)/T
// rising, then 1, 1 - 1/T, ..., 1/T falling, then 0, 1/T, ... again.
//
// The position is a 64-bit count of samples since the restart and the
// phase is taken from it in integer arithmetic, so the sweep keeps its
// shape over any length of run. A new length takes effect at once: the
// sweep carries on from the same count with the new length.
//
// Set-up: restart or seek; per-sample step: next. Audio thread (restart
// and seek: whoever owns the effect's state).

#include <cstdint>

namespace kqfx {

class TriangleSweep {
 public:
  // The shortest sweep the triangle can make: one sample up, one down.
  static constexpr uint32_t kMinLength = 2;

  void restart() { seek(0, false); }

  // Continues as if `count` samples had passed since a restart and the
  // sweep were heading in the given direction.
  void seek(uint64_t count, bool falling) {
    count_ = count;
    falling_ = falling;
    lastLength_ = 0;
  }

  // Advances one sample and answers its position on the triangle, 0..1.
  float next(uint32_t length) {
    if (length < kMinLength) length = kMinLength;
    lastLength_ = length;
    ++count_;
    const uint64_t phase = count_ % length;
    const double ratio = static_cast<double>(phase) / static_cast<double>(length);
    const bool lastOfSweep = phase + 1 >= length;
    if (falling_) {
      if (lastOfSweep) falling_ = false;
      return static_cast<float>(1.0 - ratio);
    }
    if (lastOfSweep) falling_ = true;
    return static_cast<float>(ratio);
  }

  // Stands for n calls of next(length) (n >= 1), writing their answers to
  // m[0..n). The phase is counted on instead of taken modulo the length
  // each sample: the same phases, without a 64-bit division per sample.
  void next(uint32_t length, float* m, int32_t n) {
    if (length < kMinLength) length = kMinLength;
    lastLength_ = length;
    uint64_t phase = (count_ + 1) % length;
    const double divisor = static_cast<double>(length);
    for (int32_t i = 0; i < n; ++i) {
      const double ratio = static_cast<double>(phase) / divisor;
      const bool lastOfSweep = phase + 1 >= length;
      if (falling_) {
        if (lastOfSweep) falling_ = false;
        m[i] = static_cast<float>(1.0 - ratio);
      } else {
        if (lastOfSweep) falling_ = true;
        m[i] = static_cast<float>(ratio);
      }
      phase = lastOfSweep ? 0 : phase + 1;
    }
    count_ += static_cast<uint64_t>(n);
  }

  uint64_t count() const { return count_; }
  bool isFalling() const { return falling_; }
  // The length the last sample was taken with; 0 right after a restart.
  uint32_t lastLength() const { return lastLength_; }

 private:
  uint64_t count_ = 0;
  bool falling_ = false;
  uint32_t lastLength_ = 0;
};

}  // namespace kqfx
