#pragma once
// The reverb's sound written out plainly, for the boundary tests to hold
// the shipped plug-in against: every frame recomputes every derived value
// and the dry gain from scratch, and a room model applies the moment it
// is chosen. Finite input only. Intermediate arithmetic runs in double and
// is rounded to float wherever a value is kept.

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/SignalHelpers.h"
#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx::test {

class ReverbReference {
 public:
  ReverbReference() {
    const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const int allpasses[4] = {556, 441, 341, 225};
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < 8; ++i) comb_[side][i].cells.assign(combs[i] + 23 * side, 0.0f);
      for (int i = 0; i < 4; ++i) allpass_[side][i].cells.assign(allpasses[i] + 23 * side, 0.0f);
    }
    setParameter(3, 0.0f);
  }

  void setParameter(int index, float value) {
    if (index == 0) dry_.setTargetValueUnlocked(value);
    if (index == 1) depth_.setTargetValueUnlocked(value);
    if (index == 2) brightness_.setTargetValueUnlocked(value);
    if (index == 3) {
      // roomsize, width, threshold, ceiling of each model
      static const float rooms[10][4] = {
          {0.916936f, 1, 0.00001f, 0.2f},   {0.005f, 1, 0.5f, 0.95f}, {0.5f, 3, 0.00001f, 0.5f},
          {1.0001f, 0.8f, 0.00001f, 0.45f}, {0.000001f, 0, 1, 1},     {0.444f, 2.3f, 0.2f, 0.65f},
          {0.01f, -5, 0.00001f, 0.1f},      {0, -15, 0.00001f, 0.3f}, {0.2f, -25, 0.00001f, 0.1f},
          {1, -8, 0.00001f, 0.2f}};
      const double n = std::floor(static_cast<double>(value) * 9);
      const float* room = rooms[(n >= 0 && n <= 9) ? static_cast<int>(n) : 0];
      feedback_ =
          static_cast<float>(room[0] * static_cast<double>(0.28f) + static_cast<double>(0.7f));
      width_ = room[1];
      threshold_ = room[2];
      ceiling_ = room[3];
    }
  }

  void suspend() {
    dry_.reset(16384, dry_.getCurrentValue());
    depth_.reset(16384, depth_.getCurrentValue());
    brightness_.reset(16384, brightness_.getCurrentValue());
  }

  void render(const float* inL, const float* inR, float* outL, float* outR, int frames,
              bool replacing) {
    const double trim = ReverbGain::gain2factor(0.3f);
    const double makeup = ReverbGain::gain2factor(0.6f);
    for (int t = 0; t < frames; ++t) {
      dry_.tick();
      depth_.tick();
      brightness_.tick();
      const float dryGain = ReverbGain::gain2factor(dry_.getCurrentValue());
      const float damp =
          static_cast<float>(inverse(brightness_.getCurrentValue()) * static_cast<double>(0.4f));
      const float keep = static_cast<float>(1.0 - damp);
      const float direct = static_cast<float>(3.0 * (width_ * 0.5 + 0.5));
      const float cross = static_cast<float>(3.0 * ((1.0 - width_) * 0.5));
      const float x = static_cast<float>((static_cast<double>(inL[t]) + inR[t]) *
                                         static_cast<double>(0.015f) * trim);

      float net[2];
      for (int side = 0; side < 2; ++side) {
        float sum = 0.0f;
        for (Line& c : comb_[side]) {
          const float y = flushed(c.cells[c.at]);
          c.state = flushed(static_cast<float>(static_cast<double>(y) * keep +
                                               static_cast<double>(c.state) * damp));
          c.cells[c.at] = static_cast<float>(x + static_cast<double>(c.state) * feedback_);
          c.at = (c.at + 1) % c.cells.size();
          sum = sum + y;
        }
        for (Line& a : allpass_[side]) {
          const float b = flushed(a.cells[a.at]);
          a.cells[a.at] = static_cast<float>(sum + static_cast<double>(b) * 0.5);
          a.at = (a.at + 1) % a.cells.size();
          sum = b - sum;
        }
        net[side] = sum;
      }
      const float depth = depth_.getCurrentValue();
      const float sums[2] = {static_cast<float>(static_cast<double>(net[0]) * direct +
                                                static_cast<double>(net[1]) * cross),
                             static_cast<float>(static_cast<double>(net[1]) * direct +
                                                static_cast<double>(net[0]) * cross)};
      const float in[2] = {inL[t], inR[t]};
      float* out[2] = {outL + t, outR + t};
      for (int side = 0; side < 2; ++side) {
        const double wet =
            static_cast<double>(dumbCompress(sums[side], threshold_, ceiling_)) * depth * makeup;
        *out[side] = replacing ? static_cast<float>(wet + static_cast<double>(dryGain) * in[side])
                               : static_cast<float>(*out[side] + wet);
      }
    }
  }

 private:
  struct Line {
    std::vector<float> cells;
    std::size_t at = 0;
    float state = 0.0f;
  };
  static float flushed(float v) { return std::fpclassify(v) == FP_SUBNORMAL ? 0.0f : v + 0.0f; }

  SmoothParameter dry_{16384, 0.4375f};
  SmoothParameter depth_{16384, 0.5f};
  SmoothParameter brightness_{16384, 0.5f};
  float feedback_ = 0.0f;
  float width_ = 0.0f;
  float threshold_ = 0.0f;
  float ceiling_ = 0.0f;
  std::array<std::array<Line, 8>, 2> comb_;
  std::array<std::array<Line, 4>, 2> allpass_;
};

}  // namespace kqfx::test
