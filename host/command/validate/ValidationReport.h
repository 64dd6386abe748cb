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
};

struct ValidationReport {
  std::string plugin;  // the name it goes by
  std::string path;
  ValidationSettings settings;
  std::vector<CheckResult> results;

  int count(Verdict verdict) const;
  bool allPassed() const { return count(Verdict::fail) == 0; }
};

// "PASS  audio           noise at ..." with the name padded to a column.
std::string checkLine(const CheckResult& result);
// "Pellvo: all 13 checks passed (level 10, seed 1)" and its variants.
std::string summaryLine(const ValidationReport& report);
std::string reportJson(const ValidationReport& report);

}  // namespace kqfx::command::validate
