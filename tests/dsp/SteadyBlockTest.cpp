// What lets a block read its parameters once: SmoothParameter::isSteady
// and skipTicks, and the gain factor kept for an unchanged value.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "kqfx/dsp/CachedGain.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx {
namespace {

uint32_t bits(float value) { return std::bit_cast<uint32_t>(value); }

TEST(SteadySmoother, SteadyOnlyWhenNoTickCanChangeTheValue) {
  SmoothParameter p(4, 0.25f);
  EXPECT_TRUE(p.isSteady());  // at rest on its initial value
  p.setTargetValue(0.75f);
  EXPECT_FALSE(p.isSteady());
  for (int i = 0; i < 3; ++i) {
    p.tick();
    EXPECT_FALSE(p.isSteady()) << i;
  }
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), 0.75f);
  EXPECT_TRUE(p.isSteady());

  SmoothParameter jump(0, 0.1f);
  jump.setTargetValue(0.9f);
  EXPECT_TRUE(jump.isSteady());
  EXPECT_EQ(jump.getCurrentValue(), 0.9f);
}

TEST(SteadySmoother, ARestingNegativeZeroIsNotSteadyWhileTicksTurnItPositive) {
  SmoothParameter p(16, -0.0f);
  EXPECT_TRUE(p.isSettled());
  EXPECT_FALSE(p.isSteady());
  p.tick();
  EXPECT_EQ(bits(p.getCurrentValue()), bits(0.0f));
  EXPECT_FALSE(p.isSteady());  // the end of the ramp brings -0 back
  for (int i = 1; i < 16; ++i) p.tick();
  EXPECT_EQ(bits(p.getCurrentValue()), bits(-0.0f));
  EXPECT_TRUE(p.isSteady());
}

TEST(SteadySmoother, SkippedTicksCountAsTicksAndSaturate) {
  SmoothParameter ticked(100, 0.5f);
  SmoothParameter skipped(100, 0.5f);
  for (int i = 0; i < 37; ++i) ticked.tick();
  ASSERT_TRUE(skipped.isSteady());
  skipped.skipTicks(37);
  EXPECT_EQ(skipped.ticksSinceChange(), ticked.ticksSinceChange());
  EXPECT_EQ(skipped.getCurrentValue(), ticked.getCurrentValue());
  skipped.skipTicks(std::numeric_limits<int32_t>::max());
  EXPECT_EQ(skipped.ticksSinceChange(), std::numeric_limits<int32_t>::max());
  skipped.skipTicks(5);
  EXPECT_EQ(skipped.ticksSinceChange(), std::numeric_limits<int32_t>::max());
}

TEST(CachedGain, AnswersWhatTheLawAnswersForEveryValueInTurn) {
  CachedGain<StandardGain> standard;
  CachedGain<EchoGain> echo;
  const float values[] = {0.5f, 0.5f, 0.75f, 0.75f, 0.0f, -0.0f, 1.0f, 0.3f, 0.5f, 0.0f};
  for (float v : values) {
    EXPECT_EQ(bits(standard.factor(v)), bits(StandardGain::gain2factor(v))) << v;
    EXPECT_EQ(bits(echo.factor(v)), bits(EchoGain::gain2factor(v))) << v;
  }
  // Zero is silence for the echoes, but -0 is not zero's bits: both give
  // what the law gives.
  EXPECT_EQ(echo.factor(0.0f), 0.0f);
  EXPECT_EQ(echo.factor(-0.0f), EchoGain::gain2factor(-0.0f));
  EXPECT_TRUE(std::isnan(standard.factor(std::nanf(""))));
  EXPECT_EQ(standard.factor(0.75f), StandardGain::gain2factor(0.75f));
}

}  // namespace
}  // namespace kqfx
