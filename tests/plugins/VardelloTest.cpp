// Vardello through its shared object, as a host meets it: parameter names,
// texts and model selection, the wet and dry paths, suspend, model changes
// while the tail rings, and input that is not finite.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ReverbReference.h"
#include "TestPlugins.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/SignalHelpers.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;
using Stereo = std::array<std::vector<float>, 2>;

enum : int32_t { kDryLevel = 0, kDepth = 1, kBrightness = 2, kModel = 3 };
constexpr int32_t kGlide = 16384;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

Stereo stereoNoise(std::size_t frames, float amplitude, uint32_t seed) {
  return {test::noise(frames, amplitude, seed), test::noise(frames, amplitude, seed + 1)};
}
Stereo silence(std::size_t frames) {
  return {std::vector<float>(frames), std::vector<float>(frames)};
}

class VardelloTest : public ::testing::Test {
 protected:
  // processReplacing over the whole input in one call.
  Stereo replacing(PluginInstance& p, Stereo input) {
    Stereo output = silence(input[0].size());
    float* in[2] = {input[0].data(), input[1].data()};
    float* out[2] = {output[0].data(), output[1].data()};
    p.processReplacing(in, out, static_cast<int32_t>(input[0].size()));
    return output;
  }
  Stereo replacing(Stereo input) { return replacing(plugin, std::move(input)); }
  // process (adding) onto `output`.
  Stereo adding(PluginInstance& p, Stereo input, Stereo output) {
    float* in[2] = {input[0].data(), input[1].data()};
    float* out[2] = {output[0].data(), output[1].data()};
    p.process(in, out, static_cast<int32_t>(input[0].size()));
    return output;
  }
  Stereo adding(Stereo input) { return adding(plugin, input, silence(input[0].size())); }

  PluginLibrary library{test::pluginPath("Vardello")};
  PluginInstance plugin{library};
};

TEST_F(VardelloTest, ParametersHaveTheirNamesLabelsAndTexts) {
  const char* names[] = {"Dry Level", "Depth", "Brightness", "Model"};
  const char* labels[] = {"dB", "%", "%", ""};
  const char* texts[] = {"-6.00000", "50.00000", "50.00000", "Classic"};
  const float values[] = {0.4375f, 0.5f, 0.5f, 0.0f};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(plugin.parameterName(i), names[i]);
    EXPECT_EQ(plugin.parameterLabel(i), labels[i]);
    EXPECT_EQ(plugin.parameterDisplay(i), texts[i]);
    EXPECT_EQ(plugin.getParameter(i), values[i]);
  }
  const std::pair<int32_t, float> writes[] = {
      {kDryLevel, 1.0f}, {kDryLevel, 0.25f},  {kDryLevel, 0.5f},  {kDryLevel, 0.0f},
      {kDepth, 0.25f},   {kBrightness, 1.0f}, {kBrightness, 0.0f}};
  const char* shown[] = {"48.00000", "-24.0000", "0.000000", "-48.0000",
                         "25.00000", "100.0000", "0.000000"};
  for (std::size_t w = 0; w < std::size(writes); ++w) {
    plugin.setParameter(writes[w].first, writes[w].second);
    EXPECT_EQ(plugin.parameterDisplay(writes[w].first), shown[w]) << w;
  }
  for (int32_t opcode : {opGetParameterName, opGetParameterLabel, opGetParameterDisplay}) {
    char untouched[16] = "keep";
    plugin.dispatch(opcode, 4, 0, untouched);
    plugin.dispatch(opcode, -1, 0, untouched);
    EXPECT_STREQ(untouched, "keep");
  }
  plugin.setParameter(4, 0.9f);
  EXPECT_EQ(plugin.getParameter(4), 0.0f);
}

