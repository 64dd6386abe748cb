// Quistrel through its shared object: texts, the sweep length and the
// triangle's turning points, the filter against the reference model, and
// the filter kept sane at jumps, a closed cutoff and bad input.

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "QuistrelModel.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;
using test::QuistrelModel;
using test::StereoBuffers;
using Stereo = std::array<std::vector<float>, 2>;

enum : int32_t { kGain = 0, kTempo = 1, kEveryN = 2, kHi = 3, kLo = 4, kResonance = 5 };
constexpr double kDefaultSweep = 26460.0;  // 100 BPM, 1 beat, 44100 Hz

Stereo noiseInput(std::size_t frames, float amplitude, uint32_t seed) {
  return {test::noise(frames, amplitude, seed), test::noise(frames, amplitude, seed + 1)};
}

float firstSampleAt(float f, float input) { return QuistrelModel::firstSampleAt(f, input); }

// The model's render of `input` with the cutoffs and resonance held.
Stereo modelRender(QuistrelModel& model, const Stereo& input, float hi, float lo, float res) {
  Stereo out{std::vector<float>(input[0].size()), std::vector<float>(input[0].size())};
  for (std::size_t i = 0; i < input[0].size(); ++i) {
    for (int ch = 0; ch < 2; ++ch) out[ch][i] = model.filterIt(input[ch][i], ch, hi, lo, res);
  }
  return out;
}

class QuistrelTest : public ::testing::Test {
 protected:
  Stereo render(const Stereo& input, std::size_t block = 512) {
    return test::renderInBlocks(plugin, input, block);
  }
  Stereo silence(std::size_t frames) { return render(noiseInput(frames, 0.0f, 1)); }

  // Writes parameters, lets their glides end, then suspends and resumes:
  // the sweep restarts at its first sample on an empty filter.
  void settle(std::initializer_list<std::pair<int32_t, float>> settings) {
    for (const auto& [index, value] : settings) plugin.setParameter(index, value);
    silence(16384);
    restart();
  }
  void restart() {
    plugin.suspend();
    plugin.resume();
  }
  float firstFrame(float input) {
    StereoBuffers io(1);
    io.fillInput(input, input);
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), 1);
    EXPECT_EQ(io.out[0][0], io.out[1][0]);
    return io.out[0][0];
  }
  // Needs "Cutoff (Lo)" 0 and "Cutoff (Hi)" 1 (see QuistrelModel).
  float probeSweep() {
    restart();
    return firstFrame(1.0f);
  }
  static float expectedProbe(double sweepLength) { return QuistrelModel::sweepProbe(sweepLength); }
  void setSampleRate(float rate) { plugin.dispatch(opSetSampleRate, 0, 0, nullptr, rate); }

  PluginLibrary library{test::pluginPath("Quistrel")};
  PluginInstance plugin{library};
};

TEST_F(QuistrelTest, NamesLabelsAndTextsAfterConstruction) {
  const char* names[] = {"Input Gain", "Tempo", "Every n", "Cutoff (Hi)", "Cutoff (Lo)",
                         "Resonance"};
  const char* labels[] = {"dB", "BPM", "Beats", "Hz", "Hz", "%"};
  const char* texts[] = {"0.000000", "    100", "      1", "20000.00", "1000.000", "0.000000"};
  const float values[] = {0.5f, 0.33333334f, 0.0f, 1.0f, 0.05f, 0.0f};
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(plugin.parameterName(i), names[i]);
    EXPECT_EQ(plugin.parameterLabel(i), labels[i]);
    EXPECT_EQ(plugin.parameterDisplay(i), texts[i]);
    EXPECT_EQ(plugin.getParameter(i), values[i]);
  }
  char untouched[16] = "keep";
  for (int32_t opcode : {opGetParameterLabel, opGetParameterDisplay, opGetParameterName}) {
    plugin.dispatch(opcode, 6, 0, untouched);
    plugin.dispatch(opcode, -1, 0, untouched);
  }
  EXPECT_STREQ(untouched, "keep");
  EXPECT_EQ(plugin.getParameter(6), 0.0f);
}

