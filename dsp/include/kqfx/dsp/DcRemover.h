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

// One channel of the filter: its last input and output.
struct DcFilter {
  static constexpr double kPole = 0.9999;

  float filter(float sample) {
    const float y = static_cast<float>(static_cast<double>(sample) +
                                       kPole * static_cast<double>(prevOutput) -
                                       static_cast<double>(prevInput));
    if (std::isfinite(y)) [[likely]] {
      prevOutput = y;
      prevInput = sample;
    } else {
      prevOutput = 0.0f;
      prevInput = 0.0f;
    }
    return y;
  }

  float prevInput = 0.0f;
  float prevOutput = 0.0f;
};

class DcRemover {
 public:
  static constexpr int kChannels = 2;
  static constexpr double kPole = DcFilter::kPole;

  // `sampleCount` is the caller's running frame count; at 0 or below the
  // sample passes unchanged and the memory stays as it is.
  float removeDC(float sample, int channel, int32_t sampleCount) {
    if (sampleCount <= 0) return sample;
    return memory_[static_cast<size_t>(channel)].filter(sample);
  }

  // A channel's memory, for loops that keep it in registers over a block
  // of frames whose counts are all above 0, and store it back afterwards.
  DcFilter& channel(int channel) { return memory_[static_cast<size_t>(channel)]; }

 private:
  std::array<DcFilter, kChannels> memory_{};
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
  // Stands for n calls of next() (n >= 0).
  void advance(int32_t n) { count_ = count_ > INT32_MAX - n ? INT32_MAX : count_ + n; }
  void restart() { count_ = 0; }
  int32_t value() const { return count_; }

 private:
  int32_t count_ = 0;
};

}  // namespace kqfx
