// Quistrel through its shared object for more than 2^24 frames: the sweep
// goes on exactly where a float count would have stopped. Runs about 17
// million frames, so it is kept apart from the quick tests (label "long").

#include <gtest/gtest.h>

#include <cstdint>

#include "QuistrelModel.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

TEST(QuistrelLong, SweepsOnPastTwoToTheTwentyFourFrames) {
  host::PluginLibrary library(test::pluginPath("Quistrel"));
  host::PluginInstance plugin(library);
  plugin.start(44100.0f, 8192);
  plugin.setParameter(4, 0.0f);  // "Cutoff (Lo)" 0: the cutoff follows the sweep closely
  plugin.setParameter(5, 0.5f);
  test::QuistrelModel model(26460.0);

  // The glides of the two writes first, then an exact comparison over the
  // last two periods before and after 2^24 + 2 * 26460 frames.
  constexpr int64_t kFrames = (int64_t{1} << 24) + 2 * 26460 + 100;
  constexpr int64_t kCompareFrom = (int64_t{1} << 24) - 2 * 26460;
  constexpr int32_t kBlock = 8192;
  test::StereoBuffers io(kBlock);
  uint32_t seed = 1;
  int64_t mismatches = 0;
  float lo = 0.05f;
  float res = 0.0f;
  const float loStep = static_cast<float>((0.0 - 0.05f) / 16384);
  const float resStep = static_cast<float>(0.5 / 16384);
  for (int64_t start = 0; start < kFrames; start += kBlock) {
    const auto n = static_cast<int32_t>(std::min<int64_t>(kBlock, kFrames - start));
    io.in[0] = test::noise(kBlock, 0.5f, seed++);
    io.in[1] = test::noise(kBlock, 0.5f, seed++);
    io.relink();
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), n);
    for (int32_t i = 0; i < n; ++i) {
      const int64_t frame = start + i + 1;
      if (frame < 16384) {
        lo = static_cast<float>(0.05f + static_cast<double>(frame) * loStep);
        res = static_cast<float>(static_cast<double>(frame) * resStep);
      } else {
        lo = 0.0f;
        res = 0.5f;
      }
      for (int ch = 0; ch < 2; ++ch) {
        const float expected = model.filterIt(io.in[ch][i], ch, 1.0f, lo, res);
        if (frame >= kCompareFrom && io.out[ch][i] != expected) ++mismatches;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(model.count[0], static_cast<double>(kFrames));
}

}  // namespace
}  // namespace kqfx
