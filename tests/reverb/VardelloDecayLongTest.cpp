// Every room model lets an impulse die away at the default settings: the
// tail never grows, never turns NaN, and ends far below where it began.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "TestPlugins.h"

namespace kqfx {
namespace {

constexpr std::size_t kRate = 44100;
constexpr std::size_t kSeconds = 40;

class VardelloDecay : public ::testing::TestWithParam<int> {};

TEST_P(VardelloDecay, AnImpulseDiesAwayInEveryModel) {
  host::PluginLibrary library(test::pluginPath("Vardello"));
  host::PluginInstance plugin(library);
  plugin.start(static_cast<float>(kRate), static_cast<int32_t>(kRate));
  const int model = GetParam();
  plugin.setParameter(3, model == 9 ? 1.0f : (static_cast<float>(model) + 0.5f) / 9.0f);

  test::StereoBuffers io(kRate);
  io.in[0][0] = 1.0f;
  io.in[1][0] = 1.0f;
  std::vector<float> peaks;
  for (std::size_t second = 0; second < kSeconds; ++second) {
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), static_cast<int32_t>(kRate));
    io.in[0][0] = io.in[1][0] = 0.0f;
    float peak = 0.0f;
    for (const auto& channel : io.out) {
      for (float s : channel) {
        ASSERT_TRUE(std::isfinite(s)) << "second " << second;
        peak = std::max(peak, std::fabs(s));
      }
    }
    peaks.push_back(peak);
  }
  // The first second holds the dry impulse; from then on only the tail.
  EXPECT_GT(peaks[1], 0.0f);
  for (std::size_t s = 2; s < kSeconds; ++s) {
    EXPECT_LE(peaks[s], peaks[s - 1]) << "the tail grew in second " << s;
  }
  EXPECT_LT(peaks[kSeconds - 1], 1e-6f * peaks[1]);
}

std::string modelName(const ::testing::TestParamInfo<int>& model) {
  static const char* const kNames[] = {"Classic",   "Antechamber", "ThroneRoom", "GrandHall",
                                       "Refectory", "Solarium",    "Library",    "Dungeon",
                                       "Ballroom",  "Catacombs"};
  return kNames[model.param];
}

INSTANTIATE_TEST_SUITE_P(Models, VardelloDecay, ::testing::Range(0, 10), modelName);

}  // namespace
}  // namespace kqfx
