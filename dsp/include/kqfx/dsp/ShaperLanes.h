#pragma once
// The three curves on four samples side by side (in double lanes), and a
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
inline typename L::Quad absolute(typename L::Quad x) { return L::bitAndNot(L::broadcast(-0.0), x); }
// A double rounded to float and widened again.
template <class L>
inline typename L::Quad asFloat(typename L::Quad x) { return L::widen(L::narrow(x)); }
}  // namespace lanes_detail

// Each curve's settings, worked out once for a run of samples.
template <class L>
class SquelchLanes {
 public:
  SquelchLanes(float zeta, float blast)
      : zeta_(zeta),
        blast_(blast),
        k_(L::broadcast(clampAmount(zeta, 0.001f, 0.8f))),
        b_(L::broadcast(blast)),
        dry_(L::broadcast(1.0 - static_cast<double>(blast))),
        span_(L::broadcast(1.0 - static_cast<double>(clampAmount(zeta, 0.001f, 0.8f)))) {}

  float scalar(float x) const { return squelch(x, zeta_, blast_); }

  typename L::Floats lanes(typename L::Quad x, int& fallback) const {
    using namespace lanes_detail;
    fallback = 0;
    // min(FLT_MAX, 2|x|) with the operands in this order keeps a NaN.
    const typename L::Quad twice = L::min(L::broadcast(FLT_MAX), L::mul(L::broadcast(2.0), absolute<L>(x)));
    const typename L::Quad d = L::sub(asFloat<L>(twice), k_);
    const typename L::Quad q = L::div(d, span_);
    const typename L::Quad c = asFloat<L>(
        L::add(k_, L::div(d, L::add(L::broadcast(1.0), L::mul(q, q)))));
    const typename L::Floats y = L::narrow(L::add(L::mul(dry_, x), L::mul(b_, c)));
    // y > 1 gives 1, else y < -1 gives -1, NaN passes: min/max answer
    // their second operand on a failed comparison.
    return L::max(L::splatFloats(-1.0f), L::min(L::splatFloats(1.0f), y));
  }

 private:
  float zeta_, blast_;
  typename L::Quad k_, b_, dry_, span_;
};

template <class L>
class SquashLanes {
 public:
  SquashLanes(float zeta, float blast)
      : zeta_(zeta),
        blast_(blast),
        k_(L::broadcast(clampAmount(zeta, 0.001f, 0.99f))),
        kMinusOne_(L::broadcast(static_cast<double>(clampAmount(zeta, 0.001f, 0.99f)) - 1.0)),
        b_(L::broadcast(blast)),
        dry_(L::broadcast(1.0 - static_cast<double>(blast))) {}

  float scalar(float x) const { return squash(x, zeta_, blast_); }

  typename L::Floats lanes(typename L::Quad x, int& fallback) const {
    using namespace lanes_detail;
    fallback = 0;
    const typename L::Quad magnitude = absolute<L>(x);
    const typename L::Quad numerator = L::mul(x, L::add(magnitude, k_));
    const typename L::Quad denominator = L::add(
        L::add(L::mul(x, x), L::mul(kMinusOne_, magnitude)), L::broadcast(1.0));
    const typename L::Quad s = asFloat<L>(L::div(numerator, denominator));
    return L::narrow(L::add(L::mul(dry_, x), L::mul(b_, s)));
  }

 private:
  float zeta_, blast_;
  typename L::Quad k_, kMinusOne_, b_, dry_;
};

template <class L>
class SaturateLanes {
 public:
  SaturateLanes(const SineSegment& segment, float blast)
      : segment_(segment),
        blast_(blast),
        w_(L::broadcast(segment.w)),
        inv_(L::broadcast(segment.inv)),
        top_(L::broadcast(segment.e)),
        level_(L::broadcast(1.0 - static_cast<double>(segment.k))),
        b_(L::broadcast(blast)),
        dry_(L::broadcast(1.0 - static_cast<double>(blast))) {}

  float scalar(float x) const { return saturate(x, segment_, blast_); }

  typename L::Floats lanes(typename L::Quad x, int& fallback) const {
    const typename L::Quad high = L::greater(x, top_);
    const SineLanes<L> sine = sineTimes<L>(L::mul(w_, x), inv_);
    // Lanes above the top take 1 and need no sine.
    fallback = sine.fallback & ~L::signBits(high);
    const typename L::Quad m = L::bitOr(L::bitAnd(high, L::broadcast(1.0)),
                                L::bitAndNot(high, L::widen(sine.value)));
    return L::narrow(
        L::mul(L::add(L::mul(dry_, x), L::mul(b_, m)), level_));
  }

 private:
  SineSegment segment_;
  float blast_;
  typename L::Quad w_, inv_, top_, level_, b_, dry_;
};

// One gain factor for every sample of a run.
template <class L>
struct SameGain {
  float factor;
  float at(int32_t) const { return factor; }
  typename L::Quad lanes(int32_t) const { return L::broadcast(factor); }
};

// A gain factor per sample.
template <class L>
struct GainPerSample {
  const float* factors;
  float at(int32_t i) const { return factors[i]; }
  typename L::Quad lanes(int32_t i) const { return L::widen(L::load(factors + i)); }
};

// out[i] = curve(gained(gain i, in[i])) for i < n; `out` may be `in`.
template <class L, class Kernel, class Gains>
void shapeRun(const Kernel& kernel, const float* in, float* out, int32_t n, const Gains& gains) {
  using namespace lanes_detail;
  const typename L::Quad largest = L::broadcast(FLT_MAX);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const typename L::Quad product = L::mul(gains.lanes(i), L::widen(L::load(in + i)));
    // Products beyond the float range (and NaN) take the one-sample path.
    if (L::signBits(L::lessEqual(absolute<L>(product), largest)) != 15) [[unlikely]] {
      for (int32_t j = i; j < i + 4; ++j) out[j] = kernel.scalar(gained(gains.at(j), in[j]));
      continue;
    }
    int fallback = 0;
    const typename L::Floats shaped = kernel.lanes(asFloat<L>(product), fallback);
    if (fallback != 0) [[unlikely]] {
      alignas(16) float lanes[4];
      L::store(lanes, shaped);
      for (int32_t j = 0; j < 4; ++j) {
        if (fallback & (1 << j)) lanes[j] = kernel.scalar(gained(gains.at(i + j), in[i + j]));
      }
      L::store(out + i, L::load(lanes));
    } else {
      L::store(out + i, shaped);
    }
  }
  for (; i < n; ++i) out[i] = kernel.scalar(gained(gains.at(i), in[i]));
}

}  // namespace kqfx::shaper
