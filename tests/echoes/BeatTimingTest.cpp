// The beat echoes' tempo arithmetic: whole and exact beats per minute, the
// beat in the host's samples and in the delay memory's, and the guards
// against tempos of almost nothing.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kqfx/dsp/BeatTiming.h"

namespace kqfx::beat {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(BeatTiming, SaturatingFloorStaysInsideThirtyTwoBits) {
  EXPECT_EQ(saturatingFloor(2.99), 2);
  EXPECT_EQ(saturatingFloor(-0.5), -1);
  EXPECT_EQ(saturatingFloor(2147483646.5), 2147483646);
  EXPECT_EQ(saturatingFloor(2147483647.0), kMax);
  EXPECT_EQ(saturatingFloor(1e300), kMax);
  EXPECT_EQ(saturatingFloor(std::numeric_limits<double>::infinity()), kMax);
  EXPECT_EQ(saturatingFloor(-2147483648.0), kMin);
  EXPECT_EQ(saturatingFloor(-1e300), kMin);
  EXPECT_EQ(saturatingFloor(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(BeatTiming, WholeBeatsPerMinute) {
  EXPECT_EQ(wholeBpm(0.33333334f), 100);
  EXPECT_EQ(wholeBpm(1.0f), 300);
  EXPECT_EQ(wholeBpm(kOneBpm), 1);
  EXPECT_EQ(wholeBpm(0.02f), 5);  // 5.99999987 in double
  EXPECT_EQ(wholeBpm(0.001f), 0);
  EXPECT_EQ(wholeBpm(1e30f), kMax);
  EXPECT_EQ(msPerWholeBeat(0.33333334f), 600.0f);
  EXPECT_EQ(msPerWholeBeat(1.0f), 200.0f);
  EXPECT_EQ(msPerWholeBeat(0.335f), 600.0f);
  // Less than one whole beat per minute counts as one.
  EXPECT_EQ(msPerWholeBeat(kOneBpm), 60000.0f);
  EXPECT_EQ(msPerWholeBeat(0.001f), 60000.0f);
  EXPECT_EQ(msPerWholeBeat(0.0f), 60000.0f);
}

TEST(BeatTiming, ExactBeatsPerMinuteKeepTheirFraction) {
  EXPECT_EQ(msPerExactBeat(0.33333334f), 600.0f);
  EXPECT_EQ(msPerExactBeat(0.5f), 400.0f);
  EXPECT_EQ(msPerExactBeat(0.335f), static_cast<float>(60000.0 / 100.50000250339508));
  EXPECT_EQ(msPerExactBeat(0.001f), static_cast<float>(60000.0 / (0.001f * 300.0)));
  EXPECT_EQ(msPerExactBeat(0.0f), 60000.0f);
  EXPECT_EQ(msPerExactBeat(-1e-7f), 60000.0f);
  // Too long for a float: the sample counts below still stay bounded.
  EXPECT_TRUE(std::isinf(msPerExactBeat(1e-38f)));
}

TEST(BeatTiming, TheBeatInTheHostsSamples) {
  EXPECT_EQ(samplesPerBeat(44100.0, 600.0f), 26460);
  EXPECT_EQ(samplesPerBeat(48000.0, 600.0f), 28800);
  EXPECT_EQ(samplesPerBeat(44100.0, msPerExactBeat(0.335f)), 26328);
  EXPECT_EQ(samplesPerBeat(768000.0, 60000.0f), 46080000);
  EXPECT_EQ(samplesPerBeat(44100.0, std::numeric_limits<float>::infinity()), kMax);
  EXPECT_EQ(samplesPerBeat(44100.0, 0.01f), 0);
}

TEST(BeatTiming, TheMemoryHoldsTenSecondsAndTheDelayNeverMore) {
  EXPECT_EQ(memoryLength(44100.0), 441000);
  EXPECT_EQ(memoryLength(22050.0), 220500);
  EXPECT_EQ(memoryLength(768000.0), 7680000);
  EXPECT_EQ(memoryLength(0.05), 0);
  EXPECT_EQ(delayLength(600.0f, 441000), 26460);
  EXPECT_EQ(delayLength(600.0f, 480000), 28800);
  EXPECT_EQ(delayLength(10000.0f, 441000), 441000);
  EXPECT_EQ(delayLength(12000.0f, 441000), 441000);
  EXPECT_EQ(delayLength(60000.0f, 7680000), 7680000);
  EXPECT_EQ(delayLength(std::numeric_limits<float>::infinity(), 441000), 441000);
  EXPECT_EQ(delayLength(0.0f, 441000), 0);
}

TEST(BeatTiming, TheAttenuatedSideChangesWhenABeatIsComplete) {
  EchoBeat beat;
  EXPECT_EQ(beat.echoSide, EchoBeat::kRightAttenuated);
  std::vector<int> sides;
  for (int i = 0; i < 7; ++i) {
    beat.count(3);
    sides.push_back(beat.echoSide);
  }
  EXPECT_EQ(sides, (std::vector<int>{1, 1, 0, 0, 0, 1, 1}));
  EXPECT_EQ(beat.beatCount, 1);
  // A beat shorter than the count so far ends at once, and so does one of
  // no frames, every frame.
  beat.count(1);
  EXPECT_EQ(beat.echoSide, 0);
  beat.count(0);
  EXPECT_EQ(beat.echoSide, 1);
  EXPECT_EQ(beat.beatCount, 0);
}

}  // namespace
}  // namespace kqfx::beat
