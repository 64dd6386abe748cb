// kqfx render -o OUTDIR INPUT...: each INPUT rendered by a child process of
// its own (a plug-in that crashes on one file costs that file only), a few
// at a time, and one summary at the end.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "CommandErrors.h"
#include "Commands.h"
#include "Interruption.h"
#include "StandardOutput.h"
#include "kqfx/host/HostError.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

// The child's whole life: one render, its failure told as main tells it.
[[noreturn]] void renderOne(RenderRequest request) {
  int status = 1;
  try {
    status = runRender(request);
  } catch (const UsageError& error) {
    printError(std::string("kqfx: ") + error.what() + "\n");
    status = 2;
  } catch (const std::exception& error) {
    printError(std::string("kqfx: ") + error.what() + "\n");
  }
  std::fflush(nullptr);
  ::_exit(status);
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
  std::map<pid_t, std::string> running;  // child -> its INPUT
  std::vector<std::string> failed;
  std::size_t next = 0, done = 0;
  InterruptionGuard guard;
  while (next < request.inputs.size() || !running.empty()) {
    if (InterruptionGuard::receivedSignal() != 0) {
      // Each child cleans up after itself once told.
      for (const auto& [child, input] : running) ::kill(child, InterruptionGuard::receivedSignal());
      for (const auto& [child, input] : running) ::waitpid(child, nullptr, 0);
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
      std::fflush(nullptr);
      const pid_t child = ::fork();
      if (child < 0) throw CommandFailure("cannot start a render: out of processes");
      if (child == 0) renderOne(one);
      running[child] = request.inputs[next++];
    }
    int status = 0;
    const pid_t ended = ::waitpid(-1, &status, WNOHANG);
    if (ended <= 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    const auto found = running.find(ended);
    if (found == running.end()) continue;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed.push_back(found->second);
    running.erase(found);
    ++done;
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
