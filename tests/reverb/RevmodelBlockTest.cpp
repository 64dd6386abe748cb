// The reverb engine run in long blocks (frames taken four at a time
// between wraps) against the same engine fed one frame per call (every
// frame taken alone): the same samples bit for bit on both instruction
// paths, through glides, strides, non-finite input and overflow.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "kqfx/dsp/SmoothParameter.h"
#include "revmodel.h"

namespace kqfx {
namespace {

using Channels = std::array<std::vector<float>, 2>;

Channels stereoNoise(std::size_t frames, float amplitude) {
  Channels out{std::vector<float>(frames), std::vector<float>(frames)};
  uint32_t state = 977;
  for (std::size_t i = 0; i < frames; ++i) {
    for (auto& channel : out) {
      state = state * 1664525u + 1013904223u;
      channel[i] = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
    }
  }
  return out;
}

// An engine in a long-ringing room with gliding controls. `dry` puts the
// engine's own dry term in the wet sums, so a non-finite input sample
// makes them non-finite without overflowing the network.
struct Rig {
  Rig(LanePath path, float dryTerm, float roomsize) {
    reverb->setLanePath(path);
    reverb->setwet(1.0f);
    reverb->setroomsize(roomsize);
    reverb->setwidth(-8.0f);
    reverb->setcompthreshold(0.00001f);
    reverb->setcompceiling(0.45f);
    reverb->setdry(dryTerm);
    dry.setTargetValue(0.8f);
    depth.setTargetValue(0.3f);
    brightness.setTargetValue(0.9f);
  }

  // Mixes into outputs holding 5 (or replaces them) `block` frames per
  // call, the samples `stride` floats apart.
  Channels render(const Channels& input, std::size_t block, bool mix, int32_t stride) {
    const std::size_t frames = input[0].size();
    const auto s = static_cast<std::size_t>(stride);
    Channels in{std::vector<float>(frames * s, 7.0f), std::vector<float>(frames * s, 7.0f)};
    Channels out{std::vector<float>(frames * s, 5.0f), std::vector<float>(frames * s, 5.0f)};
    for (std::size_t i = 0; i < frames; ++i) {
      in[0][i * s] = input[0][i];
      in[1][i * s] = input[1][i];
    }
    for (std::size_t done = 0; done < frames; done += block) {
      const auto n = static_cast<int32_t>(std::min(block, frames - done));
      const std::size_t at = done * s;
      if (mix) {
        reverb->processmix(&in[0][at], &in[1][at], &out[0][at], &out[1][at], n, stride, &dry,
                           &depth, &brightness);
      } else {
        reverb->processreplace(&in[0][at], &in[1][at], &out[0][at], &out[1][at], n, stride,
                               &dry, &depth, &brightness);
      }
    }
    Channels result{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t i = 0; i < frames; ++i) {
      result[0][i] = out[0][i * s];
      result[1][i] = out[1][i * s];
      // Samples between the frames are never written.
      if (s > 1) {
        EXPECT_EQ(out[1][i * s + 1], 5.0f) << i;
      }
    }
    return result;
  }

