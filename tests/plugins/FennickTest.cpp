// Fennick through its shared object: the three curves with exact values,
// the "Type" thresholds, texts, the bounded output and bad-input recovery.

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;
using test::StereoBuffers;
using Frame = std::array<float, 2>;

constexpr int32_t kGain = 0, kType = 1, kBlast = 2, kZeta = 3;
constexpr float kSaturate = 1.0f, kSquash = 0.5f, kSquelch = 0.0f;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Settings {
  float gain = 0.5f;
  float type = kSquelch;
  float blast = 0.5f;
  float zeta = 0.0f;
};

class FennickTest : public ::testing::Test {
 protected:
  // A new instance whose gain, "Blast" and "Zeta" have finished their
  // glides while its DC filter stayed at rest (Squash maps silence to exact
  // zeros); "Type" is selected last. Its next frame shows the curve itself.
  std::unique_ptr<PluginInstance> settledAtRest(const Settings& s) {
    auto fresh = std::make_unique<PluginInstance>(library);
    fresh->setParameter(kType, kSquash);
    fresh->setParameter(kGain, s.gain);
    fresh->setParameter(kBlast, s.blast);
    fresh->setParameter(kZeta, s.zeta);
    StereoBuffers silence(16384);
    fresh->processReplacing(silence.inputs.data(), silence.outputs.data(), 16384);
    fresh->setParameter(kType, s.type);
    return fresh;
  }
  static Frame frame(PluginInstance& instance, float left, float right) {
    StereoBuffers io(1);
    io.fillInput(left, right);
    instance.processReplacing(io.inputs.data(), io.outputs.data(), 1);
    return {io.out[0][0], io.out[1][0]};
  }
  // The first frame after settling: the curve's value for each input.
  Frame atRest(const Settings& s, float left, float right) {
    auto fresh = settledAtRest(s);
    return frame(*fresh, left, right);
  }

  PluginLibrary library{test::pluginPath("Fennick")};
  PluginInstance plugin{library};
};

TEST_F(FennickTest, NamesLabelsAndDefaultTexts) {
  const char* names[] = {"Input Gain", "Type", "Blast", "Zeta"};
  const char* labels[] = {"dB", " ", "%", "mPu"};
  const char* texts[] = {"0.000000", "Squelch", "50.00000", "0.000000"};
  const float values[] = {0.5f, 0.0f, 0.5f, 0.0f};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(plugin.parameterName(i), names[i]) << i;
    EXPECT_EQ(plugin.parameterLabel(i), labels[i]) << i;
    EXPECT_EQ(plugin.parameterDisplay(i), texts[i]) << i;
    EXPECT_EQ(plugin.getParameter(i), values[i]) << i;
  }
  EXPECT_EQ(plugin.record().uniqueID, fourCharCode("KQFE"));
  EXPECT_EQ(plugin.programName(), "default");
  for (int32_t op : {opGetParameterName, opGetParameterLabel, opGetParameterDisplay}) {
    char untouched[16] = "keep";
    plugin.dispatch(op, 4, 0, untouched);
    plugin.dispatch(op, -1, 0, untouched);
    EXPECT_STREQ(untouched, "keep") << op;
  }
  EXPECT_EQ(plugin.getParameter(4), 0.0f);
}

TEST_F(FennickTest, TextsFollowTheTargetValues) {
  plugin.setParameter(kGain, 1.0f);
  plugin.setParameter(kBlast, 0.25f);
  plugin.setParameter(kZeta, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(kGain), "24.00000");
  EXPECT_EQ(plugin.parameterDisplay(kBlast), "25.00000");
  EXPECT_EQ(plugin.parameterDisplay(kZeta), "100.0000");
  plugin.setParameter(kGain, 0.0f);
  EXPECT_EQ(plugin.parameterDisplay(kGain), "-24.0000");
  plugin.setParameter(kType, 0.9f);
  EXPECT_EQ(plugin.parameterDisplay(kType), "Saturate");
  plugin.setParameter(kType, 0.5f);
  EXPECT_EQ(plugin.parameterDisplay(kType), "Squash");
  // "Type" is kept as written, also outside 0..1.
  plugin.setParameter(kType, 1.5f);
  EXPECT_EQ(plugin.getParameter(kType), 1.5f);
  EXPECT_EQ(plugin.parameterDisplay(kType), "Saturate");
  plugin.setParameter(kType, -2.0f);
  EXPECT_EQ(plugin.getParameter(kType), -2.0f);
  EXPECT_EQ(plugin.parameterDisplay(kType), "Squelch");
}

