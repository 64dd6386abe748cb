#pragma once
// The lane family of plain arrays, one lane after the other: every
// operation exactly as the x86 vector instruction of the same meaning
// does it (see Lanes.h). Runs on any processor; compilers may still put
// the loops into vector registers. Pure functions; any thread.

#include <bit>
#include <cstdint>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace kqfx {

struct ScalarLanes {
  struct alignas(16) Floats {
    float v[4];
  };
  struct alignas(16) Doubles {
    double v[2];
  };
  struct alignas(32) Quad {
    double v[4];
  };

  // ---- four floats ----
  static Floats load(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
  static void store(float* p, Floats a) { std::memcpy(p, a.v, sizeof a.v); }
  // Lane 0 from p, the others 0.
  static Floats loadFirst(const float* p) { return {{p[0], 0.0f, 0.0f, 0.0f}}; }
  static void storeFirst(float* p, Floats a) { p[0] = a.v[0]; }
  // Lanes 0 and 1 from p[0], p[1], the others 0.
  static Floats loadPair(const float* p) { return {{p[0], p[1], 0.0f, 0.0f}}; }
  static void storePair(float* p, Floats a) { p[0] = a.v[0], p[1] = a.v[1]; }
  static Floats setFloats(float a, float b, float c, float d) { return {{a, b, c, d}}; }
  static Floats splatFloats(float a) { return {{a, a, a, a}}; }
  static Floats zeroFloats() { return {{0.0f, 0.0f, 0.0f, 0.0f}}; }
  // All ones in every lane when `on`, else zeros.
  static Floats maskFloats(bool on) { return fromBits(on ? ~0u : 0u); }
  static float lane(Floats a, int i) { return a.v[i]; }

  static Floats add(Floats a, Floats b) { return each(a, b, [](float x, float y) { return x + y; }); }
  static Floats sub(Floats a, Floats b) { return each(a, b, [](float x, float y) { return x - y; }); }
  static Floats mul(Floats a, Floats b) { return each(a, b, [](float x, float y) { return x * y; }); }
  static Floats min(Floats a, Floats b) { return each(a, b, [](float x, float y) { return x < y ? x : y; }); }
  static Floats max(Floats a, Floats b) { return each(a, b, [](float x, float y) { return x > y ? x : y; }); }
  static Floats bitAnd(Floats a, Floats b) { return bits(a, b, [](uint32_t x, uint32_t y) { return x & y; }); }
  static Floats bitOr(Floats a, Floats b) { return bits(a, b, [](uint32_t x, uint32_t y) { return x | y; }); }
  static Floats bitXor(Floats a, Floats b) { return bits(a, b, [](uint32_t x, uint32_t y) { return x ^ y; }); }
  // ~a & b.
  static Floats bitAndNot(Floats a, Floats b) { return bits(a, b, [](uint32_t x, uint32_t y) { return ~x & y; }); }
  static Floats greater(Floats a, Floats b) { return test(a, b, [](float x, float y) { return x > y; }); }
  static Floats less(Floats a, Floats b) { return test(a, b, [](float x, float y) { return x < y; }); }
  static Floats lessEqual(Floats a, Floats b) { return test(a, b, [](float x, float y) { return x <= y; }); }
  static Floats equal(Floats a, Floats b) { return test(a, b, [](float x, float y) { return x == y; }); }
  // Neither lane NaN.
  static Floats ordered(Floats a, Floats b) { return test(a, b, [](float x, float y) { return x == x && y == y; }); }
  // Bit i: the sign bit of lane i.
  static int signBits(Floats a) {
    int mask = 0;
    for (int i = 0; i < 4; ++i) mask |= static_cast<int>(std::bit_cast<uint32_t>(a.v[i]) >> 31) << i;
    return mask;
  }
  // {b2, b3, a2, a3}.
  static Floats highOf(Floats a, Floats b) { return {{b.v[2], b.v[3], a.v[2], a.v[3]}}; }
  // {a0, a1, b0, b1}.
  static Floats lowsOf(Floats a, Floats b) { return {{a.v[0], a.v[1], b.v[0], b.v[1]}}; }
  // {a0, b0, a1, b1}.
  static Floats interleaveLow(Floats a, Floats b) { return {{a.v[0], b.v[0], a.v[1], b.v[1]}}; }
  // Rows become columns.
  static void transpose(Floats& r0, Floats& r1, Floats& r2, Floats& r3) {
    Floats* rows[4] = {&r0, &r1, &r2, &r3};
    float m[4][4];
    for (int i = 0; i < 4; ++i) std::memcpy(m[i], rows[i]->v, sizeof m[i]);
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) rows[i]->v[j] = m[j][i];
    }
  }
  // Zero and subnormal lanes (all exponent bits clear) become +0.
  static Floats flushSubnormals(Floats a) {
    for (float& x : a.v) {
      if ((std::bit_cast<uint32_t>(x) & 0x7F800000u) == 0) x = 0.0f;
    }
    return a;
  }
  // All ones in every finite lane, zeros in infinite and NaN ones.
  static Floats finiteMask(Floats a) {
    return test(a, a, [](float x, float) { const float z = x - x; return z == z; });
  }

  // ---- two doubles ----
  static Doubles setDoubles(double a, double b) { return {{a, b}}; }
  static Doubles splatDoubles(double a) { return {{a, a}}; }
  static Doubles zeroDoubles() { return {{0.0, 0.0}}; }
  // All ones in lane 0 when `first`, in lane 1 when `second`.
  static Doubles maskDoubles(bool first, bool second) {
    return {{std::bit_cast<double>(first ? ~uint64_t{0} : 0), std::bit_cast<double>(second ? ~uint64_t{0} : 0)}};
  }
  static double lane(Doubles a, int i) { return a.v[i]; }
  // The low 32 bits of lane i, as a signed integer.
  static int32_t lowWord(Doubles a, int i) {
    return static_cast<int32_t>(static_cast<uint32_t>(std::bit_cast<uint64_t>(a.v[i])));
  }
  static Doubles add(Doubles a, Doubles b) { return each(a, b, [](double x, double y) { return x + y; }); }
  static Doubles sub(Doubles a, Doubles b) { return each(a, b, [](double x, double y) { return x - y; }); }
  static Doubles mul(Doubles a, Doubles b) { return each(a, b, [](double x, double y) { return x * y; }); }
  static Doubles div(Doubles a, Doubles b) { return each(a, b, [](double x, double y) { return x / y; }); }
  static Doubles min(Doubles a, Doubles b) { return each(a, b, [](double x, double y) { return x < y ? x : y; }); }
  static Doubles bitAnd(Doubles a, Doubles b) { return bits(a, b, [](uint64_t x, uint64_t y) { return x & y; }); }
  static Doubles bitOr(Doubles a, Doubles b) { return bits(a, b, [](uint64_t x, uint64_t y) { return x | y; }); }
  static Doubles bitXor(Doubles a, Doubles b) { return bits(a, b, [](uint64_t x, uint64_t y) { return x ^ y; }); }
  static Doubles bitAndNot(Doubles a, Doubles b) { return bits(a, b, [](uint64_t x, uint64_t y) { return ~x & y; }); }
  static Doubles greater(Doubles a, Doubles b) { return test(a, b, [](double x, double y) { return x > y; }); }
  static Doubles greaterEqual(Doubles a, Doubles b) { return test(a, b, [](double x, double y) { return x >= y; }); }
  static Doubles lessEqual(Doubles a, Doubles b) { return test(a, b, [](double x, double y) { return x <= y; }); }
  static Doubles equal(Doubles a, Doubles b) { return test(a, b, [](double x, double y) { return x == y; }); }
  // Either lane NaN.
  static Doubles unordered(Doubles a, Doubles b) { return test(a, b, [](double x, double y) { return x != x || y != y; }); }
  static int signBits(Doubles a) {
    return static_cast<int>(std::bit_cast<uint64_t>(a.v[0]) >> 63) |
           static_cast<int>(std::bit_cast<uint64_t>(a.v[1]) >> 63) << 1;
  }
  // Each lane's 64 bits shifted left.
  static Doubles shiftBitsLeft(Doubles a, int count) {
    for (double& x : a.v) x = std::bit_cast<double>(std::bit_cast<uint64_t>(x) << count);
    return a;
  }
  // Float lanes 0 and 1 as doubles.
  static Doubles widenLow(Floats a) { return {{a.v[0], a.v[1]}}; }
  // Both lanes rounded to float, in float lanes 0 and 1; lanes 2 and 3 are 0.
  static Floats narrow(Doubles a) { return {{rounded(a.v[0]), rounded(a.v[1]), 0.0f, 0.0f}}; }
  static Doubles swap(Doubles a) { return {{a.v[1], a.v[0]}}; }
  static Doubles interleaveLow(Doubles a, Doubles b) { return {{a.v[0], b.v[0]}}; }
  static Doubles interleaveHigh(Doubles a, Doubles b) { return {{a.v[1], b.v[1]}}; }

  // ---- four doubles ----
  static Quad widen(Floats a) { return {{a.v[0], a.v[1], a.v[2], a.v[3]}}; }
  static Floats narrow(Quad a) {
    return {{rounded(a.v[0]), rounded(a.v[1]), rounded(a.v[2]), rounded(a.v[3])}};
  }
  static Quad broadcast(double a) { return {{a, a, a, a}}; }
  static Quad lanes(double a, double b, double c, double d) { return {{a, b, c, d}}; }
  static Quad add(Quad a, Quad b) { return each(a, b, [](double x, double y) { return x + y; }); }
  static Quad sub(Quad a, Quad b) { return each(a, b, [](double x, double y) { return x - y; }); }
  static Quad mul(Quad a, Quad b) { return each(a, b, [](double x, double y) { return x * y; }); }
  static Quad div(Quad a, Quad b) { return each(a, b, [](double x, double y) { return x / y; }); }
  static Quad min(Quad a, Quad b) { return each(a, b, [](double x, double y) { return x < y ? x : y; }); }
  static Quad bitAnd(Quad a, Quad b) { return bits(a, b, [](uint64_t x, uint64_t y) { return x & y; }); }
  static Quad bitOr(Quad a, Quad b) { return bits(a, b, [](uint64_t x, uint64_t y) { return x | y; }); }
  static Quad bitXor(Quad a, Quad b) { return bits(a, b, [](uint64_t x, uint64_t y) { return x ^ y; }); }
  static Quad bitAndNot(Quad a, Quad b) { return bits(a, b, [](uint64_t x, uint64_t y) { return ~x & y; }); }
  static Quad greater(Quad a, Quad b) { return test(a, b, [](double x, double y) { return x > y; }); }
  static Quad greaterEqual(Quad a, Quad b) { return test(a, b, [](double x, double y) { return x >= y; }); }
  static Quad lessEqual(Quad a, Quad b) { return test(a, b, [](double x, double y) { return x <= y; }); }
  static Quad equal(Quad a, Quad b) { return test(a, b, [](double x, double y) { return x == y; }); }
  static int signBits(Quad a) {
    int mask = 0;
    for (int i = 0; i < 4; ++i) mask |= static_cast<int>(std::bit_cast<uint64_t>(a.v[i]) >> 63) << i;
    return mask;
  }
  static Quad shiftBitsLeft(Quad a, int count) {
    for (double& x : a.v) x = std::bit_cast<double>(std::bit_cast<uint64_t>(x) << count);
    return a;
  }

 private:
  // A double rounded to a float, held where the optimiser cannot see
  // through it: GCC 12's block vectoriser otherwise drops the rounding
  // when the float is widened again (float(x) widened is not x).
  static float rounded(double x) {
    float f = static_cast<float>(x);
#if defined(__x86_64__) || defined(__i386__)
    asm("" : "+x"(f));
#elif defined(__aarch64__)
    asm("" : "+w"(f));
#else
    volatile float held = f;
    f = held;
#endif
    return f;
  }
  static Floats fromBits(uint32_t word) {
    const float x = std::bit_cast<float>(word);
    return {{x, x, x, x}};
  }
  template <class Vector, class Op>
  static Vector each(Vector a, const Vector& b, Op op) {
    for (std::size_t i = 0; i < std::size(a.v); ++i) a.v[i] = op(a.v[i], b.v[i]);
    return a;
  }
  template <class Vector, class Op>
  static Vector bits(Vector a, const Vector& b, Op op) {
    using Word = std::conditional_t<sizeof(a.v[0]) == 4, uint32_t, uint64_t>;
    using Value = std::remove_reference_t<decltype(a.v[0])>;
    for (std::size_t i = 0; i < std::size(a.v); ++i) {
      a.v[i] = std::bit_cast<Value>(op(std::bit_cast<Word>(a.v[i]), std::bit_cast<Word>(b.v[i])));
    }
    return a;
  }
  template <class Vector, class Op>
  static Vector test(Vector a, const Vector& b, Op op) {
    using Word = std::conditional_t<sizeof(a.v[0]) == 4, uint32_t, uint64_t>;
    using Value = std::remove_reference_t<decltype(a.v[0])>;
    for (std::size_t i = 0; i < std::size(a.v); ++i) {
      a.v[i] = std::bit_cast<Value>(op(a.v[i], b.v[i]) ? ~Word{0} : Word{0});
    }
    return a;
  }
};

}  // namespace kqfx
