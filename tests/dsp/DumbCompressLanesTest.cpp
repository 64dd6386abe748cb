// The branch-free compressor against dumbCompress, lane by lane and bit for
// bit, on every lane family: signs, zeros, NaN, infinities, subnormals,
// the threshold itself, thresholds of 1 and above and the rooms' settings.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

#include "kqfx/dsp/DumbCompressLanes.h"
#include "kqfx/dsp/SignalHelpers.h"

namespace kqfx {
namespace {

template <class Lanes>
class DumbCompressLanesTest : public ::testing::Test {};
using Families = ::testing::Types<ScalarLanes, BaselineLanes>;
TYPED_TEST_SUITE(DumbCompressLanesTest, Families);

TYPED_TEST(DumbCompressLanesTest, GivesDumbCompressInEveryLane) {
  using Lanes = TypeParam;
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> samples{0.0f,  -0.0f, nan,   -nan,   inf,    -inf,  1e-40f, -1e-40f,
                                   1e-5f, 0.2f,  -0.2f, 0.5f,   -0.75f, 1.0f,  -1.0f,  3.5f,
                                   -7e3f, 1e30f, 0.3f,  -0.99f, 2.0f,   1e-6f, 0.65f,  -1e-5f};
  const float settings[][2] = {{0.00001f, 0.2f}, {0.5f, 0.95f}, {0.2f, 0.65f}, {1.0f, 1.0f},
                               {1.5f, 0.1f},     {0.0f, -3.0f}, {0.00001f, 0.45f}};
  for (const auto& [threshold, ceiling] : settings) {
    const DumbCompressLanes<Lanes> compressor(threshold, ceiling);
    for (std::size_t i = 0; i < samples.size(); i += 4) {
      alignas(16) float out[4];
      Lanes::store(out, compressor.apply(Lanes::load(&samples[i])));
      for (std::size_t t = 0; t < 4; ++t) {
        EXPECT_EQ(std::bit_cast<uint32_t>(out[t]),
                  std::bit_cast<uint32_t>(dumbCompress(samples[i + t], threshold, ceiling)))
            << samples[i + t] << " threshold " << threshold << " ceiling " << ceiling;
      }
    }
  }
}

}  // namespace
}  // namespace kqfx