// The thresholds are the doubles 0.6666 and 0.3333 with strict tests: the
// floats 0.6666f and 0.3333f lie just below them, the next floats above.
TEST_F(FennickTest, TypeThresholdsAreStrictDoubles) {
  struct Case {
    float type;
    const char* text;
    float onHalf;  // defaults otherwise, input 0.5, first frame
  };
  const Case cases[] = {
      {0.6666f, "Squash", 0.41688874f},
      {std::nextafter(0.6666f, 1.0f), "Saturate", 0.49503052f},
      {0.3333f, "Squelch", 0.50025f},
      {std::nextafter(0.3333f, 1.0f), "Squash", 0.41688874f},
  };
  for (const Case& c : cases) {
    PluginInstance fresh(library);
    fresh.setParameter(kType, c.type);
    EXPECT_EQ(fresh.parameterDisplay(kType), c.text) << c.type;
    EXPECT_EQ(frame(fresh, 0.5f, 0.5f), (Frame{c.onHalf, c.onHalf})) << c.type;
  }
}

TEST_F(FennickTest, SquelchRectifiesItsShapedPart) {
  // The defaults: "Blast" 0.5, "Zeta" 0 (clamped to 0.001).
  EXPECT_EQ(frame(plugin, 0.5f, -0.5f), (Frame{0.50025f, 0.00025001168f}));
  PluginInstance fresh(library);
  EXPECT_EQ(frame(fresh, 0.0f, 0.0f), (Frame{5.0100107e-10f, 5.0100107e-10f}));
  // Fully wet at "Zeta" 0.5: c = 0.5 + d / (1 + 4 d^2) with d = 2|x| - 0.5.
  EXPECT_EQ(atRest({0.5f, kSquelch, 1.0f, 0.5f}, 0.5f, -0.5f), (Frame{0.75f, 0.75f}));
  EXPECT_EQ(atRest({0.5f, kSquelch, 1.0f, 0.5f}, 0.25f, 1.0f), (Frame{0.5f, 0.65f}));
  // "Zeta" above 0.8 acts as 0.8.
  for (float zeta : {0.8f, 1.0f, 7.0f}) {
    EXPECT_EQ(atRest({0.5f, kSquelch, 1.0f, zeta}, 0.5f, -0.1f), (Frame{0.9f, 0.74f})) << zeta;
  }
}

TEST_F(FennickTest, SquashIsASoftClipper) {
  EXPECT_EQ(atRest({0.5f, kSquash, 1.0f, 0.5f}, 0.5f, -0.5f), (Frame{0.5f, -0.5f}));
  // "Zeta" above 0.99 acts as 0.99; the curve itself may exceed 1 there.
  for (float zeta : {0.99f, 1.0f}) {
    EXPECT_EQ(atRest({0.5f, kSquash, 1.0f, zeta}, 0.5f, -0.5f), (Frame{0.59839356f, -0.59839356f}))
        << zeta;
  }
  // The input gain comes first: 0.5 times 10^0.6 drives the curve to
  // 1.2497, which the final clip holds at 1.
  EXPECT_EQ(atRest({0.75f, kSquash, 1.0f, 0.5f}, 0.5f, -0.5f), (Frame{1.0f, -1.0f}));
}

TEST_F(FennickTest, SaturateFollowsASineSegment) {
  const Settings halfWet{0.5f, kSaturate, 1.0f, 0.5f};
  EXPECT_EQ(atRest(halfWet, 1.0f, 0.5f), (Frame{0.5f, 0.35355338f}));
  // Above 1/k = 2 the segment holds at its top; below -2 the sine goes on.
  EXPECT_EQ(atRest(halfWet, 3.0f, -1.0f), (Frame{0.5f, -0.5f}));
  EXPECT_EQ(atRest(halfWet, -3.0f, 2.5f), (Frame{0.5f, 0.5f}));
  // Dry only, "Zeta" 0 clamped to 0.01: the level drops by 1 - k.
  EXPECT_EQ(atRest({0.5f, kSaturate, 0.0f, 0.0f}, 0.5f, -1.0f), (Frame{0.495f, -0.99f}));
  // "Zeta" above 0.975 acts as 0.975.
  for (float zeta : {0.975f, 1.0f}) {
    EXPECT_EQ(atRest({0.5f, kSaturate, 1.0f, zeta}, 0.5f, 0.2f), (Frame{0.31839162f, 0.18321811f}))
        << zeta;
  }
  // The lowest gain, 10^-1.2, before the curve.
  EXPECT_EQ(atRest({0.0f, kSaturate, 1.0f, 0.5f}, 1.0f, 0.0f), (Frame{0.049474183f, 0.0f}));
}

