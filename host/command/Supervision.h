#pragma once
// The plug-in hosted away from kqfx's own process: a subcommand's whole
// job (loading, rendering, printing) runs in a child process of its own
// process group, while kqfx waits for it. The child does all the work and
// prints as kqfx would; nothing passes between the two per block. What it
// is doing is kept in an activity record in shared memory (see
// Interruption.h), which kqfx reads when the child does not end well:
//
// - the plug-in crashes, or ends the process itself: one message naming
//   the plug-in and what was going on (the call, the block, the rate), the
//   temporary output file deleted, exit status 1;
// - a stop signal (SIGINT, SIGTERM, ...) reaches kqfx: it is passed on to
//   the child, which stops between blocks and cleans up; a child that has
//   not ended half a second later (a plug-in that never returns, blocks or
//   ignores signals) is killed with its whole process group, and kqfx ends
//   by the signal;
// - Ctrl-Z (SIGTSTP) stops the child with kqfx, and both go on together.

#include <sys/types.h>

#include <functional>
#include <string>

#include "Interruption.h"

namespace kqfx::command {

// How long a child may take to end once told to stop.
constexpr double kChildStopGraceSeconds = 0.5;

// One job running in its own child process.
class SupervisedJob {
 public:
  // Starts `job` (answering an exit status; failures are reported as
  // main reports them). Throws CommandFailure when no process can be
  // started.
  // With `captureOutput`, what the job prints with printOut is kept for
  // capturedOutput() instead.
  explicit SupervisedJob(const std::function<int()>& job, bool captureOutput = false);
  ~SupervisedJob();
  SupervisedJob(const SupervisedJob&) = delete;
  SupervisedJob& operator=(const SupervisedJob&) = delete;

  pid_t pid() const { return child_; }

  // Passes a stop signal on to the child's process group.
  void forward(int signal) const;
  // Kills the child's process group and reaps it.
  void kill();
  // Deletes the temporary file the child was writing, if any.
  void removeTemporaryFile() const;
  // What the child was doing: "Vardello: rendering ..., block 37".
  std::string activity() const { return describeActivity(*record_); }
  bool wasWritingAFile() const { return record_->temporaryPathSet != 0; }
  // Once the child has ended.
  std::string capturedOutput() const;

  // Given the child's wait status: the job's own exit status when it
  // finished its work; otherwise nothing, with `problem` saying what ended
  // it ("the plug-in crashed (segmentation fault)") or left empty when a
  // stop signal did (`stopSignal` then names it).
  struct End {
    bool finished = false;
    int status = 1;
    int stopSignal = 0;
    std::string problem;
  };
  End judge(int waitStatus) const;

 private:
  pid_t child_ = -1;
  ActivityRecord* record_ = nullptr;
  int outputFd_ = -1;
};

// Runs `job` as above and answers its exit status; ends kqfx by the stop
// signal received, as shells expect, when one stopped it.
int runSupervised(const std::function<int()>& job);

}  // namespace kqfx::command
