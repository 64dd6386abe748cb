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

}  // namespace kqfx
