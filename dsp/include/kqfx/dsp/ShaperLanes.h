#pragma once
// The three curves on two samples side by side (SSE2 double lanes), and a
// loop that shapes a run of samples with them. Each lane performs exactly
// the operations of the one-sample curve in ShaperCurves.h, in the same
// order and at the same precision, with branches and clamps as selects
// that pick the same value; so every result is the one-sample result, bit
// for bit. Rare lanes the lanes cannot settle (an input or product outside
// the finite float range, a sine too close to a rounding step) are
// recomputed with the one-sample curve. Pure functions; audio thread.


#include <cfloat>
#include <cstdint>

#include "kqfx/dsp/FastSine.h"
#include "kqfx/dsp/Lanes.h"
#include "kqfx/dsp/ShaperCurves.h"

namespace kqfx::shaper {

namespace lanes_detail {
template <class L>
inline typename L::Doubles absolute(typename L::Doubles x) { return L::bitAndNot(L::splatDoubles(-0.0), x); }
// A double rounded to float and widened again.
template <class L>
inline typename L::Doubles asFloat(typename L::Doubles x) { return L::widenLow(L::narrow(x)); }
}  // namespace lanes_detail

// Each curve's settings, worked out once for a run of samples.
template <class L>
class SquelchLanes {
 public:
  SquelchLanes(float zeta, float blast)
      : zeta_(zeta),
        blast_(blast),
        k_(L::splatDoubles(clampAmount(zeta, 0.001f, 0.8f))),
        b_(L::splatDoubles(blast)),
        dry_(L::splatDoubles(1.0 - static_cast<double>(blast))),
        span_(L::splatDoubles(1.0 - static_cast<double>(clampAmount(zeta, 0.001f, 0.8f)))) {}

  float scalar(float x) const { return squelch(x, zeta_, blast_); }

  typename L::Floats lanes(typename L::Doubles x, int& fallback) const {
    using namespace lanes_detail;
    fallback = 0;
    // min(FLT_MAX, 2|x|) with the operands in this order keeps a NaN.
    const typename L::Doubles twice = L::min(L::splatDoubles(FLT_MAX), L::mul(L::splatDoubles(2.0), absolute<L>(x)));
    const typename L::Doubles d = L::sub(asFloat<L>(twice), k_);
    const typename L::Doubles q = L::div(d, span_);
    const typename L::Doubles c = asFloat<L>(
        L::add(k_, L::div(d, L::add(L::splatDoubles(1.0), L::mul(q, q)))));
    const typename L::Floats y = L::narrow(L::add(L::mul(dry_, x), L::mul(b_, c)));
    // y > 1 gives 1, else y < -1 gives -1, NaN passes: min/max answer
    // their second operand on a failed comparison.
    return L::max(L::splatFloats(-1.0f), L::min(L::splatFloats(1.0f), y));
  }

 private:
  float zeta_, blast_;
  typename L::Doubles k_, b_, dry_, span_;
};

template <class L>
class SquashLanes {
 public:
  SquashLanes(float zeta, float blast)
      : zeta_(zeta),
        blast_(blast),
        k_(L::splatDoubles(clampAmount(zeta, 0.001f, 0.99f))),
        kMinusOne_(L::splatDoubles(static_cast<double>(clampAmount(zeta, 0.001f, 0.99f)) - 1.0)),
        b_(L::splatDoubles(blast)),
        dry_(L::splatDoubles(1.0 - static_cast<double>(blast))) {}

  float scalar(float x) const { return squash(x, zeta_, blast_); }

  typename L::Floats lanes(typename L::Doubles x, int& fallback) const {
    using namespace lanes_detail;
    fallback = 0;
    const typename L::Doubles magnitude = absolute<L>(x);
    const typename L::Doubles numerator = L::mul(x, L::add(magnitude, k_));
    const typename L::Doubles denominator = L::add(
        L::add(L::mul(x, x), L::mul(kMinusOne_, magnitude)), L::splatDoubles(1.0));
    const typename L::Doubles s = asFloat<L>(L::div(numerator, denominator));
    return L::narrow(L::add(L::mul(dry_, x), L::mul(b_, s)));
  }