TEST_F(QuistrelTest, TextsFollowTheTargets) {
  plugin.setParameter(kGain, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(kGain), "24.00000");
  plugin.setParameter(kResonance, 0.25f);
  EXPECT_EQ(plugin.parameterDisplay(kResonance), "25.00000");
  plugin.setParameter(kLo, 0.5f);
  EXPECT_EQ(plugin.parameterDisplay(kLo), "10000.00");
  plugin.setParameter(kTempo, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(kTempo), "    300");
  plugin.setParameter(kTempo, 0.5f);
  EXPECT_EQ(plugin.parameterDisplay(kTempo), "    150");
  plugin.setParameter(kTempo, 0.4f);
  EXPECT_EQ(plugin.parameterDisplay(kTempo), "    120");
  plugin.setParameter(kTempo, std::nextafter(0.4f, 0.0f));  // x 300 just below 120
  EXPECT_EQ(plugin.parameterDisplay(kTempo), "    119");
  plugin.setParameter(kEveryN, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(kEveryN), "     32");
  plugin.setParameter(kEveryN, 0.5f);
  EXPECT_EQ(plugin.parameterDisplay(kEveryN), "     16");
  plugin.setParameter(kEveryN, 1.0f / 31.0f);  // x 31 just below 1
  EXPECT_EQ(plugin.parameterDisplay(kEveryN), "      1");
  plugin.setParameter(kEveryN, 0.033f);
  EXPECT_EQ(plugin.parameterDisplay(kEveryN), "      2");
  // Values beyond 0..1 reach the texts as they are, without overflow.
  plugin.setParameter(kTempo, 1e9f);
  EXPECT_EQ(plugin.parameterDisplay(kTempo), " Huge!  ");
  plugin.setParameter(kEveryN, -1e20f);
  EXPECT_EQ(plugin.parameterDisplay(kEveryN), "-2147483");
}

TEST_F(QuistrelTest, TempoNeverFallsBelowOneBeatPerMinute) {
  const float floor = 0.0033333334f;
  for (float low : {0.0f, -0.0f, -2.0f, std::nextafter(floor, 0.0f)}) {
    plugin.setParameter(kTempo, low);
    EXPECT_EQ(plugin.getParameter(kTempo), floor) << low;
    EXPECT_EQ(plugin.parameterDisplay(kTempo), "      1") << low;
  }
  plugin.setParameter(kTempo, floor);
  EXPECT_EQ(plugin.getParameter(kTempo), floor);
  // 1 BPM is 2646000 samples a beat.
  settle({{kLo, 0.0f}, {kHi, 1.0f}, {kTempo, 0.0f}});
  EXPECT_EQ(firstFrame(1.0f), expectedProbe(2646000.0));
}

TEST_F(QuistrelTest, FirstFrameAtDefaultsSitsJustAboveTheLowCutoff) {
  const float m = static_cast<float>(1.0 / kDefaultSweep);
  const float f = static_cast<float>(1.16 * (0.05f + m * (1.0 - 0.05f)));
  EXPECT_EQ(firstFrame(0.75f), firstSampleAt(f, 0.75f));
}

TEST_F(QuistrelTest, DefaultsSweepOver26460SamplesForTwoWholePeriods) {
  settle({{kLo, 0.0f}, {kHi, 1.0f}});
  EXPECT_EQ(firstFrame(1.0f), expectedProbe(kDefaultSweep));
  EXPECT_NE(expectedProbe(kDefaultSweep), expectedProbe(kDefaultSweep - 1));

  // Back at the defaults: two whole periods against the model.
  settle({{kLo, 0.05f}});
  const Stereo input = noiseInput(2 * 2 * 26460 + 3, 1.0f, 11);
  QuistrelModel model(kDefaultSweep);
  const Stereo expected = modelRender(model, input, 1.0f, 0.05f, 0.0f);
  const Stereo actual = render(input, 441);
  ASSERT_EQ(actual[0], expected[0]);
  ASSERT_EQ(actual[1], expected[1]);
}

