// The per-frame work of the reverb engine. Audio thread: no allocation,
// locks, system calls or exceptions; bounded time per frame.

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/SignalHelpers.h"
#include "revmodel.h"

namespace kqfx {

namespace {
bool sameBits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }
}  // namespace

void revmodel::processreplace(const float* inputL, const float* inputR, float* outputL,
                              float* outputR, int32_t frames, int32_t stride,
                              SmoothParameter* dryLevel, SmoothParameter* depth,
                              SmoothParameter* brightness) {
  run<false>(inputL, inputR, outputL, outputR, frames, stride, dryLevel, depth, brightness);
}

void revmodel::processmix(const float* inputL, const float* inputR, float* outputL, float* outputR,
                          int32_t frames, int32_t stride, SmoothParameter* dryLevel,
                          SmoothParameter* depth, SmoothParameter* brightness) {
  run<true>(inputL, inputR, outputL, outputR, frames, stride, dryLevel, depth, brightness);
}

// The damping follows the brightness on every frame. update() depends only
// on the stored fields, and every other setter has already run it, so when
// the damping comes out bit for bit as before, running it again would
// change nothing and is skipped.
void revmodel::followBrightness(float brightness) {
  const float newDamp = scaleDamp(inverse(brightness));
  if (sameBits(newDamp, damp)) return;
  damp = newDamp;
  update();
}

// One pow per change of the dry level instead of one per frame; the same
// level always gives the same factor.
float revmodel::dryGainFor(float dryLevel) {
  if (!sameBits(dryLevel, lastDryLevel)) {
    lastDryLevel = dryLevel;
    lastDryGain = ReverbGain::gain2factor(dryLevel);
  }
  return lastDryGain;
}

// Frames from the current delay positions until the first delay line of
// either channel wraps around: within such a stretch every line is read
// and written at its position plus the frame's offset.
int32_t revmodel::framesToWrap() const {
  int32_t frames = std::min(combsLeft.framesToWrap(), combsRight.framesToWrap());
  for (std::size_t i = 0; i < kAllpasses; ++i) {
    frames = std::min(frames, allpassesLeft[i].framesToWrap());
    frames = std::min(frames, allpassesRight[i].framesToWrap());
  }
  return frames;
}

void revmodel::advance(int32_t frames) {
  combsLeft.advance(frames);
  combsRight.advance(frames);
  for (std::size_t i = 0; i < kAllpasses; ++i) {
    allpassesLeft[i].advance(frames);
    allpassesRight[i].advance(frames);
  }
}

// When none of the three smoothers can move during the block, the values
// the frames would read are read once here: the same dry gain, the same
// damping (followBrightness would find nothing changed after the first
// frame) and the same depth on every frame.
template <bool Mix>
void revmodel::run(const float* inputL, const float* inputR, float* outputL, float* outputR,
                   int32_t frames, int32_t stride, SmoothParameter* dryLevel,
                   SmoothParameter* depth, SmoothParameter* brightness) {
  if (frames <= 0) return;
  const std::ptrdiff_t step = stride;
  const bool steady = dryLevel->isSteady() && depth->isSteady() && brightness->isSteady();
  FrameGains gains;
  if (steady) {
    if constexpr (!Mix) gains.dry = dryGainFor(dryLevel->getCurrentValue());
    followBrightness(brightness->getCurrentValue());
    gains.depth = depth->getCurrentValue();
  }

  for (int32_t done = 0; done < frames;) {
    const int32_t stretch = std::min(frames - done, framesToWrap());
    const std::ptrdiff_t at = done * step;
    if (steady) {
      (wide ? &revmodel::runStretchWide<Mix, true> : &revmodel::runStretch<Mix, true>)(
          this, inputL + at, inputR + at, outputL + at, outputR + at, stretch, step, gains,
          dryLevel, depth, brightness);
    } else {
      (wide ? &revmodel::runStretchWide<Mix, false> : &revmodel::runStretch<Mix, false>)(
          this, inputL + at, inputR + at, outputL + at, outputR + at, stretch, step, gains,
          dryLevel, depth, brightness);
    }
    advance(stretch);
    done += stretch;
  }

  if (steady) {
    dryLevel->skipTicks(frames);
    depth->skipTicks(frames);
    brightness->skipTicks(frames);
  }
}

namespace {

// Zero and subnormal lanes (all exponent bits clear) become +0.
__m128 flushLanes(__m128 value) {
  const __m128i exponent = _mm_and_si128(_mm_castps_si128(value), _mm_set1_epi32(0x7F800000));
  return _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(exponent, _mm_setzero_si128())), value);
}

