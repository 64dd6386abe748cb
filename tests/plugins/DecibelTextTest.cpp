// Every gain shown in decibels states the gain the effect applies: over a
// sweep of values the text is 20 log10 of the law's factor (0.5 is 0 dB,
// each end 24 dB away, 48 dB for the reverb's "Dry Level"), and the level
// measured through the shared object changes by what the text says.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;

struct GainCase {
  const char* name;
  double decibelsPerUnit;  // of the factor applied, over the 0..1 value
  bool zeroIsSilence;
  // Settings under which the output is the gain parameter's signal alone,
  // scaled by its factor; empty `measured` where no such setting exists.
  std::vector<std::pair<int32_t, float>> isolate;
  bool measured = true;
};

void PrintTo(const GainCase& c, std::ostream* os) { *os << c.name; }

const GainCase kCases[] = {
    {"Pellvo", 48.0, false, {}},
    {"Grubbel", 48.0, false, {}},  // the ceiling at 1 is never reached
    {"Quistrel", 48.0, false, {}},
    {"Fennick", 48.0, false, {}, false},  // a waveshaper: no level to compare
    {"Morvane", 48.0, true, {}},  // measured before the first echo
    {"Tallisk", 48.0, true, {}},
    {"Vardello", 96.0, false, {{1, 0.0f}}},  // "Depth" 0: the dry signal alone
};

constexpr int32_t kGainIndex = 0;
constexpr std::size_t kSettle = 16384;  // the glides to the settings
constexpr std::size_t kMeasured = 8192;  // well within a beat at 100 BPM

// Energy of what the effect makes of quiet noise, once its settings have
// glided into place over silence.
double outputEnergy(const PluginLibrary& library, const GainCase& c, float gain) {
  PluginInstance plugin(library);
  plugin.start(44100.0f, 512);
  for (const auto& [index, value] : c.isolate) plugin.setParameter(index, value);
  plugin.setParameter(kGainIndex, gain);
  std::array<std::vector<float>, 2> input{std::vector<float>(kSettle + kMeasured),
                                          std::vector<float>(kSettle + kMeasured)};
  for (std::size_t ch = 0; ch < 2; ++ch) {
    const auto noise = test::noise(kMeasured, 0.01f, static_cast<uint32_t>(ch) + 40);
    std::copy(noise.begin(), noise.end(), input[ch].begin() + kSettle);
  }
  const auto output = test::renderInBlocks(plugin, input, 512);
  double energy = 0.0;
  for (const auto& channel : output) {
    for (std::size_t i = kSettle; i < channel.size(); ++i) {
      energy += static_cast<double>(channel[i]) * channel[i];
    }
  }
  return energy;
}

// Digits after the decimal point: the text's precision.
int decimals(const std::string& text) {
  const auto point = text.find('.');
  return point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

class DecibelText : public ::testing::TestWithParam<GainCase> {
 protected:
  PluginLibrary library{test::pluginPath(GetParam().name)};
};

TEST_P(DecibelText, StatesTheGainTheEffectApplies) {
  const GainCase& c = GetParam();
  PluginInstance texts(library);
  const double reference = c.measured ? outputEnergy(library, c, 0.5f) : 0.0;
  for (const float value : {0.0f, 0.1f, 0.3f, 0.4375f, 0.5f, 0.55f, 0.6f, 0.75f, 0.9f, 1.0f}) {
    texts.setParameter(kGainIndex, value);
    const std::string text = texts.parameterDisplay(kGainIndex);
    const double energy = c.measured ? outputEnergy(library, c, value) : 0.0;
    if (c.zeroIsSilence && value == 0.0f) {
      EXPECT_EQ(text, "-inf");
      EXPECT_EQ(energy, 0.0);
      continue;
    }
    // 20 log10 of 10^(d / 10), d = (value - 0.5) x the law's range: 2d.
    const double applied = (static_cast<double>(value) - 0.5) * c.decibelsPerUnit;
    const double shown = std::strtod(text.c_str(), nullptr);
    EXPECT_LT(std::fabs(shown - applied), std::pow(10.0, -decimals(text)) + 1e-9)
        << value << ": " << text;
    if (c.measured) {
      EXPECT_NEAR(10.0 * std::log10(energy / reference), shown, 0.01) << value << ": " << text;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Gains, DecibelText, ::testing::ValuesIn(kCases),
                         test::PluginNamePrinter());

}  // namespace
}  // namespace kqfx
