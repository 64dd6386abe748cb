// The demo signal: the same samples every time, loud enough, never clipping.
#include <gtest/gtest.h>

#include <cmath>

#include "DemoPresets.h"
#include "DemoSignal.h"

namespace kqfx::command {
namespace {

float peakOf(const std::vector<float>& samples, std::size_t from, std::size_t to) {
  float peak = 0.0f;
  for (std::size_t i = from; i < to; ++i) peak = std::max(peak, std::fabs(samples[i]));
  return peak;
}

TEST(DemoSignal, FourSecondsPeakingAtThreeDecibelsDownAndEndingInSilence) {
  for (int rate : {8000, 44100, 96000}) {
    const StereoSamples signal = demoSignal(rate);
    ASSERT_EQ(signal[0].size(), static_cast<std::size_t>(4 * rate));
    ASSERT_EQ(signal[1].size(), signal[0].size());
    EXPECT_EQ(std::max(peakOf(signal[0], 0, signal[0].size()), peakOf(signal[1], 0, signal[1].size())),
              kDemoPeak)
        << rate;
    EXPECT_EQ(signal[0].back(), 0.0f);
    // Something sounds in every half beat, on both sides.
    const std::size_t half = static_cast<std::size_t>(rate / 4);
    for (std::size_t start = 0; start + half <= signal[0].size(); start += half) {
      EXPECT_GT(peakOf(signal[0], start, start + half), 0.05f) << rate << " " << start;
      EXPECT_GT(peakOf(signal[1], start, start + half), 0.05f) << rate << " " << start;
    }
  }
  EXPECT_EQ(demoFrames(44100), 176400);
}

TEST(DemoSignal, IsTheSameOnEveryCallAndStereo) {
  const StereoSamples first = demoSignal(44100);
  EXPECT_EQ(demoSignal(44100), first);
  EXPECT_NE(first[0], first[1]);
}

TEST(DemoPresets, NamesArePlainAndValuesInRange) {
  ASSERT_FALSE(demoPresets().empty());
  for (const DemoPreset& preset : demoPresets()) {
    EXPECT_GE(preset.tailSeconds, 0.0) << preset.plugin;
    for (const DemoSetting& setting : preset.settings) {
      EXPECT_GE(setting.value, 0.0f) << preset.plugin << " " << setting.parameter;
      EXPECT_LE(setting.value, 1.0f) << preset.plugin << " " << setting.parameter;
    }
  }
}

}  // namespace
}  // namespace kqfx::command
