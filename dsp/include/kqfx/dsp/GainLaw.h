#pragma once
// Maps a 0..1 "Input Gain" parameter to decibels (linear, 0 dB at 0.5) and
// to a gain factor. Each deliverable picks its law at compile time (the
// factors applied, in decibels):
//   GainLaw<48>        the reverb: -48..+48 dB
//   GainLaw<24>        most effects: -24..+24 dB
//   GainLaw<24, true>  the echoes: as above, but exactly 0 gives silence
// Pure functions; any thread.

#include <cstdint>

#include "kqfx/dsp/DecibelFactor.h"

namespace kqfx {

template <int GainRange, bool ZeroIsSilence = false>
struct GainLaw {
  static constexpr int kRange = GainRange;
  static constexpr bool kZeroIsSilence = ZeroIsSilence;

  // The law's decibels for a parameter value: half the decibels of the
  // factor applied (see gain2factor).
  static float gain2display(float x) {
    const float d = static_cast<float>(static_cast<double>(x) - 0.5);
    return static_cast<float>(static_cast<double>(d) * GainRange);
  }

  // The gain factor: float(pow(10.0, double(dB) / 10.0)). The exponent
  // divides by 10, so the factor spans twice the decibels gain2display
  // gives; 0.5 gives 1.
  static float gain2factor(float x) {
    if constexpr (ZeroIsSilence) {
      if (x == 0.0f) return 0.0f;
    }
    return decibelFactor(gain2display(x));
  }

  // 20 log10 of the factor gain2factor applies (zero silence aside):
  // twice gain2display, exactly. Value texts show these decibels.
  static float gain2decibels(float x) { return 2.0f * gain2display(x); }

  // out[i] = gain2factor(x[i]) for n values, several side by side on the
  // lane path given (the widest the processor has by default). No
  // allocation, locks or system calls: fit for the audio thread.
  static void gain2factors(const float* x, float* out, int32_t n,
                           LanePath path = LanePath::kWide) {
    parameterGainFactors(path, x, out, n, static_cast<float>(GainRange), ZeroIsSilence);
  }
};

using ReverbGain = GainLaw<48>;
using StandardGain = GainLaw<24>;
using EchoGain = GainLaw<24, true>;

}  // namespace kqfx
