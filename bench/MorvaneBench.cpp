#include "PluginBench.h"

namespace {

// 120 BPM, a low cut at 2 kHz, half the echo kept at every repeat.
const kqfx::bench::Settings kSettings = {{0, 0.6f}, {1, 0.4f}, {2, 0.1f}, {3, 0.5f}};
// The same on the last shelf, which leaves the input unfiltered.
const kqfx::bench::Settings kUnfiltered = {{0, 0.6f}, {1, 0.4f}, {2, 0.0f}, {3, 0.5f}};

void MorvaneSettled(benchmark::State& state) { kqfx::bench::runPlugin(state, "Morvane", kSettings); }
void MorvaneUnfilteredSettled(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Morvane", kUnfiltered);
}
// The tempo glides all the time, so the beat changes every few frames.
void MorvaneGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Morvane", kSettings, 1);
}
// The gain glides: a gain factor per frame.
void MorvaneGainGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Morvane", kSettings, 0);
}
// The feedback glides: the shelf and beat stay, so blocks keep their stretches.
void MorvaneFeedbackGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Morvane", kSettings, 3);
}

}  // namespace

BENCHMARK(MorvaneSettled);
BENCHMARK(MorvaneUnfilteredSettled);
BENCHMARK(MorvaneGliding);
BENCHMARK(MorvaneGainGliding);
BENCHMARK(MorvaneFeedbackGliding);
