// The fast gain factor against libm's: every answer the same float, the
// rounding-midpoint check sending doubtful values to pow, and the side by
// side paths giving what one value at a time gives.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "kqfx/dsp/DecibelFactor.h"
#include "kqfx/dsp/GainLaw.h"

namespace kqfx {
namespace {

using decibel_factor::approximateFactor;
using decibel_factor::checkedFactor;
using decibel_factor::exactFactor;
using decibel_factor::nearFloatMidpoint;

uint32_t bits(float value) { return std::bit_cast<uint32_t>(value); }

// The libm law, written out: what every path must answer.
template <class Law>
float libmLaw(float x) {
  if (Law::kZeroIsSilence && x == 0.0f) return 0.0f;
  const float d = static_cast<float>(static_cast<double>(x) - 0.5);
  const float decibels = static_cast<float>(static_cast<double>(d) * Law::kRange);
  return static_cast<float>(std::pow(10.0, static_cast<double>(decibels) / 10.0));
}

// Values that are not plain parameter values.
std::vector<float> oddValues() {
  const float inf = std::numeric_limits<float>::infinity();
  return {0.0f,   -0.0f,   1.0f,     0.5f,      -1.0f,   2.0f,      4.66f,   4.67f,  -3.66f,
          -3.67f, 100.0f,  -100.0f,  1e30f,     -1e30f,  3.4e38f,   -3.4e38f, inf,   -inf,
          1e-45f, -1e-45f, 1.17e-38f, std::numeric_limits<float>::quiet_NaN()};
}

void expectSameFloat(float actual, float expected, float input) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << "input " << input;
  } else {
    EXPECT_EQ(bits(actual), bits(expected)) << "input " << input << " (" << std::hexfloat
                                            << input << ")";
  }
}

TEST(DecibelFactor, AgreesWithLibmOnRandomDecibelsInsideAndBeyondTheFastRange) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<float> wide(-150.0f, 150.0f);
  std::uniform_real_distribution<float> near(-1.0f, 1.0f);
  for (int i = 0; i < 1000000; ++i) {
    const float d = i % 4 == 0 ? near(random) : wide(random);
    ASSERT_EQ(bits(decibelFactor(d)), bits(exactFactor(d))) << std::hexfloat << d;
  }
  for (const float d : oddValues()) expectSameFloat(decibelFactor(d), exactFactor(d), d);
  // The edges of the fast range and the float beyond them.
  for (const float edge : {100.0f, -100.0f}) {
    const float beyond = std::nextafter(edge, 2.0f * edge);
    expectSameFloat(decibelFactor(edge), exactFactor(edge), edge);
    expectSameFloat(decibelFactor(beyond), exactFactor(beyond), beyond);
  }
}

TEST(DecibelFactor, EveryLawAgreesWithLibmOnRandomParameterValues) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int i = 0; i < 500000; ++i) {
    const float x = unit(random);
    ASSERT_EQ(bits(StandardGain::gain2factor(x)), bits(libmLaw<StandardGain>(x))) << x;
    ASSERT_EQ(bits(ReverbGain::gain2factor(x)), bits(libmLaw<ReverbGain>(x))) << x;
    ASSERT_EQ(bits(EchoGain::gain2factor(x)), bits(libmLaw<EchoGain>(x))) << x;
  }
  for (const float x : oddValues()) {
    expectSameFloat(StandardGain::gain2factor(x), libmLaw<StandardGain>(x), x);
    expectSameFloat(ReverbGain::gain2factor(x), libmLaw<ReverbGain>(x), x);
    expectSameFloat(EchoGain::gain2factor(x), libmLaw<EchoGain>(x), x);
  }
}

