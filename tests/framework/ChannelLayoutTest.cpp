// When an effect may finish one channel before starting the other.

#include <gtest/gtest.h>

#include <array>

#include "kqfx/plugin/ChannelLayout.h"

namespace kqfx {
namespace {

TEST(ChannelLayout, SameOrApartBuffersAreSeparablePartlyOverlappingOnesAreNot) {
  std::array<float, 64> pool{};
  float* a = pool.data();
  float* b = pool.data() + 16;
  float* c = pool.data() + 32;
  float* d = pool.data() + 48;
  EXPECT_TRUE(channelsSeparable(a, b, c, d, 16));  // four buffers apart
  EXPECT_TRUE(channelsSeparable(a, b, a, b, 16));  // in place
  EXPECT_TRUE(channelsSeparable(a, a, b, b, 16));  // one input for both channels
  EXPECT_TRUE(channelsSeparable(a, b, c, c, 16));  // one output for both
  EXPECT_TRUE(channelsSeparable(a, b, b, a, 16));  // channels swapped in place
  EXPECT_FALSE(channelsSeparable(a, b, a + 8, d, 16));   // left output runs into right input
  EXPECT_FALSE(channelsSeparable(a, b, c, c + 1, 16));   // the outputs overlap by all but one
  EXPECT_FALSE(channelsSeparable(a, b, c, a + 15, 16));  // right output ends in left input
  EXPECT_TRUE(channelsSeparable(a, b, c, a + 16, 16));   // touching is apart
}

}  // namespace
}  // namespace kqfx
