// kqfx render -o OUTDIR INPUT...: each INPUT rendered by a child process of
// its own (a plug-in that crashes on one file costs that file only, and is
// told as a single render tells it), a few at a time, and one summary at
// the end.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "ChildProcess.h"
#include "CommandErrors.h"
#include "Commands.h"
#include "Interruption.h"
#include "StandardOutput.h"
#include "Supervision.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

struct RunningRender {
  std::unique_ptr<SupervisedJob> job;
  std::string input;
  std::size_t index;  // in the order given
};

// Passes the stop signal on, gives the renders the grace a single render
// gets to clean up, and kills those still there.
void stopAll(std::map<pid_t, RunningRender>& running, int signal) {
  for (auto& [child, render] : running) render.job->forward(signal);
  const auto deadline = SteadyClock::now() + std::chrono::duration_cast<SteadyClock::duration>(
                                                 std::chrono::duration<double>(kChildStopGraceSeconds));
  for (auto& [child, render] : running) {
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0 && SteadyClock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (::waitpid(child, &status, WNOHANG) == 0) render.job->kill();
    render.job->removeTemporaryFile();
  }
}

}  // namespace

int runRenderBatch(const RenderRequest& request) {
  const fs::path directory(*request.outputDirectory);
  std::error_code error;
  fs::create_directories(directory, error);
  if (error || !fs::is_directory(directory, error)) {
    throw CommandFailure("cannot use '" + directory.string() + "' as the output folder");
  }
  const int jobs = request.jobs > 0 ? request.jobs
                                    : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  std::map<pid_t, RunningRender> running;
  std::vector<std::string> failed;
  std::map<std::size_t, std::string> summaries;  // --json, by input
  std::size_t next = 0, done = 0;
  InterruptionGuard guard;
  while (next < request.inputs.size() || !running.empty()) {
    if (InterruptionGuard::receivedSignal() != 0) {
      stopAll(running, InterruptionGuard::receivedSignal());
      printError("kqfx: interrupted after " + std::to_string(done) + " of " +
                 std::to_string(request.inputs.size()) + " files\n");
      InterruptionGuard::endBySignalReceived();
    }
    while (next < request.inputs.size() && static_cast<int>(running.size()) < jobs) {
      RenderRequest one = request;
      one.outputDirectory.reset();
      one.inputs.clear();
      one.input = request.inputs[next];
      one.output = (directory / fs::path(request.inputs[next]).filename()).string();
      one.quiet = true;
      auto job = std::make_unique<SupervisedJob>(
          [one] {
            const RenderSummary summary = renderFile(one);
            if (one.json) printOut(renderSummaryJson(summary));
            return 0;
          },
          request.json);
      const pid_t child = job->pid();
      running[child] = {std::move(job), request.inputs[next], next};
      ++next;
    }
    int status = 0;
    const pid_t ended = ::waitpid(-1, &status, WNOHANG);
    if (ended <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    const auto found = running.find(ended);
    if (found == running.end()) continue;
    const SupervisedJob& job = *found->second.job;
    const SupervisedJob::End end = job.judge(status);
    if (!end.finished) {
      const bool writing = job.wasWritingAFile();
      job.removeTemporaryFile();
      if (!end.problem.empty()) {
        printError("kqfx: " + found->second.input + ": " + job.activity() + ": " + end.problem +
                   (writing ? "; the output was not written" : "") + "\n");
      }
    }
    if (!end.finished || end.status != 0) {
      failed.push_back(found->second.input);
    } else if (request.json) {
      summaries[found->second.index] = job.capturedOutput();
    }
    running.erase(found);
    ++done;
  }
  if (request.json) {
    std::vector<std::string> entries;
    for (const auto& [index, entry] : summaries) entries.push_back(entry);
    std::vector<std::string> failedInOrder;
    for (const std::string& input : request.inputs) {
      if (std::find(failed.begin(), failed.end(), input) != failed.end()) failedInOrder.push_back(input);
    }
    printOut(renderSummariesJson(entries, failedInOrder));
    return failed.empty() ? 0 : 1;
  }
  const std::size_t count = request.inputs.size();
  std::string summary = "rendered " + std::to_string(count - failed.size()) + " of " +
                        std::to_string(count) + " files into " + directory.string();
  if (!failed.empty()) {
    summary += "; failed:";
    for (const std::string& input : failed) summary += " " + input;
  }
  if (!request.quiet || !failed.empty()) (failed.empty() ? printOut : printError)(summary + "\n");
  return failed.empty() ? 0 : 1;
}

}  // namespace kqfx::command