TEST_F(QuistrelTest, TriangleTurnsOnTheLastSampleOfEachSweep) {
  // At 100 Hz and 300 BPM a beat lasts 20 samples.
  setSampleRate(100.0f);
  settle({{kLo, 0.0f}, {kHi, 1.0f}, {kResonance, 0.6f}, {kTempo, 1.0f}});
  // 1/T .. (T-1)/T rising, 1 .. 1/T falling, 0 .. (T-1)/T rising, ...
  std::vector<float> m;
  for (int period = 0; period < 2; ++period) {
    for (int k = period == 0 ? 1 : 0; k < 20; ++k) m.push_back(static_cast<float>(k / 20.0));
    for (int k = 0; k < 20; ++k) m.push_back(static_cast<float>(1.0 - k / 20.0));
  }
  m.push_back(0.0f);
  m.push_back(static_cast<float>(1 / 20.0));
  ASSERT_EQ(m.size(), 81u);

  const Stereo input = noiseInput(m.size(), 1.0f, 5);
  QuistrelModel model(20.0);
  const Stereo actual = render(input, 7);
  for (std::size_t i = 0; i < m.size(); ++i) {
    const float f = QuistrelModel::cutoff(m[i], 1.0f, 0.0f);
    ASSERT_EQ(actual[0][i], model.ladder(0, input[0][i], f, 0.6f)) << "frame " << i + 1;
    ASSERT_EQ(actual[1][i], model.ladder(1, input[1][i], f, 0.6f)) << "frame " << i + 1;
  }
}

TEST_F(QuistrelTest, ThreeHundredBeatsPerMinuteAndThirtyTwoBeats) {
  plugin.setParameter(kTempo, 1.0f);
  plugin.setParameter(kEveryN, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(kTempo), "    300");
  EXPECT_EQ(plugin.parameterDisplay(kEveryN), "     32");
  const double sweep = 32 * 8820.0;
  EXPECT_EQ(QuistrelModel::sweepLength(300, 32, 44100), sweep);
  settle({{kLo, 0.0f}, {kHi, 1.0f}, {kResonance, 0.3f}});
  EXPECT_EQ(firstFrame(1.0f), expectedProbe(sweep));

  // One whole period and the turn into the next, against the model.
  restart();
  const Stereo input = noiseInput(2 * 282240 + 2, 0.5f, 2);
  QuistrelModel model(sweep);
  const Stereo expected = modelRender(model, input, 1.0f, 0.0f, 0.3f);
  const Stereo actual = render(input, 4096);
  ASSERT_EQ(actual[0], expected[0]);
  ASSERT_EQ(actual[1], expected[1]);
}

TEST_F(QuistrelTest, LowCutoffAboveHighSweepsDownward) {
  settle({{kHi, 0.1f}, {kLo, 0.9f}, {kResonance, 0.5f}});
  const float m = static_cast<float>(1.0 / kDefaultSweep);
  const float f = QuistrelModel::cutoff(m, 0.1f, 0.9f);
  EXPECT_LT(f, 1.16f * 0.9f);
  EXPECT_EQ(firstFrame(1.0f), firstSampleAt(f, 1.0f));

  restart();
  const Stereo input = noiseInput(30000, 1.0f, 3);
  QuistrelModel model(kDefaultSweep);
  const Stereo expected = modelRender(model, input, 0.1f, 0.9f, 0.5f);
  const Stereo actual = render(input);
  ASSERT_EQ(actual[0], expected[0]);
  ASSERT_EQ(actual[1], expected[1]);
}

TEST_F(QuistrelTest, ResonanceZeroRunsTheStagesOpen) {
  // A fixed cutoff and a constant input: the open stages pass it at unity
  // (1.3^4 * 0.35013); full resonance feeds 4 (1 - 0.15 f^2) of the
  // output back and divides the level by 1 + that.
  settle({{kHi, 0.3f}, {kLo, 0.3f}});
  const Stereo constant{std::vector<float>(20000, 0.5f), std::vector<float>(20000, 0.5f)};
  const Stereo open = render(constant);
  EXPECT_NEAR(open[0].back(), 0.5 * std::pow(1.3, 4) * 0.35013, 1e-6);
  EXPECT_EQ(open[0], open[1]);

  settle({{kResonance, 1.0f}});
  const Stereo fed = render(constant);
  const double f = 1.16 * 0.3f;
  const double feedback = 4.0 * (1.0 - 0.15 * f * f);
  const double unity = std::pow(1.3, 4) * 0.35013;
  EXPECT_NEAR(fed[0].back(), 0.5 * unity / (1.0 + feedback * unity), 1e-6);
}

