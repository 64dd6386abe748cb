// Morvane through its shared object against the frame-by-frame model, bit
// for bit, over long renders: settled and gliding parameters, every kind of
// shelf, beats that end and lines that wrap inside blocks of every size,
// the two process paths, in-place buffers, a sample rate changed without a
// suspend (beat and delay of different lengths), bad input samples and
// lines that overflow.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "MorvaneModel.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;

enum class Buffers { Separate, InPlace, Adding };

struct Scenario {
  std::string name;
  std::vector<std::pair<int32_t, float>> settings;
  std::vector<int32_t> blocks;
  Buffers buffers = Buffers::Separate;
  float sampleRate = 44100.0f;
  // Input frames replaced by a bad value: (frame, channel mask, value).
  std::vector<std::tuple<int32_t, int, float>> badSamples = {};
  int32_t frames = 60000;
  // Parameter writes during the render: (frame, index, value), each made
  // before the first block that starts at or after its frame.
  std::vector<std::tuple<int32_t, int32_t, float>> automation = {};
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

const std::vector<int32_t> kOddBlocks{1, 2, 3, 5, 8, 13, 333, 512, 4096, 777, 64, 1000};

std::vector<Scenario> scenarios() {
  return {
      {"ShelfElevenFastTempoOddBlocks", {{0, 0.6f}, {1, 1.0f}, {2, 0.1f}, {3, 0.5f}}, kOddBlocks},
      {"UnfilteredShelfAdding", {{0, 0.7f}, {1, 0.9f}, {2, 0.0f}, {3, 0.8f}}, kOddBlocks,
       Buffers::Adding},
      {"HighestShelfInPlace", {{1, 0.5f}, {2, 1.0f}, {3, 0.3f}}, {512}, Buffers::InPlace},
      {"UnfilteredShelfInPlaceOddBlocks", {{1, 0.95f}, {2, 0.004f}}, kOddBlocks,
       Buffers::InPlace},
      {"BeatAndDelayApartAfterARateChange", {{1, 0.8f}, {2, 0.3f}, {3, 0.6f}}, kOddBlocks,
       Buffers::Separate, 48000.0f},
      {"GainZeroAndFullFeedback", {{0, 0.0f}, {1, 1.0f}, {2, 0.05f}, {3, 1.0f}}, {4096, 7}},
      {"BadSamplesOnEitherFrameOfAPair",
       {{1, 1.0f}, {2, 0.2f}, {3, 0.5f}},
       kOddBlocks,
       Buffers::Separate,
       44100.0f,
       {{20000, 1, kNaN},
        {20001, 2, kInf},
        {24001, 3, -kInf},
        {24100, 2, kNaN},
        {30000, 1, 3.0e38f},
        {30001, 1, 3.0e38f},
        {40000, 3, kNaN},
        {40003, 3, kNaN}}},
      {"BadSamplesUnfilteredAdding",
       {{1, 1.0f}, {2, 0.0f}},
       {512},
       Buffers::Adding,
       44100.0f,
       {{20000, 1, kInf}, {20001, 2, kNaN}, {33333, 3, kNaN}}},
      // A feedback far above 1 overflows the lines, which keep silence.
      {"LinesThatOverflow", {{1, 1.0f}, {2, 0.1f}, {3, 1.0e30f}}, kOddBlocks},
      // Once tempo and cutoff have settled, gain and feedback glide on
      // their own: together, one after the other, a glide ending inside a
      // block, another write landing while one is still under way.
      {"GainAndFeedbackGlideAloneOddBlocks",
       {{1, 1.0f}, {2, 0.1f}},
       kOddBlocks,
       Buffers::Separate,
       44100.0f,
       {},
       90000,
       {{17000, 0, 0.9f}, {17000, 3, 0.7f}, {40000, 3, 0.05f}, {47000, 0, 0.1f},
        {58000, 0, 0.0f}, {70000, 3, 0.95f}}},
      {"GainAndFeedbackGlideAloneUnfilteredAdding",
       {{1, 0.9f}, {2, 0.0f}},
       {7, 61, 64, 65, 129, 1},
       Buffers::Adding,
       44100.0f,
       {},
       60000,
       {{16500, 0, 0.75f}, {16500, 3, 0.9f}, {30000, 0, 0.3f}, {45000, 3, 0.1f}}},
      {"FeedbackGlidesAloneInPlace",
       {{1, 0.7f}, {2, 0.5f}},
       {512, 333},
       Buffers::InPlace,
       44100.0f,
       {},
       50000,
       {{17000, 3, 0.85f}, {36000, 3, 0.2f}}},
  };
}

bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

class MorvaneFramesTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(MorvaneFramesTest, EveryOutputSampleIsThatOfTheModel) {
  const Scenario& s = GetParam();
  PluginLibrary library(test::pluginPath("Morvane"));
  PluginInstance plugin(library);
  // No suspend: the delay memory stays as it was made at 44100 Hz.
  plugin.dispatch(opSetSampleRate, 0, 0, nullptr, s.sampleRate);
  test::MorvaneModel model(s.sampleRate);
  for (const auto& [index, value] : s.settings) {
    plugin.setParameter(index, value);
    model.setParameter(index, value);
  }

