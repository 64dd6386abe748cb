#include "PluginBench.h"

namespace {

void PellvoSettled(benchmark::State& state) { kqfx::bench::runPlugin(state, "Pellvo", {{0, 0.6f}}); }
void PellvoGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Pellvo", {{0, 0.6f}}, 0);
}

}  // namespace

BENCHMARK(PellvoSettled);
BENCHMARK(PellvoGliding);
