#include "PluginProbe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <cerrno>

#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::command {
namespace {

// What the child sends back: a fixed-size message.
struct ProbeMessage {
  int32_t status;  // kLoaded, kNoEntry or kFailed
  int32_t uniqueId;
  int32_t numParams;
  char problem[200];
};
constexpr int32_t kLoaded = 1;
constexpr int32_t kNoEntry = 2;
constexpr int32_t kFailed = 3;

void writeAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written <= 0) return;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
}

[[noreturn]] void runChild(const std::filesystem::path& path, int replyFd) {
  const int nowhere = ::open("/dev/null", O_RDWR);
  if (nowhere >= 0) {
    ::dup2(nowhere, STDIN_FILENO);
    ::dup2(nowhere, STDOUT_FILENO);
    ::dup2(nowhere, STDERR_FILENO);
  }
  ProbeMessage message{};
  try {
    host::PluginLibrary library(path.string());
    host::PluginInstance plugin(library);
    plugin.dispatch(opOpen);
    message.uniqueId = plugin.record().uniqueID;
    message.numParams = plugin.record().numParams;
    plugin.close();
    message.status = kLoaded;
  } catch (const std::exception& error) {
    const bool hasNoEntry = std::strstr(error.what(), "no entry function") != nullptr;
    message.status = hasNoEntry ? kNoEntry : kFailed;
    std::snprintf(message.problem, sizeof message.problem, "%s", error.what());
  }
  writeAll(replyFd, &message, sizeof message);
  // Skips the plug-in's static destructors and atexit handlers, which are
  // not ours to run in a copy of the parent.
  ::_exit(0);
}

ProbeResult failed(std::string problem) {
  ProbeResult result;
  result.problem = std::move(problem);
  return result;
}

using Clock = std::chrono::steady_clock;

// Reads the child's message until it is complete, the pipe closes or the
// deadline passes. Answers the bytes read.
std::size_t readReply(int fd, ProbeMessage& message, Clock::time_point deadline) {
  char* bytes = reinterpret_cast<char*>(&message);
  std::size_t got = 0;
  while (got < sizeof message) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd poller{fd, POLLIN, 0};
    const int ready = ::poll(&poller, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t n = ::read(fd, bytes + got, sizeof message - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

// Reaps the child, killing it if it is still there at the deadline.
// Answers its wait status, or nothing when it had to be killed.
std::optional<int> reap(pid_t child, Clock::time_point deadline) {
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return status;
    if (done < 0 && errno != EINTR) return std::nullopt;
    if (Clock::now() >= deadline) break;
    ::usleep(5000);
  }
  ::kill(child, SIGKILL);
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return std::nullopt;
}

}  // namespace

ProbeResult probePlugin(const std::filesystem::path& path, double timeoutSeconds) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return failed("cannot create a pipe");
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return failed("cannot start a process to load it");
  }
  if (child == 0) {
    ::close(pipeFds[0]);
    runChild(path, pipeFds[1]);
  }
  ::close(pipeFds[1]);
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeoutSeconds));
  ProbeMessage message{};
  const std::size_t got = readReply(pipeFds[0], message, deadline);
  ::close(pipeFds[0]);
  // A child that answered is on its way out; give it a moment beyond the
  // deadline to get there.
  const std::optional<int> status =
      reap(child, got == sizeof message ? Clock::now() + std::chrono::seconds(2) : deadline);

  if (got == sizeof message) {
    ProbeResult result;
    message.problem[sizeof message.problem - 1] = '\0';
    result.ok = message.status == kLoaded;
    result.notAPlugin = message.status == kNoEntry;
    result.uniqueId = message.uniqueId;
    result.numParams = message.numParams;
    result.problem = message.problem;
    return result;
  }
  if (status && WIFSIGNALED(*status)) {
    return failed(std::string("crashed while loading (") + ::strsignal(WTERMSIG(*status)) + ")");
  }
  if (status && WIFEXITED(*status)) {
    return failed("ended the process while loading (exit status " +
                  std::to_string(WEXITSTATUS(*status)) + ")");
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
  return failed(std::string("did not finish loading within ") + seconds + " s");
}

}  // namespace kqfx::command
