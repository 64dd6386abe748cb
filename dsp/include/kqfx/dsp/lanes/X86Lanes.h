#pragma once
// The x86 lane families (see Lanes.h): Sse2Lanes on the baseline vector
// instructions every x86-64 processor has, and WideLanes, whose Quad is
// one AVX register. Included only on x86. Pure functions; any thread.

#include <immintrin.h>

#include <cstdint>

namespace kqfx {

struct Sse2Lanes {
  using Floats = __m128;
  using Doubles = __m128d;
  struct Quad {
    __m128d low;
    __m128d high;
  };

  // ---- four floats ----
  static Floats load(const float* p) { return _mm_loadu_ps(p); }
  static void store(float* p, Floats a) { _mm_storeu_ps(p, a); }
  static Floats loadFirst(const float* p) { return _mm_load_ss(p); }
  static void storeFirst(float* p, Floats a) { _mm_store_ss(p, a); }
  static Floats loadPair(const float* p) {
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
  }
  static void storePair(float* p, Floats a) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(a));
  }
  static Floats setFloats(float a, float b, float c, float d) { return _mm_setr_ps(a, b, c, d); }
  static Floats splatFloats(float a) { return _mm_set1_ps(a); }
  static Floats zeroFloats() { return _mm_setzero_ps(); }
  static Floats maskFloats(bool on) { return _mm_castsi128_ps(_mm_set1_epi32(on ? -1 : 0)); }
  static float lane(Floats a, int i) {
    switch (i) {
      case 0: return _mm_cvtss_f32(a);
      case 1: return _mm_cvtss_f32(_mm_shuffle_ps(a, a, 1));
      case 2: return _mm_cvtss_f32(_mm_movehl_ps(a, a));
      default: return _mm_cvtss_f32(_mm_shuffle_ps(a, a, 3));
    }
  }
  static Floats add(Floats a, Floats b) { return _mm_add_ps(a, b); }
  static Floats sub(Floats a, Floats b) { return _mm_sub_ps(a, b); }
  static Floats mul(Floats a, Floats b) { return _mm_mul_ps(a, b); }
  static Floats min(Floats a, Floats b) { return _mm_min_ps(a, b); }
  static Floats max(Floats a, Floats b) { return _mm_max_ps(a, b); }
  static Floats bitAnd(Floats a, Floats b) { return _mm_and_ps(a, b); }
  static Floats bitOr(Floats a, Floats b) { return _mm_or_ps(a, b); }
  static Floats bitXor(Floats a, Floats b) { return _mm_xor_ps(a, b); }
  static Floats bitAndNot(Floats a, Floats b) { return _mm_andnot_ps(a, b); }
  static Floats greater(Floats a, Floats b) { return _mm_cmpgt_ps(a, b); }
  static Floats less(Floats a, Floats b) { return _mm_cmplt_ps(a, b); }
  static Floats lessEqual(Floats a, Floats b) { return _mm_cmple_ps(a, b); }
  static Floats equal(Floats a, Floats b) { return _mm_cmpeq_ps(a, b); }
  static Floats ordered(Floats a, Floats b) { return _mm_cmpord_ps(a, b); }
  static int signBits(Floats a) { return _mm_movemask_ps(a); }
  static Floats highOf(Floats a, Floats b) { return _mm_movehl_ps(a, b); }
  static Floats lowsOf(Floats a, Floats b) { return _mm_movelh_ps(a, b); }
  static Floats interleaveLow(Floats a, Floats b) { return _mm_unpacklo_ps(a, b); }
  static void transpose(Floats& r0, Floats& r1, Floats& r2, Floats& r3) {
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  }
  static Floats flushSubnormals(Floats a) {
    const __m128i exponent = _mm_and_si128(_mm_castps_si128(a), _mm_set1_epi32(0x7F800000));
    return _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(exponent, _mm_setzero_si128())), a);
  }
  static Floats finiteMask(Floats a) { return _mm_cmpord_ps(_mm_sub_ps(a, a), _mm_setzero_ps()); }

  // ---- two doubles ----
  static Doubles setDoubles(double a, double b) { return _mm_setr_pd(a, b); }
  static Doubles splatDoubles(double a) { return _mm_set1_pd(a); }
  static Doubles zeroDoubles() { return _mm_setzero_pd(); }
  static Doubles maskDoubles(bool first, bool second) {
    const int a = first ? -1 : 0;
    const int b = second ? -1 : 0;
    return _mm_castsi128_pd(_mm_set_epi32(b, b, a, a));
  }
  static double lane(Doubles a, int i) {
    return i == 0 ? _mm_cvtsd_f64(a) : _mm_cvtsd_f64(_mm_unpackhi_pd(a, a));
  }
  static int32_t lowWord(Doubles a, int i) {
    const __m128i bits = _mm_castpd_si128(a);
    return i == 0 ? _mm_cvtsi128_si32(bits) : _mm_cvtsi128_si32(_mm_shuffle_epi32(bits, 2));
  }
  static Doubles add(Doubles a, Doubles b) { return _mm_add_pd(a, b); }
  static Doubles sub(Doubles a, Doubles b) { return _mm_sub_pd(a, b); }
  static Doubles mul(Doubles a, Doubles b) { return _mm_mul_pd(a, b); }
  static Doubles div(Doubles a, Doubles b) { return _mm_div_pd(a, b); }
  static Doubles min(Doubles a, Doubles b) { return _mm_min_pd(a, b); }
  static Doubles bitAnd(Doubles a, Doubles b) { return _mm_and_pd(a, b); }
  static Doubles bitOr(Doubles a, Doubles b) { return _mm_or_pd(a, b); }
  static Doubles bitXor(Doubles a, Doubles b) { return _mm_xor_pd(a, b); }
  static Doubles bitAndNot(Doubles a, Doubles b) { return _mm_andnot_pd(a, b); }
  static Doubles greater(Doubles a, Doubles b) { return _mm_cmpgt_pd(a, b); }
  static Doubles greaterEqual(Doubles a, Doubles b) { return _mm_cmpge_pd(a, b); }
  static Doubles lessEqual(Doubles a, Doubles b) { return _mm_cmple_pd(a, b); }
  static Doubles equal(Doubles a, Doubles b) { return _mm_cmpeq_pd(a, b); }
  static Doubles unordered(Doubles a, Doubles b) { return _mm_cmpunord_pd(a, b); }
  static int signBits(Doubles a) { return _mm_movemask_pd(a); }
  static Doubles shiftBitsLeft(Doubles a, int count) {
    return _mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(a), count));
  }
  static Doubles widenLow(Floats a) { return _mm_cvtps_pd(a); }
  static Floats narrow(Doubles a) { return _mm_cvtpd_ps(a); }
  static Doubles swap(Doubles a) { return _mm_shuffle_pd(a, a, 1); }
  static Doubles interleaveLow(Doubles a, Doubles b) { return _mm_unpacklo_pd(a, b); }
  static Doubles interleaveHigh(Doubles a, Doubles b) { return _mm_unpackhi_pd(a, b); }

  // ---- four doubles, as two pairs ----
  static Quad widen(Floats a) { return {_mm_cvtps_pd(a), _mm_cvtps_pd(_mm_movehl_ps(a, a))}; }
  static Floats narrow(Quad a) { return _mm_movelh_ps(_mm_cvtpd_ps(a.low), _mm_cvtpd_ps(a.high)); }
  static Quad broadcast(double a) {
    const __m128d v = _mm_set1_pd(a);
    return {v, v};
  }
  static Quad lanes(double a, double b, double c, double d) {
    return {_mm_setr_pd(a, b), _mm_setr_pd(c, d)};
  }
  static Quad add(Quad a, Quad b) { return {_mm_add_pd(a.low, b.low), _mm_add_pd(a.high, b.high)}; }
  static Quad sub(Quad a, Quad b) { return {_mm_sub_pd(a.low, b.low), _mm_sub_pd(a.high, b.high)}; }
  static Quad mul(Quad a, Quad b) { return {_mm_mul_pd(a.low, b.low), _mm_mul_pd(a.high, b.high)}; }
  static Quad div(Quad a, Quad b) { return {_mm_div_pd(a.low, b.low), _mm_div_pd(a.high, b.high)}; }
  static Quad min(Quad a, Quad b) { return {_mm_min_pd(a.low, b.low), _mm_min_pd(a.high, b.high)}; }
  static Quad bitAnd(Quad a, Quad b) { return {_mm_and_pd(a.low, b.low), _mm_and_pd(a.high, b.high)}; }
  static Quad bitOr(Quad a, Quad b) { return {_mm_or_pd(a.low, b.low), _mm_or_pd(a.high, b.high)}; }
  static Quad bitXor(Quad a, Quad b) { return {_mm_xor_pd(a.low, b.low), _mm_xor_pd(a.high, b.high)}; }
  static Quad bitAndNot(Quad a, Quad b) {
    return {_mm_andnot_pd(a.low, b.low), _mm_andnot_pd(a.high, b.high)};
  }
  static Quad greater(Quad a, Quad b) { return {_mm_cmpgt_pd(a.low, b.low), _mm_cmpgt_pd(a.high, b.high)}; }
  static Quad greaterEqual(Quad a, Quad b) {
    return {_mm_cmpge_pd(a.low, b.low), _mm_cmpge_pd(a.high, b.high)};
  }
  static Quad lessEqual(Quad a, Quad b) { return {_mm_cmple_pd(a.low, b.low), _mm_cmple_pd(a.high, b.high)}; }
  static Quad equal(Quad a, Quad b) { return {_mm_cmpeq_pd(a.low, b.low), _mm_cmpeq_pd(a.high, b.high)}; }
  static int signBits(Quad a) { return _mm_movemask_pd(a.low) | _mm_movemask_pd(a.high) << 2; }
  static Quad shiftBitsLeft(Quad a, int count) { return {shiftBitsLeft(a.low, count), shiftBitsLeft(a.high, count)}; }
};

