#pragma once
// dumbCompress (SignalHelpers.h) of four float lanes at once, without
// branches (the sign of a noisy signal is no pattern a branch predictor
// could learn). Each lane gets exactly dumbCompress(sample, threshold,
// ceiling): the magnitude above the threshold is squeezed in double and
// rounded once, the sign put back by negation, and a zero or NaN magnitude
// gives +0. Set up once per threshold and ceiling; any thread; pure.

#include "kqfx/dsp/Lanes.h"

namespace kqfx {

template <class Lanes>
class DumbCompressLanes {
 public:
  using Floats = typename Lanes::Floats;
  using Quad = typename Lanes::Quad;

  DumbCompressLanes(float threshold, float ceiling)
      : threshold_(Lanes::splatFloats(threshold)),
        active_(Lanes::maskFloats(threshold < 1.0f)),
        thresholdD_(Lanes::broadcast(static_cast<double>(threshold))),
        span_(Lanes::broadcast(static_cast<double>(ceiling) - threshold)),
        divisor_(Lanes::broadcast(1.0 - static_cast<double>(threshold))) {}

  Floats apply(Floats sample) const {
    const Floats signBit = Lanes::splatFloats(-0.0f);
    const Floats magnitude = Lanes::bitAndNot(signBit, sample);
    const Floats squeezed = Lanes::narrow(Lanes::add(
        thresholdD_,
        Lanes::div(Lanes::mul(Lanes::sub(Lanes::widen(magnitude), thresholdD_), span_), divisor_)));
    const Floats over = Lanes::bitAnd(Lanes::greater(magnitude, threshold_), active_);
    const Floats result =
        Lanes::bitOr(Lanes::bitAnd(over, squeezed), Lanes::bitAndNot(over, magnitude));
    const Floats signedResult = Lanes::bitXor(result, Lanes::bitAnd(sample, signBit));
    return Lanes::bitAnd(signedResult, Lanes::greater(magnitude, Lanes::zeroFloats()));
  }

 private:
  Floats threshold_;
  Floats active_;
  Quad thresholdD_;
  Quad span_;
  Quad divisor_;
};

}  // namespace kqfx
