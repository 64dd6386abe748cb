#include "PluginBench.h"

namespace {

// "Type" values of the three curves; gain +2.4 dB, "Blast" 70 %, "Zeta" 50 %.
constexpr float kSaturate = 1.0f, kSquash = 0.5f, kSquelch = 0.0f;
constexpr int32_t kGain = 0, kZeta = 3;

kqfx::bench::Settings settingsFor(float type) {
  return {{0, 0.6f}, {1, type}, {2, 0.7f}, {kZeta, 0.5f}};
}

void FennickSaturateSettled(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Fennick", settingsFor(kSaturate));
}
void FennickSquashSettled(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Fennick", settingsFor(kSquash));
}
void FennickSquelchSettled(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Fennick", settingsFor(kSquelch));
}
// "Zeta" always gliding: Saturate recomputes its sine segment every frame.
void FennickSaturateGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Fennick", settingsFor(kSaturate), kZeta);
}
void FennickSquashGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Fennick", settingsFor(kSquash), kZeta);
}
void FennickSquelchGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Fennick", settingsFor(kSquelch), kZeta);
}

// "Input Gain" always gliding with the curve settings steady: chunks of
// gain ticks through the lanes.
void FennickSaturateGainGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Fennick", settingsFor(kSaturate), kGain);
}
void FennickSquelchGainGliding(benchmark::State& state) {
  kqfx::bench::runPlugin(state, "Fennick", settingsFor(kSquelch), kGain);
}

}  // namespace

BENCHMARK(FennickSaturateSettled);
BENCHMARK(FennickSquashSettled);
BENCHMARK(FennickSquelchSettled);
BENCHMARK(FennickSaturateGliding);
BENCHMARK(FennickSquashGliding);
BENCHMARK(FennickSquelchGliding);
BENCHMARK(FennickSaturateGainGliding);
BENCHMARK(FennickSquelchGainGliding);
