// One row per effect. The demo signal runs at 120 beats per minute: a
// tempo parameter (0..1 for 0..300 beats per minute) matches it at 0.4.
#include "DemoPresets.h"

namespace kqfx::command {

const std::vector<DemoPreset>& demoPresets() {
  static const std::vector<DemoPreset> presets = {
      // A little louder, with the DC filter's gentle low cut.
      {"Pellvo", {{"Input Gain", 0.6f}}, 0.0},
      // Driven into a ceiling 6 dB down: the drum peaks are shaved flat.
      {"Grubbel", {{"Input Gain", 0.6f}, {"Limit", 0.5f}}, 0.0},
  };
  return presets;
}

}  // namespace kqfx::command
