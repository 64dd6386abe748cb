#pragma once
// 10^(d / 10) for a float d, rounded to a float: bit for bit the float of
// static_cast<float>(std::pow(10.0, static_cast<double>(d) / 10.0)), in a
// fraction of pow's time. Pure functions; any thread; no allocation.
//
// How it stays exact. A fast approximation v of 10^(d/10) is computed in
// doubles (below). Its relative error against the exact 10^(d/10) is below
// 2^-48 for |d| <= 100:
//   - the argument reduction d * 32 * log2(10) / 10 = k + r uses a 29-bit
//     high part of the constant, so d * high is exact (24 + 29 bits), and
//     a - k is exact; the low part adds an error below 2^-70;
//   - 2^(r/32) for |r| <= 0.5 by a degree-5 Taylor polynomial: truncation
//     below 2^-48.7, evaluation about 2^-52;
//   - the table entry 2^(j/32) and the final product: 2^-53 each.
// libm answers for the double y = d / 10 rounded, which differs from d/10
// by half an ulp of y (|y| <= 10: at most 2^-50), moving 10^y by at most
// ln(10) * 2^-50 < 2^-48.7 relative; and pow itself is within 1 ulp
// (2^-52 relative). So v and libm's double p are less than 2^-47 * v
// apart. Rounding a double to a float changes at the midpoints between
// adjacent floats, where the 29 low mantissa bits of the double are
// exactly 2^28. Whenever those bits of v are more than 2^13 ulps of v
// away from 2^28, v is at least 2^13 * 2^-53 * v = 2^-40 * v from every
// midpoint, far more than its distance to p, so v and p lie between the
// same two midpoints and round to the same float. Otherwise, and for
// |d| > 100, NaN or infinite d, the answer is pow's own.

#include <bit>
#include <cmath>
#include <cstdint>

#include "kqfx/dsp/LanePath.h"