TEST_F(VardelloTest, ModelValuesSelectTheExportedNamesByNinths) {
  auto models = static_cast<const char* const*>(library.symbol("MODELS"));
  ASSERT_NE(models, nullptr);
  const char* names[] = {"Classic",  "Antechamber", "ThroneRoom", "Grand Hall", "Refectory",
                         "Solarium", "Library",     "Dungeon",    "Ballroom",   "Catacombs"};
  for (int n = 0; n < 10; ++n) EXPECT_STREQ(models[n], names[n]) << n;
  for (int n = 0; n < 9; ++n) {
    const float value = (static_cast<float>(n) + 0.5f) / 9.0f;
    plugin.setParameter(kModel, value);
    EXPECT_EQ(plugin.parameterDisplay(kModel), names[n]) << value;
  }
  // Only 1 itself reaches the last model; anything outside 0..9 is the first.
  const std::pair<float, const char*> cases[] = {
      {0.0f, "Classic"},   {0.5f, "Refectory"},     {0.99f, "Ballroom"},
      {1.0f, "Catacombs"}, {1.11111f, "Catacombs"}, {10.0f / 9.0f, "Classic"},
      {1.5f, "Classic"},   {-0.01f, "Classic"},     {1e30f, "Classic"},
  };
  for (const auto& [value, name] : cases) {
    plugin.setParameter(kModel, value);
    EXPECT_EQ(plugin.parameterDisplay(kModel), name) << value;
    EXPECT_EQ(plugin.getParameter(kModel), value);
  }
}

TEST_F(VardelloTest, TheWetSignalStartsWithTheShortestLineOfEachChannelAtAnyRate) {
  for (float rate : {44100.0f, 96000.0f, 8000.0f}) {
    PluginInstance p(library);
    p.start(rate, 2048);
    const Stereo out = adding(p, stereoNoise(2000, 1.0f, 1), silence(2000));
    for (std::size_t i = 0; i < 1116; ++i) ASSERT_EQ(out[0][i], 0.0f) << rate << " @" << i;
    for (std::size_t i = 0; i < 1139; ++i) ASSERT_EQ(out[1][i], 0.0f) << rate << " @" << i;
    EXPECT_NE(out[0][1116], 0.0f) << rate;
    EXPECT_NE(out[1][1139], 0.0f) << rate;
  }
}

// After an impulse in both channels, frame 1116 holds the first echo of
// the shortest left line alone: the left network gives exactly the trimmed
// impulse x, the right one still 0. The wet outputs are then the
// compressed x * wetDirect and x * wetCross at half depth and make-up.
struct FirstEcho {
  const char* name;
  float model;
  float wetDirect, wetCross, threshold, ceiling;
  float impulse;
};

class VardelloFirstEcho : public VardelloTest, public ::testing::WithParamInterface<FirstEcho> {};