TEST(DecibelFactor, TheMidpointBandIsTwoToTheThirteenUlpsEitherSide) {
  // Midpoints between adjacent floats in several binades; a double's ulp
  // is 2^-29 of the float's there.
  for (const float f : {1.5f, 1.0f, 0.063095734f, 15.848932f, 3.0e9f, 2.0e-10f}) {
    const double ulp = std::ldexp(1.0, std::ilogb(f) - 52);
    const double midpoint = static_cast<double>(f) + 0x1p28 * ulp;
    EXPECT_TRUE(nearFloatMidpoint(midpoint)) << f;
    EXPECT_TRUE(nearFloatMidpoint(midpoint + 8192.0 * ulp)) << f;
    EXPECT_TRUE(nearFloatMidpoint(midpoint - 8192.0 * ulp)) << f;
    EXPECT_FALSE(nearFloatMidpoint(midpoint + 8193.0 * ulp)) << f;
    EXPECT_FALSE(nearFloatMidpoint(midpoint - 8193.0 * ulp)) << f;
    EXPECT_FALSE(nearFloatMidpoint(static_cast<double>(f))) << f;
    EXPECT_FALSE(nearFloatMidpoint(static_cast<double>(f) + 0x1p27 * ulp)) << f;
  }
  // Just below a power of two the value rounds up, far from any midpoint.
  EXPECT_FALSE(nearFloatMidpoint(std::nextafter(2.0, 0.0)));
  // The midpoint just below 2 (between the largest float below 2 and 2).
  EXPECT_TRUE(nearFloatMidpoint(2.0 - 0x1p-24));
}

// libm doubles of 10^(d/10) within 2^12 ulps of a float midpoint, found by
// walking up the floats from `start`.
std::vector<float> decibelsNearMidpoints(float start, int count) {
  std::vector<float> found;
  float d = start;
  for (int step = 0; step < 50000000 && static_cast<int>(found.size()) < count; ++step) {
    d = std::nextafter(d, 200.0f);
    const double p = std::pow(10.0, static_cast<double>(d) / 10.0);
    const auto low = static_cast<uint32_t>(std::bit_cast<uint64_t>(p)) & ((1u << 29) - 1u);
    const int64_t distance = static_cast<int64_t>(low) - (int64_t{1} << 28);
    if (distance > -4096 && distance < 4096) found.push_back(d);
  }
  return found;
}

TEST(DecibelFactor, ValuesNearAMidpointGoToLibmEvenWhenTheApproximationRoundsTheOtherWay) {
  const std::vector<float> decibels = decibelsNearMidpoints(-7.25f, 60);
  ASSERT_EQ(decibels.size(), 60u);
  int crossed = 0;
  for (const float d : decibels) {
    const double p = std::pow(10.0, static_cast<double>(d) / 10.0);
    const float libm = static_cast<float>(p);
    // An approximation on the other side of the midpoint, still closer to
    // libm's double than the check's band: alone it would round wrongly.
    const auto low = static_cast<uint32_t>(std::bit_cast<uint64_t>(p)) & ((1u << 29) - 1u);
    const int64_t distance = static_cast<int64_t>(low) - (int64_t{1} << 28);
    const double ulp = std::ldexp(1.0, std::ilogb(p) - 52);
    const double across = p - static_cast<double>(2 * distance + (distance >= 0 ? 1 : -1)) * ulp;
    if (static_cast<float>(across) != libm) ++crossed;
    const auto wrongSide = [across](float) { return across; };
    EXPECT_EQ(bits(checkedFactor(d, wrongSide)), bits(libm)) << std::hexfloat << d;
    // The real approximation lands in the band for these values too.
    EXPECT_TRUE(nearFloatMidpoint(approximateFactor(d))) << std::hexfloat << d;
    EXPECT_EQ(bits(decibelFactor(d)), bits(libm)) << std::hexfloat << d;
  }
  EXPECT_EQ(crossed, static_cast<int>(decibels.size()));
  // Away from midpoints the approximation's own rounding is used: a value
  // standing in for it that is off by a float ulp shows through.
  const float d = 3.0f;
  ASSERT_FALSE(nearFloatMidpoint(approximateFactor(d)));
  const float libm = exactFactor(d);
  const auto offByAnUlp = [libm](float) {
    return static_cast<double>(std::nextafter(libm, 100.0f));
  };
  EXPECT_EQ(checkedFactor(d, offByAnUlp), std::nextafter(libm, 100.0f));
}

