#pragma once
// Loads a candidate plug-in in a child process, so that one that crashes,
// hangs or exits while loading cannot take the caller down with it.

#include <cstdint>
#include <filesystem>
#include <string>

namespace kqfx::command {

struct ProbeResult {
  bool ok = false;
  int32_t uniqueId = 0;
  int32_t numParams = 0;
  // Why it failed, for people ("crashed (Segmentation fault)", ...).
  std::string problem;
  // Not a VST 2 plug-in at all (no entry function): nothing to report.
  bool notAPlugin = false;
};

// Waits at most `timeoutSeconds` for the child, then kills it. The child's
// own output goes nowhere.
ProbeResult probePlugin(const std::filesystem::path& path, double timeoutSeconds);

}  // namespace kqfx::command
