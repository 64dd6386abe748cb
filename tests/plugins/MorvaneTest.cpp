// Morvane through its shared object: the low-cut shelves, the echo level
// and its side change, the feedback, and the value texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "EchoProbe.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;
using test::EchoEvent;
using test::listen;
using test::onsets;

constexpr int64_t kBeat = 26460;  // 100 BPM at 44100 Hz
constexpr int32_t kGlide = 16384;

// A unit impulse through the low cut of shelf 13 (the default "Cutoff").
const float kFiltered = static_cast<float>(1.0 / static_cast<double>(1.0713587f));

float echoOf(float line) { return static_cast<float>(0.33333 * line); }
float quietEchoOf(float line) {
  return static_cast<float>(0.33333 * static_cast<float>(line * 0.06999999999999995));
}

class MorvaneTest : public ::testing::Test {
 protected:
  // Lets every glide finish on silence.
  void settle() { listen(plugin, kGlide, 0, test::silence); }

  PluginLibrary library{test::pluginPath("Morvane")};
  PluginInstance plugin{library};
};

TEST_F(MorvaneTest, NamesLabelsAndTextsAfterConstruction) {
  const char* names[] = {"Input Gain", "Tempo", "Cutoff", "Feedback"};
  const char* labels[] = {"dB", "BPM", "Hz", "%"};
  const char* texts[] = {"0.000000", "    100", "1000.000", "25.00000"};
  const float values[] = {0.5f, 0.33333334f, 0.05f, 0.25f};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(plugin.parameterName(i), names[i]);
    EXPECT_EQ(plugin.parameterLabel(i), labels[i]);
    EXPECT_EQ(plugin.parameterDisplay(i), texts[i]);
    EXPECT_EQ(plugin.getParameter(i), values[i]);
  }
  char untouched[16] = "keep";
  for (int32_t opcode : {opGetParameterLabel, opGetParameterDisplay, opGetParameterName}) {
    plugin.dispatch(opcode, 4, 0, untouched);
    plugin.dispatch(opcode, -1, 0, untouched);
  }
  EXPECT_STREQ(untouched, "keep");
}

TEST_F(MorvaneTest, GainAndFeedbackTexts) {
  const std::vector<std::pair<float, std::string>> gains = {
      {0.0f, "-inf"}, {-0.0f, "-inf"}, {1.0f, "24.00000"}, {0.25f, "-12.0000"}};
  for (const auto& [value, text] : gains) {
    plugin.setParameter(0, value);
    EXPECT_EQ(plugin.parameterDisplay(0), text) << value;
  }
  plugin.setParameter(3, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(3), "100.0000");
  plugin.setParameter(3, 0.0f);
  EXPECT_EQ(plugin.parameterDisplay(3), "0.000000");
}

TEST_F(MorvaneTest, TempoTextsAndTheOneBpmFloor) {
  plugin.setParameter(1, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(1), "    300");
  // The product is taken in double: 0.02 as a float is just below 6 BPM.
  plugin.setParameter(1, 0.02f);
  EXPECT_EQ(plugin.parameterDisplay(1), "      5");
  plugin.setParameter(1, 0.001f);
  EXPECT_EQ(plugin.getParameter(1), 0.001f);
  EXPECT_EQ(plugin.parameterDisplay(1), "      0");
  for (float notAboveZero : {0.0f, -0.0f, -2.0f}) {
    plugin.setParameter(1, notAboveZero);
    EXPECT_EQ(plugin.getParameter(1), 0.0033333334f) << notAboveZero;
    EXPECT_EQ(plugin.parameterDisplay(1), "      1");
  }
  plugin.setParameter(1, 1.0e9f);
  EXPECT_EQ(plugin.parameterDisplay(1), " Huge!  ");
}

TEST_F(MorvaneTest, CutoffSelectsTheFirstShelfItReaches) {
  const std::vector<std::pair<float, std::string>> shelves = {
      {0.0f, "0.000000"},  {0.05f, "1000.000"}, {0.07f, "1000.000"}, {0.0749f, "1000.000"},
      {0.075f, "1500.000"}, {0.6f, "12000.00"}, {1.0f, "15000.00"},  {0.0049f, "0.000000"},
      {-0.5f, "0.000000"}, {7.0f, "15000.00"}};
  for (const auto& [value, text] : shelves) {
    plugin.setParameter(2, value);
    EXPECT_EQ(plugin.parameterDisplay(2), text) << value;
  }
}

