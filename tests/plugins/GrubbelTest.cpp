// Grubbel through its shared object: every sample within the ceiling.

#include <gtest/gtest.h>

#include <cmath>

#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;
using test::StereoBuffers;

class GrubbelTest : public ::testing::Test {
 protected:
  // Lets a parameter change finish its glide.
  void settle() {
    StereoBuffers io(16384);
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), 16384);
  }
  std::array<float, 2> frame(float left, float right) {
    StereoBuffers io(1);
    io.fillInput(left, right);
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), 1);
    return {io.out[0][0], io.out[1][0]};
  }

  PluginLibrary library{test::pluginPath("Grubbel")};
  PluginInstance plugin{library};
};

TEST_F(GrubbelTest, NamesLabelsAndTexts) {
  EXPECT_EQ(plugin.parameterName(0), "Input Gain");
  EXPECT_EQ(plugin.parameterName(1), "Limit");
  EXPECT_EQ(plugin.parameterLabel(0), "dB");
  EXPECT_EQ(plugin.parameterLabel(1), "dB");
  EXPECT_EQ(plugin.parameterDisplay(0), "0.000000");
  EXPECT_EQ(plugin.parameterDisplay(1), "0.000000");
  plugin.setParameter(1, 0.5f);
  EXPECT_EQ(plugin.parameterDisplay(1), "-6.02059");
  plugin.setParameter(1, 0.0f);
  EXPECT_EQ(plugin.parameterDisplay(1), "  -oo   ");
  EXPECT_EQ(plugin.getParameter(1), 0.0f);
  char untouched[16] = "keep";
  plugin.dispatch(opGetParameterLabel, 2, 0, untouched);
  EXPECT_STREQ(untouched, "keep");
}

TEST_F(GrubbelTest, DefaultsClipToPlusMinusOne) {
  EXPECT_EQ(frame(1.2f, -3.0f), (std::array<float, 2>{1.0f, -1.0f}));
  EXPECT_EQ(frame(0.7f, -0.7f), (std::array<float, 2>{0.7f, -0.7f}));
  EXPECT_EQ(frame(1.0f, -1.0f), (std::array<float, 2>{1.0f, -1.0f}));
}

TEST_F(GrubbelTest, ALowerLimitIsTheNewCeiling) {
  plugin.setParameter(1, 0.5f);
  settle();
  EXPECT_EQ(frame(0.8f, -0.8f), (std::array<float, 2>{0.5f, -0.5f}));
  EXPECT_EQ(frame(0.5f, -0.5f), (std::array<float, 2>{0.5f, -0.5f}));
  EXPECT_EQ(frame(0.3f, 0.0f), (std::array<float, 2>{0.3f, 0.0f}));
}

TEST_F(GrubbelTest, FullGainDrivesSmallSignalsIntoTheCeiling) {
  plugin.setParameter(0, 1.0f);
  settle();
  EXPECT_EQ(frame(0.1f, -0.1f), (std::array<float, 2>{1.0f, -1.0f}));
  EXPECT_EQ(frame(0.01f, 0.0f)[0], 0.01f * 15.848932f);
}

TEST_F(GrubbelTest, LimitZeroSilencesWithSignedZeros) {
  plugin.setParameter(1, 0.0f);
  settle();
  const auto out = frame(0.5f, -0.5f);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_FALSE(std::signbit(out[0]));
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_TRUE(std::signbit(out[1]));
}

TEST_F(GrubbelTest, ASubnormalLimitIsFlushedAndNoSubnormalComesOut) {
  // A host may store any float. Through the glide to it and after.
  plugin.setParameter(1, 1e-40f);
  const auto input = test::noise(16384 + 4096, 1.0f, 7);
  const auto out = test::renderInBlocks(plugin, {input, input}, 1000);
  for (std::size_t i = 0; i < input.size(); ++i) {
    ASSERT_NE(std::fpclassify(out[0][i]), FP_SUBNORMAL) << i;
    if (i >= 16384) {
      ASSERT_EQ(out[0][i], 0.0f) << i;
    }
  }
  EXPECT_EQ(plugin.getParameter(1), 1e-40f);  // kept as the host set it
}

TEST_F(GrubbelTest, TheCeilingGlidesLikeTheGain) {
  plugin.setParameter(1, 0.0f);
  StereoBuffers io(16384);
  io.fillInput(1.0f, -1.0f);
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 16384);
  const float step = static_cast<float>(-1.0 / 16384);
  for (int i : {0, 1, 8191, 16382}) {
    const float ceiling = static_cast<float>(1.0 + (i + 1) * static_cast<double>(step));
    EXPECT_EQ(io.out[0][i], ceiling) << i;
    EXPECT_EQ(io.out[1][i], -ceiling) << i;
  }
  EXPECT_EQ(io.out[0][16383], 0.0f);
}

TEST_F(GrubbelTest, NaNInputStaysNaNAndDoesNotLinger) {
  const auto out = frame(std::numeric_limits<float>::quiet_NaN(), 0.5f);
  EXPECT_TRUE(std::isnan(out[0]));
  EXPECT_EQ(out[1], 0.5f);
  EXPECT_EQ(frame(0.25f, 0.25f)[0], 0.25f);
}

TEST_F(GrubbelTest, ProcessAddsTheLimitedSignal) {
  StereoBuffers io(16);
  io.fillInput(2.0f, -0.25f);
  std::fill(io.out[0].begin(), io.out[0].end(), 0.5f);
  std::fill(io.out[1].begin(), io.out[1].end(), 0.5f);
  plugin.process(io.inputs.data(), io.outputs.data(), 16);
  for (int i = 0; i < 16; ++i) {
    ASSERT_EQ(io.out[0][i], 1.5f);
    ASSERT_EQ(io.out[1][i], 0.25f);
  }
}

}  // namespace
}  // namespace kqfx