// One allpass of each channel at once, lane 0 left and lane 1 right, each
// lane exactly as allpass::process: the cell gets input + delayed *
// feedback formed in double and rounded once, the answer is delayed -
// input in float.
__m128 allpassPair(__m128 input, float* cellL, float* cellR, __m128d feedback) {
  const __m128 delayed = flushLanes(_mm_unpacklo_ps(_mm_load_ss(cellL), _mm_load_ss(cellR)));
  const __m128 written = _mm_cvtpd_ps(
      _mm_add_pd(_mm_cvtps_pd(input), _mm_mul_pd(_mm_cvtps_pd(delayed), feedback)));
  _mm_store_ss(cellL, written);
  _mm_store_ss(cellR, _mm_shuffle_ps(written, written, 1));
  return _mm_sub_ps(delayed, input);
}

// dumbCompress of both lanes at once, without branches (the sign of a
// noisy signal is no pattern a branch predictor could learn). Each lane
// gets exactly dumbCompress(sample, threshold, ceiling): the magnitude
// above the threshold is squeezed in double and rounded once, the sign
// put back by negation, and a zero or NaN magnitude gives +0.
class CompressorPair {
 public:
  CompressorPair(float threshold, float ceiling)
      : threshold_(_mm_set1_ps(threshold)),
        active_(_mm_castsi128_ps(_mm_set1_epi32(threshold < 1.0f ? -1 : 0))),
        thresholdD_(_mm_set1_pd(static_cast<double>(threshold))),
        span_(_mm_set1_pd(static_cast<double>(ceiling) - threshold)),
        divisor_(_mm_set1_pd(1.0 - static_cast<double>(threshold))) {}

  __m128 apply(__m128 sample) const {
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128 magnitude = _mm_andnot_ps(signBit, sample);
    const __m128 squeezed = _mm_cvtpd_ps(_mm_add_pd(
        thresholdD_,
        _mm_div_pd(_mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(magnitude), thresholdD_), span_), divisor_)));
    const __m128 over = _mm_and_ps(_mm_cmpgt_ps(magnitude, threshold_), active_);
    const __m128 result =
        _mm_or_ps(_mm_and_ps(over, squeezed), _mm_andnot_ps(over, magnitude));
    const __m128 signedResult = _mm_xor_ps(result, _mm_and_ps(sample, signBit));
    return _mm_and_ps(signedResult, _mm_cmpgt_ps(magnitude, _mm_setzero_ps()));
  }

 private:
  __m128 threshold_;
  __m128 active_;
  __m128d thresholdD_;
  __m128d span_;
  __m128d divisor_;
};

}  // namespace

// The fields every frame reads, as doubles (each converts exactly).
struct revmodel::FrameConstants {
  explicit FrameConstants(const revmodel& engine)
      : inputScale(engine.inputScale),
        inputTrim(engine.inputTrim),
        wetDirect(engine.wetDirect),
        wetCross(engine.wetCross),
        dry(engine.dry),
        outputMakeup(engine.outputMakeup),
        compthreshold(engine.compthreshold),
        compceiling(engine.compceiling) {}
  double inputScale;
  double inputTrim;
  double wetDirect;
  double wetCross;
  double dry;
  double outputMakeup;
  float compthreshold;
  float compceiling;
};

// At most framesToWrap() frames. Unless Steady, each frame ticks the dry,
// depth and brightness smoothers in this order and reads them; a change of
// brightness may then change the engine's fields, which are read again.
// Otherwise everything a frame reads is read once for the stretch.
template <bool Mix, bool Steady>
void revmodel::runStretch(revmodel* engine, const float* inputL, const float* inputR,
                          float* outputL, float* outputR, int32_t frames, std::ptrdiff_t step,
                          FrameGains gains, SmoothParameter* dryLevel, SmoothParameter* depth,
                          SmoothParameter* brightness) {
  engine->stretch<Mix, Steady, CombBank::Stretch>(inputL, inputR, outputL, outputR, frames, step,
                                                  gains, dryLevel, depth, brightness);
}

// The same instructions in their three-operand encoding, which spares the
// register copies the two-operand one needs; chosen only where the
// processor has it. Every operation and its rounding are those of the
// baseline.
template <bool Mix, bool Steady>
__attribute__((target("avx"))) void revmodel::runStretchWide(
    revmodel* engine, const float* inputL, const float* inputR, float* outputL, float* outputR,
    int32_t frames, std::ptrdiff_t step, FrameGains gains, SmoothParameter* dryLevel,
    SmoothParameter* depth, SmoothParameter* brightness) {
  engine->stretch<Mix, Steady, CombBank::WideStretch>(inputL, inputR, outputL, outputR, frames,
                                                      step, gains, dryLevel, depth, brightness);
}

