#include "IsolatedRun.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <new>

#include "CallTrail.h"
#include "ChildProcess.h"
#include "kqfx/host/HostError.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace kqfx::command::validate {
namespace {

// The exit status ThreadSanitizer gives a process after a report.
constexpr int kThreadSanitizerStatus = 66;
// The most of a child's output kept: its beginning and its end.
constexpr std::size_t kOutputKept = 8192;
// A child that answered is given this long to be gone, even past the
// deadline.
constexpr auto kAnsweredGrace = std::chrono::seconds(2);

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The running check's process group, for the signal handler (0: none).
volatile sig_atomic_t gCheckGroup = 0;

using Clock = std::chrono::steady_clock;

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// In the child: its output into `outputFd`, runs the work and writes "P",
// "F" or "S" and the text.
[[noreturn]] void childMain(const std::function<CheckOutcome()>& work, int answerFd, int outputFd,
                            CallTrail* trail) {
  if (outputFd >= 0) {
    ::dup2(outputFd, STDOUT_FILENO);
    ::dup2(outputFd, STDERR_FILENO);
    ::close(outputFd);
  }
  const int nothing = ::open("/dev/null", O_RDONLY);
  if (nothing >= 0) {
    ::dup2(nothing, STDIN_FILENO);
    if (nothing != STDIN_FILENO) ::close(nothing);
  }
  recordCallsInto(trail);
  CheckOutcome outcome;
  try {
    outcome = work();
  } catch (const host::HostError& error) {
    outcome = CheckOutcome::failed(error.what());
  } catch (const std::bad_alloc&) {
    outcome = CheckOutcome::failed("out of memory");
  } catch (const std::exception& error) {
    outcome = CheckOutcome::failed(std::string("an exception came out of the plug-in: ") +
                                   error.what());
  } catch (...) {
    outcome = CheckOutcome::failed("an exception of unknown type came out of the plug-in");
  }
  recordCallsInto(nullptr);
#if defined(__SANITIZE_ADDRESS__)
  if (__lsan_do_recoverable_leak_check() != 0 && outcome.verdict != Verdict::fail) {
    outcome = CheckOutcome::failed("memory leaked (the sanitizer's report is below)");
  }
#endif
  const char mark = outcome.verdict == Verdict::pass ? 'P' : outcome.verdict == Verdict::fail ? 'F' : 'S';
  writeAll(answerFd, std::string(1, mark) + outcome.seen);
  ::close(answerFd);
  ::_exit(0);
}

std::string signalText(int signal) {
  const char* name = ::sigabbrev_np(signal);
  const char* description = ::sigdescr_np(signal);
  return std::string("crashed: signal ") + std::to_string(signal) +
         (name ? std::string(" (SIG") + name + (description ? std::string(", ") + description : "") + ")" : "");
}

// Reads the answer until end of file or the deadline; true at end of file.
bool readAnswer(int fd, std::string& text, Clock::time_point deadline) {
  while (true) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd pending{fd, POLLIN, 0};
    const int ready = ::poll(&pending, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) return true;
    if (ready <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

// The child's output: all of it when short, else its beginning and end.
std::string readOutput(int fd) {
  std::string text;
  if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) return text;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  if (size <= 0) return text;
  const auto readAt = [fd](off_t from, std::size_t count) {
    std::string part(count, '\0');
    const ssize_t n = ::pread(fd, part.data(), count, from);
    part.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return part;
  };
  const std::size_t total = static_cast<std::size_t>(size);
  if (total <= kOutputKept) return readAt(0, total);
  const std::size_t half = kOutputKept / 2;
  return readAt(0, half) + "\n[... " + std::to_string(total - 2 * half) + " bytes left out ...]\n" +
         readAt(static_cast<off_t>(total - half), half);
}

void killCheckAndEnd(int signal) {
  const pid_t group = gCheckGroup;
  if (group > 0) killGroup(group);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

IsolatedOutcome runIsolated(const std::function<CheckOutcome()>& work, double timeoutSeconds) {
  IsolatedOutcome result;
  int answer[2];
  if (::pipe2(answer, O_CLOEXEC) != 0) {
    result.outcome = CheckOutcome::failed("cannot create a pipe for the check");
    return result;
  }
  void* shared = ::mmap(nullptr, sizeof(CallTrail), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  CallTrail* trail = shared == MAP_FAILED ? nullptr : new (shared) CallTrail{};
  const int outputFd = ::memfd_create("kqfx-check-output", MFD_CLOEXEC);
  const auto cleanUp = [&] {
    ::close(answer[0]);
    if (outputFd >= 0) ::close(outputFd);
    if (trail) ::munmap(shared, sizeof(CallTrail));
  };

  const pid_t child = forkIntoOwnGroup();
  if (child < 0) {
    ::close(answer[1]);
    cleanUp();
    result.outcome = CheckOutcome::failed("cannot start a process for the check");
    return result;
  }
  if (child == 0) {
    ::close(answer[0]);
    childMain(work, answer[1], outputFd, trail);
  }
  gCheckGroup = child;
  ::close(answer[1]);

  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(timeoutSeconds));
  std::string text;
  readAnswer(answer[0], text, deadline);
  // End of file comes when the child ends, or when it closes the pipe and
  // goes on: the deadline holds either way.
  const bool answered = !text.empty();
  const std::optional<int> reaped =
      reapBy(child, answered ? std::max(deadline, Clock::now() + kAnsweredGrace) : deadline);
  const bool ended = reaped.has_value();
  const int status = reaped.value_or(0);
  gCheckGroup = 0;
  if (trail) result.trail = describeTrail(*trail);
  result.output = readOutput(outputFd);
  cleanUp();

  if (!ended && !answered) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
    result.outcome = CheckOutcome::failed(std::string("no answer within ") + seconds +
                                          " s: the plug-in hangs or is far too slow");
    return result;
  }
  if (!answered) {
    if (WIFSIGNALED(status)) {
      result.outcome = CheckOutcome::failed(signalText(WTERMSIG(status)));
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == kThreadSanitizerStatus) {
      result.outcome = CheckOutcome::failed("ThreadSanitizer reported a data race (its report is below)");
    } else {
      result.outcome = CheckOutcome::failed(
          "the check's process ended with status " +
          std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
          " without an answer (the plug-in ended it, or a sanitizer did: see its output below)");
    }
    return result;
  }
  const char mark = text[0];
  std::string seen = text.substr(1);
  if (mark == 'P') {
    result.outcome = CheckOutcome::passed(std::move(seen));
  } else if (mark == 'S') {
    result.outcome = CheckOutcome::skipped(std::move(seen));
  } else {
    result.outcome = CheckOutcome::failed(std::move(seen));
  }
  return result;
}

CheckProcessesEndWithUs::CheckProcessesEndWithUs() {
  struct sigaction action {};
  action.sa_handler = killCheckAndEnd;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < previous_.size(); ++i) {
    ::sigaction(kEndingSignals[i], &action, &previous_[i]);
  }
}

CheckProcessesEndWithUs::~CheckProcessesEndWithUs() {
  for (std::size_t i = 0; i < previous_.size(); ++i) {
    ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
  }
}

}  // namespace kqfx::command::validate
