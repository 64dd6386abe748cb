// The reverb's "Model" written and read on a host thread while the audio
// thread renders: no data race (ThreadSanitizer), no non-finite output,
// and the host always reads back what it wrote.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>

#include "TestPlugins.h"

namespace kqfx {
namespace {

constexpr int32_t kModel = 3;

TEST(VardelloModelRace, ModelChangesWhileAudioRunsStayWholeAndFinite) {
  host::PluginLibrary library(test::pluginPath("Vardello"));
  host::PluginInstance plugin(library);
  plugin.start(44100.0f, 64);
  std::atomic<bool> running{true};
  std::atomic<int> mismatches{0};
  std::thread host([&] {
    const char* names[] = {"Classic",  "Antechamber", "ThroneRoom", "Grand Hall", "Refectory",
                           "Solarium", "Library",     "Dungeon",    "Ballroom",   "Catacombs"};
    int n = 0;
    while (running) {
      const float value = n == 9 ? 1.0f : (static_cast<float>(n) + 0.5f) / 9.0f;
      plugin.setParameter(kModel, value);
      if (plugin.getParameter(kModel) != value) ++mismatches;
      if (plugin.parameterDisplay(kModel) != names[n]) ++mismatches;
      plugin.setParameter(n % 3, value);
      n = (n + 1) % 10;
    }
  });
  test::StereoBuffers io(64);
  io.in[0] = test::noise(64, 1.0f, 21);
  io.in[1] = test::noise(64, 1.0f, 22);
  io.relink();
  bool finite = true;
  for (int block = 0; block < 3000; ++block) {
    if (block % 2 == 0) {
      plugin.processReplacing(io.inputs.data(), io.outputs.data(), 64);
    } else {
      plugin.process(io.inputs.data(), io.outputs.data(), 64);
    }
    for (const auto& channel : io.out) {
      for (float s : channel) finite = finite && std::isfinite(s);
    }
    std::fill(io.out[0].begin(), io.out[0].end(), 0.0f);
    std::fill(io.out[1].begin(), io.out[1].end(), 0.0f);
  }
  running = false;
  host.join();
  EXPECT_TRUE(finite);
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace kqfx
