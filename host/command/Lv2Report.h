#pragma once
// What `kqfx info` tells about an LV2 plug-in: its description as lilv
// reads it, and what an instance says once it has run a block (the
// latency port, the values shown), in the same shape as for VST 2.

#include <string>
#include <vector>

#include "ParameterArgument.h"
#include "PluginReport.h"
#include "kqfx/host/Lv2World.h"

namespace kqfx::command {

struct Lv2Report {
  std::string name;
  host::Lv2PluginDescription description;
  std::vector<std::string> missingFeatures;  // required and not given
  // Empty when an instance ran; else why none could be made.
  std::string problem;
  int32_t latency = 0;
  // The control inputs, with index the port index and label the unit.
  std::vector<ParameterReport> parameters;
  std::vector<float> portValues;  // every control port's value after one block, by port
  std::vector<std::string> settings;  // "Tempo = 120 BPM" for each value previewed
};

// Describes, then (when kqfx can) instantiates at 44.1 kHz, runs one
// block of silence, reads the latency and the values, sets the values to
// preview, and cleans up. Throws UsageError for a preview the plug-in
// cannot take.
Lv2Report inspectLv2Plugin(host::Lv2World& world, const std::string& uri,
                           const std::vector<ParameterArgument>& preview = {});

std::string lv2ReportText(const Lv2Report& report);
std::string lv2ReportJson(const Lv2Report& report);

}  // namespace kqfx::command
