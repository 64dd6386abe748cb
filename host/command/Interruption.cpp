#include "Interruption.h"

#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>

namespace kqfx::command {
namespace {

constexpr std::array<int, 8> kStopSignals = {SIGINT,  SIGTERM, SIGHUP, SIGPIPE,
                                             SIGUSR1, SIGUSR2, SIGXFSZ, SIGALRM};
// How long a render may take to stop after the first stop signal.
constexpr unsigned kStopGraceSeconds = 1;

// What the handlers may touch: plain data, written only while the stop
// signals are held back.
volatile sig_atomic_t received = 0;
ActivityRecord ownRecord{{}, -1, {}, 0, 0, 0};
ActivityRecord* record = &ownRecord;
struct sigaction previousStop[kStopSignals.size()];

extern "C" void onStopSignal(int signal) {
  if (record->temporaryPathSet) ::unlink(record->temporaryPath);
  if (received != 0) ::_exit(128 + received);
  received = signal;
  // A plug-in that never returns must not keep kqfx alive.
  ::alarm(kStopGraceSeconds);
}

// Ends the process by the stop signal received, as shells expect.
void endByReceivedSignal() {
  const int signal = received;
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

extern "C" void onAlarm(int signal) {
  if (received != 0) {
    if (record->temporaryPathSet) ::unlink(record->temporaryPath);
    endByReceivedSignal();
  }
  onStopSignal(signal);
}

sigset_t stopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kStopSignals) sigaddset(&set, signal);
  return set;
}

}  // namespace

InterruptionGuard::InterruptionGuard() {
  received = 0;
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    action.sa_handler = kStopSignals[i] == SIGALRM ? onAlarm : onStopSignal;
    ::sigaction(kStopSignals[i], &action, &previousStop[i]);
  }
}

InterruptionGuard::~InterruptionGuard() {
  unregisterTemporaryFile();
  setActivity("");
  ::alarm(0);
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    ::sigaction(kStopSignals[i], &previousStop[i], nullptr);
  }
}

int InterruptionGuard::receivedSignal() { return received; }

void InterruptionGuard::endBySignalReceived() {
  const int signal = received;
  if (signal == 0) return;
  ::signal(signal, SIG_DFL);
  const sigset_t set = stopSignalSet();
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

void setActivity(const std::string& text) {
  SignalsHeldBack held;
  std::strncpy(record->activity, text.c_str(), sizeof record->activity - 1);
  record->activity[sizeof record->activity - 1] = '\0';
  record->block = -1;
}

void setActivityBlock(int64_t block) { record->block = block; }

void useActivityRecord(ActivityRecord* shared) {
  SignalsHeldBack held;
  shared->block = -1;
  record = shared;
}

std::string describeActivity(const ActivityRecord& activity) {
  std::string text = activity.activity[0] != '\0'
                         ? std::string(activity.activity, strnlen(activity.activity, sizeof activity.activity))
                         : "running the plug-in";
  if (activity.block >= 0) text += ", block " + std::to_string(activity.block);
  return text;
}

void registerTemporaryFile(const std::filesystem::path& path) {
  SignalsHeldBack held;
  std::strncpy(record->temporaryPath, path.c_str(), PATH_MAX);
  record->temporaryPath[PATH_MAX] = '\0';
  record->temporaryPathSet = 1;
}

void unregisterTemporaryFile() {
  SignalsHeldBack held;
  record->temporaryPathSet = 0;
  record->temporaryPath[0] = '\0';
}

SignalsHeldBack::SignalsHeldBack() {
  const sigset_t set = stopSignalSet();
  ::sigprocmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeldBack::~SignalsHeldBack() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace kqfx::command
