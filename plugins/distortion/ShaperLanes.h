#pragma once
// The three curves on two samples side by side (SSE2 double lanes), and a
// loop that shapes a run of samples with them. Each lane performs exactly
// the operations of the one-sample curve in ShaperCurves.h, in the same
// order and at the same precision, with branches and clamps as selects
// that pick the same value; so every result is the one-sample result, bit
// for bit. Rare lanes the lanes cannot settle (an input or product outside
// the finite float range, a sine too close to a rounding step) are
// recomputed with the one-sample curve. Pure functions; audio thread.

#include <emmintrin.h>

#include <cfloat>
#include <cstdint>

#include "FastSine.h"
#include "ShaperCurves.h"

namespace kqfx::shaper {

namespace lanes_detail {
inline __m128d absolute(__m128d x) { return _mm_andnot_pd(_mm_set1_pd(-0.0), x); }
// A double rounded to float and widened again.
inline __m128d asFloat(__m128d x) { return _mm_cvtps_pd(_mm_cvtpd_ps(x)); }
}  // namespace lanes_detail

// Each curve's settings, worked out once for a run of samples.
class SquelchLanes {
 public:
  SquelchLanes(float zeta, float blast)
      : zeta_(zeta),
        blast_(blast),
        k_(_mm_set1_pd(clampAmount(zeta, 0.001f, 0.8f))),
        b_(_mm_set1_pd(blast)),
        dry_(_mm_set1_pd(1.0 - static_cast<double>(blast))),
        span_(_mm_set1_pd(1.0 - static_cast<double>(clampAmount(zeta, 0.001f, 0.8f)))) {}

  float scalar(float x) const { return squelch(x, zeta_, blast_); }

  __m128 lanes(__m128d x, int& fallback) const {
    using namespace lanes_detail;
    fallback = 0;
    // min(FLT_MAX, 2|x|) with the operands in this order keeps a NaN.
    const __m128d twice = _mm_min_pd(_mm_set1_pd(FLT_MAX), _mm_mul_pd(_mm_set1_pd(2.0), absolute(x)));
    const __m128d d = _mm_sub_pd(asFloat(twice), k_);
    const __m128d q = _mm_div_pd(d, span_);
    const __m128d c = asFloat(
        _mm_add_pd(k_, _mm_div_pd(d, _mm_add_pd(_mm_set1_pd(1.0), _mm_mul_pd(q, q)))));
    const __m128 y = _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(dry_, x), _mm_mul_pd(b_, c)));
    // y > 1 gives 1, else y < -1 gives -1, NaN passes: min/max answer
    // their second operand on a failed comparison.
    return _mm_max_ps(_mm_set1_ps(-1.0f), _mm_min_ps(_mm_set1_ps(1.0f), y));
  }

 private:
  float zeta_, blast_;
  __m128d k_, b_, dry_, span_;
};

class SquashLanes {
 public:
  SquashLanes(float zeta, float blast)
      : zeta_(zeta),
        blast_(blast),
        k_(_mm_set1_pd(clampAmount(zeta, 0.001f, 0.99f))),
        kMinusOne_(_mm_set1_pd(static_cast<double>(clampAmount(zeta, 0.001f, 0.99f)) - 1.0)),
        b_(_mm_set1_pd(blast)),
        dry_(_mm_set1_pd(1.0 - static_cast<double>(blast))) {}

  float scalar(float x) const { return squash(x, zeta_, blast_); }

  __m128 lanes(__m128d x, int& fallback) const {
    using namespace lanes_detail;
    fallback = 0;
    const __m128d magnitude = absolute(x);
    const __m128d numerator = _mm_mul_pd(x, _mm_add_pd(magnitude, k_));
    const __m128d denominator = _mm_add_pd(
        _mm_add_pd(_mm_mul_pd(x, x), _mm_mul_pd(kMinusOne_, magnitude)), _mm_set1_pd(1.0));
    const __m128d s = asFloat(_mm_div_pd(numerator, denominator));
    return _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(dry_, x), _mm_mul_pd(b_, s)));
  }

 private:
  float zeta_, blast_;
  __m128d k_, kMinusOne_, b_, dry_;
};

