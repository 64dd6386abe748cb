// Each deliberately broken plug-in is caught by the check made for its
// fault, with a message that says what was seen, and the validator itself
// survives crashes and hangs.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

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

// What follows a line: its indented lines, up to the next check's line.
std::string detailsOf(const CommandResult& result, const std::string& check) {
  const std::string line = lineOf(result, check);
  const std::size_t start = result.out.find(line + "\n");
  if (line.empty() || start == std::string::npos) return "";
  std::size_t end = start + line.size() + 1;
  while (end < result.out.size() && result.out.compare(end, 6, "      ") == 0) {
    end = result.out.find('\n', end) + 1;
  }
  return result.out.substr(start + line.size() + 1, end - start - line.size() - 1);
}

TEST(ValidateBroken, FailureSaysWhatLedToItAndItsReplayGivesTheSameFailure) {
  const CommandResult result =
      runKqfx({"validate", broken("WritesNan"), "--level", "1", "--seed", "3", "--check", "audio"});
  EXPECT_EQ(result.status, 1);
  const std::string details = detailsOf(result, "audio");
  // The render that failed: a fresh instance at 44100 Hz with its two
  // random parameters, resumed, then 2205 calls of one frame.
  EXPECT_EQ(details.rfind("      leading to it: sample rate 44100 Hz, block size 4096, 2205 process "
                          "calls since resume; last calls, oldest first: ", 0),
            0u)
      << result.out;
  EXPECT_NE(details.find(", resume, processReplacing 1 frames x2205, suspend, close\n"),
            std::string::npos)
      << details;
  const std::string replayMark = "      replay: kqfx ";
  const std::size_t replayAt = details.find(replayMark);
  ASSERT_NE(replayAt, std::string::npos) << details;
  const std::string replay = details.substr(replayAt + replayMark.size(),
                                            details.find('\n', replayAt) - replayAt - replayMark.size());
  EXPECT_EQ(replay, "validate " + broken("WritesNan") + " --check audio --seed 3 --level 1");
  std::vector<std::string> arguments;
  std::istringstream words(replay);
  for (std::string word; words >> word;) arguments.push_back(word);
  const CommandResult again = runKqfx(arguments);
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(lineOf(again, "audio"), lineOf(result, "audio"));
  EXPECT_EQ(detailsOf(again, "audio"), details);
}

TEST(ValidateBroken, BlockSplitReportsItsFigureAgainstTheToleranceOfTheLevel) {
  // A step of 1e-3 at the start of every call, on noise peaking at 0.5.
  const CommandResult loud = runKqfx(
      {"validate", broken("BlockEdges"), "--level", "5", "--check", "block-split"});
  EXPECT_EQ(loud.status, 1);
  EXPECT_EQ(lineOf(loud, "block-split").rfind(
                "FAIL  block-split     output in blocks of 1 differs from blocks of 64 by up to "
                "-54.0 dB relative to the signal's peak, from frame 1 (2.27e-05 s in) (tolerance "
                "-70 dB); against blocks of 64, blocks of 1: ",
                0),
            0u)
      << loud.out;
  // A step of 1e-5 is within the tolerance below level 10, not at it.
  const std::map<std::string, std::string> quiet = {{"BROKEN_EDGE", "1e-5"}};
  const CommandResult tolerated = runKqfx(
      {"validate", broken("BlockEdges"), "--level", "5", "--check", "block-split"}, quiet);
  EXPECT_EQ(tolerated.status, 0);
  EXPECT_EQ(lineOf(tolerated, "block-split"),
            "PASS  block-split     1 s rendered (after 0.5 s to settle) in blocks of 1, 17, 64, 4096 "
            "and random sizes: "
            "within the tolerance, differing by up to -94.0 dB relative to the signal's peak")
      << tolerated.out;
  const CommandResult strict = runKqfx(
      {"validate", broken("BlockEdges"), "--level", "10", "--check", "block-split"}, quiet);
  EXPECT_EQ(strict.status, 1);
  EXPECT_NE(lineOf(strict, "block-split").find(" by up to -94.0 dB relative to the signal's peak, "
                                               "from frame 1 (2.27e-05 s in) (level 10 asks for "
                                               "identical output); "),
            std::string::npos)
      << strict.out;
}

TEST(ValidateBroken, EditorAndRatesNoHostUsesOnlyWhenAskedFor) {
  // Without --gui no editor opcode is sent, and the rates run are 8 to
  // 384 kHz: both plug-ins pass everything.
  for (const char* name : {"EditorCrashes", "OddRatesCrash"}) {
    const CommandResult result = runKqfx({"validate", broken(name), "--level", "5"});
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find(std::string(name) + ": all 13 checks passed (level 5, seed 1)\n"),
              std::string::npos)
        << result.out;
  }
  // Asked for without a display, the editor is still left alone.
  const CommandResult noDisplay =
      runKqfx({"validate", broken("EditorCrashes"), "--level", "1", "--gui", "--check",
               "lifecycle", "--check", "editor"},
              {{"DISPLAY", ""}});
  EXPECT_EQ(noDisplay.status, 0);
  EXPECT_NE(lineOf(noDisplay, "lifecycle").find("(the editor's left alone without a display)"),
            std::string::npos)
      << noDisplay.out;
  EXPECT_EQ(lineOf(noDisplay, "editor"),
            "SKIP  editor          no display (DISPLAY is not set): the editor is left alone");
  const CommandResult extreme = runKqfx({"validate", broken("OddRatesCrash"), "--level", "1",
                                         "--check", "rate-block", "--extreme-rates"});
  EXPECT_EQ(extreme.status, 1);
  EXPECT_EQ(lineOf(extreme, "rate-block"),
            "FAIL  rate-block      crashed: signal 6 (SIGABRT, Aborted)")
      << extreme.out;
  EXPECT_NE(extreme.out.find("      leading to it: sample rate 1 Hz, "), std::string::npos)
      << extreme.out;
}

