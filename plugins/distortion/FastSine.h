#pragma once
// sin(a) * scale rounded to a 32-bit float, for two doubles side by side,
// giving exactly the float that float(std::sin(a) * scale) gives, at a
// fraction of the cost. Pure functions; audio thread.
//
// How the result stays exact. A polynomial approximates sin(a) to within a
// known relative error; the product with `scale` is formed in double. Only
// the final rounding to float can tell the approximation from the library's
// sine, and it can only do so when the double product lies next to a point
// where that rounding changes. So each lane checks that the product moved
// down and up by a relative 2^-40 still rounds to the same float: if it
// does, every value in between, the library's product included, rounds to
// that float too (rounding is monotonic). A lane that fails the check, or
// whose argument lies outside the range the error bound covers, is marked
// for the caller to compute with std::sin instead.
//
// The error bound, for |a| <= 2^20:
// - n = a / pi rounded to an integer; r = a - n pi with pi split in three
//   parts (32 + 32 + 53 bits): n * kPi1 and n * kPi2 are exact (|n| < 2^19),
//   a - n * kPi1 is exact by Sterbenz's lemma while |r| stays below about
//   pi/2 (and where it does not, |r| is so large that its rounding costs
//   2^-53 |r|), the two later subtractions add at most 2^-53 |r| each, and
//   the third part adds an absolute 2^-95 at most. Lanes with n != 0 and |r| < 2^-24
//   (a within 2^-24 of a multiple of pi other than 0) fall back, so the
//   absolute part stays below 2^-70 |r|; with n = 0, r = a exactly.
// - sin(r) on |r| <= 1.6 by its Taylor polynomial to degree 19: the first
//   omitted term is below 1.6^21 / 21! < 2^-51 relative to sin(r); the
//   rounded coefficients and Horner's roundings (the bracket stays within
//   0.57..1) add a few 2^-53.
// - A relative error e in r moves sin(r) by at most e relative, because
//   |r cot r| <= 1 there.
// Together the approximation is within 2^-48 of sin(a), relative; the
// product with `scale` adds 2^-53, and the library's sine is within one
// unit in the last place (2^-52). That is far inside the 2^-40 of the
// check, which leaves room for the rounding of the two checking products.

#include <emmintrin.h>

#include <cmath>

namespace kqfx::shaper {

struct SineLanes {
  __m128 value;   // the two floats in the low lanes
  int fallback;   // bit j set: lane j must be computed with std::sin
};

namespace sine_detail {
inline constexpr double kPi1 = 0x1.921fb544p+1;            // pi to 32 bits
inline constexpr double kPi2 = 0x1.0b4611a6p-33;           // the next 32 bits
inline constexpr double kPi3 = 0x1.3198a2e037073p-68;      // the rest
inline constexpr double kInvPi = 0x1.45f306dc9c883p-2;     // 1 / pi
inline constexpr double kShifter = 0x1.8p52;               // rounds to integers
inline constexpr double kMaxArgument = 0x1p20;
inline constexpr double kMaxReduced = 1.6;
inline constexpr double kMinReduced = 0x1p-24;
inline constexpr double kCheck = 0x1p-40;

// 1 / (2j + 1)! with alternating signs, from x^3 to x^19.
inline constexpr double kTaylor[] = {
    -1.0 / 6.0,
    1.0 / 120.0,
    -1.0 / 5040.0,
    1.0 / 362880.0,
    -1.0 / 39916800.0,
    1.0 / 6227020800.0,
    -1.0 / 1307674368000.0,
    1.0 / 355687428096000.0,
    -1.0 / 121645100408832000.0,
};

inline __m128d absolute(__m128d x) {
  return _mm_andnot_pd(_mm_set1_pd(-0.0), x);
}
}  // namespace sine_detail

// float(sin(a) * scale) in each lane, or a fallback mark.
inline SineLanes sineTimes(__m128d a, __m128d scale) {
  using namespace sine_detail;
  const __m128d inRange = _mm_cmple_pd(absolute(a), _mm_set1_pd(kMaxArgument));
  // n = round(a / pi); the shifter leaves n's parity in the lowest bit.
  const __m128d shifted = _mm_add_pd(_mm_mul_pd(a, _mm_set1_pd(kInvPi)), _mm_set1_pd(kShifter));
  const __m128d n = _mm_sub_pd(shifted, _mm_set1_pd(kShifter));
  const __m128d odd = _mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(shifted), 63));
  __m128d r = _mm_sub_pd(a, _mm_mul_pd(n, _mm_set1_pd(kPi1)));
  r = _mm_sub_pd(r, _mm_mul_pd(n, _mm_set1_pd(kPi2)));
  r = _mm_sub_pd(r, _mm_mul_pd(n, _mm_set1_pd(kPi3)));
  const __m128d rAbs = absolute(r);
  const __m128d reducedOk = _mm_and_pd(
      _mm_cmple_pd(rAbs, _mm_set1_pd(kMaxReduced)),
      _mm_or_pd(_mm_cmpeq_pd(n, _mm_setzero_pd()), _mm_cmpge_pd(rAbs, _mm_set1_pd(kMinReduced))));

  // r (1 + r^2 (c3 + r^2 (c5 + ...))): a zero r keeps its sign, as the
  // library's sine does.
  const __m128d r2 = _mm_mul_pd(r, r);
  __m128d p = _mm_set1_pd(kTaylor[8]);
  for (int j = 7; j >= 0; --j) p = _mm_add_pd(_mm_mul_pd(p, r2), _mm_set1_pd(kTaylor[j]));
  p = _mm_add_pd(_mm_mul_pd(p, r2), _mm_set1_pd(1.0));
  const __m128d sine = _mm_xor_pd(_mm_mul_pd(r, p), odd);

  const __m128d product = _mm_mul_pd(sine, scale);
  const __m128 below = _mm_cvtpd_ps(_mm_mul_pd(product, _mm_set1_pd(1.0 - kCheck)));
  const __m128 above = _mm_cvtpd_ps(_mm_mul_pd(product, _mm_set1_pd(1.0 + kCheck)));
  const int same = _mm_movemask_ps(_mm_cmpeq_ps(below, above)) & 3;
  const int sure = same & _mm_movemask_pd(_mm_and_pd(inRange, reducedOk));
  return {_mm_cvtpd_ps(product), ~sure & 3};
}

// One value through the lanes, with the fallback taken where marked.
inline float sineTimes(double a, double scale) {
  const SineLanes lanes = sineTimes(_mm_set1_pd(a), _mm_set1_pd(scale));
  if (lanes.fallback & 1) return static_cast<float>(std::sin(a) * scale);
  return _mm_cvtss_f32(lanes.value);
}

// True when the lanes answer for (a, scale) without the library's sine.
inline bool sineTimesIsSure(double a, double scale) {
  return (sineTimes(_mm_set1_pd(a), _mm_set1_pd(scale)).fallback & 1) == 0;
}

}  // namespace kqfx::shaper
