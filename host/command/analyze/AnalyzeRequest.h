#pragma once
// `kqfx analyze` as typed: what to measure on which plug-in, and where the
// plots go.

#include <cstdint>
#include <string>
#include <vector>

namespace kqfx::command {

struct AnalyzeRequest {
  std::string plugin;
  // NAME=VALUE or NAME=V1,V2,... (one curve per value), as given.
  std::vector<std::string> parameters;
  int32_t sampleRate = 48000;
  // Some of response, decay, harmonics, transfer, sweep; in that order.
  std::vector<std::string> what;
  std::string directory = "analysis";
  std::string format = "png";
  bool json = false;
};

// The measurements in the order they run and are reported.
const std::vector<std::string>& analysisKinds();

// Throws UsageError.
AnalyzeRequest parseAnalyzeArguments(const std::vector<std::string>& arguments, bool& help);

// The help page.
const char* analyzeHelpText();

}  // namespace kqfx::command
