#include "Supervision.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <new>
#include <optional>

#include "ChildProcess.h"
#include "CommandErrors.h"
#include "FailureReport.h"
#include "StandardOutput.h"

namespace kqfx::command {
namespace {

constexpr std::array<int, 8> kStopSignals = {SIGINT,  SIGTERM, SIGHUP, SIGPIPE,
                                             SIGUSR1, SIGUSR2, SIGXFSZ, SIGALRM};
constexpr std::array<int, 7> kCrashSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL,
                                              SIGABRT, SIGSYS, SIGTRAP};

bool isStopSignal(int signal) {
  for (int stop : kStopSignals) {
    if (stop == signal) return true;
  }
  return false;
}

// The child's record, for its crash handler.
ActivityRecord* volatile crashRecord = nullptr;

extern "C" void recordCrash(int signal) {
  // The handler is reset on entry: raising again ends the process by the
  // signal, past any sanitizer's own handler.
  if (crashRecord) crashRecord->crashSignal = signal;
  ::raise(signal);
}

// In the child: crashes are recorded before they end it, on a stack of
// their own (a crash may come from a blown stack).
void recordCrashesInto(ActivityRecord* record) {
  crashRecord = record;
  static char alternateStack[1 << 16];
  stack_t stack{};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  ::sigaltstack(&stack, nullptr);
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = recordCrash;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  for (int signal : kCrashSignals) ::sigaction(signal, &action, nullptr);
}

[[noreturn]] void runChild(const std::function<int()>& job, ActivityRecord* record, int outputFd) {
  useActivityRecord(record);
  if (outputFd >= 0) sendStandardOutputTo(outputFd);
  sigset_t unblocked;
  sigemptyset(&unblocked);
  for (int signal : kStopSignals) sigaddset(&unblocked, signal);
  sigaddset(&unblocked, SIGCHLD);
  sigaddset(&unblocked, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
  recordCrashesInto(record);
  const int status = runReportingFailures(job);
  std::fflush(nullptr);
  record->finished = 1;
  // Skips the plug-in's static destructors and atexit handlers: the job
  // is done, and what they do is not ours to wait for.
  ::_exit(status);
}

[[noreturn]] void endBySignal(int signal, const sigset_t& previousMask) {
  ::signal(signal, SIG_DFL);
  ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

timespec timespecOf(SteadyClock::duration span) {
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(span).count();
  if (nanoseconds <= 0) return {0, 0};
  return {static_cast<time_t>(nanoseconds / 1000000000), static_cast<long>(nanoseconds % 1000000000)};
}

}  // namespace

SupervisedJob::SupervisedJob(const std::function<int()>& job, bool captureOutput) {
  void* shared = ::mmap(nullptr, sizeof(ActivityRecord), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) throw CommandFailure("cannot share memory with a child process");
  record_ = new (shared) ActivityRecord{{}, -1, {}, 0, 0, 0};
  if (captureOutput) outputFd_ = ::memfd_create("kqfx-render-summary", MFD_CLOEXEC);
  child_ = forkIntoOwnGroup();
  if (child_ == 0) runChild(job, record_, outputFd_);
  if (child_ < 0) {
    ::munmap(record_, sizeof(ActivityRecord));
    if (outputFd_ >= 0) ::close(outputFd_);
    throw CommandFailure("cannot start a process for the plug-in: out of processes");
  }
}

SupervisedJob::~SupervisedJob() {
  ::munmap(record_, sizeof(ActivityRecord));
  if (outputFd_ >= 0) ::close(outputFd_);
}

std::string SupervisedJob::capturedOutput() const {
  std::string text;
  if (outputFd_ < 0) return text;
  char buffer[4096];
  off_t at = 0;
  ssize_t n = 0;
  while ((n = ::pread(outputFd_, buffer, sizeof buffer, at)) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
    at += n;
  }
  return text;
}

void SupervisedJob::forward(int signal) const { ::kill(-child_, signal); }

void SupervisedJob::kill() {
  reapBy(child_, SteadyClock::now());
}

void SupervisedJob::removeTemporaryFile() const {
  if (!record_->temporaryPathSet) return;
  record_->temporaryPath[sizeof record_->temporaryPath - 1] = '\0';
  ::unlink(record_->temporaryPath);
}

SupervisedJob::End SupervisedJob::judge(int waitStatus) const {
  End end;
  if (WIFEXITED(waitStatus) && record_->finished) {
    end.finished = true;
    end.status = WEXITSTATUS(waitStatus);
  } else if (record_->crashSignal != 0) {
    end.problem = "the plug-in crashed (" + crashDescription(record_->crashSignal) + ")";
  } else if (WIFEXITED(waitStatus)) {
    end.problem = "the plug-in ended the process (it called exit)";
  } else if (WIFSIGNALED(waitStatus) && isStopSignal(WTERMSIG(waitStatus))) {
    end.stopSignal = WTERMSIG(waitStatus);
  } else if (WIFSIGNALED(waitStatus) && WTERMSIG(waitStatus) == SIGKILL) {
    end.problem = "the plug-in's process was killed (the system may have run out of memory)";
  } else if (WIFSIGNALED(waitStatus)) {
    end.problem = "the plug-in crashed (" + crashDescription(WTERMSIG(waitStatus)) + ")";
  } else {
    end.problem = "the plug-in's process ended unexpectedly";
  }
  return end;
}

int runSupervised(const std::function<int()>& job) {
  // Stop signals and the child's end wait in the blocked set until taken,
  // so that none is lost between two looks. Signals the user's
  // environment ignores stay ignored.
  sigset_t waited;
  sigemptyset(&waited);
  for (int signal : kStopSignals) {
    struct sigaction current {};
    ::sigaction(signal, nullptr, &current);
    if (current.sa_handler != SIG_IGN) sigaddset(&waited, signal);
  }
  sigaddset(&waited, SIGCHLD);
  // Ctrl-Z stops the child with kqfx, and fg continues both.
  struct sigaction suspend {};
  ::sigaction(SIGTSTP, nullptr, &suspend);
  if (suspend.sa_handler == SIG_DFL) sigaddset(&waited, SIGTSTP);
  sigset_t previousMask;
  ::sigprocmask(SIG_BLOCK, &waited, &previousMask);

  std::optional<SupervisedJob> running;
  try {
    running.emplace(job);
  } catch (...) {
    ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    throw;
  }
  const auto grace = std::chrono::duration_cast<SteadyClock::duration>(
      std::chrono::duration<double>(kChildStopGraceSeconds));
  int stopSignal = 0;
  SteadyClock::time_point deadline = SteadyClock::time_point::max();
  int status = 0;
  bool killed = false;
  while (true) {
    const pid_t done = ::waitpid(running->pid(), &status, WNOHANG);
    if (done == running->pid() || (done < 0 && errno == ECHILD)) break;
    const auto now = SteadyClock::now();
    if (now >= deadline) {
      running->kill();
      killed = true;
      break;
    }
    const timespec wait = timespecOf(std::min<SteadyClock::duration>(
        std::chrono::milliseconds(100), deadline - now));
    siginfo_t info;
    const int signal = ::sigtimedwait(&waited, &info, &wait);
    if (signal <= 0 || signal == SIGCHLD) continue;
    if (signal == SIGTSTP) {
      ::kill(-running->pid(), SIGSTOP);
      ::raise(SIGSTOP);
      ::kill(-running->pid(), SIGCONT);
      continue;
    }
    if (stopSignal == 0) {
      stopSignal = signal;
      running->forward(signal);
      deadline = SteadyClock::now() + grace;
    } else {
      deadline = SteadyClock::now();  // a second signal: no more waiting
    }
  }

  const bool writing = running->wasWritingAFile();
  if (killed) {
    running->removeTemporaryFile();
    printError("kqfx: " + running->activity() +
               ": interrupted; the plug-in did not stop, so it was killed" +
               (writing ? "; the output was not written" : "") + "\n");
    endBySignal(stopSignal, previousMask);
  }
  const SupervisedJob::End end = running->judge(status);
  if (!end.finished) running->removeTemporaryFile();
  if (end.stopSignal != 0 || stopSignal != 0) {
    endBySignal(stopSignal != 0 ? stopSignal : end.stopSignal, previousMask);
  }
  ::sigprocmask(SIG_SETMASK, &previousMask, nullptr);
  if (end.finished) return end.status;
  printError("kqfx: " + running->activity() + ": " + end.problem +
             (writing ? "; the output was not written" : "") + "\n");
  return 1;
}

}  // namespace kqfx::command
