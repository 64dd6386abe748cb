#include <cstdlib>

#include "PluginBench.h"

namespace {

// "Dry Level" 0.55, "Depth" 0.6, "Brightness" 0.4, "Model" Grand Hall.
const kqfx::bench::Settings kHall = {{0, 0.55f}, {1, 0.6f}, {2, 0.4f}, {3, 0.35f}};

void VardelloSettled(benchmark::State& state) { kqfx::bench::runPlugin(state, "Vardello", kHall); }
// A dry-level glide: a new gain factor every frame.
void VardelloGlidingDryLevel(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Vardello", kHall, 0);
}
// A brightness glide: new comb damping every frame.
void VardelloGlidingBrightness(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Vardello", kHall, 2);
}

// The same on the baseline instruction path, which the plug-in takes when
// KQFX_BASELINE_PATH is set as it is created.
template <void (*Run)(benchmark::State&)>
void OnBaselinePath(benchmark::State& state) {
  setenv("KQFX_BASELINE_PATH", "1", 1);
  Run(state);
  unsetenv("KQFX_BASELINE_PATH");
}

}  // namespace

BENCHMARK(VardelloSettled);
BENCHMARK(VardelloGlidingDryLevel);
BENCHMARK(VardelloGlidingBrightness);
BENCHMARK(OnBaselinePath<VardelloSettled>)->Name("VardelloSettledBaselinePath");
BENCHMARK(OnBaselinePath<VardelloGlidingDryLevel>)->Name("VardelloGlidingDryLevelBaselinePath");
BENCHMARK(OnBaselinePath<VardelloGlidingBrightness>)->Name("VardelloGlidingBrightnessBaselinePath");
