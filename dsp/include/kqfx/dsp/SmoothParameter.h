#pragma once
// Glides a parameter in a straight line to each new target over a fixed
// number of ticks, so that gains and cutoffs never jump.
//
// Threads: setTargetValue and getTargetValue may run on any thread. The
// target is handed over through one lock-free atomic word; the audio thread
// takes it up at its next tick() or getCurrentValue(), so every tick sees
// one whole glide. On a single thread this behaves exactly as if the glide
// had been restarted inside setTargetValue: between a write and the next
// tick nothing else moves currentValue.

#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>

namespace kqfx {

class SmoothParameter {
 public:
  static constexpr int32_t kDefaultRamp = 16384;

  SmoothParameter(int32_t rampLength, float initialValue);
  SmoothParameter() : SmoothParameter(0, 0.0f) {}
  SmoothParameter(const SmoothParameter&) = delete;
  SmoothParameter& operator=(const SmoothParameter&) = delete;

  // Rebuilds the smoother as newly constructed: settled at `value`. Owner
  // thread, never while the audio thread uses it.
  void reset(int32_t rampLength, float value);

  // Any thread. The value the host set, seen at once.
  void setTargetValue(float value);

  // Any thread.
  float getTargetValue() const {
    return valueOf(request_.load(std::memory_order_acquire));
  }

  // Audio thread. Advances the glide by one sample frame.
  void tick() {
    takeRequest();
    if (tickCount_ < std::numeric_limits<int32_t>::max()) ++tickCount_;
    if (rampLength_ <= 0) return;
    if (tickCount_ < rampLength_) {
      currentValue_ = static_cast<float>(static_cast<double>(startValue_) +
                                         static_cast<double>(tickCount_) *
                                             static_cast<double>(stepSize_));
    } else {
      currentValue_ = targetValue_;
    }
  }

  // Audio thread. The smoothed value processing uses.
  float getCurrentValue() {
    takeRequest();
    return currentValue_;
  }

  // Audio thread, right after isSteady() said so: the value it judged, with
  // no second look for a write from another thread (that one is taken up
  // at the next look, as a write during a block always is).
  float steadyValue() const { return currentValue_; }

  // Owner thread. Starts a new glide from the value reached, at once.
  void setTargetValueUnlocked(float value) {
    if (rampLength_ > 0) {
      targetValue_ = value;
      startValue_ = currentValue_;
      stepSize_ = static_cast<float>(
          (static_cast<double>(targetValue_) - static_cast<double>(startValue_)) /
          static_cast<double>(rampLength_));
    } else {
      targetValue_ = value;
      startValue_ = value;
      currentValue_ = value;
    }
    tickCount_ = 0;
  }

  // Audio thread: true when ticks cannot change the current value any more,
  // because the glide has ended or there is nothing to glide.
  bool isSettled() {
    takeRequest();
    return rampLength_ <= 0 || tickCount_ >= rampLength_ ||
           (stepSize_ == 0.0f && startValue_ == targetValue_ && currentValue_ == targetValue_);
  }

  // Audio thread: true when no number of ticks can change a bit of the
  // current value (stricter than isSettled about a resting -0, which a tick
  // turns into +0). While it holds, skipTicks(n) stands for n ticks, so a
  // block can read the value once. A write from another thread that lands
  // during such a block is taken up at the next block's check instead of
  // at the frame it landed on; writes between blocks are taken up at the
  // same frame as by tick().
  bool isSteady() {
    takeRequest();
    if (rampLength_ <= 0 || tickCount_ >= rampLength_) return true;
    const uint32_t current = std::bit_cast<uint32_t>(currentValue_);
    return stepSize_ == 0.0f && current != kNegativeZero &&
           std::bit_cast<uint32_t>(startValue_) == current &&
           std::bit_cast<uint32_t>(targetValue_) == current;
  }

  // Audio thread, only while isSteady(): advances the tick count as n
  // ticks would.
  void skipTicks(int32_t n) {
    tickCount_ = tickCount_ > std::numeric_limits<int32_t>::max() - n
                     ? std::numeric_limits<int32_t>::max()
                     : tickCount_ + n;
  }

  // Audio thread: n ticks at once (n >= 0), writing the current value
  // after each into values[0..n-1]: exactly what n times tick() then
  // getCurrentValue() give, the end of the glide included. The values of
  // a glide do not depend on each other, so the loop has no chain. As
  // with skipTicks, a write from another thread that lands during these
  // frames is taken up at the next call instead of at the frame it landed
  // on.
  void nextValues(float* values, int32_t n) {
    takeRequest();
    if (n <= 0) return;
    int32_t i = 0;
    if (rampLength_ > 0 && tickCount_ < rampLength_ - 1) {
      // Ticks that leave the count below the ramp length.
      const int32_t along = rampLength_ - 1 - tickCount_ < n ? rampLength_ - 1 - tickCount_ : n;
      const double start = static_cast<double>(startValue_);
      const double step = static_cast<double>(stepSize_);
      const int32_t first = tickCount_ + 1;
      for (; i < along; ++i) {
        values[i] = static_cast<float>(start + static_cast<double>(first + i) * step);
      }
      currentValue_ = values[along - 1];
    }
    if (i < n) {
      // The glide has ended (or there is none): ticks give the target, or
      // leave the value alone without a ramp.
      if (rampLength_ > 0) currentValue_ = targetValue_;
      for (; i < n; ++i) values[i] = currentValue_;
    }
    skipTicks(n);
  }

  int32_t rampLength() const { return rampLength_; }
  int32_t ticksSinceChange() const { return tickCount_; }

 private:
  static uint64_t pack(uint32_t generation, float value) {
    return (static_cast<uint64_t>(generation) << 32) | std::bit_cast<uint32_t>(value);
  }
  static uint32_t generationOf(uint64_t word) { return static_cast<uint32_t>(word >> 32); }
  static float valueOf(uint64_t word) {
    return std::bit_cast<float>(static_cast<uint32_t>(word & 0xffffffffu));
  }

  static constexpr uint32_t kNegativeZero = 0x80000000u;

  void takeRequest() {
    const uint64_t word = request_.load(std::memory_order_acquire);
    if (generationOf(word) != appliedGeneration_) {
      appliedGeneration_ = generationOf(word);
      setTargetValueUnlocked(valueOf(word));
    }
  }

  int32_t rampLength_ = 0;
  int32_t tickCount_ = 0;
  float targetValue_ = 0.0f;
  float currentValue_ = 0.0f;
  float startValue_ = 0.0f;
  float stepSize_ = 0.0f;
  uint32_t appliedGeneration_ = 0;
  alignas(8) std::atomic<uint64_t> request_{0};
  static_assert(std::atomic<uint64_t>::is_always_lock_free);
};

}  // namespace kqfx
