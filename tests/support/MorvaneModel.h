#pragma once
// The filtered beat echo written out frame by frame from its description,
// as the tests' reference: four smoothers ticked every frame, the gain
// law, the tempo arithmetic, the shelf scan, the low cut, the side change
// and the delay lines, each step with its own rounding. Like the plug-in
// it starts from silent lines, restarts a channel's low cut after a NaN or
// infinity and keeps such values out of the lines. It has no saturation
// of extreme beat lengths, so tempos stay within 6..300 BPM.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kqfx/dsp/LowCutShelves.h"
#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx::test {

class MorvaneModel {
 public:
  // `sampleRate` is the rate in force; `memoryRate` the one the delay
  // memory was made at.
  explicit MorvaneModel(double sampleRate, double memoryRate = 44100.0)
      : rate_(sampleRate),
        memoryLength_(static_cast<int32_t>(std::floor(memoryRate / 1000.0 * 10000.0))),
        line_{std::vector<float>(static_cast<std::size_t>(memoryLength_)),
              std::vector<float>(static_cast<std::size_t>(memoryLength_))} {}

  void setParameter(int32_t index, float value) {
    if (index == 1 && !(value > 0.0f)) value = 0.0033333334f;
    parameters_[static_cast<std::size_t>(index)].setTargetValue(value);
  }

  std::array<float, 2> frame(float inL, float inR) {
    for (SmoothParameter& p : parameters_) p.tick();
    const float g = gainFactor(parameters_[0].getCurrentValue());
    double bpm = std::floor(static_cast<double>(parameters_[1].getCurrentValue()) * 300.0);
    if (bpm < 1.0) bpm = 1.0;
    const float msPerBeat = static_cast<float>(60000.0 / bpm);
    const auto samplesPerBeat =
        static_cast<int32_t>(std::floor(rate_ * (static_cast<double>(msPerBeat) / 1000.0)));
    const auto delayLength = std::min(
        static_cast<int32_t>(std::floor(static_cast<double>(msPerBeat) / 10000.0 * memoryLength_)),
        memoryLength_);
    ++beatCount_;
    const int shelf = shelfIndex(parameters_[2].getCurrentValue());
    const float fL = lowCut(0, inL, shelf);
    const float fR = lowCut(1, inR, shelf);
    if (beatCount_ >= samplesPerBeat) {
      beatCount_ = 0;
      rightQuiet_ = !rightQuiet_;
    }
    const auto at = static_cast<std::size_t>(cursor_);
    const float oldL = line_[0][at];
    const float oldR = line_[1][at];
    float eL = oldL;
    float eR = oldR;
    if (rightQuiet_) {
      eR = static_cast<float>(static_cast<double>(eR) * 0.06999999999999995);
    } else {
      eL = static_cast<float>(static_cast<double>(eL) * 0.06999999999999995);
    }
    const double gd = g;
    const std::array<float, 2> out{static_cast<float>(gd * fL + 0.33333 * eL),
                                   static_cast<float>(gd * fR + 0.33333 * eR)};
    const double fb = parameters_[3].getCurrentValue();
    line_[0][at] = keepFinite(static_cast<float>(fb * oldL + fL));
    line_[1][at] = keepFinite(static_cast<float>(fb * oldR + fR));
    if (++cursor_ >= delayLength) cursor_ = 0;
    return out;
  }

 private:
  static float gainFactor(float x) {
    if (x == 0.0f) return 0.0f;
    const float d = static_cast<float>(static_cast<double>(x) - 0.5);
    const float db = static_cast<float>(static_cast<double>(d) * 24.0);
    return static_cast<float>(std::pow(10.0, static_cast<double>(db) / 10.0));
  }

  static float keepFinite(float x) { return std::isfinite(x) ? x : 0.0f; }

  float lowCut(int ch, float x, int shelf) {
    const auto s = static_cast<std::size_t>(shelf);
    float& in = in_[static_cast<std::size_t>(ch)];
    float& out = out_[static_cast<std::size_t>(ch)];
    const float inPrev = in;
    in = static_cast<float>(static_cast<double>(x) /
                            static_cast<double>(kShelfGainCoefficients[s]));
    out = static_cast<float>((static_cast<double>(in) - static_cast<double>(inPrev)) +
                             static_cast<double>(kShelfYCoefficients[s]) *
                                 static_cast<double>(out));
    const float y = out;
    if (!std::isfinite(y)) in = out = 0.0f;
    return y;
  }

  double rate_;
  int32_t memoryLength_;
  std::array<SmoothParameter, 4> parameters_{{{16384, 0.5f},
                                              {16384, 0.33333334f},
                                              {16384, 0.05f},
                                              {16384, 0.25f}}};
  std::array<std::vector<float>, 2> line_;
  int32_t cursor_ = 0;
  int32_t beatCount_ = 0;
  bool rightQuiet_ = true;
  std::array<float, 2> in_{};
  std::array<float, 2> out_{};
};

}  // namespace kqfx::test
