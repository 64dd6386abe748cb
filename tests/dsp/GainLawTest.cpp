// The gain laws of the three kinds of deliverable.

#include <gtest/gtest.h>

#include "kqfx/dsp/GainLaw.h"

namespace kqfx {
namespace {

TEST(GainLaw, HalfIsUnityEverywhere) {
  EXPECT_EQ(ReverbGain::gain2factor(0.5f), 1.0f);
  EXPECT_EQ(StandardGain::gain2factor(0.5f), 1.0f);
  EXPECT_EQ(EchoGain::gain2factor(0.5f), 1.0f);
}

TEST(GainLaw, FullScaleFactors) {
  EXPECT_EQ(ReverbGain::gain2factor(1.0f), 251.18864f);
  EXPECT_EQ(StandardGain::gain2factor(1.0f), 15.848932f);
  EXPECT_EQ(EchoGain::gain2factor(1.0f), 15.848932f);
  EXPECT_EQ(StandardGain::gain2factor(0.75f), 3.9810717f);
}

TEST(GainLaw, ZeroIsSilenceOnlyForTheEchoes) {
  EXPECT_EQ(EchoGain::gain2factor(0.0f), 0.0f);
  EXPECT_EQ(EchoGain::gain2factor(-0.0f), 0.0f);
  EXPECT_EQ(StandardGain::gain2factor(0.0f), 0.063095734f);
  EXPECT_EQ(ReverbGain::gain2factor(0.0f), 0.0039810715f);
  EXPECT_GT(EchoGain::gain2factor(1e-6f), 0.06f);
}

TEST(GainLaw, DisplayIsLinearInDecibels) {
  EXPECT_EQ(StandardGain::gain2display(0.0f), -12.0f);
  EXPECT_EQ(StandardGain::gain2display(0.5f), 0.0f);
  EXPECT_EQ(StandardGain::gain2display(1.0f), 12.0f);
  EXPECT_EQ(ReverbGain::gain2display(0.0f), -24.0f);
  EXPECT_EQ(ReverbGain::gain2display(1.0f), 24.0f);
  EXPECT_EQ(StandardGain::gain2display(0.75f), 6.0f);
}

}  // namespace
}  // namespace kqfx
