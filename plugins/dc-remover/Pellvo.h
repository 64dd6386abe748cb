#pragma once
// Pellvo: a stereo input-gain stage followed by a DC-blocking high-pass on
// each channel.

#include "kqfx/dsp/CachedGain.h"
#include "kqfx/dsp/DcRemover.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Pellvo final : public StereoEffect<Pellvo, 1> {
 public:
  using Gain = StandardGain;
  enum Parameter : int32_t { kInputGain = 0 };
  static constexpr ParameterTable kParameters{{{"Input Gain", "dB", 0.5f}}};

  explicit Pellvo(HostCallback callback)
      : StereoEffect(callback, fourCharCode("KQPE"), kParameters) {}

  // Audio thread. The left sample is stored before the right one is read,
  // so buffers the host shares between channels keep that order. Every
  // sample is filtered; the filter memory stays in registers.
  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    SmoothParameter& gain = smoother(kInputGain);
    if (gain.isSteady()) {
      renderSteady<Output>(inL, inR, outL, outR, n, gainFactor_.factor(gain.getCurrentValue()));
      gain.skipTicks(n);
      return;
    }
    // A glide: the frames' gains are worked out a stretch at a time, side
    // by side.
    DcFilter left = dc_.channel(0);
    DcFilter right = dc_.channel(1);
    for (int32_t done = 0; done < n; done += kStretch) {
      const int32_t m = n - done < kStretch ? n - done : kStretch;
      float gains[kStretch];
      gainFactor_.factors(gain, gains, m);
      for (int32_t i = 0; i < m; ++i) {
        Output::store(outL[done + i], left.filter(gains[i] * inL[done + i]));
        Output::store(outR[done + i], right.filter(gains[i] * inR[done + i]));
      }
    }
    dc_.channel(0) = left;
    dc_.channel(1) = right;
  }

  void displayValue(int32_t, float target, char* text) {
    writeGainText<Gain>(*this, target, text);
  }

  // A block at one gain.
  template <class Output>
  void renderSteady(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                    float g) {
    DcFilter left = dc_.channel(0);
    DcFilter right = dc_.channel(1);
    for (int32_t i = 0; i < n; ++i) {
      Output::store(outL[i], left.filter(g * inL[i]));
      Output::store(outR[i], right.filter(g * inR[i]));
    }
    dc_.channel(0) = left;
    dc_.channel(1) = right;
  }

  // Nothing restarts: the filter memory carries on through `suspend`.

 private:
  static constexpr int32_t kStretch = 64;
  DcRemover dc_;
  CachedGain<Gain> gainFactor_;
};

}  // namespace kqfx
