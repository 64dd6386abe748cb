// The validator's pieces that decide: the timing verdict of the silence
// check (fed made-up timings), the summary line, the command line, and the
// scan of output samples.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CommandErrors.h"
#include "CommandLine.h"
#include "validate/SampleScan.h"
#include "validate/TimingVerdict.h"
#include "validate/ValidationReport.h"

namespace kqfx::command {
namespace {

using namespace validate;

TEST(TimingVerdict, JudgesEachWindowByItsMedianAgainstTheSoundBesideIt) {
  // Ten windows of ten blocks; sound costs 10 us throughout.
  std::vector<double> sound(100, 10e-6);
  std::vector<double> silence(100, 10e-6);
  EXPECT_TRUE(judgeTiming(sound, silence, 10).acceptable);

  // Single slow blocks (a preemption) in every window do not count.
  for (std::size_t i = 0; i < 100; i += 10) silence[i] = 5e-3;
  EXPECT_TRUE(judgeTiming(sound, silence, 10).acceptable);

  // A slowdown that sets in only in the last window does.
  for (std::size_t i = 90; i < 100; ++i) silence[i] = 20e-6;
  const TimingVerdict late = judgeTiming(sound, silence, 10);
  EXPECT_FALSE(late.acceptable);
  EXPECT_EQ(late.window, 9u);
  EXPECT_DOUBLE_EQ(late.silenceMedian, 20e-6);
  EXPECT_DOUBLE_EQ(late.soundMedian, 10e-6);
  EXPECT_EQ(late.describe(), "20.00 us per block in silence against 10.00 us in sound (2.00x, "
                             "window 10)");
}

TEST(TimingVerdict, ALoadedMachineSlowsBothSidesAlike) {
  // The machine gets busy for the second half: sound and silence double.
  std::vector<double> sound(100, 10e-6);
  std::vector<double> silence(100, 11e-6);
  for (std::size_t i = 50; i < 100; ++i) sound[i] = 20e-6, silence[i] = 22e-6;
  EXPECT_TRUE(judgeTiming(sound, silence, 10).acceptable);
}

TEST(TimingVerdict, BoundaryIsOneAndAHalfTimesPlusTheSlack) {
  const std::vector<double> sound(10, 10e-6);
  EXPECT_TRUE(judgeTiming(sound, std::vector<double>(10, 17e-6), 10).acceptable);   // 15 + 2
  EXPECT_FALSE(judgeTiming(sound, std::vector<double>(10, 17.1e-6), 10).acceptable);
  // Very cheap plug-ins: the slack absorbs the clock's jitter.
  EXPECT_TRUE(judgeTiming(std::vector<double>(10, 0.2e-6), std::vector<double>(10, 2.0e-6), 10)
                  .acceptable);
  EXPECT_EQ(medianOf({3.0, 1.0, 2.0}), 2.0);
  EXPECT_EQ(medianOf({}), 0.0);
}

TEST(SampleScan, CountsEachKindAndRemembersTheFirstFrame) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float tiny = std::numeric_limits<float>::denorm_min();
  const float block[] = {0.5f, -0.0f, tiny, nan, 1e30f, -inf, nan, -tiny};
  SampleCounts counts;
  counts.add(block, 8, 100);
  EXPECT_EQ(counts.notANumber, 2u);
  EXPECT_EQ(counts.infinite, 1u);
  EXPECT_EQ(counts.subnormal, 2u);
  EXPECT_EQ(counts.firstNonFinite, 103);
  EXPECT_EQ(counts.firstSubnormal, 102);
  EXPECT_EQ(counts.describeNonFinite(), "2 NaN, 1 infinite");
  EXPECT_FALSE(counts.allFinite());
  SampleCounts clean;
  clean.add(block, 2, 0);
  EXPECT_TRUE(clean.allFinite());
  EXPECT_EQ(clean.firstNonFinite, -1);
}

TEST(ValidationReport, SummaryNamesTheFailedChecksAndCountsTheSkipped) {
  ValidationReport report;
  report.plugin = "Tallisk";
  report.settings = {10, 42};
  report.results = {{"loading", CheckOutcome::passed("ok"), {}, {}, {}},
                    {"audio", CheckOutcome::failed("3 NaN"), {}, {}, {}},
                    {"real-time", CheckOutcome::skipped("not measured"), {}, {}, {}},
                    {"threads", CheckOutcome::failed("race"), {}, {}, {}}};
  EXPECT_EQ(summaryLine(report),
            "Tallisk: 2 of 4 checks FAILED (audio, threads), 1 skipped (level 10, seed 42)\n");
  EXPECT_FALSE(report.allPassed());
  EXPECT_EQ(checkLine(report.results[1]), "FAIL  audio           3 NaN\n");
  report.results[1].outcome = CheckOutcome::passed("fine");
  report.results[3].outcome = CheckOutcome::passed("fine");
  EXPECT_EQ(summaryLine(report),
            "Tallisk: 3 of 4 checks passed, 1 skipped (level 10, seed 42)\n");
  EXPECT_TRUE(report.allPassed());
  report.results.pop_back();
  report.results.pop_back();
  EXPECT_EQ(summaryLine(report), "Tallisk: all 2 checks passed (level 10, seed 42)\n");
}

TEST(ValidateCommandLine, OptionsAndTheirLimits) {
  const auto request = std::get<ValidateRequest>(parseCommandLine(
      {"validate", "-l", "10", "Vardello", "--seed=99", "--json", "-c", "threads",
       "--check", "audio", "--timeout", "12.5"}));
  EXPECT_EQ(request.plugin, "Vardello");
  EXPECT_EQ(request.level, 10);
  EXPECT_EQ(request.seed, 99u);
  EXPECT_TRUE(request.json);
  EXPECT_EQ(request.checks, (std::vector<std::string>{"threads", "audio"}));
  EXPECT_EQ(request.timeoutSeconds, 12.5);

  const auto defaults = std::get<ValidateRequest>(parseCommandLine({"validate", "Pellvo"}));
  EXPECT_EQ(defaults.level, 5);
  EXPECT_EQ(defaults.seed, 1u);
  EXPECT_FALSE(defaults.json);
  EXPECT_TRUE(defaults.checks.empty());

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"validate", "X", "--level", "0"},
        {"validate", "X", "--seed", "-1"},
        {"validate", "X", "--timeout", "0"},
        {"validate", "X", "Y"}}) {
    EXPECT_THROW(parseCommandLine(wrong), UsageError) << wrong[2];
  }
  EXPECT_EQ(std::get<HelpRequest>(parseCommandLine({"validate", "--help"})).topic, "validate");
}

}  // namespace
}  // namespace kqfx::command
