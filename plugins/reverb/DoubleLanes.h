#pragma once
// Four lanes of double arithmetic on four float lanes, in two encodings
// with the same operations per lane: PairedLanes holds them as two SSE2
// pairs, WideLanes as one AVX vector (only for code that runs where the
// processor has AVX). Every operation is the plain IEEE one of its lane,
// so a computation written once against either gives the same bits.
//
// Any thread; pure.

#include <immintrin.h>

namespace kqfx {

// Zero and subnormal lanes (all exponent bits clear) become +0.
inline __m128 flushLanes(__m128 value) {
  const __m128i exponent = _mm_and_si128(_mm_castps_si128(value), _mm_set1_epi32(0x7F800000));
  return _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(exponent, _mm_setzero_si128())), value);
}

// All-ones in every finite lane, zero in infinite and NaN ones.
inline __m128 finiteLanes(__m128 value) {
  return _mm_cmpord_ps(_mm_sub_ps(value, value), _mm_setzero_ps());
}

struct PairedLanes {
  struct Doubles {
    __m128d low;
    __m128d high;
  };

  static Doubles widen(__m128 value) {
    return {_mm_cvtps_pd(value), _mm_cvtps_pd(_mm_movehl_ps(value, value))};
  }
  static __m128 narrow(Doubles value) {
    return _mm_movelh_ps(_mm_cvtpd_ps(value.low), _mm_cvtpd_ps(value.high));
  }
  static Doubles broadcast(double value) {
    const __m128d v = _mm_set1_pd(value);
    return {v, v};
  }
  static Doubles lanes(double a, double b, double c, double d) {
    return {_mm_setr_pd(a, b), _mm_setr_pd(c, d)};
  }
  static Doubles add(Doubles a, Doubles b) {
    return {_mm_add_pd(a.low, b.low), _mm_add_pd(a.high, b.high)};
  }
  static Doubles sub(Doubles a, Doubles b) {
    return {_mm_sub_pd(a.low, b.low), _mm_sub_pd(a.high, b.high)};
  }
  static Doubles mul(Doubles a, Doubles b) {
    return {_mm_mul_pd(a.low, b.low), _mm_mul_pd(a.high, b.high)};
  }
  static Doubles div(Doubles a, Doubles b) {
    return {_mm_div_pd(a.low, b.low), _mm_div_pd(a.high, b.high)};
  }
};

// Doubles wraps the AVX vector in a struct: code compiled for the
// baseline may hold one and hand it on (a struct of that size always
// travels in memory between functions, whatever the instruction set, so
// the calling convention is the same on both sides); the arithmetic
// itself only runs inside functions compiled for AVX, where it is inlined.
struct WideLanes {
  struct Doubles {
    __m256d v;
  };

  __attribute__((target("avx"))) static Doubles widen(__m128 value) {
    return {_mm256_cvtps_pd(value)};
  }
  __attribute__((target("avx"))) static __m128 narrow(Doubles value) {
    return _mm256_cvtpd_ps(value.v);
  }
  __attribute__((target("avx"))) static Doubles broadcast(double value) {
    return {_mm256_set1_pd(value)};
  }
  __attribute__((target("avx"))) static Doubles lanes(double a, double b, double c, double d) {
    return {_mm256_setr_pd(a, b, c, d)};
  }
  __attribute__((target("avx"))) static Doubles add(Doubles a, Doubles b) {
    return {_mm256_add_pd(a.v, b.v)};
  }
  __attribute__((target("avx"))) static Doubles sub(Doubles a, Doubles b) {
    return {_mm256_sub_pd(a.v, b.v)};
  }
  __attribute__((target("avx"))) static Doubles mul(Doubles a, Doubles b) {
    return {_mm256_mul_pd(a.v, b.v)};
  }
  __attribute__((target("avx"))) static Doubles div(Doubles a, Doubles b) {
    return {_mm256_div_pd(a.v, b.v)};
  }
};

}  // namespace kqfx
