#pragma once
// A gain law's factor for the value of the last call, kept until the value
// changes: one pow per change instead of one per frame. The same value
// (bit for bit) always gives the same factor, so the results are those of
// the law itself. Audio thread; one per smoothed gain, created on the host
// thread (it takes the lane path the effect runs then).

#include <bit>
#include <cstdint>

#include "kqfx/dsp/LanePath.h"
#include "kqfx/dsp/SmoothParameter.h"

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

  // The factors of the smoother's next n values (n ticks of it), written to
  // out[0..n-1]. A steady smoother's factor is worked out once; a gliding
  // one's side by side. Audio thread.
  void factors(SmoothParameter& smoother, float* out, int32_t n) {
    if (n <= 0) return;
    if (smoother.isSteady()) {
      const float f = factor(smoother.getCurrentValue());
      for (int32_t i = 0; i < n; ++i) out[i] = f;
      smoother.skipTicks(n);
      return;
    }
    smoother.nextValues(out, n);
    factors(out, out, n);
  }

  // The factors of n values (n > 0) side by side into out[0..n-1]; `out`
  // may be `values`. Audio thread.
  void factors(const float* values, float* out, int32_t n) {
    const float last = values[n - 1];
    Law::gain2factors(values, out, n, path_);
    bits_ = std::bit_cast<uint32_t>(last);
    factor_ = out[n - 1];
  }

 private:
  LanePath path_ = chooseLanePath();
  uint32_t bits_ = std::bit_cast<uint32_t>(0.5f);
  float factor_ = Law::gain2factor(0.5f);
};

}  // namespace kqfx
