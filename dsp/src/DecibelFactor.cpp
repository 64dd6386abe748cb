#include "kqfx/dsp/DecibelFactor.h"

#include <bit>
#include <cstddef>

#include "kqfx/dsp/Lanes.h"

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
template <class L>
inline typename L::Doubles approximate2(typename L::Doubles d) {
  const auto shift = L::splatDoubles(kRoundingShift);
  const auto a = L::mul(d, L::splatDoubles(kScaleHigh));
  const auto shifted = L::add(a, shift);
  const auto k = L::sub(shifted, shift);
  const auto r = L::add(L::sub(a, k), L::mul(d, L::splatDoubles(kScaleLow)));
  // Each lane's integer is the low 32-bit word of its 64 bits; the table
  // entry's exponent field takes (index >> 5).
  double scales[2];
  for (int lane = 0; lane < 2; ++lane) {
    const int32_t index = L::lowWord(shifted, lane);
    const uint64_t exponent = static_cast<uint64_t>(static_cast<int64_t>(index >> 5)) << 52;
    scales[lane] =
        std::bit_cast<double>(std::bit_cast<uint64_t>(kPowersOfTwo[index & 31]) + exponent);
  }
  const auto scale = L::setDoubles(scales[0], scales[1]);
  auto p = L::add(L::splatDoubles(kC4), L::mul(r, L::splatDoubles(kC5)));
  p = L::add(L::splatDoubles(kC3), L::mul(r, p));
  p = L::add(L::splatDoubles(kC2), L::mul(r, p));
  p = L::add(L::splatDoubles(kC1), L::mul(r, p));
  p = L::add(L::splatDoubles(1.0), L::mul(r, p));
  return L::mul(scale, p);
}

// Lanes (bits 0 and 1) whose value is near a midpoint.
template <class L>
inline int nearMidpoint2(typename L::Doubles v) {
  return (nearFloatMidpoint(L::lane(v, 0)) ? 1 : 0) | (nearFloatMidpoint(L::lane(v, 1)) ? 2 : 0);
}

// Four lanes at a time; the rest one by one.
template <class L>
void factorsOverLanes(const float* x, float* out, int32_t n, float range, bool zeroIsSilence) {
  const auto half = L::splatFloats(0.5f);
  const auto scale = L::splatFloats(range);
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const auto xs = L::load(x + i);
    const auto d = L::mul(L::sub(xs, half), scale);
    const auto low = approximate2<L>(L::widenLow(d));
    const auto high = approximate2<L>(L::widenLow(L::highOf(d, d)));
    auto factors = L::lowsOf(L::narrow(low), L::narrow(high));
    if (zeroIsSilence) factors = L::bitAndNot(L::equal(xs, L::zeroFloats()), factors);
    // Lanes whose decibels are outside the fast range or not a number.
    const int outOfRange =
        ~L::signBits(L::lessEqual(L::bitAndNot(L::splatFloats(-0.0f), d), L::splatFloats(kFastRange))) & 15;
    const int mend = outOfRange | nearMidpoint2<L>(low) | (nearMidpoint2<L>(high) << 2);
    L::store(out + i, factors);
    if (mend != 0) [[unlikely]] {
      // `out` may be `x`: the values come back from the register.
      alignas(16) float values[4];
      L::store(values, xs);
      for (int lane = 0; lane < 4; ++lane) {
        if ((mend >> lane) & 1) out[i + lane] = oneFactor(values[lane], range, zeroIsSilence);
      }
    }
  }
  for (; i < n; ++i) out[i] = oneFactor(x[i], range, zeroIsSilence);
}

}  // namespace

void parameterGainFactorsScalar(const float* x, float* out, int32_t n, float range,
                                bool zeroIsSilence) {
  factorsOverLanes<ScalarLanes>(x, out, n, range, zeroIsSilence);
}

void parameterGainFactorsBaseline(const float* x, float* out, int32_t n, float range,
                                  bool zeroIsSilence) {
  factorsOverLanes<BaselineLanes>(x, out, n, range, zeroIsSilence);
}

void parameterGainFactors(LanePath path, const float* x, float* out, int32_t n, float range,
                          bool zeroIsSilence) {
  switch (path) {
    case LanePath::kWide:
      if (wideLanesAvailable()) {
        parameterGainFactorsWide(x, out, n, range, zeroIsSilence);
        return;
      }
      break;
    case LanePath::kScalar:
      parameterGainFactorsScalar(x, out, n, range, zeroIsSilence);
      return;
    case LanePath::kBaseline:
      break;
  }
  parameterGainFactorsBaseline(x, out, n, range, zeroIsSilence);
}

}  // namespace kqfx
