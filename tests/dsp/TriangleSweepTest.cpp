// The tempo filter's LFO on its own: the sweep keeps its exact shape far
// past the counts where a float (2^24) or a 32-bit integer (2^32) would
// stop or wrap. Positions are reached with seek, not by running there.

#include <gtest/gtest.h>

#include <cstdint>

#include "kqfx/dsp/TriangleSweep.h"

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

// A stretch of samples taken at once gives what as many single steps give,
// across turning points, from any count, after a length change, and for
// the shortest sweep.
TEST(TriangleSweep, AStretchAtOnceEqualsOneSampleAtATime) {
  struct Start {
    uint64_t count;
    bool falling;
    uint32_t lengthBefore;
    uint32_t length;
    int32_t frames;
  };
  const Start starts[] = {
      {0, false, 0, kSweep, 64},        {kSweep - 70, false, kSweep, kSweep, 64},
      {2 * kSweep - 3, true, kSweep, kSweep, 7},
      {(uint64_t{1} << 32) - 5, true, kSweep, kSweep, 64},
      {1000, false, kSweep, 600, 64},   {17, false, 5, 2, 9},
      {3, true, 4, 1, 5},               {599, false, 600, 600, 1},
  };
  for (const Start& start : starts) {
    TriangleSweep one;
    TriangleSweep many;
    one.seek(start.count, start.falling);
    many.seek(start.count, start.falling);
    if (start.lengthBefore > 0) {
      one.next(start.lengthBefore);
      many.next(start.lengthBefore);
    }
    float m[64];
    many.next(start.length, m, start.frames);
    for (int32_t i = 0; i < start.frames; ++i) {
      ASSERT_EQ(m[i], one.next(start.length)) << "from count " << start.count << ", sample " << i;
    }
    EXPECT_EQ(many.count(), one.count());
    EXPECT_EQ(many.isFalling(), one.isFalling());
    EXPECT_EQ(many.lastLength(), one.lastLength());
  }
}

}  // namespace
}  // namespace kqfx
