#pragma once
// Counting the samples a healthy plug-in never writes: NaN, infinities and
// subnormal numbers.

#include <cmath>
#include <cstdint>
#include <string>

namespace kqfx::command::validate {

struct SampleCounts {
  uint64_t notANumber = 0;
  uint64_t infinite = 0;
  uint64_t subnormal = 0;
  uint64_t scanned = 0;
  int64_t firstNonFinite = -1;  // frame index (in the frames counted so far), or -1
  int64_t firstSubnormal = -1;

  bool allFinite() const { return notANumber == 0 && infinite == 0; }
  uint64_t nonFinite() const { return notANumber + infinite; }

  // Adds one channel's block that starts at frame `at` of the stream.
  void add(const float* samples, int32_t frames, int64_t at) {
    for (int32_t i = 0; i < frames; ++i) {
      switch (std::fpclassify(samples[i])) {
        case FP_NAN:
          ++notANumber;
          if (firstNonFinite < 0) firstNonFinite = at + i;
          break;
        case FP_INFINITE:
          ++infinite;
          if (firstNonFinite < 0) firstNonFinite = at + i;
          break;
        case FP_SUBNORMAL:
          ++subnormal;
          if (firstSubnormal < 0) firstSubnormal = at + i;
          break;
        default:
          break;
      }
    }
    scanned += static_cast<uint64_t>(frames);
  }

  // "3 NaN, 1 infinite" or "" when there is nothing to say about finiteness.
  std::string describeNonFinite() const {
    std::string text;
    if (notANumber) text += std::to_string(notANumber) + " NaN";
    if (infinite) text += std::string(text.empty() ? "" : ", ") + std::to_string(infinite) + " infinite";
    return text;
  }
};

}  // namespace kqfx::command::validate
