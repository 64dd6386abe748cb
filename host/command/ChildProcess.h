#pragma once
// A child process in a process group of its own, so that it and anything
// the plug-in it hosts started can be ended together, whatever it does
// with signals. Used by every subcommand that hosts a plug-in away from
// kqfx's own process (render, info, bench, analyze, demo, validate).

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace kqfx::command {

using SteadyClock = std::chrono::steady_clock;

// Forks. In the child (answer 0): its own process group, the signals that
// end kqfx back to their default action. In the parent: the child's id,
// which is also its group's; -1 when no process could be started. Flushes
// the standard streams first, so that nothing buffered is written twice.
pid_t forkIntoOwnGroup();

// Kills the child's whole process group, and the child should it have
// left the group.
void killGroup(pid_t child);

// Waits for the child until `deadline`; then kills its group and reaps it.
// Answers its wait status, or nothing when it had to be killed.
std::optional<int> reapBy(pid_t child, SteadyClock::time_point deadline);

// "segmentation fault", "aborted", ... for the signals that end a crashing
// process; the system's own description for the others.
std::string crashDescription(int signal);

}  // namespace kqfx::command
