#pragma once
// Times a built plug-in's processReplacing through its real boundary, in
// 512-frame blocks of stereo noise at -12 dBFS, and reports frames per
// second and the real-time factor at 44100 Hz.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::bench {

constexpr int32_t kBlock = 512;
constexpr double kRate = 44100.0;

using Settings = std::vector<std::pair<int32_t, float>>;

// Parameter `glideIndex` is written anew before every block when it is not
// negative, so a glide is always running.
inline void runPlugin(benchmark::State& state, const std::string& name, const Settings& settings,
                      int32_t glideIndex = -1) {
  host::PluginLibrary library(std::string(KQFX_PLUGIN_DIR) + "/" + name + ".so");
  host::PluginInstance plugin(library);
  plugin.start(static_cast<float>(kRate), kBlock);
  for (const auto& [index, value] : settings) plugin.setParameter(index, value);

  std::array<std::vector<float>, 2> in{std::vector<float>(kBlock), std::vector<float>(kBlock)};
  std::array<std::vector<float>, 2> out{std::vector<float>(kBlock), std::vector<float>(kBlock)};
  uint32_t seed = 12345;
  for (auto& channel : in) {
    for (float& s : channel) {
      seed = seed * 1664525u + 1013904223u;
      s = 0.25f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
  }
  float* inputs[2] = {in[0].data(), in[1].data()};
  float* outputs[2] = {out[0].data(), out[1].data()};

  // Let parameter glides from the settings finish first.
  for (int i = 0; i < 40; ++i) plugin.processReplacing(inputs, outputs, kBlock);

  bool flip = false;
  for (auto _ : state) {
    if (glideIndex >= 0) {
      plugin.setParameter(glideIndex, flip ? 0.3f : 0.7f);
      flip = !flip;
    }
    plugin.processReplacing(inputs, outputs, kBlock);
    benchmark::DoNotOptimize(out[0].data());
    benchmark::ClobberMemory();
  }
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

}  // namespace kqfx::bench