TEST(ValidateBroken, LevelsAddChecksAndListChecksSaysWhich) {
  const CommandResult list = runKqfx({"validate", "--list-checks", "--level", "2"});
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out.rfind("checks at level 2 (the level each starts at):\n"
                           "   1  loading         ",
                           0),
            0u)
      << list.out;
  const std::string stricter = list.out.substr(list.out.find("stricter from a level on:\n"));
  EXPECT_NE(stricter.find("\n   7  parameter-fuzz  values far outside 0..1 (-1, 2, 100, 1e30, the "
                          "float limits), NaN and infinities (not at this level)\n"),
            std::string::npos)
      << list.out;
  const std::string notRun = list.out.substr(list.out.find("not run at this level:\n"));
  EXPECT_NE(notRun.find("\n   3  automation      "), std::string::npos) << list.out;
  EXPECT_EQ(notRun.find(" block-split "), std::string::npos) << list.out;

  const CommandResult levelTwo = runKqfx({"validate", "Pellvo", "--level", "2"});
  EXPECT_NE(levelTwo.out.find("Pellvo: all 6 checks passed (level 2, seed 1)\n"),
            std::string::npos)
      << levelTwo.out;
  EXPECT_EQ(lineOf(levelTwo, "automation"), "");
}

TEST(ValidateBroken, ParameterRaceIsCaughtByTheThreadCheck) {
  const CommandResult result =
      runKqfx({"validate", broken("Races"), "--level", "1", "--check", "threads"});
  EXPECT_EQ(result.status, 1);
#if defined(__SANITIZE_THREAD__)
  EXPECT_EQ(lineOf(result, "threads"),
            "FAIL  threads         ThreadSanitizer reported a data race (its report is below)")
      << result.out << result.err;
  // The report is shown with the check, not on kqfx's standard error.
  EXPECT_NE(result.out.find("      | WARNING: ThreadSanitizer: data race"), std::string::npos);
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
  EXPECT_EQ(lineOf(result, "audio"), "SKIP  audio           not run: the plug-in did not load");
  EXPECT_NE(result.out.find("NoEntry: 1 of 4 checks FAILED (loading), 3 skipped (level 1, "
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
  // What it printed is shown with the check, after the calls that led to
  // the crash: 1001 frames went well, the 1002nd call crashed.
  const std::string details = detailsOf(result, "audio");
  EXPECT_NE(details.find(", resume, processReplacing 1 frames x1002\n"), std::string::npos)
      << details;
  EXPECT_NE(details.find("      the plug-in printed:\n"
                         "      | Crashes: about to write through a null pointer\n"),
            std::string::npos)
      << details;
  EXPECT_EQ(result.err.find("Crashes: about to"), std::string::npos) << result.err;
  EXPECT_EQ(lineOf(result, "metadata").substr(0, 4), "PASS") << result.out;
}

// The processes kqfx has started, from the kernel's list of its children.
std::vector<pid_t> childrenOf(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
  std::vector<pid_t> children;
  for (pid_t child; file >> child;) children.push_back(child);
  return children;
}

// Gone, or a zombie waiting for whoever adopted it.
bool ended(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t close = stat.rfind(')');
  return stat.empty() || close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0;
}

TEST(ValidateBroken, TerminatingValidateEndsItsCheckProcess) {
  RunningCommand command({"validate", broken("Hangs"), "--level", "1", "--check", "audio",
                          "--timeout", "60"});
  std::vector<pid_t> checks;
  for (int i = 0; i < 500 && checks.empty(); ++i) {
    checks = childrenOf(command.pid());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(checks.size(), 1u);
  command.sendSignal(SIGTERM);
  const CommandResult result = command.collect();
  EXPECT_EQ(result.signal, SIGTERM);
  bool gone = false;
  for (int i = 0; i < 200 && !gone; ++i) {
    gone = ended(checks[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone) << "the check's process " << checks[0] << " is still running";
}

TEST(ValidateBroken, HangIsStoppedAtTheTimeout) {
  // The plug-in closes every descriptor it inherited before it blocks: the
  // end of file on the answer pipe must not make kqfx wait for ever.
  const CommandResult result = runKqfx({"validate", broken("Hangs"), "--level", "1", "--check",
                                        "audio", "--timeout", "2"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(lineOf(result, "audio"),
            "FAIL  audio           no answer within 2 s: the plug-in hangs or is far too slow");
}

}  // namespace
}  // namespace kqfx::test
