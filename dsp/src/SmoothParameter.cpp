#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx {

SmoothParameter::SmoothParameter(int32_t rampLength, float initialValue) {
  reset(rampLength, initialValue);
}

void SmoothParameter::reset(int32_t rampLength, float value) {
  rampLength_ = rampLength;
  currentValue_ = value;
  startValue_ = value;
  stepSize_ = 0.0f;
  appliedGeneration_ = 0;
  request_.store(pack(0, value), std::memory_order_release);
  setTargetValueUnlocked(value);
}

void SmoothParameter::setTargetValue(float value) {
  // A compare-and-swap loop keeps writes from several host threads apart;
  // the audio thread only ever loads the word.
  uint64_t expected = request_.load(std::memory_order_relaxed);
  while (!request_.compare_exchange_weak(expected, pack(generationOf(expected) + 1, value),
                                         std::memory_order_release, std::memory_order_relaxed)) {
  }
}

}  // namespace kqfx
