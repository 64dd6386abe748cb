#pragma once
// Grubbel: a sample-by-sample hard limiter with input gain. No look-ahead,
// attack or release: every sample is clipped at the ceiling.

#include <bit>
#include <cstdint>

#include "kqfx/dsp/CachedGain.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/plugin/ChannelLayout.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Grubbel final : public StereoEffect<Grubbel, 2> {
 public:
  using Gain = StandardGain;
  enum Parameter : int32_t { kInputGain = 0, kLimit = 1 };
  static constexpr ParameterTable kParameters{{
      {"Input Gain", "dB", 0.5f},
      {"Limit", "dB", 1.0f},
  }};

  explicit Grubbel(HostCallback callback)
      : StereoEffect(callback, fourCharCode("KQGR"), kParameters) {}

  // Any thread. The ceiling a "Limit" value gives: a host may store any
  // float, and a clipped sample is the ceiling itself, which no flush-to-
  // zero mode touches, so a subnormal limit is flushed here to a zero of
  // its sign, as the processor flushes any other value.
  static float ceilingOf(float limit) {
    constexpr uint32_t kExponentBits = 0x7F800000u;
    constexpr uint32_t kSignBit = 0x80000000u;
    const uint32_t bits = std::bit_cast<uint32_t>(limit);
    return (bits & kExponentBits) == 0 ? std::bit_cast<float>(bits & kSignBit) : limit;
  }

  // Strict comparisons: a sample equal to the ceiling passes, NaN stays NaN.
  static float limitTo(float sample, float ceiling) {
    if (sample > ceiling) return ceiling;
    if (sample < -ceiling) return -ceiling;
    return sample;
  }

  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    SmoothParameter& gain = smoother(kInputGain);
    SmoothParameter& limit = smoother(kLimit);
    if (gain.isSteady() && limit.isSteady()) {
      const float ceiling = ceilingOf(limit.getCurrentValue());
      const float g = gainFactor_.factor(gain.getCurrentValue());
      if (channelsSeparable(inL, inR, outL, outR, n)) {
        // Each channel in a loop of its own, which the compiler vectorises.
        for (int32_t i = 0; i < n; ++i) Output::store(outL[i], limitTo(g * inL[i], ceiling));
        for (int32_t i = 0; i < n; ++i) Output::store(outR[i], limitTo(g * inR[i], ceiling));
      } else {
        for (int32_t i = 0; i < n; ++i) {
          Output::store(outL[i], limitTo(g * inL[i], ceiling));
          Output::store(outR[i], limitTo(g * inR[i], ceiling));
        }
      }
      gain.skipTicks(n);
      limit.skipTicks(n);
      return;
    }
    // A glide: the frames' gains and ceilings are worked out a stretch at
    // a time, the gains side by side.
    for (int32_t done = 0; done < n; done += kStretch) {
      const int32_t m = n - done < kStretch ? n - done : kStretch;
      float gains[kStretch];
      float ceilings[kStretch];
      gainFactor_.factors(gain, gains, m);
      limit.nextValues(ceilings, m);
      for (int32_t i = 0; i < m; ++i) ceilings[i] = ceilingOf(ceilings[i]);
      for (int32_t i = 0; i < m; ++i) {
        const int32_t frame = done + i;
        Output::store(outL[frame], limitTo(gains[i] * inL[frame], ceilings[i]));
        Output::store(outR[frame], limitTo(gains[i] * inR[frame], ceilings[i]));
      }
    }
  }

  void displayValue(int32_t index, float target, char* text) {
    if (index == kInputGain) {
      writeGainText<Gain>(*this, target, text);
    } else {
      dB2string(target, text);
    }
  }

 private:
  static constexpr int32_t kStretch = 64;
  CachedGain<Gain> gainFactor_;
};

}  // namespace kqfx