template <bool Mix, bool Steady, class Combs>
[[gnu::always_inline]] inline void revmodel::stretch(const float* inputL, const float* inputR, float* outputL,
                          float* outputR, int32_t frames, std::ptrdiff_t step, FrameGains gains,
                          SmoothParameter* dryLevel, SmoothParameter* depth,
                          SmoothParameter* brightness) {
  Combs left(combsLeft);
  Combs right(combsRight);
  std::array<float*, kAllpasses> allpassCellsL;
  std::array<float*, kAllpasses> allpassCellsR;
  __m128d allpassFeedback[kAllpasses];
  for (std::size_t i = 0; i < kAllpasses; ++i) {
    allpassCellsL[i] = allpassesLeft[i].cursor();
    allpassCellsR[i] = allpassesRight[i].cursor();
    allpassFeedback[i] = _mm_setr_pd(static_cast<double>(allpassesLeft[i].getfeedback()),
                                     static_cast<double>(allpassesRight[i].getfeedback()));
  }
  FrameConstants constants(*this);
  CompressorPair compressor(constants.compthreshold, constants.compceiling);

  for (int32_t frame = 0; frame < frames; ++frame) {
    if constexpr (!Steady) {
      dryLevel->tick();
      depth->tick();
      brightness->tick();
      if constexpr (!Mix) gains.dry = dryGainFor(dryLevel->getCurrentValue());
      followBrightness(brightness->getCurrentValue());
      gains.depth = depth->getCurrentValue();
      left.reloadSettings();
      right.reloadSettings();
      constants = FrameConstants(*this);
      compressor = CompressorPair(constants.compthreshold, constants.compceiling);
    }

    const float inL = *inputL;
    const float inR = *inputR;
    float input = static_cast<float>(
        ((static_cast<double>(inL) + static_cast<double>(inR)) * constants.inputScale) *
        constants.inputTrim);
    // A NaN or infinite input sample never enters the delay lines: it would
    // circulate there for ever. The network hears silence instead.
    if (!std::isfinite(input)) [[unlikely]] {
      input = 0.0f;
    }

    const float combSumL = left.process(input, frame);
    const float combSumR = right.process(input, frame);
    __m128 net = _mm_unpacklo_ps(_mm_set_ss(combSumL), _mm_set_ss(combSumR));
    for (std::size_t i = 0; i < kAllpasses; ++i) {
      net = allpassPair(net, allpassCellsL[i] + frame, allpassCellsR[i] + frame,
                        allpassFeedback[i]);
    }
    const float netL = _mm_cvtss_f32(net);
    const float netR = _mm_cvtss_f32(_mm_shuffle_ps(net, net, 1));

    // Left lane: netL * wetDirect + netR * wetCross + inL * dry; right lane
    // the mirror image.
    const __m128d netD = _mm_cvtps_pd(net);
    const __m128d crossed = _mm_shuffle_pd(netD, netD, 1);
    const __m128d inputD = _mm_setr_pd(static_cast<double>(inL), static_cast<double>(inR));
    const __m128d sumsD =
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(netD, _mm_set1_pd(constants.wetDirect)),
                              _mm_mul_pd(crossed, _mm_set1_pd(constants.wetCross))),
                   _mm_mul_pd(inputD, _mm_set1_pd(constants.dry)));
    __m128 sums = _mm_cvtpd_ps(sumsD);
    if ((_mm_movemask_ps(_mm_cmpord_ps(_mm_sub_ps(sums, sums), _mm_setzero_ps())) & 3) != 3)
        [[unlikely]] {
      // Only absurdly loud input can overflow the network; its lines would
      // then hold infinities for ever, so they start afresh. A non-finite
      // sum from the input's own term or from the gains is dropped for
      // this frame alone.
      if (!(std::isfinite(netL) && std::isfinite(netR))) {
        clearNetwork();
        left.reloadState();
        right.reloadState();
      }
      sums = _mm_setzero_ps();
    }

    // wet = compressed * depth * make-up, in double.
    const __m128d wetPair = _mm_mul_pd(
        _mm_mul_pd(_mm_cvtps_pd(compressor.apply(sums)), _mm_set1_pd(static_cast<double>(gains.depth))),
        _mm_set1_pd(constants.outputMakeup));
    __m128 out;
    if constexpr (Mix) {
      const __m128 before = _mm_unpacklo_ps(_mm_load_ss(outputL), _mm_load_ss(outputR));
      out = _mm_cvtpd_ps(_mm_add_pd(_mm_cvtps_pd(before), wetPair));
    } else {
      out = _mm_cvtpd_ps(
          _mm_add_pd(wetPair, _mm_mul_pd(_mm_set1_pd(static_cast<double>(gains.dry)), inputD)));
    }
    _mm_store_ss(outputL, out);
    _mm_store_ss(outputR, _mm_shuffle_ps(out, out, 1));

    inputL += step;
    inputR += step;
    outputL += step;
    outputR += step;
  }
  left.finish();
  right.finish();
}

}  // namespace kqfx
