#pragma once
// Grubbel: a sample-by-sample hard limiter with input gain. No look-ahead,
// attack or release: every sample is clipped at the ceiling.

#include <bit>
#include <cstdint>

#include "kqfx/dsp/GainLaw.h"
#include "kqfx/plugin/ChannelLayout.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Grubbel final : public StereoEffect<Grubbel, 2, StandardGain> {
 public:
  using Gain = StandardGain;
  enum Parameter : int32_t { kInputGain = 0, kLimit = 1 };
  static constexpr ParameterTable kParameters{{
      {"Input Gain", "dB", 0.5f},
      {"Limit", "dB", 1.0f},
  }};
  // A steady stretch of a block comes as one chunk, however long: its two
  // loops then run over the whole stretch once.
  static constexpr bool kSteadyChunksWhole = true;

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

  // Audio thread. Settled, each channel runs in a loop of its own, which
  // the compiler vectorises, unless the buffers overlap so that the
  // frame order shows.
  template <class Output>
  void renderChunk(const Chunk& chunk) {
    const int32_t n = chunk.frames;
    const float* inL = chunk.inL;
    const float* inR = chunk.inR;
    float* outL = chunk.outL;
    float* outR = chunk.outR;
    if (chunk.allSteady && channelsSeparable(inL, inR, outL, outR, n)) {
      const float ceiling = ceilingOf(chunk[kLimit].value);
      const float g = chunk.gain.value;
      for (int32_t i = 0; i < n; ++i) Output::store(outL[i], limitTo(g * inL[i], ceiling));
      for (int32_t i = 0; i < n; ++i) Output::store(outR[i], limitTo(g * inR[i], ceiling));
      return;
    }
    const ChunkParameter gain = chunk.gain;
    const ChunkParameter limit = chunk[kLimit];
    for (int32_t i = 0; i < n; ++i) {
      const float g = gain.at(i);
      const float ceiling = ceilingOf(limit.at(i));
      Output::store(outL[i], limitTo(g * inL[i], ceiling));
      Output::store(outR[i], limitTo(g * inR[i], ceiling));
    }
  }

  void displayValue(int32_t index, float target, char* text) {
    if (index == kInputGain) {
      writeGainText<Gain>(*this, target, text);
    } else {
      dB2string(target, text);
    }
  }
};

}  // namespace kqfx
