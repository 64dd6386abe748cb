#pragma once
// A stretch of Morvane frames at fixed settings in which no beat ends and
// the delay line does not wrap: the quiet side stays and each line is read
// and written at consecutive samples. Frames go two at a time. The low cut
// runs both channels side by side (lane 0 left, lane 1 right), one frame
// after the other, as its memory demands; the rest of the frame work has no
// memory, so it runs per channel with the two frames side by side, which
// saves the shuffling of samples between channels. Every lane performs the
// operations of one channel in one frame, in the same order and with the
// same roundings as EchoLanes' frame, so the results are the same bits.
// Audio thread only.

#include <cstdint>
#include <type_traits>

#include "EchoLanes.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx::echo_lanes {

// The stretch over one lane family (Lanes.h).
template <class L>
struct Stretch : Frame<L> {
  using Doubles = typename L::Doubles;
  using Floats = typename L::Floats;
  using Settings = typename Frame<L>::Settings;
  using LowCutState = typename Frame<L>::LowCutState;
  using Frame<L>::roundToFloat;
  using Frame<L>::lineSamples;
  using Frame<L>::sideFactors;
  using Frame<L>::widen;
  using Frame<L>::lane0;
  using Frame<L>::lane1;

  // Two consecutive floats as the low half of a register.
  static Floats loadPair(const float* p) { return L::loadPair(p); }
  static void storePair(float* p, Floats v) { L::storePair(p, v); }

  // Gain factor and feedback of the frames of a stretch, as the lanes of
  // two consecutive frames or both lanes of one frame: the same for every
  // frame of a steady block ...
  struct FixedLevels {
    Doubles gain;
    Doubles feedback;
    FixedLevels from(int32_t) const { return *this; }
    Doubles gainPair(int32_t) const { return gain; }
    Doubles feedbackPair(int32_t) const { return feedback; }
    Settings frame(Settings s, int32_t) const { return s; }
  };

  // ... or one of each per frame while they glide.
  struct FrameLevels {
    const float* gain;
    const float* feedback;
    FrameLevels from(int32_t i) const { return {gain + i, feedback + i}; }
    Doubles gainPair(int32_t i) const { return L::widenLow(loadPair(gain + i)); }
    Doubles feedbackPair(int32_t i) const { return L::widenLow(loadPair(feedback + i)); }
    Settings frame(Settings s, int32_t i) const {
      s.gain = L::splatDoubles(static_cast<double>(gain[i]));
      s.feedback = L::splatDoubles(static_cast<double>(feedback[i]));
      return s;
    }
  };

  // The two frames of one channel after the low cut: the echo from the line
  // (scaled by `quiet` on the quiet side and rounded back to float), the
  // output mix and what enters the line.
  template <class Output, bool Quiet>
  static void channelPair(Doubles filtered, float* out, float* line, Doubles gain,
                          Doubles feedback, Doubles quiet, Doubles echoLevel) {
    const Doubles old = L::widenLow(loadPair(line));
    const Doubles echo = Quiet ? roundToFloat(L::mul(old, quiet)) : old;
    const Floats y =
        L::narrow(L::add(L::mul(gain, filtered), L::mul(echoLevel, echo)));
    if constexpr (std::is_same_v<Output, ReplaceOutput>) {
      storePair(out, y);
    } else if constexpr (std::is_same_v<Output, AddToOutput>) {
      // The float sums of Output::store, two side by side.
      storePair(out, L::add(loadPair(out), y));
    } else {
      Output::store(out[0], lane0(y));
      Output::store(out[1], lane1(y));
    }
    storePair(line, lineSamples(L::add(L::mul(feedback, old), filtered)));
  }

  // True when either frame's low cut gave a NaN or infinity on either
  // channel. The sum of two floats held in doubles cannot overflow, so it is
  // finite exactly when both are, and a finite value minus itself is 0.
  static bool eitherNonFinite(Doubles a, Doubles b) {
    const Doubles sum = L::add(a, b);
    const Doubles zero = L::sub(sum, sum);
    return L::signBits(L::unordered(zero, zero)) != 0;
  }

  // Runs `n` frames, the lines read and written from `lineL`, `lineR` on.
  // With the last shelf the division by its gain coefficient of 1 changes
  // nothing and is left out.
  // Gain factor and feedback come from `levels`; the shelf's coefficients
  // from `s`.
  // Inlined where it is called: the stretch loop is the effect's hot path.
  template <class Output, bool UnitShelf, bool RightQuiet, class Levels>
  [[gnu::always_inline]] static inline void stretch(const float* inL, const float* inR, float* outL, float* outR, float* lineL,
                      float* lineR, int32_t n, const Settings& s, const Levels& levels,
                      double quietFactor, double echoLevelValue, LowCutState& state) {
    const Doubles quiet = L::splatDoubles(quietFactor);
    const Doubles echoLevel = L::splatDoubles(echoLevelValue);
    const Doubles side = sideFactors(RightQuiet, quietFactor);
    LowCutState cut = state;
    const auto scale = [&s](Doubles x) {
      return UnitShelf ? x : roundToFloat(L::div(x, s.shelfGain));
    };
    int32_t i = 0;
    for (; i + 2 <= n; i += 2) {
      // Both frames' inputs are read before an output is written, so
      // in-place buffers work.
      const Floats both = L::interleaveLow(loadPair(inL + i), loadPair(inR + i));
      const Doubles x0 = scale(L::widenLow(both));
      const Doubles x1 = scale(L::widenLow(L::highOf(both, both)));
      const LowCutState before = cut;
      const Doubles y0 = roundToFloat(
          L::add(L::sub(x0, cut.in), L::mul(s.shelfY, cut.out)));
      const Doubles y1 =
          roundToFloat(L::add(L::sub(x1, x0), L::mul(s.shelfY, y0)));
      if (eitherNonFinite(y0, y1)) [[unlikely]] {
        // The low cut restarts a channel after a NaN or infinity: these two
        // frames take the frame-by-frame path that does so.
        cut = before;
        Frame<L>::template echoFrame<Output>(x0, outL + i, outR + i, lineL + i, lineR + i, levels.frame(s, i), side,
                          echoLevelValue, cut);
        Frame<L>::template echoFrame<Output>(x1, outL + i + 1, outR + i + 1, lineL + i + 1, lineR + i + 1,
                          levels.frame(s, i + 1), side, echoLevelValue, cut);
        continue;
      }
      cut.in = x1;
      cut.out = y1;
      const Doubles fL = L::interleaveLow(y0, y1);
      const Doubles fR = L::interleaveHigh(y0, y1);
      const Doubles gain = levels.gainPair(i);
      const Doubles feedback = levels.feedbackPair(i);
      channelPair<Output, !RightQuiet>(fL, outL + i, lineL + i, gain, feedback, quiet, echoLevel);
      channelPair<Output, RightQuiet>(fR, outR + i, lineR + i, gain, feedback, quiet, echoLevel);
    }
    if (i < n) {
      Frame<L>::template echoFrame<Output>(scale(widen(inL + i, inR + i)), outL + i, outR + i, lineL + i, lineR + i,
                        levels.frame(s, i), side, echoLevelValue, cut);
    }
    state = cut;
  }
};

}  // namespace kqfx::echo_lanes
