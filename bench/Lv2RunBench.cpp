// An LV2 plug-in's run against its VST 2 plug-in's processReplacing, each
// through its own boundary, at the ports' defaults (the VST 2 plug-in at
// the matching 0..1 values), in 512-frame blocks of the same noise: the
// cost of the adapter.

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "Lv2Library.h"
#include "PluginBench.h"
#include "PortLaw.h"
#include "kqfx/ShippedEffects.h"

namespace kqfx::lv2 {
const std::vector<const EffectPorts*>& allEffectPorts();
}

namespace {

using kqfx::bench::kBlock;

const kqfx::lv2::EffectPorts& portsOf(const std::string& name) {
  for (const kqfx::lv2::EffectPorts* effect : kqfx::lv2::allEffectPorts()) {
    if (name == effect->name) return *effect;
  }
  throw std::runtime_error("no LV2 ports for " + name);
}

// Each port part-way: a line at its middle, a logarithm at 0.5 (-6 dB), a
// list at its middle step.
std::vector<float> middleValues(const kqfx::lv2::EffectPorts& effect) {
  std::vector<float> values;
  for (int32_t i = 0; i < effect.parameterCount; ++i) {
    const kqfx::lv2::PortLaw& law = effect.laws[i];
    values.push_back(law.shape == kqfx::lv2::PortShape::stepped
                         ? law.steps[law.stepCount / 2].shown
                         : static_cast<float>(law.shape == kqfx::lv2::PortShape::linear
                                                  ? law.offset + 0.5 * law.scale
                                                  : law.offset + law.scale * std::log10(0.5)));
  }
  return values;
}

void vstRun(benchmark::State& state, const std::string& name) {
  const kqfx::lv2::EffectPorts& effect = portsOf(name);
  const std::vector<float> values = middleValues(effect);
  kqfx::bench::Settings settings;
  for (int32_t i = 0; i < effect.parameterCount; ++i) {
    settings.emplace_back(i, effect.laws[i].normalizedOf(values[i]));
  }
  kqfx::bench::runPlugin(state, name, settings);
}

void lv2Run(benchmark::State& state, const std::string& name) {
  const kqfx::lv2::EffectPorts& effect = portsOf(name);
  std::vector<float> controls = middleValues(effect);
  Lv2Library library(std::string(KQFX_LV2_BUNDLE_DIR) + "/" + name + ".so");
  const LV2_Descriptor* descriptor = library.descriptor(0);
  LV2_Handle handle = descriptor->instantiate(descriptor, kqfx::bench::kRate, "", nullptr);
  std::vector<float> in[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
  std::vector<float> out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
  uint32_t seed = 12345;
  for (auto& channel : in) {
    for (float& s : channel) {
      seed = seed * 1664525u + 1013904223u;
      s = 0.25f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
  }
  descriptor->connect_port(handle, 0, in[0].data());
  descriptor->connect_port(handle, 1, in[1].data());
  descriptor->connect_port(handle, 2, out[0].data());
  descriptor->connect_port(handle, 3, out[1].data());
  for (int32_t i = 0; i < effect.parameterCount; ++i) {
    descriptor->connect_port(handle, kqfx::lv2::kAudioPortCount + i, &controls[i]);
  }
  descriptor->activate(handle);
  for (int i = 0; i < 40; ++i) descriptor->run(handle, kBlock);
  for (auto _ : state) {
    descriptor->run(handle, kBlock);
    benchmark::DoNotOptimize(out[0].data());
    benchmark::ClobberMemory();
  }
  descriptor->deactivate(handle);
  descriptor->cleanup(handle);
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

}  // namespace

namespace {

// Both runs of every effect we ship, in the order of plugins/Effects.cmake.
const bool registered = [] {
  for (const kqfx::ShippedEffect& effect : kqfx::shippedEffects()) {
    const std::string name = effect.name;
    benchmark::RegisterBenchmark(("vstRun/" + name).c_str(), vstRun, name)->Repetitions(3);
    benchmark::RegisterBenchmark(("lv2Run/" + name).c_str(), lv2Run, name)->Repetitions(3);
  }
  return true;
}();

}  // namespace
