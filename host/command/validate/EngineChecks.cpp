// What a host's audio engine relies on: no allocation in a process call,
// and sample rate and block size changes between suspend and resume.
#include <memory>
#include <vector>

#include "CheckSupport.h"
#include "Checks.h"

namespace kqfx::command::validate {

CheckOutcome checkRealTime(const CheckContext& context) {
  const char* why = nullptr;
  if (!allocationsCountable(&why)) {
    return CheckOutcome::skipped(std::string("not measured: ") + why);
  }
  std::mt19937_64 random = context.random();
  int64_t calls = 0;
  for (int32_t block : {1, 64, 512, 4096}) {
    for (bool inPlace : {false, true}) {
      const std::unique_ptr<PluginRig> owned = openRig(context, 44100.0f, block);
      PluginRig& rig = *owned;
      randomizeParameters(rig, random);
      int32_t next = 0;
      rig.resume();
      Noise noise(random());
      SampleCounts ignored;
      int64_t at = 0;
      const int64_t frames = std::max<int64_t>(8 * block, 4410 * context.settings.level);
      for (int64_t done = 0; done < frames; done += block) {
        // Automation between the calls, as hosts do: a few parameters
        // at a time, in turn.
        if ((done / block) % 4 == 0) moveSomeParameters(rig, random, next);
        renderNoise(rig, noise, block, block, ignored, at, inPlace && rig.canProcessInPlace());
        ++calls;
      }
      // A restart, and the first calls after it.
      rig.suspend();
      rig.resume();
      renderNoise(rig, noise, block, block, ignored, at, inPlace && rig.canProcessInPlace());
      ++calls;
      const AllocationCounts& seen = rig.allocations();
      if (seen.any()) {
        return CheckOutcome::failed(std::to_string(seen.allocations) + " allocations and " +
                                    std::to_string(seen.frees) +
                                    " frees inside process calls (blocks of " +
                                    std::to_string(block) + (inPlace ? ", in place)" : ")"));
      }
    }
  }
  return CheckOutcome::passed("no allocation or free in " + std::to_string(calls) +
                              " process calls of 1 to 4096 frames");
}

CheckOutcome checkRateAndBlockChanges(const CheckContext& context) {
  // The rates hosts use, 8 to 384 kHz, in an order that jumps far; with
  // --extreme-rates also 1 Hz and 768 kHz (refused rates leave the
  // previous rate in force). Blocks from 1 to 8192 frames.
  std::vector<float> rates = {44100.0f, 8000.0f, 22050.0f, 48000.0f, 88200.0f, 96000.0f,
                              192000.0f, 384000.0f, 11025.0f, 16000.0f, 384000.0f, 8000.0f};
  if (context.settings.extremeRates) {
    rates.insert(rates.end(), {1.0f, 768000.0f, 11025.0f, 1.0f, 768000.0f});
  }
  const int32_t blocks[] = {512, 1, 7, 64, 4096, 8192, 100, 2};
  std::mt19937_64 random = context.random();
  const std::unique_ptr<PluginRig> owned = openRig(context, 44100.0f, 512);
  PluginRig& rig = *owned;
  randomizeParameters(rig, random);
  Noise noise(context.settings.seed);
  int changes = 0;
  const int rounds = context.settings.level;
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t r = 0; r < rates.size(); ++r) {
      const float rate = rates[r];
      const int32_t block = blocks[(r + static_cast<std::size_t>(round)) % std::size(blocks)];
      rig.restart(rate, block);
      ++changes;
      SampleCounts counts;
      int64_t at = 0;
      const int64_t frames = std::max<int64_t>(
          3 * block, std::min<int64_t>(static_cast<int64_t>(rate * 0.02f), 20000));
      // Full blocks and shorter ones, as at the end of a loop.
      while (at < frames) {
        const int32_t n = std::uniform_int_distribution<int32_t>(1, block)(random);
        renderNoise(rig, noise, n, n, counts, at);
      }
      if (round % 2 == 1) randomizeParameters(rig, random);
      if (!counts.allFinite()) {
        return CheckOutcome::failed("after a change to " + std::to_string(static_cast<int>(rate)) +
                                    " Hz and blocks of " + std::to_string(block) + ": " +
                                    counts.describeNonFinite() + " samples");
      }
    }
  }
  return CheckOutcome::passed(std::to_string(changes) +
                              (context.format() == PluginFormat::lv2
                                   ? " rate and block size changes, each a new instance as LV2 fixes the rate at instantiation ("
                                   : " rate and block size changes between suspend and resume (") +
                              (context.settings.extremeRates ? "1 Hz to 768 kHz" : "8 to 384 kHz") +
                              ", 1 to 8192 frames): output finite");
}

}  // namespace kqfx::command::validate
