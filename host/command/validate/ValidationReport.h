#pragma once
// The validator's findings and how they are shown: one line per check and
// a summary, or one JSON object.

#include <cstdint>
#include <string>
#include <vector>

#include "Check.h"

namespace kqfx::command::validate {

struct CheckResult {
  std::string name;
  CheckOutcome outcome;
  std::string trail;   // what was set and the last calls made (see CallTrail)
  std::string output;  // what the check's process printed: the plug-in's messages
  std::string replay;  // the command that runs this check alone again
};

struct ValidationReport {
  std::string plugin;  // the name it goes by
  std::string path;  // VST 2: the shared object; LV2: the plug-in's URI
  PluginFormat format = PluginFormat::vst2;
  ValidationSettings settings;
  std::vector<CheckResult> results;

  int count(Verdict verdict) const;
  bool allPassed() const { return count(Verdict::fail) == 0; }
};

// "PASS  audio           noise at ..." with the name padded to a column;
// under a failure what led to it and how to replay it, and under any
// check what the plug-in printed during it (indented, made printable).
std::string checkLine(const CheckResult& result);
// "Pellvo: all 13 checks passed (level 10, seed 1)" and its variants.
std::string summaryLine(const ValidationReport& report);
std::string reportJson(const ValidationReport& report);

}  // namespace kqfx::command::validate