namespace kqfx {
namespace decibel_factor {

// Inputs beyond this many decibels go straight to pow.
inline constexpr float kFastRange = 100.0f;

// 32 * log2(10) / 10 in two parts: 29 significant bits, and the rest.
inline constexpr double kScaleHigh = 0x1.542a5a1p+3;
inline constexpr double kScaleLow = 0x1.70e2d5983a899p-28;
// Adding and subtracting 1.5 * 2^52 rounds a double below 2^31 to an
// integer, which then sits in the low 32 bits of the sum.
inline constexpr double kRoundingShift = 0x1.8p52;
// Taylor coefficients of 2^(r/32) = e^(r ln2 / 32): (ln2/32)^i / i!.
inline constexpr double kC1 = 0x1.62e42fefa39efp-6;
inline constexpr double kC2 = 0x1.ebfbdff82c58fp-13;
inline constexpr double kC3 = 0x1.c6b08d704a0c0p-20;
inline constexpr double kC4 = 0x1.3b2ab6fba4e77p-27;
inline constexpr double kC5 = 0x1.5d87fe78a6731p-35;
// 2^(j/32), j = 0..31, each the double nearest the exact value.
alignas(64) inline constexpr double kPowersOfTwo[32] = {
    0x1.0000000000000p+0, 0x1.059b0d3158574p+0, 0x1.0b5586cf9890fp+0, 0x1.11301d0125b51p+0,
    0x1.172b83c7d517bp+0, 0x1.1d4873168b9aap+0, 0x1.2387a6e756238p+0, 0x1.29e9df51fdee1p+0,
    0x1.306fe0a31b715p+0, 0x1.371a7373aa9cbp+0, 0x1.3dea64c123422p+0, 0x1.44e086061892dp+0,
    0x1.4bfdad5362a27p+0, 0x1.5342b569d4f82p+0, 0x1.5ab07dd485429p+0, 0x1.6247eb03a5585p+0,
    0x1.6a09e667f3bcdp+0, 0x1.71f75e8ec5f74p+0, 0x1.7a11473eb0187p+0, 0x1.82589994cce13p+0,
    0x1.8ace5422aa0dbp+0, 0x1.93737b0cdc5e5p+0, 0x1.9c49182a3f090p+0, 0x1.a5503b23e255dp+0,
    0x1.ae89f995ad3adp+0, 0x1.b7f76f2fb5e47p+0, 0x1.c199bdd85529cp+0, 0x1.cb720dcef9069p+0,
    0x1.d5818dcfba487p+0, 0x1.dfc97337b9b5fp+0, 0x1.ea4afa2a490dap+0, 0x1.f50765b6e4540p+0};

// The band around a float rounding midpoint where the fast value is not
// trusted: low 29 mantissa bits within 2^28 +- 2^13. Shifting by
// kBandOffset and masking maps the band onto 0..kBandWidth.
inline constexpr uint32_t kLowBitsMask = (1u << 29) - 1u;
inline constexpr uint32_t kBandOffset = (1u << 13) - (1u << 28);
inline constexpr uint32_t kBandWidth = 1u << 14;

// The libm law itself.
inline float exactFactor(float d) {
  return static_cast<float>(std::pow(10.0, static_cast<double>(d) / 10.0));
}

// The fast approximation of 10^(d/10); only for |d| <= kFastRange.
inline double approximateFactor(float d) {
  const double dd = static_cast<double>(d);
  const double a = dd * kScaleHigh;
  const double shifted = a + kRoundingShift;
  const double k = shifted - kRoundingShift;
  const double r = (a - k) + dd * kScaleLow;
  const auto index = static_cast<int32_t>(static_cast<uint32_t>(std::bit_cast<uint64_t>(shifted)));
  const uint64_t exponent = static_cast<uint64_t>(static_cast<int64_t>(index >> 5)) << 52;
  const double scale =
      std::bit_cast<double>(std::bit_cast<uint64_t>(kPowersOfTwo[index & 31]) + exponent);
  const double p = 1.0 + r * (kC1 + r * (kC2 + r * (kC3 + r * (kC4 + r * kC5))));
  return scale * p;
}

// True when rounding v to a float might go either way within the error
// bound: v is within 2^13 of its ulps of a midpoint between two floats.
inline bool nearFloatMidpoint(double v) {
  const auto low = static_cast<uint32_t>(std::bit_cast<uint64_t>(v));
  return ((low + kBandOffset) & kLowBitsMask) <= kBandWidth;
}

// The fast value where rounding it cannot differ from libm's, else libm's.
// For |d| <= kFastRange, `approximate(d)` must differ from libm's double
// by less than 2^13 of its own ulps (about 2^-40 relative); the
// approximateFactor above stays within 2^-47.
template <class Approximation>
inline float checkedFactor(float d, const Approximation& approximate) {
  if (std::fabs(d) <= kFastRange) {
    const double v = approximate(d);
    if (!nearFloatMidpoint(v)) return static_cast<float>(v);
  }
  return exactFactor(d);
}

struct FastApproximation {
  double operator()(float d) const { return approximateFactor(d); }
};

}  // namespace decibel_factor

// float(pow(10.0, double(d) / 10.0)), exactly.
inline float decibelFactor(float d) {
  return decibel_factor::checkedFactor(d, decibel_factor::FastApproximation{});
}

// For n parameter values x[i]: out[i] = decibelFactor(float(float(x - 0.5)
// * range)) (range a small integer), or 0 where zeroIsSilence and x[i] is
// zero. Several values side by side on the lane path given; the same
// floats as one call per value on every path. Audio thread safe: no
// allocation, no locks, no system calls. `x` and `out` may be the same
// array.
void parameterGainFactors(LanePath path, const float* x, float* out, int32_t n, float range,
                          bool zeroIsSilence);

// The same on one path each (the wide one only where wideLanesAvailable()).
void parameterGainFactorsScalar(const float* x, float* out, int32_t n, float range,
                                bool zeroIsSilence);
void parameterGainFactorsBaseline(const float* x, float* out, int32_t n, float range,
                                  bool zeroIsSilence);
void parameterGainFactorsWide(const float* x, float* out, int32_t n, float range,
                              bool zeroIsSilence);

}  // namespace kqfx
