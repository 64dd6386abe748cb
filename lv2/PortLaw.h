#pragma once
// How an LV2 control port's value (what the effect's value text shows, in
// its unit) becomes the 0..1 value the effect takes. A port is linear
// (shown = offset + value x scale), logarithmic (shown = offset + scale x
// log10(value), its minimum standing for 0, whose text is minus infinity)
// or stepped (the shown value of each step and a 0..1 value well inside
// it). The tables are worked out
// at build time from the effects' own value texts; see BundleWriter.cpp.
// Pure functions; any thread, the audio thread included.

#include <cmath>
#include <cstdint>

namespace kqfx::lv2 {

struct PortStep {
  float shown;       // the port value of the step, ascending
  float normalized;  // a 0..1 value whose text shows it
};

enum class PortShape : int32_t { linear, logarithmic, stepped };

struct PortLaw {
  PortShape shape;
  double offset;
  double scale;
  double minimum;
  const PortStep* steps;
  int32_t stepCount;

  // The 0..1 value for a port value: the line's or the logarithm's
  // inverse kept within 0..1, or the nearest step (the first of two
  // equally near). NaN is the caller's to filter out.
  float normalizedOf(float shown) const noexcept {
    if (shape != PortShape::stepped) {
      const double v = static_cast<double>(shown);
      double x = 0.0;
      if (shape == PortShape::linear) {
        x = (v - offset) / scale;
      } else if (v > minimum) {
        x = std::pow(10.0, (v - offset) / scale);
      }
      if (!(x > 0.0)) return 0.0f;
      return x < 1.0 ? static_cast<float>(x) : 1.0f;
    }
    int32_t low = 0;
    int32_t high = stepCount - 1;
    while (low < high) {  // the first step at or above `shown`
      const int32_t mid = low + (high - low) / 2;
      if (steps[mid].shown < shown) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    if (low > 0 && shown - steps[low - 1].shown <= steps[low].shown - shown) --low;
    return steps[low].normalized;
  }
};

// Everything the adapter needs to know about one effect's ports: audio
// ports 0 to 3 (in L, in R, out L, out R), then one control port per
// parameter, in parameter order.
struct EffectPorts {
  const char* name;  // the VST 2 plug-in's name
  const char* uri;
  int32_t parameterCount;
  const PortLaw* laws;
};

inline constexpr uint32_t kAudioPortCount = 4;

}  // namespace kqfx::lv2