  std::unique_ptr<revmodel> reverb = std::make_unique<revmodel>();
  SmoothParameter dry{3000, 0.4375f};
  SmoothParameter depth{3000, 0.5f};
  SmoothParameter brightness{3000, 0.5f};
};

void expectSameBits(const Channels& a, const Channels& b) {
  for (std::size_t ch = 0; ch < 2; ++ch) {
    ASSERT_EQ(a[ch].size(), b[ch].size());
    for (std::size_t i = 0; i < a[ch].size(); ++i) {
      ASSERT_EQ(std::bit_cast<uint32_t>(a[ch][i]), std::bit_cast<uint32_t>(b[ch][i]))
          << "channel " << ch << " frame " << i;
    }
  }
}

class RevmodelBlocks : public ::testing::TestWithParam<LanePath> {
 protected:
  // The same input through a fresh engine in blocks and frame by frame.
  Channels expectBlocksAsFrames(const Channels& input, bool mix, int32_t stride,
                                float dryTerm = 0.0f, float roomsize = 1.0001f) {
    Rig blocks(GetParam(), dryTerm, roomsize);
    Rig frames(GetParam(), dryTerm, roomsize);
    const Channels a = blocks.render(input, 509, mix, stride);
    const Channels b = frames.render(input, 1, mix, stride);
    expectSameBits(a, b);
    return a;
  }
  void SetUp() override {
    Rig probe(GetParam(), 0.0f, 1.0f);
    if (probe.reverb->lanePath() != GetParam()) {
      GTEST_SKIP() << "the processor has no wider path";
    }
  }
};

TEST_P(RevmodelBlocks, GlidingAndSteadyFramesMatchFrameByFrameInBothOperationsAndStrides) {
  // The glides last 3000 frames; the rest of the signal runs steady.
  const Channels input = stereoNoise(9000, 0.7f);
  for (bool mix : {false, true}) {
    for (int32_t stride : {1, 2}) {
      const Channels out = expectBlocksAsFrames(input, mix, stride);
      // The comparison means something only if the reverb sounded.
      EXPECT_NE(out[0][8000], mix ? 5.0f : 0.0f);
    }
  }
}

TEST_P(RevmodelBlocks, ANonFiniteInputDropsItsFrameOnlyWhereverItFallsInARun) {
  Channels input = stereoNoise(6000, 0.5f);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // Lone bad samples at each of four successive frames, and a run of them.
  const std::vector<std::size_t> bad{3001, 3102, 3203, 3304, 4000, 4001, 4002, 4003, 4004};
  for (std::size_t i : bad) input[i % 2][i] = i % 3 == 0 ? nan : (i % 3 == 1 ? inf : -inf);
  const Channels out = expectBlocksAsFrames(input, true, 1, 1.0f);
  // With the engine's dry term the sums of those frames are not finite:
  // the frame adds nothing, while the frames around it sound.
  for (std::size_t i : bad) {
    EXPECT_EQ(out[0][i], 5.0f) << i;
    EXPECT_EQ(out[1][i], 5.0f) << i;
  }
  EXPECT_NE(out[0][3000], 5.0f);
  EXPECT_NE(out[0][3002], 5.0f);
  EXPECT_NE(out[1][4005], 5.0f);
}

TEST_P(RevmodelBlocks, AnOverflowingNetworkIsClearedAtTheSameFrameAsFrameByFrame) {
  // A room whose combs feed back more than they get: full-scale input
  // grows in the lines until their sums overflow, the lines are cleared
  // and fill again, over and over, at frames all over the four-frame runs.
  const Channels input{std::vector<float>(40000, FLT_MAX), std::vector<float>(40000, FLT_MAX)};
  const Channels out = expectBlocksAsFrames(input, true, 1, 0.0f, 10.0f);
  // After a clear the lines answer silence until the shortest comb comes
  // round again, so the outputs keep what they held for over 1000 frames.
  int clears = 0;
  std::size_t untouched = 0;
  for (float s : out[0]) {
    untouched = s == 5.0f ? untouched + 1 : 0;
    clears += untouched == 1000;
  }
  EXPECT_GE(clears, 6);
  for (float s : out[1]) EXPECT_TRUE(std::isfinite(s));
}

std::string pathName(const ::testing::TestParamInfo<LanePath>& info) {
  switch (info.param) {
    case LanePath::kScalar: return "Scalar";
    case LanePath::kBaseline: return "Baseline";
    case LanePath::kWide: return "Wide";
  }
  return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Paths, RevmodelBlocks,
                         ::testing::Values(LanePath::kScalar, LanePath::kBaseline, LanePath::kWide),
                         pathName);

}  // namespace
}  // namespace kqfx
