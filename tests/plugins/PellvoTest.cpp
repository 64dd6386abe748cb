// Pellvo through its shared object: gain, DC removal, texts, suspend.

#include <gtest/gtest.h>

#include <cmath>

#include "TestPlugins.h"
#include "kqfx/dsp/GainLaw.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;
using test::StereoBuffers;

class PellvoTest : public ::testing::Test {
 protected:
  PluginLibrary library{test::pluginPath("Pellvo")};
  PluginInstance plugin{library};
};

float decayed(float start, int frames) {
  float y = start;
  for (int i = 0; i < frames; ++i) y = static_cast<float>(start + 0.9999 * y - start);
  return y;
}

TEST_F(PellvoTest, NamesLabelsAndTexts) {
  EXPECT_EQ(plugin.parameterName(0), "Input Gain");
  EXPECT_EQ(plugin.parameterLabel(0), "dB");
  EXPECT_EQ(plugin.parameterDisplay(0), "0.000000");
  EXPECT_EQ(plugin.getParameter(0), 0.5f);
  plugin.setParameter(0, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(0), "24.00000");
  plugin.setParameter(0, 0.0f);
  EXPECT_EQ(plugin.parameterDisplay(0), "-24.0000");
  plugin.setParameter(0, 0.75f);
  EXPECT_EQ(plugin.parameterDisplay(0), "12.00000");
  char untouched[16] = "keep";
  plugin.dispatch(opGetParameterName, 1, 0, untouched);
  EXPECT_STREQ(untouched, "keep");
  EXPECT_EQ(plugin.getParameter(1), 0.0f);
}

TEST_F(PellvoTest, AConstantDecaysAwayFrameByFrame) {
  StereoBuffers io(64);
  io.fillInput(0.5f, 0.5f);
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 64);
  float expected = 0.5f;
  for (int i = 0; i < 64; ++i) {
    ASSERT_EQ(io.out[0][i], expected) << i;
    ASSERT_EQ(io.out[1][i], expected) << i;
    expected = static_cast<float>(0.5 + 0.9999 * expected - 0.5);
  }
  EXPECT_EQ(io.out[0][2], decayed(0.5f, 2));
}

TEST_F(PellvoTest, GainGlidesToItsFullFactorOver16384Frames) {
  plugin.setParameter(0, 1.0f);
  EXPECT_EQ(plugin.getParameter(0), 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(0), "24.00000");
  // A unit impulse at the last frame of the glide shows the gain factor
  // directly: the filter's response to a fresh impulse starts at its size.
  StereoBuffers io(16384);
  io.in[0][16383] = 1.0f;
  io.in[1][16383] = -1.0f;
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 16384);
  EXPECT_EQ(io.out[0][16383], 15.848932f);
  EXPECT_EQ(io.out[1][16383], -15.848932f);
  EXPECT_LT(io.out[0][16382], 1e-30f);
}

TEST_F(PellvoTest, ZeroFramesTouchNothing) {
  StereoBuffers io(4);
  io.fillInput(0.5f, 0.5f);
  io.out[0][0] = 9.0f;
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 0);
  EXPECT_EQ(io.out[0][0], 9.0f);
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 1);
  EXPECT_EQ(io.out[0][0], 0.5f);  // the first frame: nothing advanced before
}

TEST_F(PellvoTest, ProcessAddsWhereProcessReplacingOverwrites) {
  PluginInstance twin(library);
  StereoBuffers replaced(32), added(32);
  replaced.fillInput(0.25f, -0.5f);
  added.fillInput(0.25f, -0.5f);
  std::fill(added.out[0].begin(), added.out[0].end(), 1.0f);
  std::fill(added.out[1].begin(), added.out[1].end(), 2.0f);
  std::fill(replaced.out[0].begin(), replaced.out[0].end(), 7.0f);
  plugin.processReplacing(replaced.inputs.data(), replaced.outputs.data(), 32);
  twin.process(added.inputs.data(), added.outputs.data(), 32);
  for (int i = 0; i < 32; ++i) {
    ASSERT_EQ(added.out[0][i], 1.0f + replaced.out[0][i]) << i;
    ASSERT_EQ(added.out[1][i], 2.0f + replaced.out[1][i]) << i;
  }
}

TEST_F(PellvoTest, SuspendRestartsTheCountButKeepsTheFilterMemory) {
  StereoBuffers io(3);
  io.fillInput(0.5f, 0.5f);
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 3);
  plugin.suspend();
  plugin.resume();
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 1);
  EXPECT_EQ(io.out[0][0], decayed(0.5f, 3));
}

TEST_F(PellvoTest, SuspendStopsAGlideWhereItStands) {
  plugin.setParameter(0, 1.0f);
  StereoBuffers io(100);
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 100);
  plugin.suspend();
  const float reached = plugin.getParameter(0);
  EXPECT_EQ(reached, static_cast<float>(0.5 + 100 * static_cast<double>(static_cast<float>(0.5 / 16384))));
  io.fillInput(0.0f, 0.0f);
  io.in[0][99] = 1.0f;
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 100);
  EXPECT_EQ(io.out[0][99], StandardGain::gain2factor(reached));
}

}  // namespace
}  // namespace kqfx
