// Parameters under pressure: automation before every small block, values
// no host should send, and writes from another thread while audio runs.
#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "CheckSupport.h"
#include "Checks.h"
#include "Vst2Rig.h"

namespace kqfx::command::validate {
namespace {

constexpr float kRate = 44100.0f;
constexpr int32_t kSubBlock = 32;

std::string nonFiniteSeen(const SampleCounts& counts, const std::string& when) {
  return counts.describeNonFinite() + " samples " + when + ", the first after " +
         secondsText(counts.firstNonFinite, kRate);
}

}  // namespace

CheckOutcome checkAutomation(const CheckContext& context) {
  // Up to 16 parameters before each call, taking them in turn, so that a
  // plug-in with hundreds is not made to rebuild all of its state every
  // 32 frames.
  std::mt19937_64 random = context.random();
  const std::unique_ptr<PluginRig> owned = openRig(context, kRate, 512);
  PluginRig& rig = *owned;
  rig.resume();
  Noise noise(context.settings.seed);
  SampleCounts counts;
  int64_t at = 0;
  const int64_t frames = static_cast<int64_t>(kRate) * context.settings.level;
  // Ports declared costly to change or not for automation stand, as in a
  // host.
  int32_t standing = 0;
  for (int32_t p = 0; p < rig.numParams(); ++p) standing += rig.automatable(p) ? 0 : 1;
  const int32_t count = std::max(0, checkedParameterCount(rig) - standing);
  const int32_t moved = std::min(count, kMovedAtOnce);
  int32_t next = 0;
  while (at < frames) {
    moveSomeParameters(rig, random, next);
    renderNoise(rig, noise, kSubBlock, kSubBlock, counts, at);
  }
  if (!counts.allFinite()) {
    return CheckOutcome::failed(nonFiniteSeen(counts, "under automation"));
  }
  const std::string which = standing > 0 ? " automatable parameters" : " parameters";
  return CheckOutcome::passed(
      (moved == count ? "all " + std::to_string(count) + which
                      : std::to_string(moved) + " of the " + std::to_string(count) + which +
                            " in turn") +
      " moved before each of " + std::to_string(frames / kSubBlock) +
      " process calls of 32 frames: output finite" +
      (standing > 0 ? "; " + std::to_string(standing) +
                          " declared costly to change or not for automation left standing"
                    : ""));
}

CheckOutcome checkParameterFuzz(const CheckContext& context) {
  constexpr float kInfinity = std::numeric_limits<float>::infinity();
  std::vector<float> wild = {-0.0f, 1e-40f, -1e-40f, -1e-7f, 1.0000001f, 1.0000002f};
  const bool farOut = context.settings.level >= kFarOutParameterLevel;
  if (farOut) {
    wild.insert(wild.end(), {-1.0f, 1.5f, 2.0f, 100.0f, 1e30f, -1e30f,
                             std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest(),
                             std::numeric_limits<float>::quiet_NaN(),
                             -std::numeric_limits<float>::quiet_NaN(), kInfinity, -kInfinity});
  }
  std::mt19937_64 random = context.random();
  const std::unique_ptr<PluginRig> owned = openRig(context, kRate, 256);
  PluginRig& rig = *owned;
  rig.resume();
  Noise noise(context.settings.seed);
  SampleCounts ignored;
  int64_t at = 0;
  const int32_t count = checkedParameterCount(rig);
  for (int round = 0; round < context.settings.level; ++round) {
    // One parameter at a time, then all at once, with audio in between;
    // the texts and getParameter must cope too.
    for (float value : wild) {
      for (int32_t p = 0; p < count; ++p) {
        rig.setParameter(p, value);
        rig.readParameter(p);
        renderNoise(rig, noise, 64, 64, ignored, at);
      }
      for (int32_t p = 0; p < count; ++p) {
        rig.setParameter(p, wild[std::uniform_int_distribution<std::size_t>(
                                         0, wild.size() - 1)(random)]);
      }
      renderNoise(rig, noise, 256, 256, ignored, at);
    }
  }
  // Back in range: after one second everything must be finite again.
  randomizeParameters(rig, random);
  renderNoise(rig, noise, static_cast<int64_t>(kRate), 256, ignored, at);
  SampleCounts counts;
  int64_t after = 0;
  renderNoise(rig, noise, static_cast<int64_t>(kRate * 0.5f) * context.settings.level, 256,
              counts, after);
  if (!counts.allFinite()) {
    return CheckOutcome::failed(
        nonFiniteSeen(counts, "more than a second after every parameter was back in 0..1"));
  }
  int32_t strict = 0;
  for (int32_t p = 0; p < count; ++p) strict += rig.strictBounds(p) ? 1 : 0;
  return CheckOutcome::passed(std::to_string(wild.size()) +
                              (farOut ? " values at the edges of and far outside 0..1 (NaN, infinities, huge, negative) written to "
                                      : " values at the edges of 0..1 (-0, subnormal, -1e-7, just above 1) written to ") +
                              "every parameter " + std::to_string(context.settings.level) +
                              " times: no crash; finite output a second after values in 0..1" +
                              (strict > 0 ? "; " + std::to_string(strict) +
                                                " declared to take only values in their range got "
                                                "them clamped there, as hosts do"
                                          : ""));
}

CheckOutcome checkThreads(const CheckContext& context) {
  Vst2Rig rig(context.library(), kRate, kSubBlock);
  rig.resume();
  const int32_t count = checkedParameterCount(rig);
  std::atomic<bool> done{false};
  std::atomic<bool> started{false};
  std::atomic<uint64_t> writes{0};
  const uint64_t writerSeed = context.random()();
  TracedPlugin& plugin = rig.plugin();
  std::thread writer([&] {
    std::mt19937_64 random(writerSeed);
    uint64_t n = 0;
    while (!done.load(std::memory_order_relaxed)) {
      for (int32_t p = 0; p < count; ++p) plugin.setParameter(p, randomUnit(random));
      ++n;
      started.store(true);
    }
    writes.store(n);
  });
  Noise noise(context.settings.seed);
  SampleCounts counts;
  int64_t at = 0;
  const int blocks = context.scaled(500);
  while (!started.load()) std::this_thread::yield();
  for (int b = 0; b < blocks; ++b) renderNoise(rig, noise, kSubBlock, kSubBlock, counts, at);
  done.store(true);
  writer.join();
  if (!counts.allFinite()) {
    return CheckOutcome::failed(
        nonFiniteSeen(counts, "while another thread wrote the parameters"));
  }
  return CheckOutcome::passed(std::to_string(blocks) + " blocks of 32 frames while another " +
                              "thread wrote all parameters " + std::to_string(writes.load()) +
                              " times: output finite");
}

}  // namespace kqfx::command::validate
