// The toolkit's small signal functions, NaN and tie behaviour included.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "kqfx/dsp/SignalHelpers.h"

namespace kqfx {
namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(MinMax, AnswerTheSecondOperandOnTiesAndNaN) {
  EXPECT_EQ(kqfx::fmax(3.0f, 2.0f), 3.0f);
  EXPECT_EQ(kqfx::fmax(2.0f, 3.0f), 3.0f);
  EXPECT_TRUE(std::isnan(kqfx::fmax(2.0f, kNaN)));
  EXPECT_EQ(kqfx::fmax(kNaN, 2.0f), 2.0f);
  EXPECT_EQ(kqfx::fmin(3.0f, 2.0f), 2.0f);
  EXPECT_EQ(kqfx::fmin(2.0f, 3.0f), 2.0f);
  EXPECT_TRUE(std::isnan(kqfx::fmin(2.0f, kNaN)));
  EXPECT_EQ(kqfx::fmin(kNaN, 2.0f), 2.0f);
  // Ties answer b: visible with signed zeros.
  EXPECT_TRUE(std::signbit(kqfx::fmax(0.0f, -0.0f)));
  EXPECT_FALSE(std::signbit(kqfx::fmin(-0.0f, 0.0f)));
}

TEST(Clip, BoundsToPlusMinusOneAndLetsNaNThrough) {
  EXPECT_EQ(clip(1.5f), 1.0f);
  EXPECT_EQ(clip(-1.5f), -1.0f);
  EXPECT_EQ(clip(1.0f), 1.0f);
  EXPECT_EQ(clip(-0.25f), -0.25f);
  EXPECT_TRUE(std::isnan(clip(kNaN)));
}

TEST(Inverse, IsTheDistanceFromOne) {
  EXPECT_EQ(inverse(0.25f), 0.75f);
  EXPECT_EQ(inverse(1.0f), 0.0f);
  EXPECT_EQ(inverse(1.5f), 0.5f);
  EXPECT_EQ(inverse(0.0f), 1.0f);
  EXPECT_EQ(inverse(0.3f), static_cast<float>(1.0 - static_cast<double>(0.3f)));
}

TEST(Ftenths, FloorsToAWholeNumber) {
  EXPECT_EQ(ftenths(119.9f), 119.0f);
  EXPECT_EQ(ftenths(-0.5f), -1.0f);
  EXPECT_EQ(ftenths(3.0f), 3.0f);
}

TEST(DumbCompress, MapsMagnitudeOneToTheCeilingAboveTheThreshold) {
  EXPECT_EQ(dumbCompress(1.0f, 0.5f, 0.75f), 0.75f);
  EXPECT_EQ(dumbCompress(-1.0f, 0.5f, 0.75f), -0.75f);
  EXPECT_EQ(dumbCompress(0.4f, 0.5f, 0.75f), 0.4f);
  EXPECT_EQ(dumbCompress(0.5f, 0.5f, 0.75f), 0.5f);
  EXPECT_EQ(dumbCompress(0.75f, 0.5f, 0.75f), 0.625f);
  EXPECT_EQ(dumbCompress(2.0f, 0.5f, 0.75f), 1.25f);
}

TEST(DumbCompress, ZeroAndNaNGivePositiveZero) {
  const float zero = dumbCompress(0.0f, 0.5f, 0.75f);
  EXPECT_EQ(zero, 0.0f);
  EXPECT_FALSE(std::signbit(zero));
  EXPECT_FALSE(std::signbit(dumbCompress(-0.0f, 0.5f, 0.75f)));
  const float nan = dumbCompress(kNaN, 0.5f, 0.75f);
  EXPECT_EQ(nan, 0.0f);
  EXPECT_FALSE(std::signbit(nan));
}

TEST(DumbCompress, ThresholdOfOneOrMorePassesMagnitudesUnchanged) {
  EXPECT_EQ(dumbCompress(3.0f, 1.0f, 1.0f), 3.0f);
  EXPECT_EQ(dumbCompress(-3.0f, 1.0f, 1.0f), -3.0f);
  EXPECT_EQ(dumbCompress(1.5f, 1.0f, 0.5f), 1.5f);
  EXPECT_EQ(dumbCompress(5.0f, 2.0f, 0.5f), 5.0f);
  EXPECT_EQ(dumbCompress(0.7f, 1.0f, 1.0f), 0.7f);
  EXPECT_EQ(dumbCompress(0.7f, kNaN, 1.0f), 0.7f);
  EXPECT_TRUE(std::isfinite(dumbCompress(std::numeric_limits<float>::max(), 1.0f, 1.0f)));
}

}  // namespace
}  // namespace kqfx
