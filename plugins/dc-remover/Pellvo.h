#pragma once
// Pellvo: a stereo input-gain stage followed by a DC-blocking high-pass on
// each channel.

#include "kqfx/dsp/DcRemover.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Pellvo final : public StereoEffect<Pellvo, 1> {
 public:
  using Gain = StandardGain;
  enum Parameter : int32_t { kInputGain = 0 };
  static constexpr ParameterTable kParameters{{{"Input Gain", "dB", 0.5f}}};

  explicit Pellvo(HostCallback callback)
      : StereoEffect(callback, fourCharCode("KQPE"), kParameters) {}

  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    SmoothParameter& gain = smoother(kInputGain);
    for (int32_t i = 0; i < n; ++i) {
      gain.tick();
      const int32_t count = sampleCount_.next();
      const float g = Gain::gain2factor(gain.getCurrentValue());
      const float left = dc_.removeDC(g * inL[i], 0, count);
      Output::store(outL[i], left);
      const float right = dc_.removeDC(g * inR[i], 1, count);
      Output::store(outR[i], right);
    }
  }

  void displayValue(int32_t, float target, char* text) {
    float2string(Gain::gain2display(target), text);
  }

  // The frame count restarts; the filter memory carries on.
  void restart() { sampleCount_.restart(); }

 private:
  SaturatingFrameCount sampleCount_;
  DcRemover dc_;
};

}  // namespace kqfx
