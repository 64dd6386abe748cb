#pragma once
// Fennick: a stereo waveshaping distortion. Each sample passes the input
// gain, one of three curves mixed with the dry sample, a DC-blocking
// high-pass and a final hard clip to -1..1.

#include <cstring>

#include "BufferOverlap.h"
#include "ShaperCurves.h"
#include "ShaperLanes.h"
#include "kqfx/dsp/DcRemover.h"
#include "kqfx/dsp/CachedGain.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/LanePath.h"
#include "kqfx/dsp/SignalHelpers.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Fennick final : public StereoEffect<Fennick, 4> {
 public:
  using Gain = StandardGain;
  enum Parameter : int32_t { kInputGain = 0, kType = 1, kBlast = 2, kZeta = 3 };
  // "Type" is not smoothed: it switches curves at once. It still has a
  // smoother, of ramp 0, because that is exactly a lock-free hand-over of
  // one float from the host thread (a single atomic word): the audio thread
  // sees the latest value written, whole, on each of its two reads a frame,
  // and the parameter shares the table's reads, texts and `suspend` with
  // the others, which leave a ramp-0 value as it stands.
  static constexpr ParameterTable kParameters{{
      {"Input Gain", "dB", 0.5f},
      {"Type", " ", 0.0f, 0},
      {"Blast", "%", 0.5f},
      {"Zeta", "mPu", 0.0f},
  }};

  explicit Fennick(HostCallback callback)
      : StereoEffect(callback, fourCharCode("KQFE"), kParameters) {}

  // Audio thread. The left sample is shaped and stored before the right one
  // is read, so buffers the host shares between channels keep that order.
  // While "Type", "Blast" and "Zeta" stand still the block goes through the
  // curve's lanes, with the gain settled or gliding; otherwise frame by
  // frame.
  template <class Output>
  void render(const float* inL, const float* inR, float* outL, float* outR, int32_t n) {
    SmoothParameter& gain = smoother(kInputGain);
    SmoothParameter& type = smoother(kType);
    SmoothParameter& blast = smoother(kBlast);
    SmoothParameter& zeta = smoother(kZeta);
    if (zeta.isSteady() && blast.isSteady() && type.isSteady() && sampleCount_.value() >= 0) {
      const float t = type.getCurrentValue();
      const float z = zeta.getCurrentValue();
      const float b = blast.getCurrentValue();
      bool done = true;
      if (gain.isSteady()) {
        SteadyGain steady{gainFactor_.factor(gain.getCurrentValue())};
        renderSteady<Output>(inL, inR, outL, outR, n, steady, t, z, b);
        gain.skipTicks(n);
      } else if (shapesAhead(inL, inR, outL, outR, n)) {
        GlidingGain gliding{gain, gainFactor_};
        renderSteady<Output>(inL, inR, outL, outR, n, gliding, t, z, b);
      } else {
        done = false;
      }
      if (done) {
        zeta.skipTicks(n);
        blast.skipTicks(n);
        type.skipTicks(n);
        sampleCount_.advance(n);
        return;
      }
    }
    for (int32_t i = 0; i < n; ++i) {
      zeta.tick();
      blast.tick();
      gain.tick();
      const float g = gainFactor_.factor(gain.getCurrentValue());
      const int32_t count = sampleCount_.next();
      const float left = processSample(shaper::gained(g, inL[i]), 0, type.getCurrentValue(),
                                       zeta.getCurrentValue(), blast.getCurrentValue(), count);
      Output::store(outL[i], left);
      const float right = processSample(shaper::gained(g, inR[i]), 1, type.getCurrentValue(),
                                        zeta.getCurrentValue(), blast.getCurrentValue(), count);
      Output::store(outR[i], right);
    }
  }

  // Audio thread. A block at steady "Type", "Blast" and "Zeta" whose frame
  // counts are all above 0: the curve is chosen once, every sample is
  // filtered, and the filter memory stays in registers. Per sample the same
  // arithmetic as processSample.
  template <class Output, class Gains>
  void renderSteady(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                    Gains& gains, float type, float zeta, float blast) {
    if (path_ == LanePath::kScalar) {
      renderCurve<Output, ScalarLanes>(inL, inR, outL, outR, n, gains, type, zeta, blast);
    } else {
      renderCurve<Output, BaselineLanes>(inL, inR, outL, outR, n, gains, type, zeta, blast);
    }
  }

  // Everything inlined: the shaping loops are the effect's hot path.
  template <class Output, class L, class Gains>
  [[gnu::flatten]] void renderCurve(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                   Gains& gains, float type, float zeta, float blast) {
    switch (shaper::curveFor(type)) {
      case shaper::Curve::Saturate:
        renderShaped<Output, L>(inL, inR, outL, outR, n, gains,
                                shaper::SaturateLanes<L>(sineSegmentFor(zeta), blast));
        break;
      case shaper::Curve::Squash:
        renderShaped<Output, L>(inL, inR, outL, outR, n, gains,
                                shaper::SquashLanes<L>(zeta, blast));
        break;
      case shaper::Curve::Squelch:
        renderShaped<Output, L>(inL, inR, outL, outR, n, gains,
                                shaper::SquelchLanes<L>(zeta, blast));
        break;
    }
  }

  // Audio thread. Shapes a chunk of frames of both channels first, two
  // samples at a time, then runs the chunk through the DC filters and the
  // clip: the shaping of many samples overlaps, and only the filter is a
  // chain from frame to frame. That reads a chunk's inputs before any of
  // its outputs is written, which gives the frame-by-frame results unless
  // an output buffer partly overlaps an input or the left output is the
  // right input (a frame's right input must then be its left output):
  // such blocks go frame by frame (a gliding gain never comes here then).
  template <class Output, class L, class Gains, class Kernel>
  void renderShaped(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                    Gains& gains, const Kernel& kernel) {
    DcFilter left = dc_.channel(0);
    DcFilter right = dc_.channel(1);
    if (shapesAhead(inL, inR, outL, outR, n)) {
      alignas(16) float shapedL[kChunk];
      alignas(16) float shapedR[kChunk];
      for (int32_t start = 0; start < n; start += kChunk) {
        const int32_t m = n - start < kChunk ? n - start : kChunk;
        const auto factors = gains.template next<L>(m);
        shaper::shapeRun<L>(kernel, inL + start, shapedL, m, factors);
        shaper::shapeRun<L>(kernel, inR + start, shapedR, m, factors);
        float* toL = outL + start;
        float* toR = outR + start;
        for (int32_t i = 0; i < m; ++i) {
          Output::store(toL[i], clip(left.filter(shapedL[i])));
          Output::store(toR[i], clip(right.filter(shapedR[i])));
        }
      }
    } else if constexpr (Gains::kSteady) {
      const float g = gains.factor;
      for (int32_t i = 0; i < n; ++i) {
        Output::store(outL[i], clip(left.filter(kernel.scalar(shaper::gained(g, inL[i])))));
        Output::store(outR[i], clip(right.filter(kernel.scalar(shaper::gained(g, inR[i])))));
      }
    }
    dc_.channel(0) = left;
    dc_.channel(1) = right;
  }

  // Audio thread. One gained sample of one channel through the curve that
  // `type` selects, the channel's DC filter and the clip.
  float processSample(float sample, int channel, float type, float zeta, float blast,
                      int32_t sampleCount) {
    float shaped = 0.0f;
    switch (shaper::curveFor(type)) {
      case shaper::Curve::Saturate:
        shaped = shaper::saturate(sample, sineSegmentFor(zeta), blast);
        break;
      case shaper::Curve::Squash:
        shaped = shaper::squash(sample, zeta, blast);
        break;
      case shaper::Curve::Squelch:
        shaped = shaper::squelch(sample, zeta, blast);
        break;
    }
    return clip(dc_.removeDC(shaped, channel, sampleCount));
  }

  // Host thread.
  void displayValue(int32_t index, float target, char* text) {
    switch (index) {
      case kInputGain:
        writeGainText<Gain>(*this, target, text);
        break;
      case kType:
        std::strcpy(text, shaper::curveName(shaper::curveFor(target)));
        break;
      default:  // "Blast" and "Zeta" in percent
        float2string(static_cast<float>(static_cast<double>(target) * 100.0), text);
        break;
    }
  }

  // Host thread, after `suspend` has stopped the glides. The frame count
  // restarts; "Type" and the DC filter memory carry on.
  void restart() { sampleCount_.restart(); }

 private:
  // Audio thread. The sine segment changes only with "Zeta": recomputed
  // when it moves, kept while it stands (the same values, fewer sines).
  const shaper::SineSegment& sineSegmentFor(float zeta) {
    if (zeta != segmentZeta_) {
      segment_ = shaper::SineSegment::forZeta(zeta);
      segmentZeta_ = zeta;
    }
    return segment_;
  }

  static constexpr int32_t kChunk = 64;

  // The gain factors of a steady block: one for every frame.
  struct SteadyGain {
    static constexpr bool kSteady = true;
    template <class L>
    shaper::SameGain<L> next(int32_t) const {
      return {factor};
    }
    float factor;
  };
  // The gain factors of a block whose gain glides: the next frames' ticks,
  // a chunk at a time, worked out side by side.
  class GlidingGain {
   public:
    static constexpr bool kSteady = false;
    GlidingGain(SmoothParameter& gain, CachedGain<Gain>& law) : gain_(gain), law_(law) {}
    template <class L>
    shaper::GainPerSample<L> next(int32_t m) {
      law_.factors(gain_, factors_, m);
      return {factors_};
    }

   private:
    SmoothParameter& gain_;
    CachedGain<Gain>& law_;
    alignas(16) float factors_[kChunk];
  };

  // The lane family, chosen when the effect is created.
  LanePath path_ = chooseLanePath();
  SaturatingFrameCount sampleCount_;
  CachedGain<Gain> gainFactor_;
  DcRemover dc_;
  float segmentZeta_ = 0.0f;
  shaper::SineSegment segment_ = shaper::SineSegment::forZeta(0.0f);
};

}  // namespace kqfx
