#pragma once
// Pellvo: a stereo input-gain stage followed by a DC-blocking high-pass on
// each channel.

#include "kqfx/dsp/DcRemover.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Pellvo final : public StereoEffect<Pellvo, 1, StandardGain> {
 public:
  using Gain = StandardGain;
  enum Parameter : int32_t { kInputGain = 0 };
  static constexpr ParameterTable kParameters{{{"Input Gain", "dB", 0.5f}}};

  explicit Pellvo(HostCallback callback)
      : StereoEffect(callback, fourCharCode("KQPE"), kParameters) {}

  // Audio thread. The left sample is stored before the right one is read,
  // so buffers the host shares between channels keep that order. The filter
  // memory stays in registers over the chunk.
  template <class Output>
  void renderChunk(const Chunk& chunk) {
    const ChunkParameter gain = chunk.gain;
    const float* inL = chunk.inL;
    const float* inR = chunk.inR;
    float* outL = chunk.outL;
    float* outR = chunk.outR;
    DcFilter left = dc_.channel(0);
    DcFilter right = dc_.channel(1);
    for (int32_t i = 0; i < chunk.frames; ++i) {
      const float g = gain.at(i);
      Output::store(outL[i], left.filter(g * inL[i]));
      Output::store(outR[i], right.filter(g * inR[i]));
    }
    dc_.channel(0) = left;
    dc_.channel(1) = right;
  }

  // Host thread.
  void displayValue(int32_t, float target, char* text) {
    writeGainText<Gain>(*this, target, text);
  }

  // Nothing restarts: the filter memory carries on through `suspend`.

 private:
  DcRemover dc_;
};

}  // namespace kqfx
