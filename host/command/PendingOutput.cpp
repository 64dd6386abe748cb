#include "PendingOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "CommandErrors.h"
#include "Interruption.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

// The permissions a newly created file gets under the current umask.
mode_t creationMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

PendingOutput::PendingOutput(const fs::path& target) : target_(target) {
  const std::string shown = "'" + target.string() + "'";
  std::error_code error;
  if (fs::is_directory(target, error)) {
    throw CommandFailure("cannot write " + shown + ": it is a folder");
  }
  if (fs::exists(fs::symlink_status(target, error)) && !fs::is_regular_file(target, error)) {
    throw CommandFailure("cannot write " + shown + ": it exists and is not a regular file");
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string name = target.filename().string();
  if (name.empty()) throw CommandFailure("cannot write " + shown + ": no file name");
  std::string pattern = (folder / ("." + name + ".kqfx-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // Registered before it exists, so that no signal can leave it behind.
  {
    SignalsHeldBack held;
    fd_ = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd_ < 0) {
      const int why = errno;
      throw CommandFailure("cannot write " + shown + ": " + std::strerror(why));
    }
    temporary_ = buffer.data();
    registerTemporaryFile(temporary_);
  }
  ::fchmod(fd_, creationMode());
}

PendingOutput::~PendingOutput() { discard(); }

void PendingOutput::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    unregisterTemporaryFile();
    temporary_.clear();
  }
}

void PendingOutput::commit() {
  const std::string shown = "'" + target_.string() + "'";
  if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
    const int why = errno;
    fd_ = -1;
    discard();
    throw CommandFailure("cannot write " + shown + ": " + std::strerror(why));
  }
  fd_ = -1;
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int why = errno;
    discard();
    throw CommandFailure("cannot write " + shown + ": " + std::strerror(why));
  }
  unregisterTemporaryFile();
  temporary_.clear();
}

}  // namespace kqfx::command
