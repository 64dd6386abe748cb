#pragma once
// An output file that appears only when it is complete: written under a
// hidden temporary name in the same folder, renamed over the real name by
// commit(), deleted if the owner goes away without committing (and by the
// interruption handler if a signal arrives first). A symlinked target is
// written through to the file it points at, and a replaced file keeps its
// permission bits.

#include <filesystem>

namespace kqfx::command {

class PendingOutput {
 public:
  // Throws CommandFailure when the folder cannot take a new file or the
  // target is a folder.
  explicit PendingOutput(const std::filesystem::path& requested);
  ~PendingOutput();
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  int fd() const { return fd_; }
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  // Flushes the data to disk and moves it to the target name, replacing
  // what was there. Call with the interruption signals held back. Throws
  // CommandFailure (and deletes the temporary file) when that fails.
  void commit();

 private:
  void discard();

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int fd_ = -1;
};

}  // namespace kqfx::command
