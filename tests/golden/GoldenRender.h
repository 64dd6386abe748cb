#pragma once
// Renders one case of the fixed render set and reduces it to what the
// reference file keeps: per channel a 64-bit FNV-1a hash of every output
// sample's bits (all NaNs counted as one) and the exact bits of a few
// samples.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "GoldenCases.h"
#include "TestPlugins.h"

namespace kqfx::golden {

struct Fingerprint {
  std::array<uint64_t, 2> hash{};
  std::array<std::array<uint32_t, kProbeFrames.size()>, 2> probes{};
  bool operator==(const Fingerprint&) const = default;
};

inline uint64_t hashSamples(const std::vector<float>& samples) {
  uint64_t h = 14695981039346656037ull;
  for (float s : samples) {
    const uint32_t bits = std::isnan(s) ? 0x7fc00000u : std::bit_cast<uint32_t>(s);
    for (int byte = 0; byte < 4; ++byte) {
      h ^= (bits >> (8 * byte)) & 0xffu;
      h *= 1099511628211ull;
    }
  }
  return h;
}

// Noise at about -6 dBFS, a loud burst, then digital silence to the end.
inline std::array<std::vector<float>, 2> caseInput(bool badSamples) {
  std::array<std::vector<float>, 2> in{test::noise(kFrames, 0.5f, 1), test::noise(kFrames, 0.5f, 2)};
  for (auto& channel : in) {
    for (int32_t i = 25000; i < 27000; ++i) channel[static_cast<std::size_t>(i)] *= 6.0f;
    std::fill(channel.begin() + 32000, channel.end(), 0.0f);
  }
  if (badSamples) {
    in[0][3000] = std::numeric_limits<float>::quiet_NaN();
    in[1][3001] = std::numeric_limits<float>::infinity();
    in[0][3500] = -std::numeric_limits<float>::infinity();
  }
  return in;
}

inline Fingerprint render(const Case& c) {
  host::PluginLibrary library(test::pluginPath(c.plugin));
  host::PluginInstance plugin(library);
  plugin.start(c.sampleRate, 4096);

  auto in = caseInput(c.badSamples);
  // The adding path adds to what the outputs already hold.
  std::array<std::vector<float>, 2> out{test::noise(kFrames, 0.1f, 3), test::noise(kFrames, 0.1f, 4)};

  std::size_t nextEvent = 0;
  std::size_t blockIndex = 0;
  for (int32_t start = 0; start < kFrames; ++blockIndex) {
    while (nextEvent < c.events.size() && c.events[nextEvent].frame <= start) {
      const Event& e = c.events[nextEvent++];
      if (e.index == kSuspend) {
        plugin.suspend();
        plugin.resume();
      } else {
        plugin.setParameter(e.index, e.value);
      }
    }
    const int32_t n = std::min(c.blocks[blockIndex % c.blocks.size()], kFrames - start);
    const auto at = static_cast<std::size_t>(start);
    float* inputs[2] = {in[0].data() + at, in[1].data() + at};
    float* outputs[2] = {out[0].data() + at, out[1].data() + at};
    const bool adding = c.path == Path::Adding || (c.path == Path::Alternating && blockIndex % 2 == 1);
    if (adding) {
      plugin.process(inputs, outputs, n);
    } else {
      plugin.processReplacing(inputs, outputs, n);
    }
    start += n;
  }

  Fingerprint f;
  for (std::size_t ch = 0; ch < 2; ++ch) {
    f.hash[ch] = hashSamples(out[ch]);
    for (std::size_t p = 0; p < kProbeFrames.size(); ++p) {
      f.probes[ch][p] = std::bit_cast<uint32_t>(out[ch][static_cast<std::size_t>(kProbeFrames[p])]);
    }
  }
  return f;
}

}  // namespace kqfx::golden
