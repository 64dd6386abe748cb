#pragma once
// What one render did, for the lines `kqfx render` prints and for its
// --json summary.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kqfx::command {

struct RenderSummary {
  std::optional<std::string> input;  // none for the demo signal
  std::string output;
  int64_t frames = 0;  // rendered, at sampleRate
  int sampleRate = 0;  // the plug-in's
  int outputSampleRate = 0;  // the file's
  int channels = 2;
  int32_t latencyCompensated = 0;  // frames taken off the front
  int64_t clippedSamples = 0;
  std::vector<std::string> warnings;  // as printed, without "kqfx: warning: "
};

// {"input": ..., "output": ..., "frames": ..., ...} on one line.
std::string renderSummaryJson(const RenderSummary& summary);

// {"renders": [...], "failed": [...]}, with the entries as
// renderSummaryJson gives them.
std::string renderSummariesJson(const std::vector<std::string>& entries,
                                const std::vector<std::string>& failedInputs);

}  // namespace kqfx::command
