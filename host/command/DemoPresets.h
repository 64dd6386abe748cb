#pragma once
// The settings `kqfx demo` renders each of our effects with.

#include <string>
#include <vector>

namespace kqfx::command {

struct DemoSetting {
  const char* parameter;  // the parameter's name as the plug-in reports it
  float value;            // 0..1
};

struct DemoPreset {
  const char* plugin;  // the plug-in's name, as `kqfx list` shows it
  std::vector<DemoSetting> settings;
  double tailSeconds;  // silence after the signal, for what rings on
};

// In the order the demo renders them.
const std::vector<DemoPreset>& demoPresets();

}  // namespace kqfx::command
