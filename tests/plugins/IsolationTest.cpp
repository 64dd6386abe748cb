// Instances and deliverables never disturb each other, and a render does
// not depend on how the host slices it into blocks or where it puts the
// output.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Deliverables.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

using host::PluginInstance;
using host::PluginLibrary;
using Stereo = std::array<std::vector<float>, 2>;

constexpr std::size_t kFrames = 20000;

Stereo testSignal(uint32_t seed) {
  return {test::noise(kFrames, 1.5f, seed), test::noise(kFrames, 1.5f, seed + 7)};
}

// Parameter settings that make every stage of the effect work, with a
// glide running through the render.
void configure(PluginInstance& plugin, float gain) {
  plugin.start(44100.0f, 4096);
  plugin.setParameter(0, gain);
  if (plugin.numParams() > 1) plugin.setParameter(1, 0.6f);
}

Stereo renderAlone(const std::string& name, float gain, const Stereo& input, std::size_t block) {
  PluginLibrary library(test::pluginPath(name));
  PluginInstance plugin(library);
  configure(plugin, gain);
  return test::renderInBlocks(plugin, input, block);
}

class Rendering : public ::testing::TestWithParam<test::Deliverable> {};

TEST_P(Rendering, BlockSizesDoNotChangeTheOutput) {
  const Stereo input = testSignal(3);
  const Stereo reference = renderAlone(GetParam().name, 0.8f, input, kFrames);
  for (std::size_t block : {1, 2, 3, 21, 64, 300, 1152, 4096}) {
    const Stereo sliced = renderAlone(GetParam().name, 0.8f, input, block);
    ASSERT_EQ(sliced[0], reference[0]) << "block " << block;
    ASSERT_EQ(sliced[1], reference[1]) << "block " << block;
  }
}

TEST_P(Rendering, InPlaceBuffersGiveTheSameResult) {
  const Stereo input = testSignal(5);
  const Stereo reference = renderAlone(GetParam().name, 0.3f, input, 512);
  PluginLibrary library(test::pluginPath(GetParam().name));
  PluginInstance plugin(library);
  configure(plugin, 0.3f);
  Stereo buffer = input;
  for (std::size_t start = 0; start < kFrames; start += 512) {
    const auto n = static_cast<int32_t>(std::min<std::size_t>(512, kFrames - start));
    float* channels[2] = {buffer[0].data() + start, buffer[1].data() + start};
    plugin.processReplacing(channels, channels, n);
  }
  EXPECT_EQ(buffer[0], reference[0]);
  EXPECT_EQ(buffer[1], reference[1]);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, Rendering, ::testing::ValuesIn(test::deliverables()), test::PluginNamePrinter());

TEST(Isolation, TwoPluginsTwoInstancesEachInterleavedMatchEachAlone) {
  struct Job {
    std::string name;
    float gain;
    uint32_t seed;
  };
  const std::vector<Job> jobs = {{"Pellvo", 0.9f, 1}, {"Grubbel", 0.95f, 2},
                                 {"Pellvo", 0.2f, 3}, {"Grubbel", 0.4f, 4}};
  std::vector<Stereo> inputs, alone;
  for (const Job& job : jobs) {
    inputs.push_back(testSignal(job.seed));
    alone.push_back(renderAlone(job.name, job.gain, inputs.back(), 256));
  }

  std::map<std::string, std::unique_ptr<PluginLibrary>> libraries;
  std::vector<std::unique_ptr<PluginInstance>> instances;
  for (const Job& job : jobs) {
    auto& library = libraries[job.name];
    if (!library) library = std::make_unique<PluginLibrary>(test::pluginPath(job.name));
    instances.push_back(std::make_unique<PluginInstance>(*library));
    configure(*instances.back(), job.gain);
  }
  std::vector<Stereo> together(jobs.size(), Stereo{std::vector<float>(kFrames),
                                                   std::vector<float>(kFrames)});
  for (std::size_t start = 0; start < kFrames; start += 256) {
    const auto n = static_cast<int32_t>(std::min<std::size_t>(256, kFrames - start));
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      float* in[2] = {inputs[j][0].data() + start, inputs[j][1].data() + start};
      float* out[2] = {together[j][0].data() + start, together[j][1].data() + start};
      instances[j]->processReplacing(in, out, n);
    }
  }
  for (std::size_t j = 0; j < jobs.size(); ++j) {
    EXPECT_EQ(together[j][0], alone[j][0]) << jobs[j].name << " #" << j;
    EXPECT_EQ(together[j][1], alone[j][1]) << jobs[j].name << " #" << j;
  }
}

}  // namespace
}  // namespace kqfx
