// Plain audio: noise at the usual rates and block sizes, in-place buffers,
// and renders split into other block sizes.
#include <cstring>
#include <functional>
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
Recording record(const CheckContext& context, float rate, const std::vector<float>& parameters,
                 int64_t frames, const BlockPlan& nextBlock, bool inPlace) {
  PluginRig rig(context.library, rate, kLargestBlock);
  for (std::size_t p = 0; p < parameters.size(); ++p) {
    rig.plugin().setParameter(static_cast<int32_t>(p), parameters[p]);
  }
  rig.resume();
  Noise noise(context.settings.seed);
  Recording recording;
  recording.left.reserve(static_cast<std::size_t>(frames));
  recording.right.reserve(static_cast<std::size_t>(frames));
  int64_t at = 0;
  while (at < frames) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(nextBlock(), frames - at));
    rig.fillNoise(noise, n, 0.5f);
    rig.process(n, inPlace);
    rig.scan(recording.counts, n, at);
    recording.left.insert(recording.left.end(), rig.output(0), rig.output(0) + n);
    recording.right.insert(recording.right.end(), rig.output(1), rig.output(1) + n);
    at += n;
  }
  return recording;
}

// The first frame at which two recordings differ bit for bit, or -1.
int64_t firstDifference(const Recording& a, const Recording& b) {
  const auto same = [](float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  for (std::size_t i = 0; i < a.left.size(); ++i) {
    if (!same(a.left[i], b.left[i]) || !same(a.right[i], b.right[i])) {
      return static_cast<int64_t>(i);
    }
  }
  return -1;
}

std::vector<float> randomParameters(const CheckContext& context, std::mt19937_64& random) {
  PluginRig probe(context.library, 44100.0f, 64);
  std::vector<float> values(static_cast<std::size_t>(checkedParameterCount(probe)));
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
    PluginRig probe(context.library, 44100.0f, 64);
    if (!probe.canReplace()) {
      return CheckOutcome::skipped("the plug-in has no processReplacing, which alone may work in place");
    }
  }
  std::mt19937_64 random = context.random();
  for (float rate : kRates) {
    const std::vector<float> parameters = randomParameters(context, random);
    const int64_t frames = static_cast<int64_t>(rate * 0.1f) * context.settings.level;
    const Recording apart = record(context, rate, parameters, frames, fixed(512), false);
    const Recording inPlace = record(context, rate, parameters, frames, fixed(512), true);
    if (!inPlace.counts.allFinite()) {
      return CheckOutcome::failed(where(rate, 512) + " in place: " +
                                  inPlace.counts.describeNonFinite() + " samples");
    }
    const int64_t differs = firstDifference(apart, inPlace);
    if (differs >= 0) {
      const Recording again = record(context, rate, parameters, frames, fixed(512), false);
      if (firstDifference(apart, again) >= 0) {
        return CheckOutcome::passed(
            "in-place output finite; not compared, as two identical renders differ");
      }
      return CheckOutcome::failed(where(rate, 512) + ": in-place output differs from separate " +
                                  "buffers after " + secondsText(differs, rate));
    }
  }
  return CheckOutcome::passed("in-place output equals separate-buffer output at 44100, 48000 and "
                              "96000 Hz");
}

CheckOutcome checkBlockSplit(const CheckContext& context) {
  std::mt19937_64 random = context.random();
  constexpr float kRate = 44100.0f;
  const std::vector<float> parameters = randomParameters(context, random);
  const int64_t frames = static_cast<int64_t>(kRate * 0.2f) * context.settings.level;
  const Recording reference = record(context, kRate, parameters, frames, fixed(64), false);
  const Recording again = record(context, kRate, parameters, frames, fixed(64), false);
  const int64_t repeatDiffers = firstDifference(reference, again);
  if (repeatDiffers >= 0) {
    return CheckOutcome::failed("not deterministic: two identical renders in blocks of 64 differ "
                                "after " + secondsText(repeatDiffers, kRate) +
                                ", so block splitting cannot be compared");
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
  for (const Split& split : splits) {
    const Recording recording = record(context, kRate, parameters, frames, split.plan, false);
    const int64_t differs = firstDifference(reference, recording);
    if (differs >= 0) {
      return CheckOutcome::failed("output in " + split.name + " differs from blocks of 64 after " +
                                  secondsText(differs, kRate) + " (frame " +
                                  std::to_string(differs) + ")");
    }
  }
  return CheckOutcome::passed(secondsText(frames, kRate) +
                              " rendered in blocks of 1, 17, 64, 4096 and random sizes: identical");
}

}  // namespace kqfx::command::validate