TEST_F(QuistrelTest, ZeroFramesProcessNothing) {
  PluginInstance twin(library);
  plugin.setParameter(kGain, 1.0f);
  twin.setParameter(kGain, 1.0f);
  StereoBuffers io(4);
  io.fillInput(0.5f, 0.5f);
  io.out[0][0] = 9.0f;
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 0);
  plugin.process(io.inputs.data(), io.outputs.data(), 0);
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), -5);
  EXPECT_EQ(io.out[0][0], 9.0f);
  // Nothing advanced: the sweep, the filter and the gain glide all match a
  // twin that never saw the empty calls.
  StereoBuffers reference(4);
  reference.fillInput(0.5f, 0.5f);
  plugin.processReplacing(io.inputs.data(), io.outputs.data(), 4);
  twin.processReplacing(reference.inputs.data(), reference.outputs.data(), 4);
  EXPECT_EQ(io.out[0], reference.out[0]);
  EXPECT_EQ(io.out[1], reference.out[1]);
}

TEST_F(QuistrelTest, ProcessAddsWhereProcessReplacingOverwrites) {
  PluginInstance twin(library);
  plugin.setParameter(kResonance, 0.7f);
  twin.setParameter(kResonance, 0.7f);
  const Stereo input = noiseInput(3000, 1.0f, 4);
  const Stereo replaced = render(input, 300);
  Stereo added{std::vector<float>(3000, 0.25f), std::vector<float>(3000, -2.0f)};
  Stereo in = input;
  for (std::size_t start = 0; start < 3000; start += 300) {
    float* inputs[2] = {in[0].data() + start, in[1].data() + start};
    float* outputs[2] = {added[0].data() + start, added[1].data() + start};
    twin.process(inputs, outputs, 300);
  }
  for (std::size_t i = 0; i < 3000; ++i) {
    ASSERT_EQ(added[0][i], 0.25f + replaced[0][i]) << i;
    ASSERT_EQ(added[1][i], -2.0f + replaced[1][i]) << i;
  }
}

TEST_F(QuistrelTest, SuspendRestartsTheSweepOnAClearFilterAndStopsGlides) {
  settle({{kLo, 0.0f}});
  plugin.setParameter(kHi, 0.2f);
  render(noiseInput(100, 1.0f, 6));
  restart();
  const float step = static_cast<float>((0.2f - 1.0) / 16384);
  const float reached = static_cast<float>(1.0 + 100 * static_cast<double>(step));
  EXPECT_EQ(plugin.getParameter(kHi), reached);
  EXPECT_EQ(plugin.parameterDisplay(kHi), "19902.34");
  // The next frame is the first of a sweep on an empty filter, and the
  // cutoff stays where the glide stopped.
  const Stereo input = noiseInput(20000, 1.0f, 7);
  QuistrelModel model(kDefaultSweep);
  const Stereo expected = modelRender(model, input, reached, 0.0f, 0.0f);
  const Stereo actual = render(input);
  const float m = static_cast<float>(1 / kDefaultSweep);
  EXPECT_EQ(actual[0][0], firstSampleAt(QuistrelModel::cutoff(m, reached, 0.0f), input[0][0]));
  ASSERT_EQ(actual[0], expected[0]);
  ASSERT_EQ(actual[1], expected[1]);
}

TEST_F(QuistrelTest, ANewSampleRateTakesEffectAtSwitchOnOrATempoOrEveryNWrite) {
  settle({{kLo, 0.0f}, {kHi, 1.0f}});
  setSampleRate(48000.0f);
  plugin.suspend();  // off, but not yet on again
  EXPECT_EQ(firstFrame(1.0f), expectedProbe(kDefaultSweep));
  EXPECT_EQ(probeSweep(), expectedProbe(28800.0));
  setSampleRate(22050.0f);
  plugin.setParameter(kEveryN, 0.0f);
  plugin.suspend();
  EXPECT_EQ(firstFrame(1.0f), expectedProbe(13230.0));
}