TEST_F(FennickTest, BlastGlidesWhileTypeSwitchesAtOnce) {
  // Squash, dry only; then "Blast" heads for 1 and glides by 1/16384 a frame.
  auto instance = settledAtRest({0.5f, kSquash, 0.0f, 0.5f});
  instance->setParameter(kBlast, 1.0f);
  EXPECT_EQ(instance->getParameter(kBlast), 1.0f);
  // b = 1/16384 of the curve's 0.2 mixed with 0.25 dry.
  EXPECT_EQ(frame(*instance, 0.25f, 0.25f), (Frame{0.24999695f, 0.24999695f}));
  // Saturate from the next frame on: b = 2/16384 of 0.35355338 with 0.5
  // dry, times 1 - k, through a filter that remembers the frame before.
  instance->setParameter(kType, kSaturate);
  EXPECT_EQ(instance->getParameter(kType), kSaturate);
  EXPECT_EQ(frame(*instance, 0.5f, 0.5f), (Frame{0.24998763f, 0.24998763f}));
}

TEST_F(FennickTest, TheLeftOutputIsStoredBeforeTheRightInputIsRead) {
  // The host hands the left output buffer in as the right input.
  std::vector<float> left{0.5f}, shared{0.0f}, right{0.0f};
  float* inputs[2] = {left.data(), shared.data()};
  float* outputs[2] = {shared.data(), right.data()};
  plugin.processReplacing(inputs, outputs, 1);
  EXPECT_EQ(shared[0], 0.50025f);
  EXPECT_EQ(right[0], 0.50037497f);  // Squelch of 0.50025 on the right channel
}

TEST_F(FennickTest, ProcessAddsWhereProcessReplacingOverwrites) {
  PluginInstance twin(library);
  StereoBuffers replaced(64), added(64);
  replaced.in[0] = test::noise(64, 0.8f, 1);
  replaced.in[1] = test::noise(64, 0.8f, 2);
  added.in = replaced.in;
  replaced.relink();
  added.relink();
  std::fill(replaced.out[0].begin(), replaced.out[0].end(), 7.0f);
  std::fill(added.out[0].begin(), added.out[0].end(), 0.25f);
  std::fill(added.out[1].begin(), added.out[1].end(), -3.0f);
  for (PluginInstance* instance : {&plugin, &twin}) {
    instance->setParameter(kType, kSaturate);
    instance->setParameter(kZeta, 0.7f);
  }
  plugin.processReplacing(replaced.inputs.data(), replaced.outputs.data(), 64);
  twin.process(added.inputs.data(), added.outputs.data(), 64);
  for (int i = 0; i < 64; ++i) {
    ASSERT_NE(replaced.out[0][i], 7.0f) << i;
    ASSERT_EQ(added.out[0][i], 0.25f + replaced.out[0][i]) << i;
    ASSERT_EQ(added.out[1][i], -3.0f + replaced.out[1][i]) << i;
  }
}

