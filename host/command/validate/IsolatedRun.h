#pragma once
// Runs a piece of work in a child process, so that a plug-in that crashes,
// aborts or hangs is reported instead of taking the validator down.

#include <functional>
#include <string>

#include "Check.h"

namespace kqfx::command::validate {

// Runs `work` in a forked child and answers its outcome. A child that ends
// by a signal, exits without an answer or runs longer than
// `timeoutSeconds` (it is then killed) gives a failure saying so.
// In sanitizer builds the child also looks for leaked memory before it
// answers.
CheckOutcome runIsolated(const std::function<CheckOutcome()>& work, double timeoutSeconds);

}  // namespace kqfx::command::validate
