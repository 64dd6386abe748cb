#pragma once
// Loading our built plug-ins and feeding them audio, for tests that go
// through the real host boundary.

#include <array>
#include <string>
#include <vector>

#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::test {

inline std::string pluginPath(const std::string& name) {
  return std::string(KQFX_PLUGIN_DIR) + "/" + name + ".so";
}

// Two channels of input and output, with the pointer arrays a host passes.
struct StereoBuffers {
  explicit StereoBuffers(std::size_t frames)
      : in{std::vector<float>(frames), std::vector<float>(frames)},
        out{std::vector<float>(frames), std::vector<float>(frames)} {
    relink();
  }
  void relink() {
    inputs = {in[0].data(), in[1].data()};
    outputs = {out[0].data(), out[1].data()};
  }
  void fillInput(float left, float right) {
    std::fill(in[0].begin(), in[0].end(), left);
    std::fill(in[1].begin(), in[1].end(), right);
  }
  std::size_t frames() const { return in[0].size(); }

  std::array<std::vector<float>, 2> in;
  std::array<std::vector<float>, 2> out;
  std::array<float*, 2> inputs{};
  std::array<float*, 2> outputs{};
};

// Renders `input` (two channels of equal length) through the instance in
// blocks of `block` frames with processReplacing; returns both channels.
inline std::array<std::vector<float>, 2> renderInBlocks(host::PluginInstance& plugin,
                                                        const std::array<std::vector<float>, 2>& input,
                                                        std::size_t block) {
  const std::size_t total = input[0].size();
  std::array<std::vector<float>, 2> output{std::vector<float>(total), std::vector<float>(total)};
  std::vector<float> inL(input[0]), inR(input[1]);
  for (std::size_t start = 0; start < total; start += block) {
    const std::size_t n = std::min(block, total - start);
    float* inputs[2] = {inL.data() + start, inR.data() + start};
    float* outputs[2] = {output[0].data() + start, output[1].data() + start};
    plugin.processReplacing(inputs, outputs, static_cast<int32_t>(n));
  }
  return output;
}

// Deterministic noise in -amplitude..amplitude.
inline std::vector<float> noise(std::size_t frames, float amplitude, uint32_t seed) {
  std::vector<float> samples(frames);
  uint32_t state = seed * 2654435761u + 1u;
  for (float& s : samples) {
    state = state * 1664525u + 1013904223u;
    s = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
  }
  return samples;
}

// Names parameterised tests after the plug-in they run on.
struct PluginNamePrinter {
  template <class Info>
  std::string operator()(const Info& param) const {
    return param.param.name;
  }
};

}  // namespace kqfx::test
