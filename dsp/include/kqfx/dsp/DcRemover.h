#pragma once
// One-pole DC-blocking high-pass per channel, y[n] = x[n] - x[n-1] +
// 0.9999 y[n-1]. Each effect instance owns its own memory; it starts at 0
// and is never cleared by the effects. A NaN or infinite result (bad input,
// or an overflow) is passed on for that one sample but not remembered: the
// channel's memory restarts from rest, so the filter recovers as soon as
// the input is finite again. Audio thread.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace kqfx {

class DcRemover {
 public:
  static constexpr int kChannels = 2;
  static constexpr double kPole = 0.9999;

  // `sampleCount` is the caller's running frame count; at 0 or below the
  // sample passes unchanged and the memory stays as it is.
  float removeDC(float sample, int channel, int32_t sampleCount) {
    if (sampleCount <= 0) return sample;
    Memory& memory = memory_[static_cast<size_t>(channel)];
    const float y = static_cast<float>(static_cast<double>(sample) +
                                       kPole * static_cast<double>(memory.prevOutput) -
                                       static_cast<double>(memory.prevInput));
    if (std::isfinite(y)) [[likely]] {
      memory.prevOutput = y;
      memory.prevInput = sample;
    } else {
      memory = Memory{};
    }
    return y;
  }

 private:
  struct Memory {
    float prevInput = 0.0f;
    float prevOutput = 0.0f;
  };
  std::array<Memory, kChannels> memory_{};
};

// A frame counter that stops at its largest value instead of wrapping, so
// that filters keyed on it keep running after 2^31 frames.
class SaturatingFrameCount {
 public:
  explicit SaturatingFrameCount(int32_t start = 0) : count_(start) {}
  int32_t next() {
    if (count_ < INT32_MAX) ++count_;
    return count_;
  }
  void restart() { count_ = 0; }
  int32_t value() const { return count_; }

 private:
  int32_t count_ = 0;
};

}  // namespace kqfx
