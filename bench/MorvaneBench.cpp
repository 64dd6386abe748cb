#include "PluginBench.h"

namespace {

// 120 BPM, a low cut at 2 kHz, half the echo kept at every repeat.
const kqfx::bench::Settings kSettings = {{0, 0.6f}, {1, 0.4f}, {2, 0.1f}, {3, 0.5f}};

void MorvaneSettled(benchmark::State& state) { kqfx::bench::runPlugin(state, "Morvane", kSettings); }
// The tempo glides all the time, so the beat changes every frame.
void MorvaneGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Morvane", kSettings, 1);
}

}  // namespace

BENCHMARK(MorvaneSettled);
BENCHMARK(MorvaneGliding);
