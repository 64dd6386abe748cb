// A settled smoother stays settled past 2^31 ticks: the tick count must
// not wrap round below the ramp. Runs two billion ticks, so it is kept
// apart from the quick tests (label "long").

#include <gtest/gtest.h>

#include <cstdint>

#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx {
namespace {

TEST(SmoothParameterLong, StaysAtItsTargetPastTwoToTheThirtyOneTicks) {
  SmoothParameter p(16384, 0.5f);
  p.setTargetValue(0.75f);
  const int64_t ticks = int64_t{1} << 31;
  for (int64_t i = 0; i < ticks + 16; ++i) p.tick();
  EXPECT_EQ(p.ticksSinceChange(), INT32_MAX);
  EXPECT_EQ(p.getCurrentValue(), 0.75f);
  EXPECT_TRUE(p.isSettled());
  p.setTargetValue(0.25f);  // and a new glide still works from there
  p.tick();
  EXPECT_EQ(p.ticksSinceChange(), 1);
  EXPECT_LT(p.getCurrentValue(), 0.75f);
}

}  // namespace
}  // namespace kqfx
