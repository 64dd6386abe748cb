// SmoothParameter::nextValues and CachedGain::factors against the frame by
// frame operations they stand for: the same values, bit for bit, and the
// smoother left in the same state.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

#include "kqfx/dsp/CachedGain.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx {
namespace {

uint32_t bits(float value) { return std::bit_cast<uint32_t>(value); }

struct Glide {
  int32_t ramp;
  float start;
  float target;
};

// Runs a frame-by-frame twin and a block smoother side by side through
// blocks of the given sizes, with a new target before block `retarget`.
void expectBlocksMatchTicks(const Glide& glide, const std::vector<int32_t>& blocks,
                            std::size_t retarget, float newTarget) {
  SmoothParameter byFrame(glide.ramp, glide.start);
  SmoothParameter byBlock(glide.ramp, glide.start);
  byFrame.setTargetValue(glide.target);
  byBlock.setTargetValue(glide.target);
  int32_t frame = 0;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (b == retarget) {
      byFrame.setTargetValue(newTarget);
      byBlock.setTargetValue(newTarget);
    }
    std::vector<float> values(static_cast<std::size_t>(blocks[b]) + 1, 123.0f);
    byBlock.nextValues(values.data(), blocks[b]);
    for (int32_t i = 0; i < blocks[b]; ++i, ++frame) {
      byFrame.tick();
      ASSERT_EQ(bits(values[static_cast<std::size_t>(i)]), bits(byFrame.getCurrentValue()))
          << "ramp " << glide.ramp << " frame " << frame;
    }
    EXPECT_EQ(values.back(), 123.0f) << "wrote past the block";
    EXPECT_EQ(bits(byBlock.getCurrentValue()), bits(byFrame.getCurrentValue()));
    EXPECT_EQ(byBlock.ticksSinceChange(), byFrame.ticksSinceChange());
    EXPECT_EQ(byBlock.isSteady(), byFrame.isSteady());
  }
  // Both carry on alike tick by tick.
  for (int i = 0; i < 5; ++i) {
    byFrame.tick();
    byBlock.tick();
    EXPECT_EQ(bits(byBlock.getCurrentValue()), bits(byFrame.getCurrentValue()));
  }
}

TEST(SmootherBlocks, NextValuesAreTheTicksValuesThroughTheEndOfEveryGlide) {
  const std::vector<Glide> glides = {
      {16384, 0.5f, 0.75f}, {3, 0.1f, 0.7f}, {1, 0.0f, 0.8f},  {0, 0.25f, 0.75f},
      {-5, 0.25f, 0.75f},   {7, 1.0f, 0.0f}, {5, 0.3f, 0.3f},  {4, -0.0f, -0.0f},
      {4, 0.5f, -0.0f},     {6, -0.0f, 0.5f}, {100, 0.9f, 1e-7f}};
  const std::vector<std::vector<int32_t>> blockings = {
      {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {2, 3, 5, 7}, {64, 64, 1000}, {4096, 8192, 4096, 1, 7}};
  for (const Glide& glide : glides) {
    for (const std::vector<int32_t>& blocks : blockings) {
      expectBlocksMatchTicks(glide, blocks, blocks.size(), 0.0f);
      // A target handed over between blocks starts a glide from the value
      // reached, at the next block's first frame.
      expectBlocksMatchTicks(glide, blocks, 2, 0.125f);
      expectBlocksMatchTicks(glide, blocks, 1, -0.0f);
    }
  }
}

TEST(SmootherBlocks, ARestingNegativeZeroTurnsPositiveAsTicksMakeIt) {
  SmoothParameter p(4, -0.0f);
  float values[6];
  p.nextValues(values, 6);
  // Ticks inside the (empty) ramp compute -0 + 0 = +0; past it, the target.
  EXPECT_EQ(bits(values[0]), bits(0.0f));
  EXPECT_EQ(bits(values[2]), bits(0.0f));
  EXPECT_EQ(bits(values[3]), bits(-0.0f));
  EXPECT_EQ(bits(values[5]), bits(-0.0f));
}

TEST(SmootherBlocks, ZeroFramesChangeNothingButTakeUpTheTarget) {
  SmoothParameter p(8, 0.0f);
  p.setTargetValue(1.0f);
  p.nextValues(nullptr, 0);
  EXPECT_EQ(p.ticksSinceChange(), 0);
  EXPECT_EQ(p.getCurrentValue(), 0.0f);
  float value = 0.0f;
  p.nextValues(&value, 1);
  EXPECT_EQ(value, static_cast<float>(1.0 / 8.0));
}

TEST(SmootherBlocks, TheTickCountStopsAtItsLargestValue) {
  SmoothParameter p(16, 0.5f);
  p.skipTicks(std::numeric_limits<int32_t>::max() - 3);
  std::vector<float> values(10);
  p.nextValues(values.data(), 10);
  EXPECT_EQ(p.ticksSinceChange(), std::numeric_limits<int32_t>::max());
  for (const float v : values) EXPECT_EQ(v, 0.5f);
  p.setTargetValue(1.0f);
  p.nextValues(values.data(), 2);
  EXPECT_EQ(values[1], static_cast<float>(0.5 + 2.0 * static_cast<double>(static_cast<float>(0.5 / 16.0))));
}

template <class Law>
void expectFactorsMatchFrameByFrame() {
  // Settled, gliding, arriving, settled again, a new glide mid-way.
  SmoothParameter byFrame(300, 0.5f);
  SmoothParameter byBlock(300, 0.5f);
  CachedGain<Law> frameGain;
  CachedGain<Law> blockGain;
  const std::vector<int32_t> blocks = {10, 64, 200, 64, 64, 33, 1, 512};
  int32_t frame = 0;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (b == 1 || b == 5) {
      const float target = b == 1 ? 0.0f : 0.93f;
      byFrame.setTargetValue(target);
      byBlock.setTargetValue(target);
    }
    std::vector<float> factors(static_cast<std::size_t>(blocks[b]));
    blockGain.factors(byBlock, factors.data(), blocks[b]);
    for (int32_t i = 0; i < blocks[b]; ++i, ++frame) {
      byFrame.tick();
      const float value = byFrame.getCurrentValue();
      ASSERT_EQ(bits(factors[static_cast<std::size_t>(i)]), bits(frameGain.factor(value)))
          << "frame " << frame;
      ASSERT_EQ(bits(frameGain.factor(value)), bits(Law::gain2factor(value)));
    }
    EXPECT_EQ(byBlock.ticksSinceChange(), byFrame.ticksSinceChange());
    // The cache holds the last frame's factor afterwards.
    EXPECT_EQ(bits(blockGain.factor(byBlock.getCurrentValue())),
              bits(Law::gain2factor(byFrame.getCurrentValue())));
  }
}

TEST(SmootherBlocks, CachedGainFactorsAreTheFrameByFrameFactors) {
  expectFactorsMatchFrameByFrame<StandardGain>();
  expectFactorsMatchFrameByFrame<ReverbGain>();
  // The echoes' law reaches exactly 0 (silence) at the end of the glide.
  expectFactorsMatchFrameByFrame<EchoGain>();
}

}  // namespace
}  // namespace kqfx
