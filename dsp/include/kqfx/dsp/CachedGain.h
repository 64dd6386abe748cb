#pragma once
// A gain law's factor for the value of the last call, kept until the value
// changes: one pow per change instead of one per frame. The same value
// (bit for bit) always gives the same factor, so the results are those of
// the law itself. Audio thread; one per smoothed gain.

#include <bit>
#include <cstdint>

namespace kqfx {

template <class Law>
class CachedGain {
 public:
  float factor(float value) {
    if (std::bit_cast<uint32_t>(value) != bits_) {
      bits_ = std::bit_cast<uint32_t>(value);
      factor_ = Law::gain2factor(value);
    }
    return factor_;
  }

 private:
  uint32_t bits_ = std::bit_cast<uint32_t>(0.5f);
  float factor_ = Law::gain2factor(0.5f);
};

}  // namespace kqfx
