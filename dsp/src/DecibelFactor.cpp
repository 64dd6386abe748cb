#include "kqfx/dsp/DecibelFactor.h"

#include <immintrin.h>

#include <cstddef>

namespace kqfx {
namespace {

using namespace decibel_factor;

// The decibels of a parameter value: float(float(x - 0.5) * range) in the
// law's doubles. Here in float arithmetic: a double holds more than twice
// a float's 24 bits plus two, so rounding the exact sum or product first
// to a double and then to a float gives the float nearest the exact result,
// which is what one float operation gives.
inline float decibelsOf(float x, float range) { return (x - 0.5f) * range; }

// The answer for one value the side-by-side path left to pow, or for the
// values after the last whole group.
inline float oneFactor(float x, float range, bool zeroIsSilence) {
  if (zeroIsSilence && x == 0.0f) return 0.0f;
  return decibelFactor(decibelsOf(x, range));
}

// Two lanes of approximateFactor: the same operations in the same order.
inline __m128d approximate2(__m128d d) {
  const __m128d shift = _mm_set1_pd(kRoundingShift);
  const __m128d a = _mm_mul_pd(d, _mm_set1_pd(kScaleHigh));
  const __m128d shifted = _mm_add_pd(a, shift);
  const __m128d k = _mm_sub_pd(shifted, shift);
  const __m128d r = _mm_add_pd(_mm_sub_pd(a, k), _mm_mul_pd(d, _mm_set1_pd(kScaleLow)));
  // Each lane's integer is the low 32-bit word of its 64 bits.
  const __m128i bits = _mm_castpd_si128(shifted);
  const int index0 = _mm_cvtsi128_si32(bits) & 31;
  const int index1 = _mm_cvtsi128_si32(_mm_shuffle_epi32(bits, 2)) & 31;
  const __m128d table = _mm_loadh_pd(_mm_load_sd(&kPowersOfTwo[index0]), &kPowersOfTwo[index1]);
  // (index >> 5) into the exponent field: the shift by 52 keeps only the
  // low 12 bits of the arithmetic shift's result, as the scalar code does.
  const __m128i exponent = _mm_slli_epi64(_mm_srai_epi32(bits, 5), 52);
  const __m128d scale = _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(table), exponent));
  __m128d p = _mm_add_pd(_mm_set1_pd(kC4), _mm_mul_pd(r, _mm_set1_pd(kC5)));
  p = _mm_add_pd(_mm_set1_pd(kC3), _mm_mul_pd(r, p));
  p = _mm_add_pd(_mm_set1_pd(kC2), _mm_mul_pd(r, p));
  p = _mm_add_pd(_mm_set1_pd(kC1), _mm_mul_pd(r, p));
  p = _mm_add_pd(_mm_set1_pd(1.0), _mm_mul_pd(r, p));
  return _mm_mul_pd(scale, p);
}

// Lanes (bits 0 and 2 of a float mask) whose value is near a midpoint.
inline int nearMidpoint2(__m128d v) {
  const __m128i low = _mm_and_si128(
      _mm_add_epi32(_mm_castpd_si128(v), _mm_set1_epi32(static_cast<int>(kBandOffset))),
      _mm_set1_epi32(static_cast<int>(kLowBitsMask)));
  const __m128i near = _mm_cmplt_epi32(low, _mm_set1_epi32(static_cast<int>(kBandWidth + 1)));
  const int mask = _mm_movemask_ps(_mm_castsi128_ps(near));
  return (mask & 1) | ((mask >> 1) & 2);
}

// Lanes whose decibels are outside the fast range or not a number.
inline int outOfRange4(__m128 d) {
  const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), d);
  return ~_mm_movemask_ps(_mm_cmple_ps(magnitude, _mm_set1_ps(kFastRange))) & 15;
}

// Puts pow's answers into the lanes the fast path did not trust.
inline void mendLanes(int lanes, __m128 x, __m128 d, float* out, bool zeroIsSilence) {
  alignas(16) float xs[4];
  alignas(16) float ds[4];
  _mm_store_ps(xs, x);
  _mm_store_ps(ds, d);
  for (int lane = 0; lane < 4; ++lane) {
    if ((lanes >> lane) & 1) {
      out[lane] = zeroIsSilence && xs[lane] == 0.0f ? 0.0f : exactFactor(ds[lane]);
    }
  }
}

}  // namespace

void parameterGainFactorsBaseline(const float* x, float* out, int32_t n, float range,
                                  bool zeroIsSilence) {
  const __m128 half = _mm_set1_ps(0.5f);
  const __m128 scale = _mm_set1_ps(range);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128 xs = _mm_loadu_ps(x + i);
    const __m128 d = _mm_mul_ps(_mm_sub_ps(xs, half), scale);
    const __m128d low = approximate2(_mm_cvtps_pd(d));
    const __m128d high = approximate2(_mm_cvtps_pd(_mm_movehl_ps(d, d)));
    __m128 factors = _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
    if (zeroIsSilence) factors = _mm_andnot_ps(_mm_cmpeq_ps(xs, _mm_setzero_ps()), factors);
    const int mend = outOfRange4(d) | nearMidpoint2(low) | (nearMidpoint2(high) << 2);
    _mm_storeu_ps(out + i, factors);
    if (mend != 0) [[unlikely]] {
      mendLanes(mend, xs, d, out + i, zeroIsSilence);
    }
  }
  for (; i < n; ++i) out[i] = oneFactor(x[i], range, zeroIsSilence);
}

