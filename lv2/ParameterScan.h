#pragma once
// Build time: what an LV2 control port looks like, worked out from what
// the VST 2 effect itself says about its parameter (name, label, value
// texts over the whole 0..1 range, initial value). Nothing here knows an
// effect's arithmetic, so mended texts flow into the ports unchanged.

#include <cstdint>
#include <string>
#include <vector>

#include "kqfx/host/PluginInstance.h"

namespace kqfx::lv2 {

struct ScannedStep {
  double shown;       // the port value
  float normalized;   // a 0..1 value inside the step's widest stretch
  std::string label;  // a choice's name, or the number and unit
};

struct ScalePoint {
  double value;
  std::string label;
};

struct ScannedPort {
  std::string name;    // as the effect reports it
  std::string symbol;  // the name in lower case, '_' for what is not a letter or digit
  std::string unit;    // the effect's label, trimmed
  bool stepped = false;
  bool logarithmic = false;  // shown = offset + scale x log10(value)
  bool integer = false;      // stepped through every whole number of its range
  bool enumeration = false;  // stepped, a choice from a list
  bool named = false;        // the steps are names, shown as 0, 1, 2, ...
  double offset = 0.0;       // linear: shown = offset + value x scale
  double scale = 1.0;
  std::vector<ScannedStep> steps;  // stepped: ascending by port value
  std::vector<ScalePoint> scalePoints;
  double minimum = 0.0;
  double maximum = 1.0;
  double defaultValue = 0.0;
};

// The grid of 0..1 values the scan reads texts at: 2^16 + 1 values.
inline constexpr int32_t kScanSteps = 65536;

// Scans parameter `index` of a started effect and leaves it at its initial
// value. Throws std::runtime_error when the texts fit no port shape.
ScannedPort scanParameter(host::PluginInstance& effect, int32_t index);

// The port value of a 0..1 value: the line's value, rounded as the port's
// ends are written, or the step whose text the effect then shows. Leaves
// the parameter at `normalized`.
double portValueOf(host::PluginInstance& effect, int32_t index, const ScannedPort& port,
                   float normalized);

// The number a value text shows, or false for a text that is not one.
bool parseShown(const std::string& text, double& value);

std::string trimmed(const std::string& text);

}  // namespace kqfx::lv2
