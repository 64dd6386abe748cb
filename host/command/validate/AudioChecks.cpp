// Plain audio: noise at the usual rates and block sizes, in-place buffers,
// and renders split into other block sizes.
#include <cmath>
#include <cstring>
#include <limits>
#include <functional>
#include <memory>
#include <vector>

#include "CheckSupport.h"
#include "Checks.h"

namespace kqfx::command::validate {
namespace {

constexpr float kRates[] = {44100.0f, 48000.0f, 96000.0f};
constexpr int32_t kBlocks[] = {1, 17, 64, 128, 512, 1024, 4096};
constexpr int32_t kLargestBlock = 4096;

struct Recording {
  std::vector<float> left;
  std::vector<float> right;
  SampleCounts counts;
};

// The size of each next process call.
using BlockPlan = std::function<int32_t()>;

// A fresh instance with the given parameter values renders `frames` frames
// of the same noise.
// With `settleFrames`, the instance first runs that much of other noise in
// blocks of 64, unrecorded, so that what it does once when it starts
// (parameters gliding in from their defaults a call at a time) is over.
// With `moveBuffers`, every other call gets the rig's second set of buffers.
Recording record(const CheckContext& context, float rate, const std::vector<float>& parameters,
                 int64_t frames, const BlockPlan& nextBlock, bool inPlace,
                 int64_t settleFrames = 0, bool moveBuffers = false) {
  const std::unique_ptr<PluginRig> owned = openRig(context, rate, kLargestBlock);
  PluginRig& rig = *owned;
  for (std::size_t p = 0; p < parameters.size(); ++p) {
    rig.setParameter(static_cast<int32_t>(p), parameters[p]);
  }
  rig.resume();
  if (settleFrames > 0) {
    Noise settling(context.settings.seed + 1);
    SampleCounts ignored;
    int64_t settled = 0;
    renderNoise(rig, settling, settleFrames, 64, ignored, settled);
  }
  Noise noise(context.settings.seed);
  Recording recording;
  recording.left.reserve(static_cast<std::size_t>(frames));
  recording.right.reserve(static_cast<std::size_t>(frames));
  int64_t at = 0;
  for (int64_t call = 0; at < frames; ++call) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(nextBlock(), frames - at));
    rig.fillNoise(noise, n, 0.5f);
    rig.process(n, inPlace, moveBuffers && call % 2 == 1);
    rig.scan(recording.counts, n, at);
    recording.left.insert(recording.left.end(), rig.output(0), rig.output(0) + n);
    recording.right.insert(recording.right.end(), rig.output(1), rig.output(1) + n);
    at += n;
  }
  return recording;
}

// How far one recording is from another: where they first differ bit for
// bit, and the largest difference relative to the first one's peak.
struct Difference {
  int64_t firstFrame = -1;  // -1: identical
  double largest = 0.0;
  double peak = 0.0;

  bool identical() const { return firstFrame < 0; }
  double decibels() const {
    if (largest == 0.0) return -std::numeric_limits<double>::infinity();
    if (!std::isfinite(largest) || peak == 0.0) return std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(largest / peak);
  }
  // "by up to -131.2 dB relative to the signal's peak, from frame 1234"
  std::string describe() const {
    char text[64];
    const double db = decibels();
    if (std::isinf(db) && db > 0) {
      std::snprintf(text, sizeof text, "by up to %s", peak == 0.0 ? "a signal where there was silence" : "a non-finite value");
    } else {
      std::snprintf(text, sizeof text, "by up to %.1f dB", db);
    }
    return std::string(text) + " relative to the signal's peak, from frame " + std::to_string(firstFrame);
  }
};

Difference compare(const Recording& reference, const Recording& other) {
  const auto same = [](float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  Difference difference;
  for (const auto& [a, b] : {std::pair{&reference.left, &other.left},
                             std::pair{&reference.right, &other.right}}) {
    for (std::size_t i = 0; i < a->size(); ++i) {
      const double x = (*a)[i];
      const double y = (*b)[i];
      if (std::isfinite(x)) difference.peak = std::max(difference.peak, std::abs(x));
      if (same((*a)[i], (*b)[i])) continue;
      if (difference.firstFrame < 0 || static_cast<int64_t>(i) < difference.firstFrame) {
        difference.firstFrame = static_cast<int64_t>(i);
      }
      const double gap = std::abs(x - y);
      difference.largest = std::isnan(gap) ? std::numeric_limits<double>::infinity()
                                           : std::max(difference.largest, gap);
    }
  }
  return difference;
}

// Whether a difference is allowed at this level: none at the bit-exact
// level, else up to the tolerance.
bool acceptable(const Difference& difference, const CheckContext& context) {
  if (difference.identical()) return true;
  return context.settings.level < kBitExactLevel &&
         difference.decibels() <= kComparisonToleranceDb;
}

std::string toleranceText() {
  char text[16];
  std::snprintf(text, sizeof text, "%.0f", kComparisonToleranceDb);
  return text;
}

// What the verdict was measured against.
std::string toleranceNote(const CheckContext& context) {
  return context.settings.level >= kBitExactLevel
             ? " (level " + std::to_string(kBitExactLevel) + " asks for identical output)"
             : std::string(" (tolerance ") + toleranceText() + " dB)";
}

std::vector<float> randomParameters(const CheckContext& context, std::mt19937_64& random) {
  const std::unique_ptr<PluginRig> probe = openRig(context, 44100.0f, 64);
  std::vector<float> values(static_cast<std::size_t>(checkedParameterCount(*probe)));
  for (float& value : values) value = randomUnit(random);
  return values;
}

BlockPlan fixed(int32_t block) {
  return [block] { return block; };
}

std::string where(float rate, int32_t block) {
  return "at " + std::to_string(static_cast<int>(rate)) + " Hz in blocks of " +
         std::to_string(block);
}

}  // namespace

