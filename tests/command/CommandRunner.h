#pragma once
// Runs the built kqfx executable as a user would, with its own arguments
// and environment, and collects what it printed and how it ended.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace kqfx::test {

struct CommandResult {
  int status = -1;   // exit status, or -1 when ended by a signal
  int signal = 0;    // the signal that ended it, or 0
  std::string out;
  std::string err;
  std::string firstErrorLine() const { return err.substr(0, err.find('\n')); }
};

// A started kqfx process; collect() waits for it.
class RunningCommand {
 public:
  // `directory`: where it runs, when not here.
  RunningCommand(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& environment = {},
                 const std::string& directory = "") {
    std::vector<std::string> argv = {KQFX_EXECUTABLE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);

    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::size_t equals = entry.find('=');
      merged[entry.substr(0, equals)] = equals == std::string::npos ? "" : entry.substr(equals + 1);
    }
    // No LV2 folder of the system is searched unless a test says so: only
    // the build's own bundle is seen.
    merged["LV2_PATH"] = "";
    for (const auto& [name, value] : environment) merged[name] = value;
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : merged) envStrings.push_back(name + "=" + value);
    std::vector<char*> env;
    for (std::string& e : envStrings) env.push_back(e.data());
    env.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    if (::posix_spawn(&pid_, KQFX_EXECUTABLE, &actions, nullptr, args.data(), env.data()) != 0) {
      std::abort();
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
  }
  RunningCommand(const RunningCommand&) = delete;
  RunningCommand& operator=(const RunningCommand&) = delete;
  ~RunningCommand() {
    if (pid_ > 0) collect();
  }

  pid_t pid() const { return pid_; }
  void sendSignal(int signal) const { ::kill(pid_, signal); }

  CommandResult collect() {
    CommandResult result;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
      if (::poll(fds, 2, -1) < 0) continue;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
          sinks[i]->append(buffer, static_cast<std::size_t>(n));
        } else {
          ::close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

inline CommandResult runKqfx(const std::vector<std::string>& arguments,
                             const std::map<std::string, std::string>& environment = {},
                             const std::string& directory = "") {
  return RunningCommand(arguments, environment, directory).collect();
}

}  // namespace kqfx::test