// The host sequence most hosts use: open, sample rate, block size, switch
// on, no suspend; the tempo was set before. A whole period of the
// sweep against the model at the beat of that rate.
TEST_F(QuistrelTest, SwitchedOnAtAnyRateASweepLastsItsBeats) {
  for (const float rate : {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
    for (const int bpm : {100, 120}) {
      const double sweep = static_cast<double>(static_cast<int64_t>(rate) * 60 / bpm);
      PluginInstance instance(library);
      instance.setParameter(kTempo, bpm == 100 ? 0.33333334f : 0.4f);
      instance.start(rate, 512);
      const Stereo input = noiseInput(static_cast<std::size_t>(2 * sweep) + 3, 1.0f, 12);
      QuistrelModel model(sweep);
      const Stereo expected = modelRender(model, input, 1.0f, 0.05f, 0.0f);
      const Stereo actual = test::renderInBlocks(instance, input, 512);
      ASSERT_EQ(actual[0], expected[0]) << rate << " Hz, " << bpm << " BPM";
      ASSERT_EQ(actual[1], expected[1]) << rate << " Hz, " << bpm << " BPM";
    }
  }
}

TEST_F(QuistrelTest, ATinySampleRateSweepsOverTwoSamples) {
  // At 1 Hz a beat is shorter than a sample; the sweep keeps two samples.
  setSampleRate(1.0f);
  settle({{kLo, 0.0f}, {kHi, 1.0f}, {kTempo, 0.5f}});
  const std::vector<float> m = {0.5f, 1.0f, 0.5f, 0.0f, 0.5f, 1.0f, 0.5f, 0.0f};
  const Stereo input = noiseInput(m.size(), 1.0f, 8);
  const Stereo actual = render(input, 3);
  QuistrelModel model(2.0);
  for (std::size_t i = 0; i < m.size(); ++i) {
    ASSERT_TRUE(std::isfinite(actual[0][i]));
    const float f = QuistrelModel::cutoff(m[i], 1.0f, 0.0f);
    ASSERT_EQ(actual[0][i], model.ladder(0, input[0][i], f, 0.0f)) << i;
  }
}

TEST_F(QuistrelTest, ATempoWriteMidSweepKeepsCountingWithTheNewLength) {
  // 1000 samples in at 100 BPM, the tempo goes to 300 BPM: the sweep goes
  // on at sample 1001 of an 8820-sample sweep, without a restart.
  settle({{kLo, 0.0f}, {kHi, 1.0f}, {kResonance, 0.4f}});
  const Stereo input = noiseInput(4000, 1.0f, 9);
  QuistrelModel model(kDefaultSweep);
  Stereo head{std::vector<float>(input[0].begin(), input[0].begin() + 1000),
              std::vector<float>(input[1].begin(), input[1].begin() + 1000)};
  Stereo tail{std::vector<float>(input[0].begin() + 1000, input[0].end()),
              std::vector<float>(input[1].begin() + 1000, input[1].end())};
  EXPECT_EQ(render(head), modelRender(model, head, 1.0f, 0.0f, 0.4f));
  plugin.setParameter(kTempo, 1.0f);
  model.lfoTime = 8820.0;
  EXPECT_EQ(render(tail), modelRender(model, tail, 1.0f, 0.0f, 0.4f));
}

// The cutoff jumps when "Tempo" changes near the top of a sweep and the
// new length puts the phase near its start. The figures the arithmetic
// alone would reach here are in the hundreds to thousands.
struct JumpCase {
  float resonance;
  float bound;
};

class QuistrelJump : public QuistrelTest, public ::testing::WithParamInterface<JumpCase> {};

TEST_P(QuistrelJump, ATempoJumpAtTheTopOfTheSweepDoesNotRing) {
  settle({{kResonance, GetParam().resonance}});
  const Stereo before = render(noiseInput(26000, 1.0f, 12));
  float peakBefore = 0.0f;
  for (float s : before[0]) peakBefore = std::max(peakBefore, std::fabs(s));
  plugin.setParameter(kTempo, 102.0f / 300.0f);  // 25941 samples: phase 59
  const Stereo after = render(noiseInput(60000, 1.0f, 13));
  float peakAfter = 0.0f;
  for (const auto& channel : after) {
    for (float s : channel) peakAfter = std::max(peakAfter, std::fabs(s));
  }
  EXPECT_LE(peakAfter, GetParam().bound) << "peak before the jump " << peakBefore;
}

INSTANTIATE_TEST_SUITE_P(Resonances, QuistrelJump,
                         ::testing::Values(JumpCase{0.0f, 1.1f}, JumpCase{0.5f, 1.3f},
                                           JumpCase{0.9f, 4.0f}, JumpCase{1.0f, 10.0f}),
                         [](const ::testing::TestParamInfo<JumpCase>& jump) {
                           const long percent = std::lround(jump.param.resonance * 100);
                           return "Resonance" + std::to_string(percent);
                         });

TEST_F(QuistrelTest, AClosedFilterHoldsInsteadOfRunningAway) {
  // Both cutoffs glide to 0 while noise plays; the filter then passes
  // nothing and holds its last output for as long as it stays closed.
  plugin.setParameter(kHi, 0.0f);
  plugin.setParameter(kLo, 0.0f);
  const Stereo out = render(noiseInput(16384 + 441000, 1.0f, 14));
  for (int ch = 0; ch < 2; ++ch) {
    const float held = out[ch][16383];
    EXPECT_LE(std::fabs(held), 1.0f);
    for (std::size_t i = 16383; i < out[ch].size(); ++i) ASSERT_EQ(out[ch][i], held) << i;
  }
}

TEST_F(QuistrelTest, OutputNeverPassesTheCeiling) {
  // A tempo flipping every frame at full resonance, then a huge input:
  // whatever the arithmetic would do, no sample leaves beyond 4096.
  settle({{kResonance, 1.0f}, {kLo, 0.0f}, {kGain, 1.0f}});
  float peak = 0.0f;
  bool silencedOnce = false;
  StereoBuffers io(1);
  const Stereo noise = noiseInput(200000, 1.0f, 16);
  for (std::size_t i = 0; i < noise[0].size(); ++i) {
    plugin.setParameter(kTempo, (i % 2) ? 0.2f : 0.3f);
    io.in[0][0] = noise[0][i];
    io.in[1][0] = noise[1][i] * 1e5f;
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), 1);
    for (int ch = 0; ch < 2; ++ch) {
      ASSERT_TRUE(std::isfinite(io.out[ch][0])) << i;
      peak = std::max(peak, std::fabs(io.out[ch][0]));
    }
    silencedOnce = silencedOnce || (io.out[1][0] == 0.0f && noise[1][i] != 0.0f);
  }
  EXPECT_LE(peak, 4096.0f);
  EXPECT_GT(peak, 1000.0f);
  EXPECT_TRUE(silencedOnce);
}

