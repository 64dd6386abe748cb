// Quistrel's sweep length written from host threads while the audio
// thread renders: no data race (run under ThreadSanitizer), the output
// stays finite and within the filter's ceiling, and the length left behind
// is the one of the last "Tempo" and "Every n" written.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "QuistrelModel.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

enum : int32_t { kTempo = 1, kEveryN = 2, kLo = 4, kResonance = 5 };

class QuistrelTempoRace : public ::testing::Test {
 protected:
  QuistrelTempoRace() {
    plugin.start(44100.0f, 32);
    plugin.setParameter(kLo, 0.0f);
    plugin.setParameter(kResonance, 0.9f);
    test::StereoBuffers io(16384);
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), 16384);
  }

  // Renders noise until `done`; answers whether every sample was finite
  // and within the ceiling.
  bool renderUntil(const std::atomic<bool>& done) {
    test::StereoBuffers io(32);
    io.in[0] = test::noise(32, 1.0f, 3);
    io.in[1] = test::noise(32, 1.0f, 4);
    io.relink();
    bool sane = true;
    int blocks = 0;
    while (!done || blocks < 100) {
      plugin.processReplacing(io.inputs.data(), io.outputs.data(), 32);
      for (const auto& channel : io.out) {
        for (float s : channel) sane = sane && std::isfinite(s) && std::fabs(s) <= 4096.0f;
      }
      ++blocks;
    }
    return sane;
  }

  float probe() {
    plugin.suspend();
    plugin.resume();
    test::StereoBuffers io(1);
    io.fillInput(1.0f, 1.0f);
    plugin.processReplacing(io.inputs.data(), io.outputs.data(), 1);
    return io.out[0][0];
  }

  host::PluginLibrary library{test::pluginPath("Quistrel")};
  host::PluginInstance plugin{library};
};

TEST_F(QuistrelTempoRace, TempoAndEveryNWrittenWhileTheAudioRuns) {
  std::atomic<bool> done{false};
  std::thread host([&] {
    uint32_t state = 7;
    for (int i = 0; i < 20000; ++i) {
      state = state * 1664525u + 1013904223u;
      plugin.setParameter((i % 2) ? kTempo : kEveryN, static_cast<float>(state >> 8) / 16777216.0f);
    }
    plugin.setParameter(kTempo, 1.0f);
    plugin.setParameter(kEveryN, 0.0f);
    done = true;
  });
  EXPECT_TRUE(renderUntil(done));
  host.join();
  EXPECT_EQ(probe(), test::QuistrelModel::sweepProbe(8820.0));
}

TEST_F(QuistrelTempoRace, TwoWritersLeaveTheLengthOfBothLastWrites) {
  std::atomic<bool> done{false};
  std::atomic<int> finished{0};
  auto writer = [&](int32_t index, float last) {
    for (int i = 0; i < 20000; ++i) plugin.setParameter(index, static_cast<float>(i % 3) / 3.0f);
    plugin.setParameter(index, last);
    if (++finished == 2) done = true;
  };
  std::thread tempo(writer, kTempo, 0.5f);    // 150 BPM: 17640 samples a beat
  std::thread everyN(writer, kEveryN, 0.1f);  // floor(3.1) + 1 = 4 beats
  EXPECT_TRUE(renderUntil(done));
  tempo.join();
  everyN.join();
  EXPECT_EQ(probe(), test::QuistrelModel::sweepProbe(4 * 17640.0));
}

}  // namespace
}  // namespace kqfx