TEST_P(VardelloFirstEcho, CarriesTheModelsGainsThroughTheCompressor) {
  const FirstEcho& c = GetParam();
  plugin.setParameter(kModel, c.model);
  Stereo input = silence(1200);
  input[0][0] = c.impulse;
  input[1][0] = c.impulse;
  const Stereo out = adding(input);
  const double trim = ReverbGain::gain2factor(0.3f);
  const double makeup = ReverbGain::gain2factor(0.6f);
  const float x = static_cast<float>(2.0 * c.impulse * static_cast<double>(0.015f) * trim);
  const auto wet = [&](double gain) {
    const float sum = static_cast<float>(x * gain);
    return static_cast<float>(static_cast<double>(dumbCompress(sum, c.threshold, c.ceiling)) * 0.5 *
                              makeup);
  };
  EXPECT_EQ(out[0][1116], wet(c.wetDirect));
  EXPECT_EQ(out[1][1116], wet(c.wetCross));
  EXPECT_TRUE(std::isfinite(out[0][1116]));
  EXPECT_EQ(out[0][1115], 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Models, VardelloFirstEcho,
    ::testing::Values(FirstEcho{"Classic", 0.0f, 3.0f, 0.0f, 0.00001f, 0.2f, 0.5f},
                      FirstEcho{"ThroneRoom", 0.25f, 6.0f, -3.0f, 0.00001f, 0.5f, 0.5f},
                      // Threshold and ceiling 1: wet sums beyond 1 pass unchanged.
                      FirstEcho{"RefectoryLoud", 0.5f, 1.5f, 1.5f, 1.0f, 1.0f, 1000.0f},
                      FirstEcho{"Refectory", 0.5f, 1.5f, 1.5f, 1.0f, 1.0f, 0.5f},
                      FirstEcho{"Dungeon", 0.8f, -21.0f, 24.0f, 0.00001f, 0.3f, -0.5f},
                      FirstEcho{"Catacombs", 1.0f, -10.5f, 13.5f, 0.00001f, 0.2f, 0.5f}),
    test::PluginNamePrinter());

TEST_F(VardelloTest, RefectoryStaysFiniteWhateverTheWetLevel) {
  plugin.setParameter(kModel, 0.5f);
  plugin.setParameter(kDryLevel, 0.0f);
  for (float level : {1.0f, 100.0f, 1e6f, 1e20f}) {
    const Stereo out = replacing(stereoNoise(6000, level, 2));
    for (const auto& channel : out) {
      for (float s : channel) ASSERT_TRUE(std::isfinite(s)) << level;
    }
  }
}

TEST_F(VardelloTest, WidthZeroGivesBothChannelsTheSameWetSignal) {
  plugin.setParameter(kModel, 0.5f);  // Refectory: width 0
  const Stereo out = adding(stereoNoise(20000, 1.0f, 3));
  EXPECT_EQ(out[0], out[1]);
  EXPECT_NE(out[0][5000], 0.0f);
}

TEST_F(VardelloTest, DryLevelZeroReadsMinusFortyEightDecibelsAndSoundsThere) {
  plugin.setParameter(kDryLevel, 0.0f);
  EXPECT_EQ(plugin.parameterDisplay(kDryLevel), "-48.0000");
  replacing(silence(kGlide));
  Stereo input = silence(4);
  input[0][1] = 1.0f;
  input[1][1] = -0.5f;
  const Stereo out = replacing(input);
  EXPECT_EQ(out[0][1], 0.0039810715f);
  EXPECT_EQ(out[1][1], static_cast<float>(-0.5 * static_cast<double>(0.0039810715f)));
  // process adds no dry signal at any level.
  PluginInstance fresh(library);
  fresh.setParameter(kDryLevel, 1.0f);
  replacing(fresh, silence(kGlide));
  const Stereo added = adding(fresh, input, silence(4));
  EXPECT_EQ(added[0][1], 0.0f);
  EXPECT_EQ(added[1][1], 0.0f);
}

TEST_F(VardelloTest, DepthZeroLeavesTheDryPathAlone) {
  plugin.setParameter(kDepth, 0.0f);
  plugin.setParameter(kDryLevel, 0.75f);
  replacing(stereoNoise(kGlide, 1.0f, 4));
  const Stereo input = stereoNoise(8000, 1.0f, 5);
  const Stereo out = replacing(input);
  const double dryGain = ReverbGain::gain2factor(0.75f);
  for (std::size_t i = 0; i < input[0].size(); ++i) {
    ASSERT_EQ(out[0][i], static_cast<float>(dryGain * input[0][i])) << i;
    ASSERT_EQ(out[1][i], static_cast<float>(dryGain * input[1][i])) << i;
  }
  const Stereo existing = stereoNoise(8000, 3.0f, 6);
  const Stereo added = adding(plugin, input, existing);
  EXPECT_EQ(added[0], existing[0]);
  EXPECT_EQ(added[1], existing[1]);
}

TEST_F(VardelloTest, SuspendInAGlideStopsItWhereItStands) {
  plugin.setParameter(kDryLevel, 1.0f);
  plugin.setParameter(kDepth, 0.0f);
  replacing(silence(100));
  EXPECT_EQ(plugin.getParameter(kDryLevel), 1.0f);  // the target, while the sound glides
  EXPECT_EQ(plugin.parameterDisplay(kDryLevel), "48.00000");
  plugin.suspend();
  const float step = static_cast<float>((1.0 - 0.4375) / kGlide);
  const float reached = static_cast<float>(0.4375 + 100 * static_cast<double>(step));
  EXPECT_EQ(plugin.getParameter(kDryLevel), reached);
  EXPECT_EQ(plugin.getParameter(kDepth),
            static_cast<float>(0.5 + 100 * static_cast<double>(static_cast<float>(-0.5 / kGlide))));
  // 0.44093323 applies -5.67041 dB, written with truncated digits.
  EXPECT_EQ(reached, 0.4409332275390625f);
  EXPECT_EQ(plugin.parameterDisplay(kDryLevel), "-5.67041");
  plugin.resume();
  // The level stays where the glide stopped.
  Stereo input = silence(kGlide);
  input[0][kGlide - 1] = 1.0f;
  const Stereo out = replacing(input);
  EXPECT_EQ(out[0][kGlide - 1], ReverbGain::gain2factor(reached));
}

// The whole effect against the plain rendering: glides, model changes
// while the tail rings (each applying before the next frame, never
// clearing the tail, a model written again changing nothing), suspend in
// a glide, both process calls, blocks of many sizes.
TEST_F(VardelloTest, MatchesThePlainRenderingFrameForFrame) {
  test::ReverbReference reference;
  plugin.start(48000.0f, 700);
  const Stereo input = stereoNoise(150000, 0.7f, 9);
  Stereo expected = stereoNoise(150000, 0.1f, 11);  // what process adds to
  Stereo actual = expected;
  struct Event {
    std::size_t at;
    int32_t index;
    float value;
  };
  const std::vector<Event> events = {
      {3000, kModel, 0.3f},   {3000, kBrightness, 0.9f},   {9000, kDryLevel, 0.0f},
      {12000, kModel, 0.55f}, {20000, kDepth, 1.0f},       {21000, kModel, 0.5f},
      {26000, kModel, 0.7f},  {26000, kDryLevel, 0.8f},    {30000, -1, 0.0f},
      {40000, kModel, 0.95f}, {45000, kBrightness, 0.0f},  {50000, kModel, 0.4f},
      {52000, -1, 0.0f},      {60000, kModel, 1.0f},       {70000, kModel, 0.85f},
      {80000, kModel, 0.05f}, {90000, kModel, 0.2f},       {90001, kDepth, 0.2f},
      {110000, kModel, 1.5f}, {120000, kBrightness, 0.4f}, {130000, kModel, 0.6f},
  };
  std::size_t next = 0;
  std::size_t block = 1;
  for (std::size_t start = 0; start < 150000;) {
    std::size_t end = std::min<std::size_t>(150000, start + block);
    while (next < events.size() && events[next].at <= start) {
      const Event& e = events[next++];
      if (e.index < 0) {
        plugin.suspend();
        plugin.resume();
        reference.suspend();
      } else {
        const float others[3] = {plugin.getParameter(0), plugin.getParameter(1),
                                 plugin.getParameter(2)};
        plugin.setParameter(e.index, e.value);
        reference.setParameter(e.index, e.value);
        for (int32_t p = 0; p < 3; ++p) {
          if (p != e.index) {
            ASSERT_EQ(plugin.getParameter(p), others[p]) << "write at " << e.at;
          }
        }
      }
    }
    if (next < events.size()) end = std::min(end, events[next].at);
    const auto n = static_cast<int32_t>(end - start);
    float* in[2] = {const_cast<float*>(input[0].data()) + start,
                    const_cast<float*>(input[1].data()) + start};
    float* out[2] = {actual[0].data() + start, actual[1].data() + start};
    const bool replace = (start / 10000) % 3 != 1;
    if (replace) {
      plugin.processReplacing(in, out, n);
    } else {
      plugin.process(in, out, n);
    }
    reference.render(in[0], in[1], expected[0].data() + start, expected[1].data() + start, n,
                     replace);
    start = end;
    block = block * 7 % 701 + 1;
  }
  for (std::size_t i = 0; i < 150000; ++i) {
    ASSERT_EQ(actual[0][i], expected[0][i]) << "frame " << i;
    ASSERT_EQ(actual[1][i], expected[1][i]) << "frame " << i;
  }
}

TEST_F(VardelloTest, NonFiniteInputNeverPoisonsTheRoom) {
  PluginInstance twin(library);
  Stereo input = stereoNoise(3 * 44100, 0.5f, 12);
  Stereo clean = input;
  const std::size_t badFrom = 44100, badTo = 44100 + 22050;
  const float bad[] = {kNaN, kInf, -kInf};
  for (std::size_t i = badFrom; i < badTo; ++i) {
    input[0][i] = bad[i % 3];
    input[1][i] = bad[(i + 1) % 3];
    clean[0][i] = 0.0f;
    clean[1][i] = 0.0f;
  }
  const Stereo out = replacing(plugin, input);
  const Stereo expected = replacing(twin, clean);
  for (std::size_t i = 0; i < out[0].size(); ++i) {
    if (i >= badFrom && i < badTo) continue;
    // The room heard silence where the input was not finite: the tail and
    // everything after it sound exactly as if it had been silence.
    ASSERT_EQ(out[0][i], expected[0][i]) << i;
    ASSERT_EQ(out[1][i], expected[1][i]) << i;
  }
  // process carries no dry signal, so its output stays finite throughout.
  const Stereo added = adding(input);
  for (const auto& channel : added) {
    for (float s : channel) ASSERT_TRUE(std::isfinite(s));
  }
}

}  // namespace
}  // namespace kqfx
