#include "PluginBench.h"

namespace {

// 120 BPM, echoes at 40 %, the quiet side at half.
const kqfx::bench::Settings kSettings = {{0, 0.6f}, {1, 0.4f}, {2, 0.4f}, {3, 0.5f}};

void TalliskSettled(benchmark::State& state) { kqfx::bench::runPlugin(state, "Tallisk", kSettings); }
// The tempo glides all the time, so the beat changes every frame.
void TalliskGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Tallisk", kSettings, 1);
}

}  // namespace

BENCHMARK(TalliskSettled);
BENCHMARK(TalliskGliding);
