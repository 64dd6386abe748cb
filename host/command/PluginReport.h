#pragma once
// What `kqfx info` and `kqfx list` tell about a plug-in, read through its
// record and dispatcher as a host reads it.

#include <cstdint>
#include <string>
#include <vector>

#include "ParameterArgument.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::command {

struct ParameterReport {
  int32_t index = 0;
  std::string name;
  float value = 0.0f;
  std::string text;
  std::string label;
};

struct PluginReport {
  std::string name;  // the name kqfx knows it by
  std::string path;
  std::string entry;  // the entry function used
  int32_t uniqueId = 0;
  int32_t version = 0;
  int32_t flags = 0;
  int32_t inputs = 0;
  int32_t outputs = 0;
  int32_t initialDelay = 0;  // read once the plug-in is switched on
  int32_t programs = 0;
  int32_t currentProgram = 0;
  std::string programName;
  // Texts of the extended protocol; empty when the plug-in does not say.
  std::string effectName;
  std::string vendor;
  std::string product;
  std::vector<ParameterReport> parameters;
  std::vector<std::string> settings;  // "Tempo = 120 BPM" for each value previewed
};

// Creates an instance, opens it, sets a sample rate and block size as hosts
// do before asking, sets the values to preview (without rendering), reads
// everything, switches it on and off to read its latency, and closes it.
// Throws HostError when the entry function answers null or something that
// is not an effect, and UsageError for a preview the plug-in cannot take.
PluginReport inspectPlugin(const host::PluginLibrary& library, const std::string& name,
                           const std::vector<ParameterArgument>& preview = {});

// A unique identifier as its four characters; a character that is not
// printable ASCII shows as '.'.
std::string fourCharText(int32_t code);

// The names of the flag bits set; bits without a name follow as hex.
std::vector<std::string> flagNames(int32_t flags);

// The report for people: a header block and a parameter table.
std::string reportText(const PluginReport& report);

// The same as one JSON object, ending in a newline.
std::string reportJson(const PluginReport& report);

}  // namespace kqfx::command