bool wideGainFactorsAvailable() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

namespace {

// Four lanes of approximateFactor: the same operations in the same order.
__attribute__((target("avx2"))) inline __m256d approximate4(__m256d d) {
  const __m256d shift = _mm256_set1_pd(kRoundingShift);
  const __m256d a = _mm256_mul_pd(d, _mm256_set1_pd(kScaleHigh));
  const __m256d shifted = _mm256_add_pd(a, shift);
  const __m256d k = _mm256_sub_pd(shifted, shift);
  const __m256d r =
      _mm256_add_pd(_mm256_sub_pd(a, k), _mm256_mul_pd(d, _mm256_set1_pd(kScaleLow)));
  const __m256i bits = _mm256_castpd_si256(shifted);
  const __m128i indices = _mm_and_si128(
      _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(bits, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))),
      _mm_set1_epi32(31));
  const __m256d table = _mm256_mask_i32gather_pd(
      _mm256_setzero_pd(), kPowersOfTwo, indices,
      _mm256_castsi256_pd(_mm256_set1_epi64x(-1)), 8);
  const __m256i exponent = _mm256_slli_epi64(_mm256_srai_epi32(bits, 5), 52);
  const __m256d scale =
      _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(table), exponent));
  __m256d p = _mm256_add_pd(_mm256_set1_pd(kC4), _mm256_mul_pd(r, _mm256_set1_pd(kC5)));
  p = _mm256_add_pd(_mm256_set1_pd(kC3), _mm256_mul_pd(r, p));
  p = _mm256_add_pd(_mm256_set1_pd(kC2), _mm256_mul_pd(r, p));
  p = _mm256_add_pd(_mm256_set1_pd(kC1), _mm256_mul_pd(r, p));
  p = _mm256_add_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(r, p));
  return _mm256_mul_pd(scale, p);
}

// All ones in the 32-bit words whose double's low word puts it near a
// midpoint (only the even words count).
__attribute__((target("avx2"))) inline __m256i nearMidpoint4(__m256d v) {
  const __m256i low = _mm256_and_si256(
      _mm256_add_epi32(_mm256_castpd_si256(v), _mm256_set1_epi32(static_cast<int>(kBandOffset))),
      _mm256_set1_epi32(static_cast<int>(kLowBitsMask)));
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(kBandWidth + 1)), low);
}

// The lanes (bits 0..3) set in nearMidpoint4's answer.
inline int midpointLanes(int wordMask) {
  return (wordMask & 1) | ((wordMask >> 1) & 2) | ((wordMask >> 2) & 4) | ((wordMask >> 3) & 8);
}

}  // namespace

__attribute__((target("avx2"))) void parameterGainFactorsWide(const float* x, float* out,
                                                              int32_t n, float range,
                                                              bool zeroIsSilence) {
  const __m256 half = _mm256_set1_ps(0.5f);
  const __m256 scale = _mm256_set1_ps(range);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256 xs = _mm256_loadu_ps(x + i);
    const __m256 d = _mm256_mul_ps(_mm256_sub_ps(xs, half), scale);
    const __m256d low = approximate4(_mm256_cvtps_pd(_mm256_castps256_ps128(d)));
    const __m256d high = approximate4(_mm256_cvtps_pd(_mm256_extractf128_ps(d, 1)));
    __m256 factors = _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low));
    if (zeroIsSilence) {
      factors = _mm256_andnot_ps(_mm256_cmp_ps(xs, _mm256_setzero_ps(), _CMP_EQ_OQ), factors);
    }
    const __m256 magnitude = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), d);
    const __m256i outOfRange = _mm256_castps_si256(
        _mm256_cmp_ps(magnitude, _mm256_set1_ps(kFastRange), _CMP_NLE_UQ));
    const __m256i nearLow = nearMidpoint4(low);
    const __m256i nearHigh = nearMidpoint4(high);
    _mm256_storeu_ps(out + i, factors);
    const __m256i doubtful = _mm256_or_si256(
        outOfRange, _mm256_and_si256(_mm256_or_si256(nearLow, nearHigh), _mm256_set1_epi64x(0xffffffff)));
    if (!_mm256_testz_si256(doubtful, doubtful)) [[unlikely]] {
      const int lanes =
          _mm256_movemask_ps(_mm256_castsi256_ps(outOfRange)) |
          midpointLanes(_mm256_movemask_ps(_mm256_castsi256_ps(nearLow))) |
          (midpointLanes(_mm256_movemask_ps(_mm256_castsi256_ps(nearHigh))) << 4);
      mendLanes(lanes & 15, _mm256_castps256_ps128(xs), _mm256_castps256_ps128(d), out + i,
                zeroIsSilence);
      mendLanes(lanes >> 4, _mm256_extractf128_ps(xs, 1), _mm256_extractf128_ps(d, 1), out + i + 4,
                zeroIsSilence);
    }
  }
  for (; i < n; ++i) out[i] = oneFactor(x[i], range, zeroIsSilence);
}

void parameterGainFactors(const float* x, float* out, int32_t n, float range,
                          bool zeroIsSilence) {
  if (wideGainFactorsAvailable()) {
    parameterGainFactorsWide(x, out, n, range, zeroIsSilence);
  } else {
    parameterGainFactorsBaseline(x, out, n, range, zeroIsSilence);
  }
}

}  // namespace kqfx
