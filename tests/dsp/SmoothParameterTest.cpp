// How a parameter glides: straight lines over the ramp, exact arrival,
// restarts from wherever the glide stands.

#include <gtest/gtest.h>

#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx {
namespace {

float along(float start, float step, int ticks) {
  return static_cast<float>(static_cast<double>(start) + ticks * static_cast<double>(step));
}

TEST(SmoothParameter, GlidesInAStraightLineAndArrivesExactly) {
  SmoothParameter p(16384, 0.5f);
  p.setTargetValue(1.0f);
  const float step = static_cast<float>(0.5 / 16384.0);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), along(0.5f, step, 1));
  for (int i = 2; i <= 16383; ++i) p.tick();
  EXPECT_EQ(p.getCurrentValue(), along(0.5f, step, 16383));
  EXPECT_LT(p.getCurrentValue(), 1.0f);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), 1.0f);
  for (int i = 0; i < 100000; ++i) p.tick();
  EXPECT_EQ(p.getCurrentValue(), 1.0f);
  EXPECT_TRUE(p.isSettled());
}

TEST(SmoothParameter, ArrivesAtTheTargetEvenWhenTheLineWouldMissIt) {
  // 0.1 -> 0.7: start + ramp * step differs from the target by rounding.
  SmoothParameter p(3, 0.1f);
  p.setTargetValue(0.7f);
  const float step = static_cast<float>((0.7f - static_cast<double>(0.1f)) / 3.0);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), along(0.1f, step, 1));
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), along(0.1f, step, 2));
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), 0.7f);
}

TEST(SmoothParameter, RampOfOneReachesTheTargetAtTheFirstTick) {
  SmoothParameter p(1, 0.0f);
  p.setTargetValue(0.8f);
  EXPECT_EQ(p.getCurrentValue(), 0.0f);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), 0.8f);
}

TEST(SmoothParameter, RampOfZeroOrLessJumpsAtOnce) {
  for (int32_t ramp : {0, -5}) {
    SmoothParameter p(ramp, 0.25f);
    p.setTargetValue(0.75f);
    EXPECT_EQ(p.getCurrentValue(), 0.75f);
    EXPECT_EQ(p.getTargetValue(), 0.75f);
    p.tick();
    p.tick();
    EXPECT_EQ(p.getCurrentValue(), 0.75f);
  }
}

TEST(SmoothParameter, TargetIsSeenAtOnceAndCurrentOnlyAfterTheNextTick) {
  SmoothParameter p(16384, 0.5f);
  p.setTargetValue(0.0f);
  EXPECT_EQ(p.getTargetValue(), 0.0f);
  EXPECT_EQ(p.getCurrentValue(), 0.5f);
  p.tick();
  EXPECT_LT(p.getCurrentValue(), 0.5f);
}

TEST(SmoothParameter, SettingTheSameTargetAgainRestartsFromTheValueReached) {
  SmoothParameter p(100, 0.0f);
  p.setTargetValue(1.0f);
  for (int i = 0; i < 50; ++i) p.tick();
  const float reached = p.getCurrentValue();
  EXPECT_EQ(reached, along(0.0f, 0.01f, 50));
  p.setTargetValue(1.0f);
  const float step = static_cast<float>((1.0 - reached) / 100.0);
  for (int i = 1; i < 100; ++i) {
    p.tick();
    ASSERT_EQ(p.getCurrentValue(), along(reached, step, i)) << i;
  }
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), 1.0f);
}

TEST(SmoothParameter, SeveralWritesBeforeATickActLikeTheLastOne) {
  SmoothParameter a(1000, 0.2f), b(1000, 0.2f);
  a.setTargetValue(0.9f);
  a.setTargetValue(0.1f);
  a.setTargetValue(0.6f);
  b.setTargetValue(0.6f);
  for (int i = 0; i < 1001; ++i) {
    a.tick();
    b.tick();
    ASSERT_EQ(a.getCurrentValue(), b.getCurrentValue()) << i;
  }
}

TEST(SmoothParameter, NewSmootherSitsAtItsInitialValue) {
  SmoothParameter p(16384, 0.3f);
  EXPECT_EQ(p.getTargetValue(), 0.3f);
  EXPECT_EQ(p.getCurrentValue(), 0.3f);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), 0.3f);
}

TEST(SmoothParameter, ValuesAreNotChecked) {
  SmoothParameter p(2, 0.0f);
  p.setTargetValue(4.0f);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), 2.0f);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), 4.0f);
}

TEST(SmoothParameter, ResetStopsTheGlideAndSettles) {
  SmoothParameter p(16384, 0.5f);
  p.setTargetValue(1.0f);
  p.tick();
  const float reached = p.getCurrentValue();
  p.reset(16384, reached);
  EXPECT_EQ(p.getTargetValue(), reached);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), reached);
  EXPECT_TRUE(p.isSettled());
}

}  // namespace
}  // namespace kqfx
