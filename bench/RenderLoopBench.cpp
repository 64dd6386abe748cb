// The host's render loop around a plug-in: one second of stereo noise at
// 44100 Hz from memory through Pellvo into a sink that keeps nothing, per
// iteration, from a fresh instance (open to close), at several block sizes.
// Shows what the loop itself adds to the plug-in's own cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/PluginLibrary.h"
#include "kqfx/host/RenderLoop.h"

namespace {

constexpr int32_t kRate = 44100;

class NoiseSource final : public kqfx::host::AudioSource {
 public:
  explicit NoiseSource(const std::vector<float>& noise) : noise_(noise) {}
  int32_t read(float* left, float* right, int32_t frames) override {
    const auto count = static_cast<int32_t>(std::min<int64_t>(frames, remainingFrames()));
    std::copy_n(noise_.begin() + position_, count, left);
    std::copy_n(noise_.begin() + position_, count, right);
    position_ += count;
    return count;
  }
  int64_t remainingFrames() const override {
    return static_cast<int64_t>(noise_.size()) - position_;
  }

 private:
  const std::vector<float>& noise_;
  std::ptrdiff_t position_ = 0;
};

class DiscardingSink final : public kqfx::host::AudioSink {
 public:
  void write(const float* left, const float* right, int32_t frames) override {
    benchmark::DoNotOptimize(left[frames - 1]);
    benchmark::DoNotOptimize(right[frames - 1]);
  }
};

void RenderLoopPellvo(benchmark::State& state) {
  const auto block = static_cast<int32_t>(state.range(0));
  kqfx::host::PluginLibrary library(std::string(KQFX_PLUGIN_DIR) + "/Pellvo.so");
  std::vector<float> noise(kRate);
  uint32_t seed = 12345;
  for (float& s : noise) {
    seed = seed * 1664525u + 1013904223u;
    s = 0.25f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
  }
  for (auto _ : state) {
    kqfx::host::PluginInstance plugin(library);
    kqfx::host::RenderLoop loop(plugin, static_cast<float>(kRate), block);
    NoiseSource source(noise);
    DiscardingSink sink;
    loop.run(source, sink, 0);
  }
  const double frames = static_cast<double>(state.iterations()) * kRate;
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(RenderLoopPellvo)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);
