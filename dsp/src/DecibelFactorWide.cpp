// The wide path of parameterGainFactors: four double lanes of AVX2 with
// the powers of two gathered from the table. Only on x86, and only called
// where the processor has AVX2 (LanePath.h).
#include "kqfx/dsp/DecibelFactor.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace kqfx {

using namespace decibel_factor;

namespace {

// The answer for one value the lanes left to pow, or for the values after
// the last whole group: float(float(x - 0.5) * range) decibels.
inline float oneFactor(float x, float range, bool zeroIsSilence) {
  if (zeroIsSilence && x == 0.0f) return 0.0f;
  return decibelFactor((x - 0.5f) * range);
}

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
      // `out` may be `x`: the values come back from the register.
      alignas(32) float values[8];
      _mm256_store_ps(values, xs);
      for (int lane = 0; lane < 8; ++lane) {
        if ((lanes >> lane) & 1) out[i + lane] = oneFactor(values[lane], range, zeroIsSilence);
      }
    }
  }
  for (; i < n; ++i) out[i] = oneFactor(x[i], range, zeroIsSilence);
}

}  // namespace kqfx

#else

namespace kqfx {
// No wide path on this processor: wideLanesAvailable() is false.
void parameterGainFactorsWide(const float* x, float* out, int32_t n, float range,
                              bool zeroIsSilence) {
  parameterGainFactorsBaseline(x, out, n, range, zeroIsSilence);
}
}  // namespace kqfx

#endif
