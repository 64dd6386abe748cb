#include "PluginReport.h"

#include <algorithm>
#include <cstdio>

#include "ParameterValue.h"
#include "kqfx/host/PluginInstance.h"

namespace kqfx::command {
namespace {

constexpr float kInspectionRate = 44100.0f;
constexpr int32_t kInspectionBlock = 512;
// Parameters beyond this are not listed: no real plug-in has that many, and
// a corrupt count must not keep us asking for ever.
constexpr int32_t kMaxReportedParameters = 100000;

struct FlagName {
  int32_t bit;
  const char* name;
};
constexpr FlagName kFlagNames[] = {
    {flagHasClip, "has-clip"},
    {flagHasVu, "has-vu"},
    {flagCanMono, "can-mono"},
    {flagCanProcessReplacing, "can-replace"},
    {flagProgramsAreChunks, "program-chunks"},
    {flagIsSynth, "synth"},
    {flagNoTail, "no-sound-in-stop"},
    {flagWantAsyncOperation, "async"},
    {flagHasExternalBuffer, "external-buffer"},
};

// Many plug-ins work their delay out only once they process.
void processOneBlockOfSilence(host::PluginInstance& plugin) {
  const AEffect& record = plugin.record();
  const int32_t channels = std::clamp(std::max(record.numInputs, record.numOutputs), 2, 64);
  std::vector<std::vector<float>> in(static_cast<std::size_t>(channels),
                                     std::vector<float>(kInspectionBlock));
  std::vector<std::vector<float>> out = in;
  std::vector<float*> inPointers, outPointers;
  for (auto& channel : in) inPointers.push_back(channel.data());
  for (auto& channel : out) outPointers.push_back(channel.data());
  if (plugin.canReplace()) {
    plugin.processReplacing(inPointers.data(), outPointers.data(), kInspectionBlock);
  } else {
    plugin.process(inPointers.data(), outPointers.data(), kInspectionBlock);
  }
}

}  // namespace

PluginReport inspectPlugin(const host::PluginLibrary& library, const std::string& name,
                           const std::vector<ParameterArgument>& preview) {
  host::PluginInstance plugin(library);
  plugin.dispatch(opOpen);
  plugin.dispatch(opSetSampleRate, 0, 0, nullptr, kInspectionRate);
  plugin.dispatch(opSetBlockSize, 0, kInspectionBlock);

  const AEffect& record = plugin.record();
  PluginReport report;
  // Many plug-ins work their delay out only when switched on. (Switching
  // off may stop glides where they stand: the preview comes after.)
  plugin.resume();
  processOneBlockOfSilence(plugin);
  const int32_t delay = record.initialDelay;
  plugin.suspend();
  if (!preview.empty()) {
    std::vector<std::string> names;
    for (int32_t index = 0; index < record.numParams; ++index) {
      names.push_back(trimmed(plugin.parameterName(index)));
    }
    for (const ParameterArgument& argument : preview) {
      const int32_t index = resolveParameter(argument.key, names, "info");
      report.settings.push_back(setParameterValue(plugin, index, argument, "info"));
    }
  }
  report.name = name;
  report.path = library.path();
  report.entry = library.entryName();
  report.uniqueId = record.uniqueID;
  report.version = record.version;
  report.flags = record.flags;
  report.inputs = record.numInputs;
  report.outputs = record.numOutputs;
  report.initialDelay = delay;
  report.programs = record.numPrograms;
  report.currentProgram = static_cast<int32_t>(plugin.dispatch(opGetProgram));
  report.programName = plugin.programName();
  report.effectName = plugin.text(opGetEffectName);
  report.vendor = plugin.text(opGetVendorString);
  report.product = plugin.text(opGetProductString);
  const int32_t count = std::clamp(record.numParams, 0, kMaxReportedParameters);
  for (int32_t index = 0; index < count; ++index) {
    report.parameters.push_back({index, trimmed(plugin.parameterName(index)),
                                 plugin.getParameter(index), trimmed(plugin.parameterDisplay(index)),
                                 trimmed(plugin.parameterLabel(index))});
  }
  plugin.close();
  return report;
}

std::string fourCharText(int32_t code) {
  const auto bits = static_cast<uint32_t>(code);
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>((bits >> shift) & 0xFFu);
    text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
  }
  return text;
}

std::vector<std::string> flagNames(int32_t flags) {
  std::vector<std::string> names;
  auto rest = static_cast<uint32_t>(flags);
  for (const FlagName& flag : kFlagNames) {
    if (rest & static_cast<uint32_t>(flag.bit)) {
      names.emplace_back(flag.name);
      rest &= ~static_cast<uint32_t>(flag.bit);
    }
  }
  for (int bit = 0; bit < 32; ++bit) {
    if (rest & (1u << bit)) {
      char text[16];
      std::snprintf(text, sizeof text, "0x%x", 1u << bit);
      names.emplace_back(text);
    }
  }
  return names;
}

}  // namespace kqfx::command
