#pragma once
// sin(a) * scale rounded to a 32-bit float, for four doubles side by side,
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
//   When every lane's |a| <= 1.6 the reduction is skipped: r = a, as n = 0
//   would give, and the polynomial's range already covers it.
// - sin(r) on |r| <= 1.6 by its Taylor polynomial to degree 19: the first
//   omitted term is below 1.6^21 / 21! < 2^-51 relative to sin(r); the
//   rounded coefficients and the roundings of Estrin's scheme (the bracket
//   stays within 0.57..1, every partial sum and product below 1 in
//   magnitude) add a few 2^-53.
// - A relative error e in r moves sin(r) by at most e relative, because
//   |r cot r| <= 1 there.
// Together the approximation is within 2^-48 of sin(a), relative; the
// product with `scale` adds 2^-53, and the library's sine is within one
// unit in the last place (2^-52). That is far inside the 2^-40 of the
// check, which leaves room for the rounding of the two checking products.

#include "kqfx/dsp/Lanes.h"

#include <cmath>

namespace kqfx::shaper {

template <class L>
struct SineLanes {
  typename L::Floats value;   // the four floats
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

template <class L>
inline typename L::Quad absolute(typename L::Quad x) {
  return L::bitAndNot(L::broadcast(-0.0), x);
}
}  // namespace sine_detail

// float(sin(a) * scale) in each lane, or a fallback mark.
template <class L>
inline SineLanes<L> sineTimes(typename L::Quad a, typename L::Quad scale) {
  using namespace sine_detail;
  using D = typename L::Quad;
  D r = a;
  D odd = L::broadcast(0.0);
  int covered = 15;  // bit j: lane j's argument lies where the bound holds
  if (L::signBits(L::lessEqual(absolute<L>(a), L::broadcast(kMaxReduced))) != 15) {
    // Some lane needs reducing (the usual small arguments need not).
    const D inRange = L::lessEqual(absolute<L>(a), L::broadcast(kMaxArgument));
    // n = round(a / pi); the shifter leaves n's parity in the lowest bit.
    const D shifted = L::add(L::mul(a, L::broadcast(kInvPi)), L::broadcast(kShifter));
    const D n = L::sub(shifted, L::broadcast(kShifter));
    odd = L::shiftBitsLeft(shifted, 63);
    r = L::sub(a, L::mul(n, L::broadcast(kPi1)));
    r = L::sub(r, L::mul(n, L::broadcast(kPi2)));
    r = L::sub(r, L::mul(n, L::broadcast(kPi3)));
    const D rAbs = absolute<L>(r);
    const D reducedOk = L::bitAnd(
        L::lessEqual(rAbs, L::broadcast(kMaxReduced)),
        L::bitOr(L::equal(n, L::broadcast(0.0)), L::greaterEqual(rAbs, L::broadcast(kMinReduced))));
    covered = L::signBits(L::bitAnd(inRange, reducedOk));
  }

  // r (1 + r^2 (c3 + r^2 (c5 + ...))): a zero r keeps its sign, as the
  // library's sine does.
  // The bracket in r^2 by Estrin's scheme: pairs of terms, then pairs of
  // pairs, so the chain of dependent operations is half as long as Horner's.
  const D s = L::mul(r, r);
  const D s2 = L::mul(s, s);
  const D s4 = L::mul(s2, s2);
  const D s8 = L::mul(s4, s4);
  auto pair = [s](double low, double high) {
    return L::add(L::broadcast(low), L::mul(L::broadcast(high), s));
  };
  const D e0 = pair(1.0, kTaylor[0]);
  const D e1 = pair(kTaylor[1], kTaylor[2]);
  const D e2 = pair(kTaylor[3], kTaylor[4]);
  const D e3 = pair(kTaylor[5], kTaylor[6]);
  const D e4 = pair(kTaylor[7], kTaylor[8]);
  const D f0 = L::add(e0, L::mul(e1, s2));
  const D f1 = L::add(e2, L::mul(e3, s2));
  const D p = L::add(L::add(f0, L::mul(f1, s4)), L::mul(e4, s8));
  const D sine = L::bitXor(L::mul(r, p), odd);

  const D product = L::mul(sine, scale);
  const typename L::Floats below = L::narrow(L::mul(product, L::broadcast(1.0 - kCheck)));
  const typename L::Floats above = L::narrow(L::mul(product, L::broadcast(1.0 + kCheck)));
  const int same = L::signBits(L::equal(below, above));
  const int sure = same & covered;
  return {L::narrow(product), ~sure & 15};
}

// One value through the lanes, with the fallback taken where marked.
template <class L = BaselineLanes>
inline float sineTimes(double a, double scale) {
  const SineLanes<L> lanes = sineTimes<L>(L::broadcast(a), L::broadcast(scale));
  if (lanes.fallback & 1) return static_cast<float>(std::sin(a) * scale);
  return L::lane(lanes.value, 0);
}

// True when the lanes answer for (a, scale) without the library's sine.
template <class L = BaselineLanes>
inline bool sineTimesIsSure(double a, double scale) {
  return (sineTimes<L>(L::broadcast(a), L::broadcast(scale)).fallback & 1) == 0;
}

}  // namespace kqfx::shaper
