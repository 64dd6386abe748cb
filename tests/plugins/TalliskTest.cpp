// Tallisk through its shared object: echoes a quarter of the last, "Depth"
// and "Spread", and the two process paths with their own direct signal and
// tempo arithmetic.

#include <gtest/gtest.h>

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
using test::Path;

constexpr int64_t kBeat = 26460;  // 100 BPM at 44100 Hz
constexpr int32_t kGlide = 16384;

class TalliskTest : public ::testing::Test {
 protected:
  // Lets every glide finish on silence.
  void settle() { listen(plugin, kGlide, 0, test::silence); }

  PluginLibrary library{test::pluginPath("Tallisk")};
  PluginInstance plugin{library};
};

TEST_F(TalliskTest, NamesLabelsAndTexts) {
  const char* names[] = {"Input Gain", "Tempo", "Depth", "Spread"};
  const char* labels[] = {"dB", "BPM", "%", "%"};
  const char* texts[] = {"0.000000", "    100", "25.00000", "25.00000"};
  const float values[] = {0.5f, 0.33333334f, 0.25f, 0.25f};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(plugin.parameterName(i), names[i]);
    EXPECT_EQ(plugin.parameterLabel(i), labels[i]);
    EXPECT_EQ(plugin.parameterDisplay(i), texts[i]);
    EXPECT_EQ(plugin.getParameter(i), values[i]);
  }
  plugin.setParameter(0, 0.0f);
  EXPECT_EQ(plugin.parameterDisplay(0), "-inf");
  plugin.setParameter(0, 0.75f);
  EXPECT_EQ(plugin.parameterDisplay(0), "12.00000");
  plugin.setParameter(1, 0.335f);  // 100.5 BPM shows its whole part
  EXPECT_EQ(plugin.parameterDisplay(1), "    100");
  plugin.setParameter(1, 0.0f);
  EXPECT_EQ(plugin.getParameter(1), 0.0033333334f);
  EXPECT_EQ(plugin.parameterDisplay(1), "      1");
  plugin.setParameter(2, 1.0f);
  EXPECT_EQ(plugin.parameterDisplay(2), "100.0000");
  plugin.setParameter(3, 0.0f);
  EXPECT_EQ(plugin.parameterDisplay(3), "0.000000");
  char untouched[16] = "keep";
  plugin.dispatch(opGetParameterName, 4, 0, untouched);
  plugin.dispatch(opGetParameterDisplay, 4, 0, untouched);
  EXPECT_STREQ(untouched, "keep");
}

TEST_F(TalliskTest, EachRepeatIsAQuarterOfTheLastOnAlternatingSides) {
  const auto events = listen(plugin, 3 * kBeat + 10, 0);
  EXPECT_EQ(events, (std::vector<EchoEvent>{
                        {0, 1.0f, 1.0f},
                        {kBeat, 0.25f * 0.75f, 0.25f},
                        {2 * kBeat, 0.25f * 0.25f, 0.25f * 0.25f * 0.75f},
                        {3 * kBeat, 0.25f * 0.0625f * 0.75f, 0.25f * 0.0625f},
                    }));
}

TEST_F(TalliskTest, SpreadZeroKeepsBothSidesAndOneMutesASideEachBeat) {
  plugin.setParameter(3, 0.0f);
  EXPECT_EQ(listen(plugin, 2 * kBeat + 10, 1),
            (std::vector<EchoEvent>{{kBeat, 0.25f, 0.25f}, {2 * kBeat, 0.0625f, 0.0625f}}));

  PluginInstance full(library);
  full.setParameter(3, 1.0f);
  EXPECT_EQ(listen(full, 3 * kBeat + 10, 1),
            (std::vector<EchoEvent>{{kBeat, 0.0f, 0.25f},
                                    {2 * kBeat, 0.0625f, 0.0f},
                                    {3 * kBeat, 0.0f, 0.015625f}}));
}

