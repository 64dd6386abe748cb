#pragma once
// What an LV2 host shows about each effect beyond its parameters: the
// plug-in classes, a one-line description and the factory presets made
// from the demo settings. Build time only.

#include <string>
#include <vector>

namespace kqfx::lv2 {

struct EffectFacts {
  const char* name;                  // the VST 2 plug-in's name
  std::vector<const char*> classes;  // LV2 classes, without the lv2: prefix
  const char* description;
  // The demo setting's preset label; with `presetPerChoice`, the demo
  // setting is given once for every choice of that parameter instead,
  // each preset named after its choice.
  const char* demoLabel;
  const char* presetPerChoice = nullptr;
};

// Null for a name without an entry.
const EffectFacts* effectFacts(const std::string& name);

}  // namespace kqfx::lv2
