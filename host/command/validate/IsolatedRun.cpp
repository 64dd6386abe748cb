#include "IsolatedRun.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>

#include "kqfx/host/HostError.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace kqfx::command::validate {
namespace {

// The exit status ThreadSanitizer gives a process after a report.
constexpr int kThreadSanitizerStatus = 66;

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// In the child: runs the work and writes "P", "F" or "S" and the text.
[[noreturn]] void childMain(const std::function<CheckOutcome()>& work, int answerFd) {
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
#if defined(__SANITIZE_ADDRESS__)
  if (__lsan_do_recoverable_leak_check() != 0 && outcome.verdict != Verdict::fail) {
    outcome = CheckOutcome::failed("memory leaked (the report is on standard error)");
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

}  // namespace

CheckOutcome runIsolated(const std::function<CheckOutcome()>& work, double timeoutSeconds) {
  int answer[2];
  if (::pipe(answer) != 0) return CheckOutcome::failed("cannot create a pipe for the check");
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(answer[0]);
    ::close(answer[1]);
    return CheckOutcome::failed("cannot start a process for the check");
  }
  if (child == 0) {
    ::close(answer[0]);
    childMain(work, answer[1]);
  }
  ::close(answer[1]);

  std::string text;
  bool timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration<double>(timeoutSeconds);
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd pending{answer[0], POLLIN, 0};
    const int ready = ::poll(&pending, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(answer[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(answer[0]);
  if (timedOut) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
    return CheckOutcome::failed(std::string("no answer within ") + seconds +
                                " s: the plug-in hangs or is far too slow");
  }
  if (WIFSIGNALED(status)) return CheckOutcome::failed(signalText(WTERMSIG(status)));
  if (WIFEXITED(status) && WEXITSTATUS(status) == kThreadSanitizerStatus && text.empty()) {
    return CheckOutcome::failed("ThreadSanitizer reported a data race (the report is on standard error)");
  }
  if (text.empty()) {
    return CheckOutcome::failed("the check's process ended with status " +
                                std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) +
                                " without an answer (a sanitizer report, if any, is on standard error)");
  }
  const char mark = text[0];
  std::string seen = text.substr(1);
  if (mark == 'P') return CheckOutcome::passed(std::move(seen));
  if (mark == 'S') return CheckOutcome::skipped(std::move(seen));
  return CheckOutcome::failed(std::move(seen));
}

}  // namespace kqfx::command::validate