TEST_F(TalliskTest, DepthZeroLeavesTheDirectSignalAlone) {
  plugin.setParameter(0, 0.75f);
  plugin.setParameter(2, 0.0f);
  settle();
  const auto noise = test::noise(3 * kBeat, 0.9f, 6);
  const auto events = listen(plugin, 3 * kBeat, 0, [&](int64_t frame) -> std::array<float, 2> {
    const float x = noise[static_cast<std::size_t>(frame)];
    return {x, 0.5f * x};
  });
  ASSERT_EQ(events.size(), noise.size());
  for (const EchoEvent& e : events) {
    const float x = noise[static_cast<std::size_t>(e.frame)];
    ASSERT_EQ(e.left, 3.9810717f * x) << e.frame;
    ASSERT_EQ(e.right, 3.9810717f * (0.5f * x)) << e.frame;
  }

  // The adding path then adds nothing at all.
  PluginInstance adding(library);
  adding.setParameter(2, 0.0f);
  EXPECT_TRUE(listen(adding, 3 * kBeat, 0, [&](int64_t frame) -> std::array<float, 2> {
                const float x = noise[static_cast<std::size_t>(frame)];
                return {x, x};
              }, Path::Adding).empty());
}

TEST_F(TalliskTest, GainZeroSilencesTheDirectSignalOfProcessReplacing) {
  plugin.setParameter(0, 0.0f);
  settle();
  // The side changed 26460 frames after the start, during this render.
  EXPECT_EQ(listen(plugin, kBeat + 10, 0),
            (std::vector<EchoEvent>{{kBeat, 0.1875f, 0.25f}}));
}

TEST_F(TalliskTest, ProcessAddsTheEchoesAloneToWhatTheOutputsHold) {
  test::StereoBuffers io(2 * kBeat + 1);
  io.in[0][0] = 1.0f;
  io.in[1][0] = 1.0f;
  std::fill(io.out[0].begin(), io.out[0].end(), 0.5f);
  std::fill(io.out[1].begin(), io.out[1].end(), -0.5f);
  for (std::size_t start = 0; start < io.frames(); start += 4096) {
    const auto n = static_cast<int32_t>(std::min<std::size_t>(4096, io.frames() - start));
    float* in[2] = {io.in[0].data() + start, io.in[1].data() + start};
    float* out[2] = {io.out[0].data() + start, io.out[1].data() + start};
    plugin.process(in, out, n);
  }
  for (std::size_t i = 0; i < io.frames(); ++i) {
    if (i == kBeat || i == 2 * kBeat) continue;
    ASSERT_EQ(io.out[0][i], 0.5f) << i;
    ASSERT_EQ(io.out[1][i], -0.5f) << i;
  }
  EXPECT_EQ(io.out[0][kBeat], 0.6875f);
  EXPECT_EQ(io.out[1][kBeat], -0.25f);
  EXPECT_EQ(io.out[0][2 * kBeat], 0.5625f);
  EXPECT_EQ(io.out[1][2 * kBeat], -0.453125f);
}

TEST_F(TalliskTest, AFractionalTempoShortensOnlyTheReplacingBeat) {
  // 0.335 is 100.5 BPM: 26328.36 frames a beat at the exact tempo; the
  // adding path keeps 100 BPM.
  PluginInstance adding(library);
  for (PluginInstance* p : {&plugin, &adding}) {
    p->setParameter(1, 0.335f);
    listen(*p, kGlide, 0, test::silence);
    p->suspend();
    p->resume();
  }
  EXPECT_EQ(listen(plugin, kBeat + 10, 1),
            (std::vector<EchoEvent>{{26328, 0.1875f, 0.25f}}));
  EXPECT_EQ(listen(adding, kBeat + 10, 1, test::unitImpulse, Path::Adding),
            (std::vector<EchoEvent>{{kBeat, 0.1875f, 0.25f}}));
}

}  // namespace
}  // namespace kqfx
