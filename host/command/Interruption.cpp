#include "Interruption.h"

#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>

namespace kqfx::command {
namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

// What the handler may touch: plain data, written only while the signals
// are held back.
volatile sig_atomic_t received = 0;
char temporaryPath[PATH_MAX + 1] = {};
volatile sig_atomic_t temporaryPathSet = 0;
struct sigaction previousActions[kSignals.size()];

extern "C" void onSignal(int signal) {
  if (temporaryPathSet) ::unlink(temporaryPath);
  if (received != 0) ::_exit(128 + signal);
  received = signal;
}

sigset_t signalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kSignals) sigaddset(&set, signal);
  return set;
}

}  // namespace

InterruptionGuard::InterruptionGuard() {
  received = 0;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], &action, &previousActions[i]);
  }
}

InterruptionGuard::~InterruptionGuard() {
  unregisterTemporaryFile();
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], &previousActions[i], nullptr);
  }
}

int InterruptionGuard::receivedSignal() { return received; }

void InterruptionGuard::endBySignalReceived() {
  const int signal = received;
  if (signal == 0) return;
  ::signal(signal, SIG_DFL);
  const sigset_t set = signalSet();
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

void registerTemporaryFile(const std::filesystem::path& path) {
  SignalsHeldBack held;
  std::strncpy(temporaryPath, path.c_str(), PATH_MAX);
  temporaryPath[PATH_MAX] = '\0';
  temporaryPathSet = 1;
}

void unregisterTemporaryFile() {
  SignalsHeldBack held;
  temporaryPathSet = 0;
  temporaryPath[0] = '\0';
}

SignalsHeldBack::SignalsHeldBack() {
  const sigset_t set = signalSet();
  ::sigprocmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeldBack::~SignalsHeldBack() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace kqfx::command
