#include "ChildProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kqfx::command {

pid_t forkIntoOwnGroup() {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::setpgid(0, 0);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGUSR1, SIGUSR2, SIGXFSZ, SIGALRM}) {
      ::signal(signal, SIG_DFL);
    }
    return 0;
  }
  // Both sides set the group, so that it exists before either relies on it.
  if (child > 0) ::setpgid(child, child);
  return child;
}

void killGroup(pid_t child) {
  if (child <= 0) return;
  ::kill(-child, SIGKILL);
  ::kill(child, SIGKILL);
}

std::optional<int> reapBy(pid_t child, SteadyClock::time_point deadline) {
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return status;
    if (done < 0 && errno != EINTR) return status;
    if (SteadyClock::now() >= deadline) break;
    ::usleep(2000);
  }
  killGroup(child);
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return std::nullopt;
}

std::string crashDescription(int signal) {
  switch (signal) {
    case SIGSEGV: return "segmentation fault";
    case SIGBUS: return "bus error";
    case SIGFPE: return "arithmetic exception";
    case SIGILL: return "illegal instruction";
    case SIGABRT: return "aborted";
    case SIGSYS: return "bad system call";
    case SIGTRAP: return "trap";
    case SIGKILL: return "killed";
    default: {
      const char* text = ::strsignal(signal);
      return text ? text : "signal " + std::to_string(signal);
    }
  }
}

}  // namespace kqfx::command
