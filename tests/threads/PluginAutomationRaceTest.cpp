// Automation from a host thread while the audio thread renders, through
// the real plug-in boundary (race-free under ThreadSanitizer).

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>

#include "Deliverables.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

class AutomationRace : public ::testing::TestWithParam<test::Deliverable> {};

TEST_P(AutomationRace, OutputStaysFiniteWhileEveryParameterMoves) {
  host::PluginLibrary library(test::pluginPath(GetParam().name));
  host::PluginInstance plugin(library);
  plugin.start(44100.0f, 32);
  std::atomic<bool> running{true};
  std::thread automation([&] {
    uint32_t state = 1;
    while (running) {
      for (int32_t p = 0; p < plugin.numParams(); ++p) {
        state = state * 1664525u + 1013904223u;
        plugin.setParameter(p, static_cast<float>(state >> 8) / 16777216.0f);
        (void)plugin.getParameter(p);
      }
    }
  });
  test::StereoBuffers io(32);
  io.in[0] = test::noise(32, 1.0f, 9);
  io.in[1] = test::noise(32, 1.0f, 10);
  io.relink();
  bool finite = true;
  for (int block = 0; block < 2000; ++block) {
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), 32);
    for (int ch = 0; ch < 2; ++ch) {
      for (float s : io.out[ch]) finite = finite && std::isfinite(s);
    }
  }
  running = false;
  automation.join();
  EXPECT_TRUE(finite);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, AutomationRace, ::testing::ValuesIn(test::deliverables()), test::PluginNamePrinter());

}  // namespace
}  // namespace kqfx