CheckOutcome checkAudio(const CheckContext& context) {
  std::mt19937_64 random = context.random();
  int64_t total = 0;
  for (float rate : kRates) {
    for (int32_t block : kBlocks) {
      const std::vector<float> parameters = randomParameters(context, random);
      const int64_t frames =
          std::max<int64_t>(4 * block, static_cast<int64_t>(rate * 0.05f) * context.settings.level);
      const Recording recording = record(context, rate, parameters, frames, fixed(block), false);
      const SampleCounts& counts = recording.counts;
      if (!counts.allFinite()) {
        return CheckOutcome::failed(where(rate, block) + ": " + counts.describeNonFinite() +
                                    " samples, the first after " +
                                    secondsText(counts.firstNonFinite, rate));
      }
      if (counts.subnormal) {
        return CheckOutcome::failed(where(rate, block) + ": " + std::to_string(counts.subnormal) +
                                    " subnormal samples, the first after " +
                                    secondsText(counts.firstSubnormal, rate));
      }
      total += frames;
    }
  }
  return CheckOutcome::passed("noise at 44100, 48000 and 96000 Hz in blocks of 1 to 4096 frames (" +
                              std::to_string(total) +
                              " frames): no NaN, infinity or subnormal out");
}

CheckOutcome checkInPlace(const CheckContext& context) {
  {
    const std::unique_ptr<PluginRig> probe = openRig(context, 44100.0f, 64);
    if (!probe->canProcessInPlace()) {
      return CheckOutcome::skipped(context.format() == PluginFormat::vst2
                                       ? "the plug-in has no processReplacing, which alone may work in place"
                                       : "the plug-in declares that it cannot work in place (lv2:inPlaceBroken)");
    }
  }
  std::mt19937_64 random = context.random();
  double largest = -std::numeric_limits<double>::infinity();
  bool inexact = false;
  for (float rate : kRates) {
    const std::vector<float> parameters = randomParameters(context, random);
    const int64_t frames = static_cast<int64_t>(rate * 0.1f) * context.settings.level;
    const Recording apart = record(context, rate, parameters, frames, fixed(512), false);
    const Recording inPlace = record(context, rate, parameters, frames, fixed(512), true);
    if (!inPlace.counts.allFinite()) {
      return CheckOutcome::failed(where(rate, 512) + " in place: " +
                                  inPlace.counts.describeNonFinite() + " samples");
    }
    const Difference difference = compare(apart, inPlace);
    if (!difference.identical()) {
      const Recording again = record(context, rate, parameters, frames, fixed(512), false);
      const Difference repeat = compare(apart, again);
      if (!repeat.identical()) {
        return CheckOutcome::skipped("in-place output finite; not compared, as two identical "
                                     "renders differ " + repeat.describe());
      }
      if (!acceptable(difference, context)) {
        // Judged only when a second render in place comes out the same: a
        // plug-in whose renders differ now and then is not failed on one.
        const Recording inPlaceAgain = record(context, rate, parameters, frames, fixed(512), true);
        const Difference between = compare(inPlace, inPlaceAgain);
        if (!between.identical()) {
          return CheckOutcome::skipped("in-place output finite; not compared, as two renders in "
                                       "place differ " + between.describe());
        }
        return CheckOutcome::failed(where(rate, 512) + ": in-place output differs from separate " +
                                    "buffers " + difference.describe() + ", " +
                                    secondsText(difference.firstFrame, rate) + " in" +
                                    toleranceNote(context));
      }
      largest = std::max(largest, difference.decibels());
      inexact = true;
    }
  }
  if (inexact) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dB", largest);
    return CheckOutcome::passed("in-place output within the tolerance of separate-buffer output "
                                "at 44100, 48000 and 96000 Hz: differs by up to " +
                                std::string(text) + " relative to the signal's peak");
  }
  return CheckOutcome::passed("in-place output equals separate-buffer output at 44100, 48000 and "
                              "96000 Hz");
}

