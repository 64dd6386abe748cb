// The beat echoes while a host thread throws every kind of tempo at them
// (none, almost none, slow, fast, absurd) and the audio thread alternates
// both process paths: no race, no stray memory access, finite output.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>

#include "TestPlugins.h"

namespace kqfx {
namespace {

class BeatEchoTempoRace : public ::testing::TestWithParam<std::string> {};

TEST_P(BeatEchoTempoRace, TempoWritesNeverDisturbProcessing) {
  host::PluginLibrary library(test::pluginPath(GetParam()));
  host::PluginInstance plugin(library);
  plugin.start(44100.0f, 64);
  std::atomic<bool> running{true};
  std::thread host([&] {
    const float tempos[] = {0.0f, -1.0f, 1e-30f, 1e-6f, 0.001f, 0.01f, 0.335f, 1.0f, 50.0f, 1e20f};
    std::size_t i = 0;
    while (running) {
      plugin.setParameter(1, tempos[i++ % std::size(tempos)]);
      plugin.setParameter(3, static_cast<float>(i % 3) * 0.5f);
      (void)plugin.getParameter(1);
    }
  });
  test::StereoBuffers io(64);
  io.in[0] = test::noise(64, 1.0f, 3);
  io.in[1] = test::noise(64, 1.0f, 4);
  io.relink();
  bool finite = true;
  for (int block = 0; block < 3000; ++block) {
    if (block % 2 == 0) {
      plugin.processReplacing(io.inputs.data(), io.outputs.data(), 64);
    } else {
      std::fill(io.out[0].begin(), io.out[0].end(), 0.0f);
      std::fill(io.out[1].begin(), io.out[1].end(), 0.0f);
      plugin.process(io.inputs.data(), io.outputs.data(), 64);
    }
    for (int ch = 0; ch < 2; ++ch) {
      for (float s : io.out[ch]) finite = finite && std::isfinite(s);
    }
  }
  running = false;
  host.join();
  EXPECT_TRUE(finite);
}

INSTANTIATE_TEST_SUITE_P(Echoes, BeatEchoTempoRace, ::testing::Values("Morvane", "Tallisk"),
                         [](const auto& param) { return param.param; });

}  // namespace
}  // namespace kqfx
