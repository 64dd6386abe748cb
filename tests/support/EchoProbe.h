#pragma once
// Listening to an echo: renders a signal through a plug-in in blocks and
// keeps only the frames that are not silent, so a test can see where the
// echoes of an impulse come back and how loud they are.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "kqfx/host/PluginInstance.h"

namespace kqfx::test {

struct EchoEvent {
  int64_t frame;
  float left;
  float right;
  bool operator==(const EchoEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const EchoEvent& e) {
  return os << "{frame " << e.frame << ": " << e.left << ", " << e.right << "}";
}

enum class Path { Replacing, Adding };

using StereoSource = std::function<std::array<float, 2>(int64_t frame)>;

inline std::array<float, 2> unitImpulse(int64_t frame) {
  return frame == 0 ? std::array<float, 2>{1.0f, 1.0f} : std::array<float, 2>{0.0f, 0.0f};
}

inline std::array<float, 2> silence(int64_t) { return {0.0f, 0.0f}; }

// Renders `frames` frames of `source` and answers the frames at or after
// `from` whose output is not zero on either side (outputs start at zero
// for the adding path).
inline std::vector<EchoEvent> listen(host::PluginInstance& plugin, int64_t frames, int64_t from,
                                     const StereoSource& source = unitImpulse,
                                     Path path = Path::Replacing, int32_t block = 4096) {
  std::vector<EchoEvent> events;
  std::array<std::vector<float>, 2> in{std::vector<float>(static_cast<std::size_t>(block)),
                                       std::vector<float>(static_cast<std::size_t>(block))};
  std::array<std::vector<float>, 2> out = in;
  for (int64_t start = 0; start < frames; start += block) {
    const auto n = static_cast<int32_t>(std::min<int64_t>(block, frames - start));
    for (int32_t i = 0; i < n; ++i) {
      const auto frame = source(start + i);
      in[0][static_cast<std::size_t>(i)] = frame[0];
      in[1][static_cast<std::size_t>(i)] = frame[1];
      out[0][static_cast<std::size_t>(i)] = 0.0f;
      out[1][static_cast<std::size_t>(i)] = 0.0f;
    }
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    if (path == Path::Replacing) {
      plugin.processReplacing(inputs, outputs, n);
    } else {
      plugin.process(inputs, outputs, n);
    }
    for (int32_t i = 0; i < n; ++i) {
      const float l = out[0][static_cast<std::size_t>(i)];
      const float r = out[1][static_cast<std::size_t>(i)];
      if (start + i >= from && (l != 0.0f || r != 0.0f)) events.push_back({start + i, l, r});
    }
  }
  return events;
}

// The events that follow silence: where each echo begins. (An echo of a
// filtered impulse rings on for a while after its first frame.)
inline std::vector<EchoEvent> onsets(const std::vector<EchoEvent>& events) {
  std::vector<EchoEvent> starts;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (i == 0 || events[i - 1].frame != events[i].frame - 1) starts.push_back(events[i]);
  }
  return starts;
}

}  // namespace kqfx::test
