#include "StandardOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "CommandErrors.h"

namespace kqfx::command {
namespace {

int realStandardOutput = STDOUT_FILENO;

}  // namespace

void protectStandardOutput() {
  const int saved = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved < 0) return;
  if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    ::close(saved);
    return;
  }
  realStandardOutput = saved;
}

void printOut(const std::string& text) {
  std::fflush(stdout);
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(realStandardOutput, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      throw CommandFailure(std::string("cannot write to standard output: ") +
                           std::strerror(errno));
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
}

void sendStandardOutputTo(int fd) { ::dup2(fd, realStandardOutput); }

void printError(const std::string& text) {
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kqfx::command