// Parameter values whose fast factor falls in the midpoint band, for the
// side by side paths' fallback lanes.
template <class Law>
std::vector<float> valuesInTheBand(int count) {
  std::vector<float> found;
  float x = 0.5f;
  for (int step = 0; step < 20000000 && static_cast<int>(found.size()) < count; ++step) {
    x = std::nextafter(x, 1.0f);
    if (nearFloatMidpoint(approximateFactor(Law::gain2display(x)))) found.push_back(x);
  }
  return found;
}

template <class Law>
std::vector<float> mixedValues(uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<float> x;
  const std::vector<float> band = valuesInTheBand<Law>(12);
  EXPECT_EQ(band.size(), 12u);
  if (band.empty()) return {};
  const std::vector<float> odd = oddValues();
  for (int i = 0; i < 4000; ++i) {
    if (i % 97 == 5) {
      x.push_back(band[static_cast<std::size_t>(i / 97) % band.size()]);
    } else if (i % 89 == 3) {
      x.push_back(odd[static_cast<std::size_t>(i / 89) % odd.size()]);
    } else {
      x.push_back(unit(random));
    }
  }
  return x;
}

using Kernel = void (*)(const float*, float*, int32_t, float, bool);

template <class Law>
void expectKernelMatchesTheLaw(Kernel kernel) {
  const std::vector<float> x = mixedValues<Law>(Law::kRange + (Law::kZeroIsSilence ? 1 : 0));
  ASSERT_FALSE(x.empty());
  // Every length up to two wide groups and a tail, from several offsets.
  for (std::size_t offset : {0u, 1u, 3u}) {
    for (int32_t n = 0; n <= 19; ++n) {
      std::vector<float> out(static_cast<std::size_t>(n) + 1, -7.0f);
      kernel(x.data() + offset, out.data(), n, static_cast<float>(Law::kRange), Law::kZeroIsSilence);
      for (int32_t i = 0; i < n; ++i) {
        const float input = x[offset + static_cast<std::size_t>(i)];
        expectSameFloat(out[static_cast<std::size_t>(i)], Law::gain2factor(input), input);
      }
      EXPECT_EQ(out[static_cast<std::size_t>(n)], -7.0f) << "wrote past the end, n=" << n;
    }
  }
  // The whole array in place.
  std::vector<float> inPlace = x;
  kernel(inPlace.data(), inPlace.data(), static_cast<int32_t>(x.size()),
         static_cast<float>(Law::kRange), Law::kZeroIsSilence);
  for (std::size_t i = 0; i < x.size(); ++i) expectSameFloat(inPlace[i], Law::gain2factor(x[i]), x[i]);
}

template <class Law>
void expectEveryPathMatchesTheLaw() {
  expectKernelMatchesTheLaw<Law>(parameterGainFactorsScalar);
  expectKernelMatchesTheLaw<Law>(parameterGainFactorsBaseline);
  if (wideLanesAvailable()) {
    expectKernelMatchesTheLaw<Law>(parameterGainFactorsWide);
  } else {
    GTEST_LOG_(INFO) << "no wide path on this processor: only the baseline was checked";
  }
}

TEST(GainFactorsSideBySide, EveryPathGivesTheLawsFloatsForEveryLaw) {
  expectEveryPathMatchesTheLaw<StandardGain>();
  expectEveryPathMatchesTheLaw<ReverbGain>();
  expectEveryPathMatchesTheLaw<EchoGain>();
}

TEST(GainFactorsSideBySide, TheLawsBlockFormSilencesZeroOnlyForTheEchoes) {
  const float x[5] = {0.0f, -0.0f, 0.5f, 1.0f, 0.0f};
  float echo[5];
  float standard[5];
  EchoGain::gain2factors(x, echo, 5);
  StandardGain::gain2factors(x, standard, 5);
  const float expectedEcho[5] = {0.0f, 0.0f, 1.0f, 15.848932f, 0.0f};
  const float expectedStandard[5] = {0.063095734f, 0.063095734f, 1.0f, 15.848932f, 0.063095734f};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(echo[i], expectedEcho[i]) << i;
    EXPECT_EQ(standard[i], expectedStandard[i]) << i;
  }
}

}  // namespace
}  // namespace kqfx
