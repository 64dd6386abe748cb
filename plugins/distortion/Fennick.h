#pragma once
// Fennick: a stereo waveshaping distortion. Each sample passes the input
// gain, one of three curves mixed with the dry sample, a DC-blocking
// high-pass and a final hard clip to -1..1.

#include <cstring>

#include "kqfx/dsp/DcRemover.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/LanePath.h"
#include "kqfx/dsp/ShaperCurves.h"
#include "kqfx/dsp/ShaperLanes.h"
#include "kqfx/dsp/SignalHelpers.h"
#include "kqfx/plugin/ChannelLayout.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

class Fennick final : public StereoEffect<Fennick, 4, StandardGain> {
 public:
  using Gain = StandardGain;
  enum Parameter : int32_t { kInputGain = 0, kType = 1, kBlast = 2, kZeta = 3 };
  // "Type" is not smoothed: it switches curves at once. It still has a
  // smoother, of ramp 0, because that is exactly a lock-free hand-over of
  // one float from the host thread (a single atomic word), always steady
  // over a chunk, and the parameter shares the table's reads, texts and
  // `suspend` with the others, which leave a ramp-0 value as it stands.
  static constexpr ParameterTable kParameters{{
      {"Input Gain", "dB", 0.5f},
      {"Type", " ", 0.0f, 0},
      {"Blast", "%", 0.5f},
      {"Zeta", "mPu", 0.0f},
  }};

  explicit Fennick(HostCallback callback)
      : StereoEffect(callback, fourCharCode("KQFE"), kParameters) {}

  // Audio thread. While "Blast" and "Zeta" stand still the chunk's samples
  // are shaped side by side (the curve chosen once), then filtered and
  // clipped frame by frame; otherwise, or where the host's buffers make the
  // frame order show, every frame in turn: the left sample is shaped and
  // stored before the right one is read.
  template <class Output>
  void renderChunk(const Chunk& chunk) {
    if (chunk[kBlast].steady() && chunk[kZeta].steady() &&
        readAheadSafe(chunk.inL, chunk.inR, chunk.outL, chunk.outR, chunk.frames)) {
      switch (path_) {
        case LanePath::kWide:
#if KQFX_HAS_X86_LANES
          renderCurveWide<Output>(chunk);
          break;
#endif
        case LanePath::kBaseline:
          renderCurve<Output, BaselineLanes>(chunk);
          break;
        case LanePath::kScalar:
          renderCurve<Output, ScalarLanes>(chunk);
          break;
      }
      return;
    }
    renderFrames<Output>(chunk);
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

  // Nothing restarts: "Type" and the DC filter memory carry on through
  // `suspend`.

 private:
  // Everything inlined: the shaping loops are the effect's hot path.
  template <class Output, class L>
  [[gnu::flatten]] void renderCurve(const Chunk& chunk) {
    const float zeta = chunk[kZeta].value;
    const float blast = chunk[kBlast].value;
    switch (shaper::curveFor(chunk[kType].value)) {
      case shaper::Curve::Saturate:
        renderShaped<Output, L>(chunk, shaper::SaturateLanes<L>(sineSegmentFor(zeta), blast));
        break;
      case shaper::Curve::Squash:
        renderShaped<Output, L>(chunk, shaper::SquashLanes<L>(zeta, blast));
        break;
      case shaper::Curve::Squelch:
        renderShaped<Output, L>(chunk, shaper::SquelchLanes<L>(zeta, blast));
        break;
    }
  }

#if KQFX_HAS_X86_LANES
  // Four samples per instruction where the baseline has two; chosen only
  // where the processor has the instructions.
  template <class Output>
  __attribute__((target("avx2"), flatten)) void renderCurveWide(const Chunk& chunk) {
    renderCurve<Output, WideLanes>(chunk);
  }
#endif

  // The chunk's samples of both channels shaped first, then run through
  // the DC filters and the clip: the shaping of many samples overlaps, and
  // only the filter is a chain from frame to frame.
  template <class Output, class L, class Kernel>
  void renderShaped(const Chunk& chunk, const Kernel& kernel) {
    const int32_t n = chunk.frames;
    alignas(16) float shapedL[kChunkFrames];
    alignas(16) float shapedR[kChunkFrames];
    if (chunk.gain.steady()) {
      const shaper::SameGain<L> gains{chunk.gain.value};
      shaper::shapeRun<L>(kernel, chunk.inL, shapedL, n, gains);
      shaper::shapeRun<L>(kernel, chunk.inR, shapedR, n, gains);
    } else {
      const shaper::GainPerSample<L> gains{chunk.gain.values};
      shaper::shapeRun<L>(kernel, chunk.inL, shapedL, n, gains);
      shaper::shapeRun<L>(kernel, chunk.inR, shapedR, n, gains);
    }
    DcFilter left = dc_[0];
    DcFilter right = dc_[1];
    float* outL = chunk.outL;
    float* outR = chunk.outR;
    for (int32_t i = 0; i < n; ++i) {
      Output::store(outL[i], clip(left.filter(shapedL[i])));
      Output::store(outR[i], clip(right.filter(shapedR[i])));
    }
    dc_[0] = left;
    dc_[1] = right;
  }

  // Frame by frame, each parameter at its frame's value.
  template <class Output>
  void renderFrames(const Chunk& chunk) {
    const ChunkParameter gain = chunk.gain;
    const ChunkParameter blast = chunk[kBlast];
    const ChunkParameter zeta = chunk[kZeta];
    const float type = chunk[kType].value;
    for (int32_t i = 0; i < chunk.frames; ++i) {
      const float g = gain.at(i);
      const float z = zeta.at(i);
      const float b = blast.at(i);
      Output::store(chunk.outL[i], processSample(shaper::gained(g, chunk.inL[i]), 0, type, z, b));
      Output::store(chunk.outR[i], processSample(shaper::gained(g, chunk.inR[i]), 1, type, z, b));
    }
  }

  // One gained sample of one channel through the curve that `type`
  // selects, the channel's DC filter and the clip.
  float processSample(float sample, int channel, float type, float zeta, float blast) {
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
    return clip(dc_[channel].filter(shaped));
  }

  // Audio thread. The sine segment changes only with "Zeta": recomputed
  // when it moves, kept while it stands (the same values, fewer sines).
  const shaper::SineSegment& sineSegmentFor(float zeta) {
    if (zeta != segmentZeta_) {
      segment_ = shaper::SineSegment::forZeta(zeta);
      segmentZeta_ = zeta;
    }
    return segment_;
  }

  // The lane family, chosen when the effect is created.
  LanePath path_ = chooseLanePath();
  DcFilter dc_[2];
  float segmentZeta_ = 0.0f;
  shaper::SineSegment segment_ = shaper::SineSegment::forZeta(0.0f);
};

}  // namespace kqfx