  const auto frames = static_cast<std::size_t>(s.frames);
  std::array<std::vector<float>, 2> in{test::noise(frames, 0.8f, 31), test::noise(frames, 0.8f, 32)};
  for (const auto& [frame, channels, value] : s.badSamples) {
    for (int ch = 0; ch < 2; ++ch) {
      if (channels & (1 << ch)) in[static_cast<std::size_t>(ch)][static_cast<std::size_t>(frame)] = value;
    }
  }
  const float prefill[2] = {0.125f, -0.5f};
  std::array<std::vector<float>, 2> out;
  for (int ch = 0; ch < 2; ++ch) {
    const auto c = static_cast<std::size_t>(ch);
    out[c] = s.buffers == Buffers::InPlace ? in[c] : std::vector<float>(frames, prefill[ch]);
  }
  const std::array<std::vector<float>, 2> input = in;

  std::vector<std::tuple<std::size_t, int32_t, float>> written;
  std::size_t nextWrite = 0;
  std::size_t start = 0;
  for (std::size_t b = 0; start < frames; ++b) {
    for (; nextWrite < s.automation.size() &&
           static_cast<std::size_t>(std::get<0>(s.automation[nextWrite])) <= start;
         ++nextWrite) {
      const auto& [frame, index, value] = s.automation[nextWrite];
      plugin.setParameter(index, value);
      written.emplace_back(start, index, value);
    }
    const auto n = std::min(static_cast<std::size_t>(s.blocks[b % s.blocks.size()]), frames - start);
    float* inputs[2] = {in[0].data() + start, in[1].data() + start};
    float* outputs[2] = {out[0].data() + start, out[1].data() + start};
    if (s.buffers == Buffers::InPlace) {
      inputs[0] = outputs[0];
      inputs[1] = outputs[1];
    }
    if (s.buffers == Buffers::Adding) {
      plugin.process(inputs, outputs, static_cast<int32_t>(n));
    } else {
      plugin.processReplacing(inputs, outputs, static_cast<int32_t>(n));
    }
    start += n;
  }

  ASSERT_EQ(written.size(), s.automation.size());
  std::size_t modelWrite = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    for (; modelWrite < written.size() && std::get<0>(written[modelWrite]) == i; ++modelWrite) {
      model.setParameter(std::get<1>(written[modelWrite]), std::get<2>(written[modelWrite]));
    }
    std::array<float, 2> expected = model.frame(input[0][i], input[1][i]);
    if (s.buffers == Buffers::Adding) {
      expected = {prefill[0] + expected[0], prefill[1] + expected[1]};
    }
    ASSERT_TRUE(sameBits(out[0][i], expected[0]))
        << "left, frame " << i << ": " << out[0][i] << " instead of " << expected[0];
    ASSERT_TRUE(sameBits(out[1][i], expected[1]))
        << "right, frame " << i << ": " << out[1][i] << " instead of " << expected[1];
  }
}

INSTANTIATE_TEST_SUITE_P(Morvane, MorvaneFramesTest, ::testing::ValuesIn(scenarios()),
                         test::PluginNamePrinter());

}  // namespace
}  // namespace kqfx