CheckOutcome checkBlockSplit(const CheckContext& context) {
  std::mt19937_64 random = context.random();
  constexpr float kRate = 44100.0f;
  const std::vector<float> parameters = randomParameters(context, random);
  const int64_t frames = static_cast<int64_t>(kRate * 0.2f) * context.settings.level;
  // Hosts set parameters and play: how a plug-in glides into its settings
  // in its first moments is its own affair. What is compared is the
  // render after half a second, run alike in every instance.
  const int64_t settle = static_cast<int64_t>(kRate / 2);
  const Recording reference = record(context, kRate, parameters, frames, fixed(64), false, settle);
  const Recording again = record(context, kRate, parameters, frames, fixed(64), false, settle);
  const Difference repeat = compare(reference, again);
  if (!repeat.identical()) {
    const std::string seen = "not deterministic: two identical renders in blocks of 64 differ " +
                             repeat.describe() + ", so block splitting cannot be compared";
    return context.settings.level >= kBitExactLevel ? CheckOutcome::failed(seen)
                                                    : CheckOutcome::skipped(seen);
  }
  std::mt19937_64 sizes(random());
  struct Split {
    std::string name;
    BlockPlan plan;
  };
  const std::vector<Split> splits = {
      {"blocks of 1", fixed(1)},
      {"blocks of 17", fixed(17)},
      {"blocks of 4096", fixed(4096)},
      {"random blocks of 1 to 4096",
       [&sizes] { return std::uniform_int_distribution<int32_t>(1, kLargestBlock)(sizes); }},
  };
  // Every split is measured, so that a failure shows whether one block
  // size alone is off or all of them are.
  double largest = -std::numeric_limits<double>::infinity();
  std::string failures;
  std::string figures;
  for (const Split& split : splits) {
    const Recording recording =
        record(context, kRate, parameters, frames, split.plan, false, settle);
    const Difference difference = compare(reference, recording);
    figures += (figures.empty() ? "" : "; ") + split.name + ": ";
    if (difference.identical()) {
      figures += "identical";
      continue;
    }
    figures += difference.describe();
    largest = std::max(largest, difference.decibels());
    if (!acceptable(difference, context) && failures.empty()) {
      freezeCallTrail();
      failures = "output in " + split.name + " differs from blocks of 64 " +
                 difference.describe() + " (" + secondsText(difference.firstFrame, kRate) +
                 " in)" + toleranceNote(context);
    }
  }
  if (!failures.empty()) return CheckOutcome::failed(failures + "; against blocks of 64, " + figures);
  const std::string rendered = secondsText(frames, kRate) +
                               " rendered (after 0.5 s to settle) in blocks of 1, 17, 64, 4096 "
                               "and random sizes: ";
  if (std::isinf(largest)) return CheckOutcome::passed(rendered + "identical");
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dB", largest);
  return CheckOutcome::passed(rendered + "within the tolerance, differing by up to " + text +
                              " relative to the signal's peak");
}

CheckOutcome checkConnections(const CheckContext& context) {
  std::mt19937_64 random = context.random();
  constexpr float kRate = 44100.0f;
  const std::vector<float> parameters = randomParameters(context, random);
  const int64_t frames = static_cast<int64_t>(kRate * 0.2f) * context.settings.level;
  const std::string what = secondsText(frames, kRate) +
                           " in runs of 256 frames, every other run with the audio ports and "
                           "control inputs connected to other buffers (holding the same): ";
  // Whether the plug-in renders alike twice at all, first, so that the
  // call trail of a failure ends with the render that failed.
  const Recording reference = record(context, kRate, parameters, frames, fixed(256), false);
  const Recording again = record(context, kRate, parameters, frames, fixed(256), false);
  const Difference repeat = compare(reference, again);
  const Recording moved = record(context, kRate, parameters, frames, fixed(256), false, 0, true);
  if (!moved.counts.allFinite()) {
    return CheckOutcome::failed("with the ports connected to other buffers between runs: " +
                                moved.counts.describeNonFinite() + " samples");
  }
  const Difference difference = compare(reference, moved);
  if (difference.identical()) return CheckOutcome::passed(what + "output identical");
  if (!repeat.identical()) {
    return CheckOutcome::skipped(what + "output finite; not compared, as two identical renders "
                                 "differ " + repeat.describe());
  }
  if (!acceptable(difference, context)) {
    // A plug-in whose renders differ only now and then is not judged on
    // one of them: a second render with the ports moved must come out the
    // same as the first.
    const Recording movedAgain =
        record(context, kRate, parameters, frames, fixed(256), false, 0, true);
    const Difference between = compare(moved, movedAgain);
    if (!between.identical()) {
      return CheckOutcome::skipped(what + "output finite; not compared, as two renders with the "
                                   "ports moved differ " + between.describe());
    }
    return CheckOutcome::failed(what + "output differs " + difference.describe() + ", " +
                                secondsText(difference.firstFrame, kRate) + " in" +
                                toleranceNote(context));
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dB", difference.decibels());
  return CheckOutcome::passed(what + "output within the tolerance, differing by up to " +
                              std::string(text) + " relative to the signal's peak");
}

}  // namespace kqfx::command::validate
