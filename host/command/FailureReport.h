#pragma once
// How a subcommand's failure reaches the user: the one-line message on
// standard error, the usage after a usage error, and the exit status.

#include <functional>

namespace kqfx::command {

// Runs `command` and answers its exit status; a UsageError is told with
// the subcommand's usage (status 2), any other failure in one line
// (status 1).
int runReportingFailures(const std::function<int()>& command);

}  // namespace kqfx::command
