#include "RenderSummary.h"

#include "JsonText.h"

namespace kqfx::command {

std::string renderSummaryJson(const RenderSummary& summary) {
  std::string warnings;
  for (const std::string& warning : summary.warnings) {
    warnings += (warnings.empty() ? "" : ", ") + jsonString(warning);
  }
  return "{\"input\": " + (summary.input ? jsonString(*summary.input) : std::string("null")) +
         ", \"output\": " + jsonString(summary.output) +
         ", \"frames\": " + std::to_string(summary.frames) +
         ", \"sampleRate\": " + std::to_string(summary.sampleRate) +
         ", \"outputSampleRate\": " + std::to_string(summary.outputSampleRate) +
         ", \"channels\": " + std::to_string(summary.channels) +
         ", \"latencyCompensated\": " + std::to_string(summary.latencyCompensated) +
         ", \"clippedSamples\": " + std::to_string(summary.clippedSamples) +
         ", \"warnings\": [" + warnings + "]}";
}

std::string renderSummariesJson(const std::vector<std::string>& entries,
                                const std::vector<std::string>& failedInputs) {
  std::string text = "{\n  \"renders\": [";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    text += std::string(i == 0 ? "\n    " : ",\n    ") + entries[i];
  }
  text += std::string(entries.empty() ? "" : "\n  ") + "],\n  \"failed\": [";
  for (std::size_t i = 0; i < failedInputs.size(); ++i) {
    text += (i == 0 ? "" : ", ") + jsonString(failedInputs[i]);
  }
  return text + "]\n}\n";
}

}  // namespace kqfx::command
