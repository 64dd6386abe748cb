// The demo settings of plugins/Effects.cmake, in its order.
#include "DemoPresets.h"

#include "kqfx/ShippedEffects.h"

namespace kqfx::command {

const std::vector<DemoPreset>& demoPresets() {
  static const std::vector<DemoPreset> presets = [] {
    std::vector<DemoPreset> rows;
    for (const ShippedEffect& effect : shippedEffects()) {
      DemoPreset preset{effect.name, {}, effect.demoTailSeconds};
      for (const ShippedSetting& setting : effect.demo) {
        preset.settings.push_back({setting.parameter, setting.value});
      }
      rows.push_back(preset);
    }
    return rows;
  }();
  return presets;
}

}  // namespace kqfx::command
