#pragma once
// Runs a piece of work in a child process, so that a plug-in that crashes,
// aborts or hangs is reported instead of taking the validator down.

#include <signal.h>

#include <array>
#include <functional>
#include <string>

#include "Check.h"

namespace kqfx::command::validate {

struct IsolatedOutcome {
  CheckOutcome outcome;
  // The calls the work made into the plug-in last, and what was set (see
  // CallTrail), however the child ended.
  std::string trail;
  // What the child wrote on its standard output and error: the plug-in's
  // own messages, and a sanitizer's report.
  std::string output;
};

// Runs `work` in a forked child in a process group of its own and answers
// its outcome. A child that ends by a signal, exits without an answer or is
// not done within `timeoutSeconds` (it is then killed, whatever it did
// with the descriptors it inherited) gives a failure saying so.
// In sanitizer builds the child also looks for leaked memory before it
// answers.
IsolatedOutcome runIsolated(const std::function<CheckOutcome()>& work, double timeoutSeconds);

// While alive, SIGINT, SIGTERM and SIGHUP kill the running check's
// process group before they end the validator as they would have.
class CheckProcessesEndWithUs {
 public:
  CheckProcessesEndWithUs();
  ~CheckProcessesEndWithUs();
  CheckProcessesEndWithUs(const CheckProcessesEndWithUs&) = delete;
  CheckProcessesEndWithUs& operator=(const CheckProcessesEndWithUs&) = delete;

 private:
  std::array<struct sigaction, 3> previous_{};
};

}  // namespace kqfx::command::validate