// Whatever the parameters (within 0..1 or far outside), finite input never
// leaves -1..1: huge gains and samples saturate instead of turning into
// infinities and NaN inside the curves.
TEST_F(FennickTest, FiniteInputAlwaysGivesOutputWithinPlusMinusOne) {
  const std::vector<float> extremes = {FLT_MAX, -FLT_MAX, 1e30f, -1e30f, 3.0f, -3.0f, 0.0f,
                                       -0.0f, 1e-40f, -FLT_MIN, 1.0f, -1.0f};
  std::vector<float> signal = test::noise(1024, 1.0f, 7);
  for (std::size_t i = 0; i < signal.size(); i += 16) signal[i] = extremes[(i / 16) % extremes.size()];
  StereoBuffers io(signal.size());
  io.in[0] = signal;
  io.in[1] = test::noise(signal.size(), 2.0f, 8);
  io.in[1][5] = FLT_MAX;
  io.in[1][6] = 0.0f;
  io.relink();

  const float gains[] = {0.0f, 0.5f, 1.0f, 4.0f, 30.0f, -30.0f};
  const float amounts[] = {0.0f, 0.5f, 1.0f, -3.0f, 40.0f};
  for (float type : {kSaturate, kSquash, kSquelch}) {
    for (float gain : gains) {
      PluginInstance instance(library);
      instance.setParameter(kType, type);
      instance.setParameter(kGain, gain);
      for (float blast : amounts) {
        for (float zeta : amounts) {
          instance.setParameter(kBlast, blast);
          instance.setParameter(kZeta, zeta);
          for (int block = 0; block < 17; ++block) {
            instance.processReplacing(io.inputs.data(), io.outputs.data(), 1024);
            for (const auto& channel : io.out) {
              for (float s : channel) {
                ASSERT_TRUE(s >= -1.0f && s <= 1.0f)
                    << s << " type " << type << " gain " << gain << " blast " << blast << " zeta "
                    << zeta;
              }
            }
          }
        }
      }
    }
  }
}

// A NaN or infinite sample may come out as it went in, but the DC filter
// forgets such a result: the following frames are exactly what a filter
// at rest gives. Squelch holds an infinity at the full-scale sample it
// clamps to, which the filter then remembers like any other.
TEST_F(FennickTest, TheFilterForgetsNaNAndInfinity) {
  struct Case {
    float bad;
    Frame after;  // defaults, then 0.5 and -0.5
  };
  const Case squelchCases[] = {
      {kNaN, {0.50025f, 0.00025001168f}},
      {kInf, {0.50014997f, 0.00015001168f}},
      {-kInf, {0.50035f, 0.00035001169f}},
  };
  for (const Case& c : squelchCases) {
    PluginInstance fresh(library);
    const Frame out = frame(fresh, c.bad, c.bad);
    if (std::isnan(c.bad)) {
      EXPECT_TRUE(std::isnan(out[0]) && std::isnan(out[1]));
    } else {
      const float held = std::copysign(1.0f, c.bad);
      EXPECT_EQ(out, (Frame{held, held}));
    }
    EXPECT_EQ(frame(fresh, 0.5f, -0.5f), c.after) << c.bad;
  }
  for (float type : {kSaturate, kSquash}) {
    for (float bad : {kNaN, kInf, -kInf}) {
      auto instance = settledAtRest({0.5f, type, 1.0f, 0.5f});
      // Fully wet, the curves have no value at infinity: 0 x inf is NaN.
      EXPECT_TRUE(std::isnan(frame(*instance, bad, 0.0f)[0])) << type << " " << bad;
      EXPECT_EQ(frame(*instance, 0.5f, 0.0f)[0], type == kSquash ? 0.5f : 0.35355338f)
          << type << " after " << bad;
    }
  }
}

TEST_F(FennickTest, SuspendStopsGlidesButKeepsTypeAndFilterMemory) {
  // Dry Squash passes the gained sample to the filter unchanged.
  auto instance = settledAtRest({0.5f, kSquash, 0.0f, 0.0f});
  instance->setParameter(kZeta, 1.0f);
  StereoBuffers io(100);
  io.fillInput(0.5f, 0.5f);
  instance->processReplacing(io.inputs.data(), io.outputs.data(), 100);
  EXPECT_EQ(io.out[0][99], 0.495074f);  // 0.5 decaying through the filter
  instance->suspend();
  instance->resume();
  EXPECT_EQ(instance->getParameter(kZeta), 100.0f / 16384.0f);
  EXPECT_EQ(instance->getParameter(kBlast), 0.0f);
  EXPECT_EQ(instance->getParameter(kType), kSquash);
  // The filter carries on: silence now gives 0.9999 y - x of the last frame.
  EXPECT_EQ(frame(*instance, 0.0f, 0.0f), (Frame{-0.0049755033f, -0.0049755033f}));
}

}  // namespace
}  // namespace kqfx