TEST_F(MorvaneTest, ExportsTheShelfTables) {
  const float frequencies[24] = {0.75f, 0.6f, 0.5f, 0.45f, 0.4f, 0.35f, 0.3f, 0.25f,
                                 0.2f, 0.15f, 0.125f, 0.1f, 0.075f, 0.05f, 0.045f, 0.04f,
                                 0.035f, 0.03f, 0.025f, 0.02f, 0.015f, 0.01f, 0.005f, 0.0f};
  const float gains[24] = {2.8208363f, 2.1495411f, 1.8636743f, 1.7463194f, 1.6408323f,
                           1.5445709f, 1.4555112f, 1.3720589f, 1.2929232f, 1.217028f,
                           1.180002f,  1.1434478f, 1.1072655f, 1.0713587f, 1.0642022f,
                           1.0570521f, 1.0499079f, 1.0427688f, 1.035634f,  1.028503f,
                           1.0213746f, 1.0142486f, 1.007124f,  1.0f};
  const float ys[24] = {0.2909904f,  0.06956889f, 0.07314893f, 0.14526586f, 0.2188936f,
                        0.29485795f, 0.3740877f,  0.45766342f, 0.54688233f, 0.6433475f,
                        0.69491243f, 0.74909604f, 0.8062516f,  0.86678845f, 0.8793422f,
                        0.89205426f, 0.9049289f,  0.91797066f, 0.9311841f,  0.944574f,
                        0.9581454f,  0.97190326f, 0.98585296f, 1.0f};
  auto table = [&](const char* name) { return static_cast<const float*>(library.symbol(name)); };
  ASSERT_NE(table("FREQUENCIES"), nullptr);
  ASSERT_NE(table("GAIN_COEFFICIENTS"), nullptr);
  ASSERT_NE(table("Y_COEFFICIENTS"), nullptr);
  for (int i = 0; i < 24; ++i) {
    EXPECT_EQ(table("FREQUENCIES")[i], frequencies[i]) << i;
    EXPECT_EQ(table("GAIN_COEFFICIENTS")[i], gains[i]) << i;
    EXPECT_EQ(table("Y_COEFFICIENTS")[i], ys[i]) << i;
  }
}

TEST_F(MorvaneTest, TheImpulseIsFilteredAtOnceAndRepeatsEveryBeat) {
  const auto events = listen(plugin, 3 * kBeat + 10, 0);
  ASSERT_GE(events.size(), 3u);
  // The direct signal: the filtered impulse, then its decay through the
  // shelf's pole, gone long before the first echo.
  EXPECT_EQ(events[0], (EchoEvent{0, kFiltered, kFiltered}));
  const float second = static_cast<float>(-static_cast<double>(kFiltered) +
                                          static_cast<double>(0.86678845f) * kFiltered);
  EXPECT_EQ(events[1], (EchoEvent{1, second, second}));
  std::vector<EchoEvent> echoes;
  for (const EchoEvent& e : onsets(events)) {
    if (e.frame >= 2000) echoes.push_back(e);
  }
  // Each echo rings on like the direct signal did.
  const auto ringing = std::find_if(events.begin(), events.end(),
                                    [](const EchoEvent& e) { return e.frame == kBeat + 1; });
  ASSERT_NE(ringing, events.end());
  EXPECT_EQ(*ringing, (EchoEvent{kBeat + 1, quietEchoOf(second), echoOf(second)}));
  // The sides change every beat; each repeat keeps a quarter ("Feedback").
  const float repeat = 0.25f * kFiltered;
  const std::vector<EchoEvent> expected = {
      {kBeat, quietEchoOf(kFiltered), echoOf(kFiltered)},
      {2 * kBeat, echoOf(repeat), quietEchoOf(repeat)},
      {3 * kBeat, quietEchoOf(0.25f * repeat), echoOf(0.25f * repeat)},
  };
  EXPECT_EQ(echoes, expected);
}

