#include "PluginBench.h"

namespace {

void GrubbelSettled(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Grubbel", {{0, 0.7f}, {1, 0.8f}});
}
void GrubbelGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Grubbel", {{0, 0.7f}, {1, 0.8f}}, 0);
}

}  // namespace

BENCHMARK(GrubbelSettled);
BENCHMARK(GrubbelGliding);
