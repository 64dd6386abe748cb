// The LV2 facts of plugins/Effects.cmake.
#include "EffectCatalogue.h"

#include "kqfx/ShippedEffects.h"

namespace kqfx::lv2 {

const EffectFacts* effectFacts(const std::string& name) {
  static const std::vector<EffectFacts> facts = [] {
    std::vector<EffectFacts> rows;
    for (const ShippedEffect& effect : shippedEffects()) {
      rows.push_back({effect.name, effect.lv2Classes, effect.description, effect.demoLabel,
                      effect.presetPerChoice});
    }
    return rows;
  }();
  for (const EffectFacts& effect : facts) {
    if (name == effect.name) return &effect;
  }
  return nullptr;
}

}  // namespace kqfx::lv2