 private:
  float zeta_, blast_;
  typename L::Doubles k_, kMinusOne_, b_, dry_;
};

template <class L>
class SaturateLanes {
 public:
  SaturateLanes(const SineSegment& segment, float blast)
      : segment_(segment),
        blast_(blast),
        w_(L::splatDoubles(segment.w)),
        inv_(L::splatDoubles(segment.inv)),
        top_(L::splatDoubles(segment.e)),
        level_(L::splatDoubles(1.0 - static_cast<double>(segment.k))),
        b_(L::splatDoubles(blast)),
        dry_(L::splatDoubles(1.0 - static_cast<double>(blast))) {}

  float scalar(float x) const { return saturate(x, segment_, blast_); }

  typename L::Floats lanes(typename L::Doubles x, int& fallback) const {
    const typename L::Doubles high = L::greater(x, top_);
    const SineLanes<L> sine = sineTimes<L>(L::mul(w_, x), inv_);
    // Lanes above the top take 1 and need no sine.
    fallback = sine.fallback & ~L::signBits(high);
    const typename L::Doubles m = L::bitOr(L::bitAnd(high, L::splatDoubles(1.0)),
                                L::bitAndNot(high, L::widenLow(sine.value)));
    return L::narrow(
        L::mul(L::add(L::mul(dry_, x), L::mul(b_, m)), level_));
  }

 private:
  SineSegment segment_;
  float blast_;
  typename L::Doubles w_, inv_, top_, level_, b_, dry_;
};

// One gain factor for every sample of a run.
template <class L>
struct SameGain {
  float factor;
  float at(int32_t) const { return factor; }
  void lanes(int32_t, typename L::Doubles& low, typename L::Doubles& high) const { low = high = L::splatDoubles(factor); }
};

// A gain factor per sample.
template <class L>
struct GainPerSample {
  const float* factors;
  float at(int32_t i) const { return factors[i]; }
  void lanes(int32_t i, typename L::Doubles& low, typename L::Doubles& high) const {
    const typename L::Floats g = L::load(factors + i);
    low = L::widenLow(g);
    high = L::widenLow(L::highOf(g, g));
  }
};

// out[i] = curve(gained(gain i, in[i])) for i < n; `out` may be `in`.
template <class L, class Kernel, class Gains>
void shapeRun(const Kernel& kernel, const float* in, float* out, int32_t n, const Gains& gains) {
  using namespace lanes_detail;
  const typename L::Doubles largest = L::splatDoubles(FLT_MAX);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const typename L::Floats x = L::load(in + i);
    typename L::Doubles gainLow, gainHigh;
    gains.lanes(i, gainLow, gainHigh);
    const typename L::Doubles productLow = L::mul(gainLow, L::widenLow(x));
    const typename L::Doubles productHigh = L::mul(gainHigh, L::widenLow(L::highOf(x, x)));
    // Products beyond the float range (and NaN) take the one-sample path.
    const int finite = L::signBits(L::lessEqual(absolute<L>(productLow), largest)) &
                       L::signBits(L::lessEqual(absolute<L>(productHigh), largest));
    if (finite != 3) [[unlikely]] {
      for (int32_t j = i; j < i + 4; ++j) out[j] = kernel.scalar(gained(gains.at(j), in[j]));
      continue;
    }
    int fallbackLow = 0, fallbackHigh = 0;
    const typename L::Floats low = kernel.lanes(asFloat<L>(productLow), fallbackLow);
    const typename L::Floats high = kernel.lanes(asFloat<L>(productHigh), fallbackHigh);
    const int fallback = fallbackLow | (fallbackHigh << 2);
    if (fallback != 0) [[unlikely]] {
      alignas(16) float shaped[4];
      L::store(shaped, L::lowsOf(low, high));
      for (int32_t j = 0; j < 4; ++j) {
        if (fallback & (1 << j)) shaped[j] = kernel.scalar(gained(gains.at(i + j), in[i + j]));
      }
      L::store(out + i, L::load(shaped));
    } else {
      L::store(out + i, L::lowsOf(low, high));
    }
  }
  for (; i < n; ++i) out[i] = kernel.scalar(gained(gains.at(i), in[i]));
}

}  // namespace kqfx::shaper
