// The gain law's factor for a gliding parameter: libm's pow, the exact
// fast law one value at a time, and side by side (baseline and wide).
// Items are factors.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "kqfx/dsp/DecibelFactor.h"
#include "kqfx/dsp/GainLaw.h"

namespace {

constexpr int32_t kBlock = 512;

// A block of a glide from 0.5 towards 0.75, as a smoother produces it.
std::vector<float> glideValues() {
  std::vector<float> x(kBlock);
  const double step = 0.25 / 16384.0;
  for (int32_t i = 0; i < kBlock; ++i) {
    x[static_cast<std::size_t>(i)] = static_cast<float>(0.5 + (i + 1) * step);
  }
  return x;
}

void LibmPow(benchmark::State& state) {
  const std::vector<float> x = glideValues();
  std::vector<float> out(kBlock);
  for (auto _ : state) {
    for (int32_t i = 0; i < kBlock; ++i) {
      const float d = kqfx::StandardGain::gain2display(x[static_cast<std::size_t>(i)]);
      out[static_cast<std::size_t>(i)] = kqfx::decibel_factor::exactFactor(d);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

void FastScalar(benchmark::State& state) {
  const std::vector<float> x = glideValues();
  std::vector<float> out(kBlock);
  for (auto _ : state) {
    for (int32_t i = 0; i < kBlock; ++i) {
      out[static_cast<std::size_t>(i)] =
          kqfx::StandardGain::gain2factor(x[static_cast<std::size_t>(i)]);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

template <void (*Kernel)(const float*, float*, int32_t, float, bool)>
void SideBySide(benchmark::State& state) {
  const std::vector<float> x = glideValues();
  std::vector<float> out(kBlock);
  for (auto _ : state) {
    Kernel(x.data(), out.data(), kBlock, 24.0f, false);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kBlock);
}

void SideBySideBaseline(benchmark::State& state) {
  SideBySide<kqfx::parameterGainFactorsBaseline>(state);
}

void SideBySideWide(benchmark::State& state) {
  if (!kqfx::wideLanesAvailable()) {
    state.SkipWithError("no wide path on this processor");
    return;
  }
  SideBySide<kqfx::parameterGainFactorsWide>(state);
}

}  // namespace

BENCHMARK(LibmPow);
BENCHMARK(FastScalar);
BENCHMARK(SideBySideBaseline);
BENCHMARK(SideBySideWide);
