#pragma once
// A stereo source over samples held in memory.

#include <algorithm>
#include <array>
#include <vector>

#include "kqfx/host/AudioStream.h"

namespace kqfx::command {

using StereoSamples = std::array<std::vector<float>, 2>;

class BufferSource final : public host::AudioSource {
 public:
  // Both channels must have the same length; the samples must outlive the source.
  explicit BufferSource(const StereoSamples& samples) : samples_(samples) {}

  int32_t read(float* left, float* right, int32_t frames) override {
    const auto count = static_cast<int32_t>(std::min<int64_t>(frames, remainingFrames()));
    if (count <= 0) return 0;
    std::copy_n(samples_[0].begin() + static_cast<std::ptrdiff_t>(position_), count, left);
    std::copy_n(samples_[1].begin() + static_cast<std::ptrdiff_t>(position_), count, right);
    position_ += static_cast<std::size_t>(count);
    return count;
  }

  int64_t remainingFrames() const override {
    return static_cast<int64_t>(samples_[0].size() - position_);
  }

 private:
  const StereoSamples& samples_;
  std::size_t position_ = 0;
};

}  // namespace kqfx::command