class SaturateLanes {
 public:
  SaturateLanes(const SineSegment& segment, float blast)
      : segment_(segment),
        blast_(blast),
        w_(_mm_set1_pd(segment.w)),
        inv_(_mm_set1_pd(segment.inv)),
        top_(_mm_set1_pd(segment.e)),
        level_(_mm_set1_pd(1.0 - static_cast<double>(segment.k))),
        b_(_mm_set1_pd(blast)),
        dry_(_mm_set1_pd(1.0 - static_cast<double>(blast))) {}

  float scalar(float x) const { return saturate(x, segment_, blast_); }

  __m128 lanes(__m128d x, int& fallback) const {
    const __m128d high = _mm_cmpgt_pd(x, top_);
    const SineLanes sine = sineTimes(_mm_mul_pd(w_, x), inv_);
    // Lanes above the top take 1 and need no sine.
    fallback = sine.fallback & ~_mm_movemask_pd(high);
    const __m128d m = _mm_or_pd(_mm_and_pd(high, _mm_set1_pd(1.0)),
                                _mm_andnot_pd(high, _mm_cvtps_pd(sine.value)));
    return _mm_cvtpd_ps(
        _mm_mul_pd(_mm_add_pd(_mm_mul_pd(dry_, x), _mm_mul_pd(b_, m)), level_));
  }

 private:
  SineSegment segment_;
  float blast_;
  __m128d w_, inv_, top_, level_, b_, dry_;
};

// One gain factor for every sample of a run.
struct SameGain {
  float factor;
  float at(int32_t) const { return factor; }
  void lanes(int32_t, __m128d& low, __m128d& high) const { low = high = _mm_set1_pd(factor); }
};

// A gain factor per sample.
struct GainPerSample {
  const float* factors;
  float at(int32_t i) const { return factors[i]; }
  void lanes(int32_t i, __m128d& low, __m128d& high) const {
    const __m128 g = _mm_loadu_ps(factors + i);
    low = _mm_cvtps_pd(g);
    high = _mm_cvtps_pd(_mm_movehl_ps(g, g));
  }
};

// out[i] = curve(gained(gain i, in[i])) for i < n; `out` may be `in`.
template <class Kernel, class Gains>
void shapeRun(const Kernel& kernel, const float* in, float* out, int32_t n, const Gains& gains) {
  using namespace lanes_detail;
  const __m128d largest = _mm_set1_pd(FLT_MAX);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128 x = _mm_loadu_ps(in + i);
    __m128d gainLow, gainHigh;
    gains.lanes(i, gainLow, gainHigh);
    const __m128d productLow = _mm_mul_pd(gainLow, _mm_cvtps_pd(x));
    const __m128d productHigh = _mm_mul_pd(gainHigh, _mm_cvtps_pd(_mm_movehl_ps(x, x)));
    // Products beyond the float range (and NaN) take the one-sample path.
    const int finite = _mm_movemask_pd(_mm_cmple_pd(absolute(productLow), largest)) &
                       _mm_movemask_pd(_mm_cmple_pd(absolute(productHigh), largest));
    if (finite != 3) [[unlikely]] {
      for (int32_t j = i; j < i + 4; ++j) out[j] = kernel.scalar(gained(gains.at(j), in[j]));
      continue;
    }
    int fallbackLow = 0, fallbackHigh = 0;
    const __m128 low = kernel.lanes(asFloat(productLow), fallbackLow);
    const __m128 high = kernel.lanes(asFloat(productHigh), fallbackHigh);
    const int fallback = fallbackLow | (fallbackHigh << 2);
    if (fallback != 0) [[unlikely]] {
      alignas(16) float shaped[4];
      _mm_store_ps(shaped, _mm_movelh_ps(low, high));
      for (int32_t j = 0; j < 4; ++j) {
        if (fallback & (1 << j)) shaped[j] = kernel.scalar(gained(gains.at(i + j), in[i + j]));
      }
      _mm_storeu_ps(out + i, _mm_load_ps(shaped));
    } else {
      _mm_storeu_ps(out + i, _mm_movelh_ps(low, high));
    }
  }
  for (; i < n; ++i) out[i] = kernel.scalar(gained(gains.at(i), in[i]));
}

}  // namespace kqfx::shaper
