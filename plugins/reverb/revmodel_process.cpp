// The per-frame work of the reverb engine. Audio thread: no allocation,
// locks, system calls or exceptions; bounded time per frame.

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

template <bool Mix>
void revmodel::run(const float* inputL, const float* inputR, float* outputL, float* outputR,
                   int32_t frames, int32_t stride, SmoothParameter* dryLevel,
                   SmoothParameter* depth, SmoothParameter* brightness) {
  if (frames <= 0) return;
  const std::ptrdiff_t step = stride;

  for (int32_t frame = 0; frame < frames; ++frame) {
    dryLevel->tick();
    depth->tick();
    brightness->tick();
    float dryGain = 0.0f;
    if constexpr (!Mix) dryGain = dryGainFor(dryLevel->getCurrentValue());
    followBrightness(brightness->getCurrentValue());

    const float inL = *inputL;
    const float inR = *inputR;
    float input =
        static_cast<float>(((static_cast<double>(inL) + static_cast<double>(inR)) * inputScale) *
                           static_cast<double>(inputTrim));
    // A NaN or infinite input sample never enters the delay lines: it would
    // circulate there for ever. The network hears silence instead.
    if (!std::isfinite(input)) [[unlikely]] {
      input = 0.0f;
    }

    float netL = 0.0f;
    float netR = 0.0f;
    for (std::size_t i = 0; i < kCombs; ++i) {
      netL += combsLeft[i].process(input);
      netR += combsRight[i].process(input);
    }
    for (std::size_t i = 0; i < kAllpasses; ++i) {
      netL = allpassesLeft[i].process(netL);
      netR = allpassesRight[i].process(netR);
    }

    float sumL =
        static_cast<float>(static_cast<double>(netL) * wetDirect +
                           static_cast<double>(netR) * wetCross + static_cast<double>(inL) * dry);
    float sumR =
        static_cast<float>(static_cast<double>(netR) * wetDirect +
                           static_cast<double>(netL) * wetCross + static_cast<double>(inR) * dry);
    if (!(std::isfinite(sumL) && std::isfinite(sumR))) [[unlikely]] {
      // Only absurdly loud input can overflow the network; its lines would
      // then hold infinities for ever, so they start afresh. A non-finite
      // sum from the input's own term or from the gains is dropped for
      // this frame alone.
      if (!(std::isfinite(netL) && std::isfinite(netR))) clearNetwork();
      sumL = 0.0f;
      sumR = 0.0f;
    }

    const double depthValue = depth->getCurrentValue();
    const double wetL = static_cast<double>(dumbCompress(sumL, compthreshold, compceiling)) *
                        depthValue * static_cast<double>(outputMakeup);
    const double wetR = static_cast<double>(dumbCompress(sumR, compthreshold, compceiling)) *
                        depthValue * static_cast<double>(outputMakeup);
    if constexpr (Mix) {
      *outputL = static_cast<float>(static_cast<double>(*outputL) + wetL);
      *outputR = static_cast<float>(static_cast<double>(*outputR) + wetR);
    } else {
      *outputL = static_cast<float>(wetL + static_cast<double>(dryGain) * inL);
      *outputR = static_cast<float>(wetR + static_cast<double>(dryGain) * inR);
    }

    inputL += step;
    inputR += step;
    outputL += step;
    outputR += step;
  }
}

}  // namespace kqfx
