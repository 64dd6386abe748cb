#pragma once
// Signals while kqfx runs a plug-in and writes files.
//
// Stop signals (SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGUSR1, SIGUSR2,
// SIGXFSZ, SIGALRM): the first asks the running render to stop (it checks
// between blocks) and deletes the temporary file being written at once, so
// nothing is left behind even if the plug-in never returns; a second
// signal, or one second without the render stopping, ends the process.
//
// What the process is doing and which temporary file it writes are kept in
// an activity record, which the supervising parent (see Supervision.h)
// reads should the plug-in crash, hang or end the process.

#include <limits.h>
#include <signal.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace kqfx::command {

// Plain data, so that it can live in memory shared with the parent and be
// read there once this process has ended. Written by this process's main
// thread with the stop signals held back.
struct ActivityRecord {
  char activity[512];
  volatile int64_t block;  // the block being processed, or -1
  char temporaryPath[PATH_MAX + 1];
  volatile sig_atomic_t temporaryPathSet;
  // Set by the job's own process once its work is done, just before it
  // exits: an exit without it was the plug-in's doing.
  volatile sig_atomic_t finished;
  // The crash signal the process got, or 0 (a sanitizer would otherwise
  // turn a crash into an exit).
  volatile sig_atomic_t crashSignal;
};

// Makes this process keep its activity in `record` (a fresh, zeroed one).
void useActivityRecord(ActivityRecord* record);

// "Vardello: rendering at 44100 Hz in blocks of 512, block 37".
std::string describeActivity(const ActivityRecord& record);

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

// What kqfx is doing with which plug-in, for the message should the
// plug-in crash or hang: "Vardello: rendering at 44100 Hz in blocks of 512".
// Host thread; the text is copied.
void setActivity(const std::string& text);
// The block being processed (counted from 0), shown with the activity;
// -1 when not processing.
void setActivityBlock(int64_t block);

// The temporary file the handler deletes; the path is copied.
void registerTemporaryFile(const std::filesystem::path& path);
void unregisterTemporaryFile();

// Holds the stop signals back while alive, for steps that must not be cut
// in half (completing and renaming the output).
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
