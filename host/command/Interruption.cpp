#include "Interruption.h"

#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kqfx::command {
namespace {

constexpr std::array<int, 8> kStopSignals = {SIGINT,  SIGTERM, SIGHUP, SIGPIPE,
                                             SIGUSR1, SIGUSR2, SIGXFSZ, SIGALRM};
constexpr std::array<int, 7> kCrashSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL,
                                              SIGABRT, SIGSYS, SIGTRAP};
// How long a render may take to stop after the first stop signal.
constexpr unsigned kStopGraceSeconds = 1;

// What the handlers may touch: plain data, written only while the stop
// signals are held back.
volatile sig_atomic_t received = 0;
volatile sig_atomic_t guardActive = 0;
char temporaryPath[PATH_MAX + 1] = {};
volatile sig_atomic_t temporaryPathSet = 0;
char activity[512] = {};
volatile int64_t activityBlock = -1;
struct sigaction previousStop[kStopSignals.size()];
struct sigaction previousCrash[kCrashSignals.size()];
std::vector<char> alternateStack;

void say(const char* text) {
  const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

// Async-signal-safe decimal text.
void sayNumber(int64_t value) {
  char digits[24];
  int n = 0;
  uint64_t rest = value < 0 ? 0 : static_cast<uint64_t>(value);
  do {
    digits[n++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0 && n < 23);
  char text[24];
  for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  text[n] = '\0';
  say(text);
}

const char* crashName(int signal) {
  switch (signal) {
    case SIGSEGV: return "segmentation fault";
    case SIGBUS: return "bus error";
    case SIGFPE: return "arithmetic exception";
    case SIGILL: return "illegal instruction";
    case SIGABRT: return "aborted";
    case SIGSYS: return "bad system call";
    default: return "trap";
  }
}

// "kqfx: Vardello: rendering at 44100 Hz in blocks of 512, block 37: the
// plug-in crashed (segmentation fault); the output was not written"
void sayWhatWasGoingOn(const char* what, const char* detail) {
  say("kqfx: ");
  say(activity[0] != '\0' ? activity : "running the plug-in");
  if (activityBlock >= 0) {
    say(", block ");
    sayNumber(activityBlock);
  }
  say(": ");
  say(what);
  say(detail);
  if (temporaryPathSet) say("; the output was not written");
  say("\n");
}

extern "C" void onStopSignal(int signal) {
  if (temporaryPathSet) ::unlink(temporaryPath);
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
    if (temporaryPathSet) ::unlink(temporaryPath);
    endByReceivedSignal();
  }
  onStopSignal(signal);
}

extern "C" void onCrash(int signal) {
  if (temporaryPathSet) ::unlink(temporaryPath);
  char detail[48] = " (";
  std::strcat(detail, crashName(signal));
  std::strcat(detail, ")");
  sayWhatWasGoingOn("the plug-in crashed", detail);
  ::_exit(1);
}

extern "C" void onExit() {
  if (!guardActive) return;
  if (temporaryPathSet) ::unlink(temporaryPath);
  sayWhatWasGoingOn("the plug-in ended the process", " (it called exit)");
  ::_exit(1);
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
  static const bool exitHookInstalled = std::atexit(onExit) == 0;
  (void)exitHookInstalled;
  guardActive = 1;
  // Crashes may come from a blown stack: their handler gets its own.
  if (alternateStack.empty()) alternateStack.resize(1 << 16);
  stack_t stack{};
  stack.ss_sp = alternateStack.data();
  stack.ss_size = alternateStack.size();
  ::sigaltstack(&stack, nullptr);

  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    action.sa_handler = kStopSignals[i] == SIGALRM ? onAlarm : onStopSignal;
    ::sigaction(kStopSignals[i], &action, &previousStop[i]);
  }
  action.sa_handler = onCrash;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  for (std::size_t i = 0; i < kCrashSignals.size(); ++i) {
    ::sigaction(kCrashSignals[i], &action, &previousCrash[i]);
  }
}

InterruptionGuard::~InterruptionGuard() {
  unregisterTemporaryFile();
  setActivity("");
  guardActive = 0;
  ::alarm(0);
  for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
    ::sigaction(kStopSignals[i], &previousStop[i], nullptr);
  }
  for (std::size_t i = 0; i < kCrashSignals.size(); ++i) {
    ::sigaction(kCrashSignals[i], &previousCrash[i], nullptr);
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
  std::strncpy(activity, text.c_str(), sizeof activity - 1);
  activity[sizeof activity - 1] = '\0';
  activityBlock = -1;
}

void setActivityBlock(int64_t block) { activityBlock = block; }

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
  const sigset_t set = stopSignalSet();
  ::sigprocmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeldBack::~SignalsHeldBack() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace kqfx::command
