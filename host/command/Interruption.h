#pragma once
// SIGINT, SIGTERM and SIGHUP while kqfx writes files. The first signal asks
// the running render to stop (it checks between blocks) and deletes the
// temporary file being written at once, so nothing is left behind even if
// the plug-in never returns; a second signal ends the process on the spot.

#include <signal.h>

#include <filesystem>

namespace kqfx::command {

class InterruptionGuard {
 public:
  // Installs the handlers for its lifetime; one guard at a time.
  InterruptionGuard();
  ~InterruptionGuard();
  InterruptionGuard(const InterruptionGuard&) = delete;
  InterruptionGuard& operator=(const InterruptionGuard&) = delete;

  // The signal received so far, or 0.
  static int receivedSignal();

  // Once the guard is gone: ends the process by the signal received, as
  // shells expect of an interrupted program. Does nothing if none came.
  static void endBySignalReceived();
};

// The temporary file the handler deletes; the path is copied.
void registerTemporaryFile(const std::filesystem::path& path);
void unregisterTemporaryFile();

// Holds the three signals back while alive, for steps that must not be
// cut in half (completing and renaming the output).
class SignalsHeldBack {
 public:
  SignalsHeldBack();
  ~SignalsHeldBack();
  SignalsHeldBack(const SignalsHeldBack&) = delete;
  SignalsHeldBack& operator=(const SignalsHeldBack&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace kqfx::command
