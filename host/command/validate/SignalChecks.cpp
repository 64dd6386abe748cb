// Hard signals: NaN, infinity and huge values in the input, and the long
// silence after a loud burst.
#include <chrono>
#include <limits>
#include <memory>

#include "CheckSupport.h"
#include "Checks.h"
#include "TimingVerdict.h"

namespace kqfx::command::validate {
namespace {

constexpr float kRate = 44100.0f;
constexpr int32_t kBlock = 256;
// The longest tail the plug-in may declare that the bad-audio check waits for.
constexpr int64_t kMaxTailWait = static_cast<int64_t>(kRate) * 60;

struct BadValue {
  const char* name;
  float value;
};

// Frames the plug-in says it keeps ringing after its input ends, within reason.
int64_t declaredTail(PluginRig& rig) { return std::min<int64_t>(rig.declaredTail(), kMaxTailWait); }

double processTimed(PluginRig& rig, int32_t frames) {
  const auto start = std::chrono::steady_clock::now();
  rig.process(frames);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

CheckOutcome checkBadAudio(const CheckContext& context) {
  const BadValue kinds[] = {{"NaN", std::numeric_limits<float>::quiet_NaN()},
                            {"infinity", std::numeric_limits<float>::infinity()},
                            {"-infinity", -std::numeric_limits<float>::infinity()},
                            {"1e30", 1e30f}};
  std::mt19937_64 random = context.random();
  int64_t longestWait = 0;
  for (const BadValue& kind : kinds) {
    for (int round = 0; round < std::max(1, context.settings.level / 3); ++round) {
      const std::unique_ptr<PluginRig> owned = openRig(context, kRate, kBlock);
      PluginRig& rig = *owned;
      randomizeParameters(rig, random);
      rig.resume();
      Noise noise(random());
      SampleCounts ignored;
      int64_t at = 0;
      renderNoise(rig, noise, static_cast<int64_t>(kRate * 0.25f), kBlock, ignored, at);
      // The burst: every other sample bad, then a whole block of it.
      for (int block = 0; block < 2; ++block) {
        rig.fillNoise(noise, kBlock, 0.5f);
        for (int c = 0; c < 2; ++c) {
          for (int32_t i = block; i < kBlock; i += 2 - block) rig.input(c)[i] = kind.value;
        }
        rig.process(kBlock);
        at += kBlock;
      }
      const int64_t wait = static_cast<int64_t>(kRate) + declaredTail(rig);
      longestWait = std::max(longestWait, wait);
      renderNoise(rig, noise, wait, kBlock, ignored, at);
      SampleCounts counts;
      int64_t after = 0;
      renderNoise(rig, noise, static_cast<int64_t>(kRate * 0.5f), kBlock, counts, after);
      if (!counts.allFinite()) {
        return CheckOutcome::failed("after a burst of " + std::string(kind.name) + " in the input, " +
                                    counts.describeNonFinite() + " samples still come out " +
                                    secondsText(wait + counts.firstNonFinite, kRate) + " later");
      }
    }
  }
  return CheckOutcome::passed("bursts of NaN, infinities and 1e30 in the input: no crash; output "
                              "finite again within " +
                              secondsText(longestWait, kRate));
}

CheckOutcome checkSilence(const CheckContext& context) {
  constexpr int32_t kTimedBlock = 512;
  const int32_t burstBlocks = static_cast<int32_t>(kRate) / kTimedBlock;  // one second
  const int32_t silenceBlocks = burstBlocks * 10;
  constexpr int kAttempts = 3;
  TimingVerdict verdict;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::mt19937_64 random = context.random();
    const std::unique_ptr<PluginRig> soundRig = openRig(context, kRate, kTimedBlock);
    const std::unique_ptr<PluginRig> silenceRig = openRig(context, kRate, kTimedBlock);
    PluginRig& sound = *soundRig;
    PluginRig& silence = *silenceRig;
    for (int32_t p = 0; p < checkedParameterCount(sound); ++p) {
      const float value = randomUnit(random);
      sound.setParameter(p, value);
      silence.setParameter(p, value);
    }
    sound.resume();
    silence.resume();
    Noise soundNoise(context.settings.seed);
    Noise burstNoise(context.settings.seed + 1);
    for (int32_t b = 0; b < burstBlocks; ++b) {
      sound.fillNoise(soundNoise, kTimedBlock, 1.0f);
      sound.process(kTimedBlock);
      silence.fillNoise(burstNoise, kTimedBlock, 1.0f);
      silence.process(kTimedBlock);
    }
    std::vector<double> soundTimes;
    std::vector<double> silenceTimes;
    SampleCounts counts;
    int64_t at = 0;
    silence.fillValue(0.0f, kTimedBlock);
    for (int32_t b = 0; b < silenceBlocks; ++b) {
      sound.fillNoise(soundNoise, kTimedBlock, 1.0f);
      soundTimes.push_back(processTimed(sound, kTimedBlock));
      silenceTimes.push_back(processTimed(silence, kTimedBlock));
      silence.scan(counts, kTimedBlock, at);
      at += kTimedBlock;
    }
    if (counts.subnormal) {
      return CheckOutcome::failed(std::to_string(counts.subnormal) +
                                  " subnormal samples in the silence after a burst, the first " +
                                  secondsText(counts.firstSubnormal, kRate) + " into it");
    }
    if (!counts.allFinite()) {
      return CheckOutcome::failed(counts.describeNonFinite() + " samples in the silence after a burst");
    }
    verdict = judgeTiming(soundTimes, silenceTimes, static_cast<std::size_t>(burstBlocks));
    if (verdict.acceptable) {
      return CheckOutcome::passed("10 s of silence after a loud burst: no subnormal out; " +
                                  verdict.describe());
    }
  }
  return CheckOutcome::failed("silence after a loud burst costs more than sound: " +
                              verdict.describe() + ", in each of " + std::to_string(kAttempts) +
                              " attempts");
}

}  // namespace kqfx::command::validate