TEST_F(MorvaneTest, FeedbackZeroGivesOneEchoAndOneKeepsThemAll) {
  plugin.setParameter(3, 0.0f);
  auto events = onsets(listen(plugin, 4 * kBeat + 10, 2000));
  EXPECT_EQ(events, (std::vector<EchoEvent>{{kBeat, quietEchoOf(kFiltered), echoOf(kFiltered)}}));

  PluginInstance forever(library);
  forever.setParameter(3, 1.0f);
  events = onsets(listen(forever, 6 * kBeat + 10, 2000));
  ASSERT_EQ(events.size(), 6u);
  for (int64_t k = 1; k <= 6; ++k) {
    const EchoEvent& e = events[static_cast<std::size_t>(k - 1)];
    EXPECT_EQ(e.frame, k * kBeat);
    const bool leftQuiet = k % 2 == 1;
    EXPECT_EQ(e.left, leftQuiet ? quietEchoOf(kFiltered) : echoOf(kFiltered)) << k;
    EXPECT_EQ(e.right, leftQuiet ? echoOf(kFiltered) : quietEchoOf(kFiltered)) << k;
  }
}

TEST_F(MorvaneTest, CutoffZeroPassesTheInputUnfiltered) {
  plugin.setParameter(0, 0.75f);
  plugin.setParameter(2, 0.0f);
  settle();
  const auto noise = test::noise(20000, 0.9f, 4);
  const auto events = listen(plugin, 20000, 0, [&](int64_t frame) -> std::array<float, 2> {
    const float x = noise[static_cast<std::size_t>(frame)];
    return {x, -x};
  });
  ASSERT_EQ(events.size(), 20000u);
  for (const EchoEvent& e : events) {
    const float x = noise[static_cast<std::size_t>(e.frame)];
    ASSERT_EQ(e.left, 3.9810717f * x) << e.frame;
    ASSERT_EQ(e.right, 3.9810717f * -x) << e.frame;
  }
}

TEST_F(MorvaneTest, CutoffOneTakesTheHighestShelf) {
  plugin.setParameter(2, 1.0f);
  settle();
  const auto events = listen(plugin, 2, 0);
  const float first = static_cast<float>(1.0 / static_cast<double>(2.8208363f));
  const float second = static_cast<float>(-static_cast<double>(first) +
                                          static_cast<double>(0.2909904f) * first);
  EXPECT_EQ(events, (std::vector<EchoEvent>{{0, first, first}, {1, second, second}}));
}

TEST_F(MorvaneTest, GainZeroSilencesTheDirectSignalWhileTheEchoesGoOn) {
  plugin.setParameter(0, 0.0f);
  EXPECT_EQ(plugin.parameterDisplay(0), "-inf");
  settle();
  // The side changed 26460 frames after the start, during this render.
  const auto events = onsets(listen(plugin, 2 * kBeat + 10, 0));
  const float repeat = 0.25f * kFiltered;
  EXPECT_EQ(events, (std::vector<EchoEvent>{
                        {kBeat, quietEchoOf(kFiltered), echoOf(kFiltered)},
                        {2 * kBeat, echoOf(repeat), quietEchoOf(repeat)},
                    }));
}

TEST_F(MorvaneTest, ProcessAddsWhatProcessReplacingWrites) {
  constexpr std::size_t kFrames = 30000;
  PluginInstance adding(library);
  for (PluginInstance* p : {&plugin, &adding}) {
    p->setParameter(0, 0.65f);
    p->setParameter(1, 0.6f);
    p->setParameter(3, 0.5f);
  }
  test::StereoBuffers replaced(kFrames), added(kFrames);
  for (test::StereoBuffers* io : {&replaced, &added}) {
    io->in[0] = test::noise(kFrames, 0.7f, 21);
    io->in[1] = test::noise(kFrames, 0.7f, 22);
    io->relink();
  }
  std::fill(added.out[0].begin(), added.out[0].end(), 0.25f);
  std::fill(added.out[1].begin(), added.out[1].end(), -0.25f);
  for (std::size_t start = 0; start < kFrames; start += 1000) {
    float* in[2] = {replaced.in[0].data() + start, replaced.in[1].data() + start};
    float* outR[2] = {replaced.out[0].data() + start, replaced.out[1].data() + start};
    float* outA[2] = {added.out[0].data() + start, added.out[1].data() + start};
    plugin.processReplacing(in, outR, 1000);
    adding.process(in, outA, 1000);
  }
  for (std::size_t i = 0; i < kFrames; ++i) {
    ASSERT_EQ(added.out[0][i], 0.25f + replaced.out[0][i]) << i;
    ASSERT_EQ(added.out[1][i], -0.25f + replaced.out[1][i]) << i;
  }
}

}  // namespace
}  // namespace kqfx
