#pragma once
// One channel of the tempo filter's resonant low-pass: four one-pole
// stages of the transistor-ladder kind (24 dB per octave) with the fourth
// stage's last output fed back for resonance. The cutoff f is normalised,
// 0 to 1.16; the resonance runs from 0 (open stages, no feedback) to 1.
//
// Each stage is out = s + 0.3 in + (1 - f) out, whose gain at low
// frequencies is 1.3 / f; the input is scaled by 0.35013 f^4 so that the
// four stages together pass low frequencies at unity. That makes the
// memory of the early stages tiny at a low cutoff and large at a high one,
// and three situations turn this into a runaway that the arithmetic alone
// would follow to thousands, or without bound:
//   - the cutoff jumps down while the memory still holds a high cutoff's
//     signal (the sweep changes its length mid-way): the later stages
//     amplify the leftover up to (1.3 / f)^3 times;
//   - the cutoff stays at exactly 0: each stage becomes an integrator of
//     the one before, and any leftover grows without end;
//   - the cutoff is modulated faster than the filter can follow (repeated
//     jumps, or a sweep a few samples long), which can pump energy in.
// The filter meets them as follows, none of which touches a filter whose
// cutoff moves as the sweep moves it and whose memory stays below the
// ceiling:
//   - followCutoffJump carries the memory over to the lower cutoff, each
//     stage scaled as its share of the signal scales with f, so the output
//     goes on from where it was instead of ringing;
//   - at a cutoff of 0 held from one sample to the next, the first three
//     stages are emptied: the closed filter then holds its last output;
//   - memory beyond kCeiling, or not finite (a NaN or infinite input), is
//     forgotten: that sample comes out silent and the filter restarts from
//     rest, ready for the next finite sample.
//
// Set-up: Step, once per cutoff and resonance (shared by both channels);
// per-sample step: process. Audio thread: no allocation, no locks,
// bounded time.

#include <array>
#include <cmath>

namespace kqfx {

class LadderFilter {
 public:
  // No ordinary signal takes the filter's memory near this level: 2^12,
  // 48 dB above a full-scale input at the largest input gain (x15.85).
  static constexpr float kCeiling = 4096.0f;

  // What one sample's step takes from the cutoff f and the resonance; the
  // same for both channels of a frame, so worked out once for them.
  struct Step {
    Step() = default;
    Step(float f, float resonance)
        : cutoff(f),
          feedback(static_cast<float>(4.0 * static_cast<double>(resonance) *
                                      (1.0 - 0.15 * static_cast<double>(f) * f))),
          f2(static_cast<double>(f) * f),
          decay(1.0 - static_cast<double>(f)) {}
    float cutoff = 0.0f;
    float feedback = 0.0f;
    double f2 = 0.0;
    double decay = 1.0;
  };

  float process(float input, const Step& step) {
    if (step.cutoff == 0.0f && previousCutoff_ == 0.0f) emptyFirstStages();
    previousCutoff_ = step.cutoff;
    const float feedback = step.feedback;
    float x = static_cast<float>(static_cast<double>(input) -
                                 static_cast<double>(feedback) * static_cast<double>(out_[3]));
    const double f2 = step.f2;
    x = static_cast<float>(static_cast<double>(x) * 0.35013 * f2 * f2);

    const double decay = step.decay;
    float s = x;
    for (std::size_t k = 0; k < kStages; ++k) {
      const float next = static_cast<float>(static_cast<double>(s) +
                                            0.3 * static_cast<double>(in_[k]) +
                                            decay * static_cast<double>(out_[k]));
      in_[k] = s;
      out_[k] = next;
      s = next;
    }
    if (!withinCeiling()) [[unlikely]] {
      clear();
      return 0.0f;
    }
    return out_[3];
  }

  // The cutoff is about to jump to f from the one of the last sample. A
  // jump down rescales the memory to the new cutoff; a jump up needs
  // nothing (the stages settle on their own).
  // Inline, as process: a call out of line would make the filter's memory
  // leave the registers of the loop that runs it.
  void followCutoffJump(float f) {
    if (!(f >= 0.0f && f < previousCutoff_)) return;
    const double ratio = static_cast<double>(f) / static_cast<double>(previousCutoff_);
    double scale = 1.0;
    for (std::size_t k = kStages; k-- > 0;) {
      out_[k] = static_cast<float>(static_cast<double>(out_[k]) * scale);
      scale *= ratio;
      in_[k] = static_cast<float>(static_cast<double>(in_[k]) * scale);
    }
  }

  // Back to rest: memory silent, no cutoff before.
  void clear() {
    in_.fill(0.0f);
    out_.fill(0.0f);
    previousCutoff_ = 0.0f;
  }

 private:
  static constexpr std::size_t kStages = 4;

  void emptyFirstStages() {
    in_.fill(0.0f);
    out_[0] = out_[1] = out_[2] = 0.0f;
  }

  bool withinCeiling() const {
    bool within = true;
    for (float v : out_) within = within && std::fabs(v) <= kCeiling;
    return within;
  }

  std::array<float, kStages> in_{};   // each stage's last input
  std::array<float, kStages> out_{};  // each stage's last output
  float previousCutoff_ = 0.0f;
};

}  // namespace kqfx
