// The tempo filter's LFO on its own: the sweep keeps its exact shape far
// past the counts where a float (2^24) or a 32-bit integer (2^32) would
// stop or wrap. Positions are reached with seek, not by running there.

#include <gtest/gtest.h>

#include <cstdint>

#include "tempo-filter/TriangleSweep.h"

namespace kqfx {
namespace {

constexpr uint32_t kSweep = 26460;  // 100 BPM, one beat, 44100 Hz

float rising(uint32_t phase) { return static_cast<float>(phase / 26460.0); }
float falling(uint32_t phase) { return static_cast<float>(1.0 - phase / 26460.0); }

TEST(TriangleSweep, StartsRisingAndTurnsOnTheLastSampleOfEachSweep) {
  TriangleSweep lfo;
  EXPECT_EQ(lfo.next(kSweep), rising(1));
  for (uint32_t phase = 2; phase < kSweep; ++phase) ASSERT_EQ(lfo.next(kSweep), rising(phase));
  EXPECT_TRUE(lfo.isFalling());
  EXPECT_EQ(lfo.next(kSweep), 1.0f);
  for (uint32_t phase = 1; phase < kSweep; ++phase) ASSERT_EQ(lfo.next(kSweep), falling(phase));
  EXPECT_EQ(lfo.next(kSweep), 0.0f);
  EXPECT_EQ(lfo.next(kSweep), rising(1));
  EXPECT_EQ(lfo.count(), 2u * kSweep + 1);
}

TEST(TriangleSweep, CountsOnPastTwoToTheTwentyFour) {
  // 2^24 = 634 sweeps of 26460 and 1576 samples: an even number of whole
  // sweeps, so the count 2^24 is 1576 samples into a rising sweep.
  TriangleSweep lfo;
  lfo.seek((uint64_t{1} << 24) - 1, false);
  for (uint32_t phase = 1576; phase < kSweep; ++phase) ASSERT_EQ(lfo.next(kSweep), rising(phase));
  EXPECT_EQ(lfo.count(), (uint64_t{1} << 24) + 24883);
  EXPECT_EQ(lfo.next(kSweep), 1.0f);
  EXPECT_EQ(lfo.next(kSweep), falling(1));
}

TEST(TriangleSweep, CountsOnPastTwoToTheThirtyTwo) {
  // 2^32 = 162319 sweeps and 6556 samples: an odd number, so it falls.
  TriangleSweep lfo;
  lfo.seek((uint64_t{1} << 32) - 1, true);
  EXPECT_EQ(lfo.next(kSweep), falling(6556));
  EXPECT_EQ(lfo.next(kSweep), falling(6557));
  for (uint32_t phase = 6558; phase < kSweep; ++phase) ASSERT_EQ(lfo.next(kSweep), falling(phase));
  EXPECT_EQ(lfo.next(kSweep), 0.0f);
  EXPECT_FALSE(lfo.isFalling());
}

TEST(TriangleSweep, ANewLengthCarriesOnFromTheSameCount) {
  TriangleSweep lfo;
  lfo.seek(1000, false);
  EXPECT_EQ(lfo.next(kSweep), rising(1001));
  EXPECT_EQ(lfo.next(600), static_cast<float>(402 / 600.0));  // 1002 = 600 + 402
  EXPECT_EQ(lfo.lastLength(), 600u);
}

TEST(TriangleSweep, LengthsBelowTwoSweepOverTwoSamples) {
  for (uint32_t length : {0u, 1u, 2u}) {
    TriangleSweep lfo;
    EXPECT_EQ(lfo.next(length), 0.5f);
    EXPECT_EQ(lfo.next(length), 1.0f);
    EXPECT_EQ(lfo.next(length), 0.5f);
    EXPECT_EQ(lfo.next(length), 0.0f);
    EXPECT_EQ(lfo.next(length), 0.5f);
  }
}

}  // namespace
}  // namespace kqfx
