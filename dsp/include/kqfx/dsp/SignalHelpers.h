#pragma once
// Small pure functions on single-precision samples. Their NaN and tie
// behaviour is part of their contract (it differs from std::fmax/fmin).
// Any thread; no state.

#include <cmath>

namespace kqfx {

// a if b < a, else b: ties and NaN operands answer b.
inline float fmax(float a, float b) { return b < a ? a : b; }

// a if b > a, else b: ties and NaN operands answer b.
inline float fmin(float a, float b) { return b > a ? a : b; }

// |x - 1|: for x in 0..1 the complement 1 - x.
inline float inverse(float x) { return std::fabs(static_cast<float>(static_cast<double>(x) - 1.0)); }

// Hard clip to -1..1; NaN passes through.
inline float clip(float x) {
  if (x > 1.0f) return 1.0f;
  if (x < -1.0f) return -1.0f;
  return x;
}

// floor(x) as a float. The tempo filter multiplies before calling it.
inline float ftenths(float x) { return static_cast<float>(std::floor(static_cast<double>(x))); }

// Compresses magnitudes above `threshold` linearly so that a magnitude of 1
// comes out as `ceiling`; keeps the sign. Zero and NaN give +0. A threshold
// of 1 or more has no slope to apply (it would divide by zero), so the
// magnitude passes unchanged there.
inline float dumbCompress(float sample, float threshold, float ceiling) {
  float m = std::fabs(sample);
  if (!(m > 0.0f)) return 0.0f;
  if (m > threshold && threshold < 1.0f) {
    m = static_cast<float>(static_cast<double>(threshold) +
                           (static_cast<double>(m) - threshold) *
                               (static_cast<double>(ceiling) - threshold) /
                               (1.0 - static_cast<double>(threshold)));
  }
  return sample < 0.0f ? -m : m;
}

}  // namespace kqfx