TEST_F(QuistrelTest, NonFiniteInputIsForgottenAtTheNextFiniteSample) {
  settle({{kResonance, 0.8f}});
  Stereo input = noiseInput(3000, 1.0f, 17);
  input[0][1000] = std::numeric_limits<float>::quiet_NaN();
  input[1][2000] = std::numeric_limits<float>::infinity();
  const Stereo out = render(input, 256);
  EXPECT_EQ(out[0][1000], 0.0f);
  EXPECT_EQ(out[1][2000], 0.0f);
  // The sweep went on; the filter restarted from rest.
  QuistrelModel model(kDefaultSweep);
  for (std::size_t i = 0; i < 3000; ++i) {
    for (int ch = 0; ch < 2; ++ch) {
      if ((ch == 0 && i == 1000) || (ch == 1 && i == 2000)) {
        model.nextM(ch);
        model.clearLadder(ch);
        continue;
      }
      ASSERT_EQ(out[ch][i], model.filterIt(input[ch][i], ch, 1.0f, 0.05f, 0.8f)) << ch << " " << i;
    }
  }
  const float m = static_cast<float>(1002 / kDefaultSweep);  // frame 1002
  EXPECT_EQ(out[0][1001], firstSampleAt(QuistrelModel::cutoff(m, 1.0f, 0.05f), input[0][1001]));
}

TEST_F(QuistrelTest, SilenceAfterSoundDecaysToZeroWithoutSubnormals) {
  settle({{kResonance, 0.95f}, {kGain, 1.0f}, {kLo, 0.02f}});
  render(noiseInput(30000, 1.0f, 18));
  const Stereo tail = silence(300000);
  for (const auto& channel : tail) {
    for (float s : channel) ASSERT_TRUE(s == 0.0f || std::fabs(s) >= FLT_MIN) << s;
    EXPECT_EQ(channel.back(), 0.0f);
  }
}

}  // namespace
}  // namespace kqfx
