#include "PluginBench.h"

namespace {

// Parameters: 0 gain, 1 tempo, 2 every n, 3 cutoff hi, 4 cutoff lo, 5 resonance.
const kqfx::bench::Settings kSweeping = {{0, 0.6f}, {1, 0.4f}, {3, 0.8f}, {4, 0.1f}, {5, 0.7f}};

// The sweep runs (its cutoff changes every frame) with every smoother settled.
void QuistrelSweeping(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Quistrel", kSweeping);
}
// As above with "Resonance" always gliding.
void QuistrelGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Quistrel", kSweeping, 5);
}
// Cutoffs equal, so the filter is the same every frame; nothing glides.
void QuistrelSettled(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Quistrel", {{3, 0.3f}, {4, 0.3f}, {5, 0.5f}});
}

}  // namespace

BENCHMARK(QuistrelSettled);
BENCHMARK(QuistrelSweeping);
BENCHMARK(QuistrelGliding);
