// The fast gain factor against libm's over the whole reachable range:
// every parameter value from 0 to 1 (a float in three), each law, one at
// a time and side by side; and the decibels of the fast range directly.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kqfx/dsp/DecibelFactor.h"
#include "kqfx/dsp/GainLaw.h"

namespace kqfx {
namespace {

constexpr uint32_t kStride = 3;
constexpr std::size_t kBlock = 1024;

template <class Law>
void sweepParameterValues() {
  const uint32_t last = std::bit_cast<uint32_t>(1.0f);
  std::vector<float> x;
  std::vector<float> blockOut(kBlock);
  x.reserve(kBlock);
  uint64_t checked = 0;
  for (uint64_t b = 0; b <= last; b += kStride) {
    x.push_back(std::bit_cast<float>(static_cast<uint32_t>(b)));
    if (x.size() < kBlock && b + kStride <= last) continue;
    Law::gain2factors(x.data(), blockOut.data(), static_cast<int32_t>(x.size()));
    for (std::size_t i = 0; i < x.size(); ++i) {
      const float value = x[i];
      float libm = 0.0f;
      if (!(Law::kZeroIsSilence && value == 0.0f)) {
        const float d = static_cast<float>(static_cast<double>(value) - 0.5);
        const float decibels = static_cast<float>(static_cast<double>(d) * Law::kRange);
        libm = static_cast<float>(std::pow(10.0, static_cast<double>(decibels) / 10.0));
      }
      ASSERT_EQ(std::bit_cast<uint32_t>(Law::gain2factor(value)), std::bit_cast<uint32_t>(libm))
          << std::hexfloat << value;
      ASSERT_EQ(std::bit_cast<uint32_t>(blockOut[i]), std::bit_cast<uint32_t>(libm))
          << std::hexfloat << value;
    }
    checked += x.size();
    x.clear();
  }
  EXPECT_GT(checked, 350000000u);
}

TEST(DecibelFactorLong, StandardLawOnEveryThirdParameterValue) { sweepParameterValues<StandardGain>(); }
TEST(DecibelFactorLong, ReverbLawOnEveryThirdParameterValue) { sweepParameterValues<ReverbGain>(); }
TEST(DecibelFactorLong, EchoLawOnEveryThirdParameterValue) { sweepParameterValues<EchoGain>(); }

TEST(DecibelFactorLong, DecibelsOfTheFastRangeEverySeventeenthFloat) {
  const uint32_t last = std::bit_cast<uint32_t>(decibel_factor::kFastRange) + 64;
  for (uint32_t b = 0; b <= last; b += 17) {
    for (const uint32_t sign : {0u, 0x80000000u}) {
      const float d = std::bit_cast<float>(b | sign);
      ASSERT_EQ(std::bit_cast<uint32_t>(decibelFactor(d)),
                std::bit_cast<uint32_t>(decibel_factor::exactFactor(d)))
          << std::hexfloat << d;
    }
  }
}

}  // namespace
}  // namespace kqfx
