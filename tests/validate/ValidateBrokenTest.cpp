// Each deliberately broken plug-in is caught by the check made for its
// fault, with a message that says what was seen, and the validator itself
// survives crashes and hangs.
#include <gtest/gtest.h>

#include "CommandRunner.h"

namespace kqfx::test {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

std::string broken(const std::string& name) { return std::string(KQFX_BROKEN_DIR) + "/" + name + ".so"; }

// The report line of one check, without its newline, or "" when absent.
std::string lineOf(const CommandResult& result, const std::string& check) {
  std::size_t at = 0;
  while (at < result.out.size()) {
    const std::size_t end = result.out.find('\n', at);
    const std::string line = result.out.substr(at, end - at);
    if (line.size() > 6 && line.compare(6, check.size() + 1, check + " ") == 0) return line;
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return "";
}

TEST(ValidateBroken, AllocationInProcessIsCountedCallByCall) {
  const CommandResult result = runKqfx({"validate", broken("Allocates"), "--level", "1",
                                        "--check", "real-time", "--check", "audio"});
  EXPECT_EQ(result.status, 1);
  // 4410 calls of one frame and one more after a restart, each with one
  // new[] and one delete[].
  EXPECT_EQ(lineOf(result, "real-time"),
            "FAIL  real-time       4411 allocations and 4411 frees inside process calls (blocks "
            "of 1)")
      << result.out;
  // Its audio is fine: only the right check fails.
  EXPECT_EQ(lineOf(result, "audio").substr(0, 4), "PASS");
  EXPECT_NE(result.out.find("Allocates: 1 of 3 checks FAILED (real-time) (level 1, seed 1)\n"),
            std::string::npos)
      << result.out;
}

TEST(ValidateBroken, NanOutputIsCountedWithItsFirstTime) {
  const CommandResult result = runKqfx({"validate", broken("WritesNan"), "--level", "1",
                                        "--check", "audio", "--check", "automation",
                                        "--check", "real-time"});
  EXPECT_EQ(result.status, 1);
  // 2205 frames at 44100 Hz: NaN at frames 999 and 1999 of both channels.
  EXPECT_EQ(lineOf(result, "audio"),
            "FAIL  audio           at 44100 Hz in blocks of 1: 4 NaN samples, the first after "
            "0.0227 s")
      << result.out;
  // One second in blocks of 32: 44 NaN frames of two channels.
  EXPECT_EQ(lineOf(result, "automation"),
            "FAIL  automation      88 NaN samples under automation, the first after 0.0227 s")
      << result.out;
  EXPECT_EQ(lineOf(result, "real-time").substr(0, 4), kSanitized ? "PASS" : "PASS");
}

TEST(ValidateBroken, ParameterRaceIsCaughtByTheThreadCheck) {
  const CommandResult result =
      runKqfx({"validate", broken("Races"), "--level", "1", "--check", "threads"});
  EXPECT_EQ(result.status, 1);
#if defined(__SANITIZE_THREAD__)
  EXPECT_EQ(lineOf(result, "threads"),
            "FAIL  threads         ThreadSanitizer reported a data race (the report is on "
            "standard error)")
      << result.out << result.err;
  EXPECT_NE(result.err.find("WARNING: ThreadSanitizer: data race"), std::string::npos);
#else
  // Without ThreadSanitizer the race shows as it would to a user: process
  // reads the divisor while setParameter holds it at zero.
  const std::string line = lineOf(result, "threads");
  EXPECT_EQ(line.rfind("FAIL  threads         ", 0), 0u) << result.out;
  EXPECT_NE(line.find(" infinite samples while another thread wrote the parameters, the first "
                      "after "),
            std::string::npos)
      << line;
#endif
}

TEST(ValidateBroken, NoEntryFailsLoadingAndSkipsTheRest) {
  const CommandResult result = runKqfx({"validate", broken("NoEntry"), "--level", "1"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(lineOf(result, "loading"), "FAIL  loading         '" + broken("NoEntry") +
                                           "' is not a VST 2 plug-in: it has no entry function")
      << result.out;
  EXPECT_EQ(lineOf(result, "rate-block"),
            "SKIP  rate-block      not run: the plug-in did not load");
  EXPECT_NE(result.out.find("NoEntry: 1 of 13 checks FAILED (loading), 12 skipped (level 1, "
                            "seed 1)\n"),
            std::string::npos)
      << result.out;
}

TEST(ValidateBroken, SilenceThatCostsFortyTimesMoreFails) {
  // Silent blocks cost 400 us, loud ones 10 us: far beyond any noise of a
  // busy machine.
  const CommandResult result =
      runKqfx({"validate", broken("SlowSilence"), "--level", "1", "--check", "silence"});
  EXPECT_EQ(result.status, 1);
  const std::string line = lineOf(result, "silence");
  EXPECT_EQ(line.rfind("FAIL  silence         silence after a loud burst costs more than sound: ",
                       0),
            0u)
      << result.out;
  EXPECT_NE(line.find(", in each of 3 attempts"), std::string::npos) << line;
}

TEST(ValidateBroken, CrashIsThatChecksFailureAndTheOthersStillRun) {
  const CommandResult result = runKqfx({"validate", broken("Crashes"), "--level", "1",
                                        "--check", "audio", "--check", "metadata"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.signal, 0);
  const std::string line = lineOf(result, "audio");
  if (kSanitized) {
    // The sanitizer catches the fault first and ends the process its way.
    EXPECT_EQ(line.rfind("FAIL  audio           ", 0), 0u) << result.out;
  } else {
    EXPECT_EQ(line, "FAIL  audio           crashed: signal 11 (SIGSEGV, Segmentation fault)");
  }
  EXPECT_EQ(lineOf(result, "metadata").substr(0, 4), "PASS") << result.out;
}

TEST(ValidateBroken, HangIsStoppedAtTheTimeout) {
  const CommandResult result = runKqfx({"validate", broken("Hangs"), "--level", "1", "--check",
                                        "audio", "--timeout", "2"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(lineOf(result, "audio"),
            "FAIL  audio           no answer within 2 s: the plug-in hangs or is far too slow");
}

}  // namespace
}  // namespace kqfx::test
