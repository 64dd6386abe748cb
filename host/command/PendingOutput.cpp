#include "PendingOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

PendingOutput::PendingOutput(const fs::path& requested) : target_(requested) {
  const std::string shown = "'" + requested.string() + "'";
  std::error_code error;
  // A symlinked OUTPUT is written through to the file it points at.
  if (fs::is_symlink(requested, error)) {
    target_ = fs::weakly_canonical(requested, error);
    if (error) throw CommandFailure("cannot write " + shown + ": " + error.message());
  }
  if (fs::is_directory(target_, error)) {
    throw CommandFailure("cannot write " + shown + ": it is a folder");
  }
  const bool exists = fs::exists(fs::symlink_status(target_, error));
  if (exists && !fs::is_regular_file(target_, error)) {
    throw CommandFailure("cannot write " + shown + ": it exists and is not a regular file");
  }
  const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
  const std::string name = target_.filename().string();
  if (name.empty()) throw CommandFailure("cannot write " + shown + ": no file name");
  // The temporary name must fit wherever the final one does.
  const std::string suffix = ".kqfx-XXXXXX";
  const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  const std::size_t room =
      nameMax > 0 ? static_cast<std::size_t>(nameMax) - 1 - suffix.size() : name.size();
  std::string pattern = (folder / ("." + name.substr(0, std::min(name.size(), room)) + suffix)).string();
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
  // A file replaced keeps its permission bits (a private take stays private).
  struct stat existing {};
  if (exists && ::stat(target_.c_str(), &existing) == 0) {
    ::fchmod(fd_, existing.st_mode & 07777);
  } else {
    ::fchmod(fd_, creationMode());
  }
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