// Quad wraps the AVX vector in a struct: code compiled for the baseline
// may hold one and hand it on (a struct of that size always travels in
// memory between functions, whatever the instruction set, so the calling
// convention is the same on both sides); the arithmetic itself only runs
// inside functions compiled for AVX, where it is inlined.
struct WideLanes : Sse2Lanes {
  struct Quad {
    __m256d v;
  };
  using Sse2Lanes::add;
  using Sse2Lanes::div;
  using Sse2Lanes::mul;
  using Sse2Lanes::narrow;
  using Sse2Lanes::sub;
  using Sse2Lanes::min;
  using Sse2Lanes::bitAnd;
  using Sse2Lanes::bitOr;
  using Sse2Lanes::bitXor;
  using Sse2Lanes::bitAndNot;
  using Sse2Lanes::greater;
  using Sse2Lanes::greaterEqual;
  using Sse2Lanes::lessEqual;
  using Sse2Lanes::equal;
  using Sse2Lanes::signBits;
  using Sse2Lanes::shiftBitsLeft;

  __attribute__((target("avx"))) static Quad widen(Floats a) { return {_mm256_cvtps_pd(a)}; }
  __attribute__((target("avx"))) static Floats narrow(Quad a) { return _mm256_cvtpd_ps(a.v); }
  __attribute__((target("avx"))) static Quad broadcast(double a) { return {_mm256_set1_pd(a)}; }
  __attribute__((target("avx"))) static Quad lanes(double a, double b, double c, double d) {
    return {_mm256_setr_pd(a, b, c, d)};
  }
  __attribute__((target("avx"))) static Quad add(Quad a, Quad b) { return {_mm256_add_pd(a.v, b.v)}; }
  __attribute__((target("avx"))) static Quad sub(Quad a, Quad b) { return {_mm256_sub_pd(a.v, b.v)}; }
  __attribute__((target("avx"))) static Quad mul(Quad a, Quad b) { return {_mm256_mul_pd(a.v, b.v)}; }
  __attribute__((target("avx"))) static Quad div(Quad a, Quad b) { return {_mm256_div_pd(a.v, b.v)}; }
  __attribute__((target("avx"))) static Quad min(Quad a, Quad b) { return {_mm256_min_pd(a.v, b.v)}; }
  __attribute__((target("avx"))) static Quad bitAnd(Quad a, Quad b) { return {_mm256_and_pd(a.v, b.v)}; }
  __attribute__((target("avx"))) static Quad bitOr(Quad a, Quad b) { return {_mm256_or_pd(a.v, b.v)}; }
  __attribute__((target("avx"))) static Quad bitXor(Quad a, Quad b) { return {_mm256_xor_pd(a.v, b.v)}; }
  __attribute__((target("avx"))) static Quad bitAndNot(Quad a, Quad b) { return {_mm256_andnot_pd(a.v, b.v)}; }
  // The same predicates as the SSE2 forms (ordered; equal is quiet).
  __attribute__((target("avx"))) static Quad greater(Quad a, Quad b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_GT_OS)};
  }
  __attribute__((target("avx"))) static Quad greaterEqual(Quad a, Quad b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_GE_OS)};
  }
  __attribute__((target("avx"))) static Quad lessEqual(Quad a, Quad b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_LE_OS)};
  }
  __attribute__((target("avx"))) static Quad equal(Quad a, Quad b) {
    return {_mm256_cmp_pd(a.v, b.v, _CMP_EQ_OQ)};
  }
  __attribute__((target("avx"))) static int signBits(Quad a) { return _mm256_movemask_pd(a.v); }
  __attribute__((target("avx2"))) static Quad shiftBitsLeft(Quad a, int count) {
    return {_mm256_castsi256_pd(_mm256_slli_epi64(_mm256_castpd_si256(a.v), count))};
  }
};

}  // namespace kqfx
