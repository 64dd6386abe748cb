// The floors under two effects: the loop-carried arithmetic that each
// output sample has to wait for, timed alone, without the plug-in around
// it. Pellvo's DC filter and Quistrel's four-stage low-pass each feed every
// sample's result, rounded to a float, into the next sample's arithmetic,
// so no reordering can shorten them without changing the output; what the
// whole effect costs per frame beyond these figures is all that is left to
// gain.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "kqfx/dsp/LadderFilter.h"
#include "kqfx/dsp/DcRemover.h"

namespace {

constexpr int32_t kBlock = 512;

std::array<std::vector<float>, 2> noiseBlock() {
  std::array<std::vector<float>, 2> in{std::vector<float>(kBlock), std::vector<float>(kBlock)};
  uint32_t seed = 12345;
  for (auto& channel : in) {
    for (float& s : channel) {
      seed = seed * 1664525u + 1013904223u;
      s = 0.25f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
  }
  return in;
}

void reportFrames(benchmark::State& state) {
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  state.counters["ns/frame"] = benchmark::Counter(
      frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Both channels of the DC filter, as Pellvo's settled blocks run them
// after the gain: the two channels are independent, each is one chain.
void DcFilterBothChannels(benchmark::State& state) {
  const auto in = noiseBlock();
  std::array<std::vector<float>, 2> out{std::vector<float>(kBlock), std::vector<float>(kBlock)};
  kqfx::DcFilter left;
  kqfx::DcFilter right;
  for (auto _ : state) {
    for (int32_t i = 0; i < kBlock; ++i) {
      out[0][static_cast<size_t>(i)] = left.filter(in[0][static_cast<size_t>(i)]);
      out[1][static_cast<size_t>(i)] = right.filter(in[1][static_cast<size_t>(i)]);
    }
    benchmark::DoNotOptimize(out[0].data());
    benchmark::DoNotOptimize(out[1].data());
    benchmark::ClobberMemory();
  }
  reportFrames(state);
}

// Both channels of the tempo filter's low-pass with the cutoff moving every
// frame, its per-frame steps worked out beforehand (outside the timing):
// only the filter's own arithmetic is timed.
void LadderFilterBothChannels(benchmark::State& state) {
  const auto in = noiseBlock();
  std::array<std::vector<float>, 2> out{std::vector<float>(kBlock), std::vector<float>(kBlock)};
  std::vector<kqfx::LadderFilter::Step> steps;
  steps.reserve(kBlock);
  for (int32_t i = 0; i < kBlock; ++i) {
    const double m = static_cast<double>(i) / kBlock;
    steps.emplace_back(static_cast<float>(1.16 * (0.05 + m * 0.95)), 0.5f);
  }
  kqfx::LadderFilter left;
  kqfx::LadderFilter right;
  for (auto _ : state) {
    for (int32_t i = 0; i < kBlock; ++i) {
      const auto& step = steps[static_cast<size_t>(i)];
      out[0][static_cast<size_t>(i)] = left.process(in[0][static_cast<size_t>(i)], step);
      out[1][static_cast<size_t>(i)] = right.process(in[1][static_cast<size_t>(i)], step);
    }
    benchmark::DoNotOptimize(out[0].data());
    benchmark::DoNotOptimize(out[1].data());
    benchmark::ClobberMemory();
  }
  reportFrames(state);
}

}  // namespace

BENCHMARK(DcFilterBothChannels);
BENCHMARK(LadderFilterBothChannels);
