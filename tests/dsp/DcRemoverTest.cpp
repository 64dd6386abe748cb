// The DC blocker: a step decays by 0.9999 per frame, channels apart.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kqfx/dsp/DcRemover.h"

namespace kqfx {
namespace {

TEST(DcRemover, AConstantDecaysByTheFilterPole) {
  DcRemover dc;
  float expected = 1.0f;
  EXPECT_EQ(dc.removeDC(1.0f, 0, 1), 1.0f);
  for (int n = 2; n < 50; ++n) {
    expected = static_cast<float>(1.0 + 0.9999 * expected - 1.0);
    ASSERT_EQ(dc.removeDC(1.0f, 0, n), expected) << n;
  }
  EXPECT_EQ(dc.removeDC(1.0f, 0, 50), static_cast<float>(1.0 + 0.9999 * expected - 1.0));
}

TEST(DcRemover, ChannelsKeepTheirOwnMemory) {
  DcRemover dc;
  for (int n = 1; n <= 10; ++n) dc.removeDC(1.0f, 0, n);
  EXPECT_EQ(dc.removeDC(0.5f, 1, 11), 0.5f);
}

TEST(DcRemover, CountOfZeroPassesTheSampleAndKeepsTheMemory) {
  DcRemover a, b;
  a.removeDC(1.0f, 0, 1);
  b.removeDC(1.0f, 0, 1);
  EXPECT_EQ(a.removeDC(0.3f, 0, 0), 0.3f);
  EXPECT_EQ(a.removeDC(0.3f, 0, -4), 0.3f);
  EXPECT_EQ(a.removeDC(1.0f, 0, 2), b.removeDC(1.0f, 0, 2));
}

TEST(DcRemover, RecoversFromNaNAndInfinityOnceTheInputIsFiniteAgain) {
  for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()}) {
    DcRemover dc;
    dc.removeDC(0.5f, 0, 1);
    EXPECT_FALSE(std::isfinite(dc.removeDC(bad, 0, 2)));
    EXPECT_EQ(dc.removeDC(0.25f, 0, 3), 0.25f);  // from rest again
    EXPECT_EQ(dc.removeDC(0.25f, 1, 3), 0.25f);  // the other channel never saw it
  }
}

TEST(DcRemover, AnOverflowingResultDoesNotStick) {
  DcRemover dc;
  const float big = std::numeric_limits<float>::max();
  EXPECT_EQ(dc.removeDC(big, 0, 1), big);
  // -max + 0.9999 max - max is beyond the float range.
  EXPECT_EQ(dc.removeDC(-big, 0, 2), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(dc.removeDC(0.5f, 0, 3), 0.5f);
}

}  // namespace
}  // namespace kqfx
