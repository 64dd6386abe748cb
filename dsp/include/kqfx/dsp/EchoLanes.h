#pragma once
// The filtered beat echo's frames, written once over the lane type
// (Lanes.h): both channels side by side in the two double lanes (lane 0
// left, lane 1 right). Each lane runs exactly the operations of one
// channel, in the same order and with the same roundings to 32-bit float,
// so the result is bit for bit that of a channel computed on its own, on
// every lane family.
//
// The per-frame pieces: the low cut (input divided by the shelf's gain
// coefficient, one-pole high-pass; LowCutShelves.h), the echo with its
// quiet side, the output mix and what enters the delay line
// (StereoDelayMemory.h), the side changing with the beat (BeatTiming.h).
// Set-up: Frame::settings, once per shelf and levels; per-frame step:
// Frame::echoFrame, or Stretch::stretch for frames with no beat end or
// line wrap among them; Stretch::run covers any frames at one shelf and
// beat. Audio thread only.

#include <algorithm>
#include <cstdint>
#include <limits>

#include "kqfx/dsp/BeatTiming.h"
#include "kqfx/dsp/Lanes.h"
#include "kqfx/dsp/StereoDelayMemory.h"

namespace kqfx::echo_lanes {

// Every piece below, over one lane family (Lanes.h).
template <class L>
struct Frame {
  using Doubles = typename L::Doubles;
  using Floats = typename L::Floats;

  // Everything a frame reads from the settings, widened once per setting.
  struct Settings {
    Doubles shelfGain;  // the shelf's gain coefficient, both lanes
    Doubles shelfY;     // the shelf's y coefficient, both lanes
    Doubles gain;       // the direct signal's gain factor, both lanes
    Doubles feedback;   // share of the old line sample kept, both lanes
  };

  static Settings settings(float shelfGain, float shelfY, float gain, float feedback) {
    return {L::splatDoubles(static_cast<double>(shelfGain)), L::splatDoubles(static_cast<double>(shelfY)),
            L::splatDoubles(static_cast<double>(gain)), L::splatDoubles(static_cast<double>(feedback))};
  }

  // The factor each lane's echo sample is multiplied by: 1 on the loud side
  // (a multiplication by 1 and the rounding back to float change no finite
  // value, and the lines only ever hold finite ones), `quiet` on the other.
  static Doubles sideFactors(bool rightQuiet, double quiet) {
    return rightQuiet ? L::setDoubles(1.0, quiet) : L::setDoubles(quiet, 1.0);
  }

  // The low cut's memory of both channels: the last scaled input and the
  // last output, each a float value held in a double lane.
  struct LowCutState {
    Doubles in;
    Doubles out;
  };

  // Two floats, one per lane, widened to double.
  static Doubles widen(const float* left, const float* right) {
    return L::widenLow(L::interleaveLow(L::loadFirst(left), L::loadFirst(right)));
  }

  // Rounds each lane to a 32-bit float and back.
  static Doubles roundToFloat(Doubles v) { return L::widenLow(L::narrow(v)); }

  // Lanes whose value is NaN or infinite, as a two-bit mask (bit 0 left).
  static int nonFinite(Doubles v) {
    const Doubles magnitude = L::bitAndNot(L::splatDoubles(-0.0), v);
    return 3 ^ L::signBits(L::lessEqual(magnitude, L::splatDoubles(std::numeric_limits<double>::max())));
  }

  // One frame of the low cut for both channels. `scaled` is the input
  // already divided by the shelf's gain coefficient and rounded to float.
  // Answers the output; a lane whose output is NaN or infinite passes it on
  // but starts again from rest, so the channel recovers with its input.
  static Doubles lowCut(LowCutState& state, Doubles scaled, Doubles shelfY) {
    const Doubles y = roundToFloat(
        L::add(L::sub(scaled, state.in), L::mul(shelfY, state.out)));
    state.in = scaled;
    state.out = y;
    if (const int bad = nonFinite(y)) [[unlikely]] {
      const Doubles keep = L::maskDoubles((bad & 1) == 0, (bad & 2) == 0);
      state.in = L::bitAnd(state.in, keep);
      state.out = L::bitAnd(state.out, keep);
    }
    return y;
  }

  // The sample about to enter each line, rounded to float; a NaN or
  // infinity becomes silence there.
  static Floats lineSamples(Doubles value) {
    const Floats sample = L::narrow(value);
    const Floats magnitude = L::bitAndNot(L::splatFloats(-0.0f), sample);
    return L::bitAnd(sample, L::less(magnitude, L::splatFloats(std::numeric_limits<float>::infinity())));
  }

  // An output sample written, or added to what the buffer holds.
  template <bool Adds>
  static void store(float& out, float y) {
    if constexpr (Adds) {
      out += y;
    } else {
      out = y;
    }
  }

  // Lane 0 and lane 1 of a float register.
  static float lane0(Floats v) { return L::lane(v, 0); }
  static float lane1(Floats v) { return L::lane(v, 1); }

  // One whole frame after the beat bookkeeping: reads the inputs and the
  // lines, writes (or, with `Adds`, adds to) the outputs and writes the lines.
  // `scaled` is the input divided by the shelf's gain coefficient, rounded
  // to float. Both inputs are read before an output is written, so
  // in-place buffers work.
  template <bool Adds>
  static void echoFrame(Doubles scaled, float* outL, float* outR, float* lineL, float* lineR,
                        const Settings& s, Doubles side, double echoLevel, LowCutState& cut) {
    const Doubles filtered = lowCut(cut, scaled, s.shelfY);
    const Doubles old = widen(lineL, lineR);
    const Doubles echo = roundToFloat(L::mul(old, side));
    const Floats y = L::narrow(
        L::add(L::mul(s.gain, filtered), L::mul(L::splatDoubles(echoLevel), echo)));
    store<Adds>(*outL, lane0(y));
    store<Adds>(*outR, lane1(y));
    // What enters the line is the filtered input without gain.
    const Floats line = lineSamples(L::add(L::mul(s.feedback, old), filtered));
    *lineL = lane0(line);
    *lineR = lane1(line);
  }

  // The input of a frame divided by the shelf's gain coefficient and rounded
  // to float.
  static Doubles scaledInput(const float* inL, const float* inR, const Settings& s) {
    return roundToFloat(L::div(widen(inL, inR), s.shelfGain));
  }
};

// A stretch of frames at fixed settings in which no beat ends and the
// delay line does not wrap: the quiet side stays and each line is read and
// written at consecutive samples. Frames go two at a time. The low cut
// runs both channels side by side (lane 0 left, lane 1 right), one frame
// after the other, as its memory demands; the rest of the frame work has
// no memory, so it runs per channel with the two frames side by side,
// which saves the shuffling of samples between channels. Every lane
// performs the operations of one channel in one frame, in the same order
// and with the same roundings as Frame::echoFrame, so the results are the
// same bits.
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
  template <bool Adds, bool Quiet>
  static void channelPair(Doubles filtered, float* out, float* line, Doubles gain,
                          Doubles feedback, Doubles quiet, Doubles echoLevel) {
    const Doubles old = L::widenLow(loadPair(line));
    const Doubles echo = Quiet ? roundToFloat(L::mul(old, quiet)) : old;
    const Floats y =
        L::narrow(L::add(L::mul(gain, filtered), L::mul(echoLevel, echo)));
    if constexpr (Adds) {
      // The float sums of store<true>, two side by side.
      storePair(out, L::add(loadPair(out), y));
    } else {
      storePair(out, y);
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
  template <bool Adds, bool UnitShelf, bool RightQuiet, class Levels>
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
        Frame<L>::template echoFrame<Adds>(x0, outL + i, outR + i, lineL + i, lineR + i, levels.frame(s, i), side,
                          echoLevelValue, cut);
        Frame<L>::template echoFrame<Adds>(x1, outL + i + 1, outR + i + 1, lineL + i + 1, lineR + i + 1,
                          levels.frame(s, i + 1), side, echoLevelValue, cut);
        continue;
      }
      cut.in = x1;
      cut.out = y1;
      const Doubles fL = L::interleaveLow(y0, y1);
      const Doubles fR = L::interleaveHigh(y0, y1);
      const Doubles gain = levels.gainPair(i);
      const Doubles feedback = levels.feedbackPair(i);
      channelPair<Adds, !RightQuiet>(fL, outL + i, lineL + i, gain, feedback, quiet, echoLevel);
      channelPair<Adds, RightQuiet>(fR, outR + i, lineR + i, gain, feedback, quiet, echoLevel);
    }
    if (i < n) {
      Frame<L>::template echoFrame<Adds>(scale(widen(inL + i, inR + i)), outL + i, outR + i, lineL + i, lineR + i,
                        levels.frame(s, i), side, echoLevelValue, cut);
    }
    state = cut;
  }
  // Everything `run` needs besides the frames: the shelf and levels as
  // lanes, the beat, the echo's two constant levels, and the state it
  // carries on (delay memory, beat counter, low cut).
  struct Echo {
    const Settings& lanes;
    bool unitShelf;       // the last shelf: the low cut passes its input
    int32_t perBeat;      // frames per beat: the side-change period
    int32_t delay;        // the delay length in the memory's samples
    double quietFactor;   // the factor of the attenuated side's echo
    double echoLevel;     // the level of both echoes
  };

  // Frames at one shelf and beat, gain factor and feedback from `levels`.
  // Between the frame that ends a beat and the one that wraps the delay
  // line, the quiet side stays, the line is read and written at
  // consecutive samples and nothing needs checking: such a stretch runs as
  // a plain loop, and the frame at its end takes the full bookkeeping.
  // Beat counter and low cut memory are held in locals meanwhile.
  template <bool Adds, class Levels>
  static void run(const float* inL, const float* inR, float* outL, float* outR, int32_t n,
                  const Echo& e, const Levels& levels, StereoDelayMemory& memory,
                  beat::EchoBeat& beat, LowCutState& state) {
    beat::EchoBeat counter = beat;
    LowCutState cut = state;
    int32_t i = 0;
    while (i < n) {
      const int32_t room = stretchLength(n - i, e.perBeat - int64_t{1} - counter.beatCount,
                                         e.delay - int64_t{1} - memory.cursor());
      if (room > 0) {
        stretchOf<Adds>(inL + i, inR + i, outL + i, outR + i, &memory.left(), &memory.right(),
                        room, e, levels.from(i),
                        counter.echoSide == beat::EchoBeat::kRightAttenuated, cut);
        counter.beatCount += room;
        memory.skip(room);
        i += room;
        if (i == n) break;
      }
      counter.count(e.perBeat);
      const Settings frame = levels.frame(e.lanes, i);
      Frame<L>::template echoFrame<Adds>(
          Frame<L>::scaledInput(inL + i, inR + i, frame), outL + i, outR + i, &memory.left(),
          &memory.right(), frame,
          sideFactors(counter.echoSide == beat::EchoBeat::kRightAttenuated, e.quietFactor),
          e.echoLevel, cut);
      memory.advance(e.delay);
      ++i;
    }
    beat = counter;
    state = cut;
  }

  // Frames that can run before the beat counter or the cursor needs its
  // check: the fewest of what is left and the room of each.
  static int32_t stretchLength(int32_t left, int64_t beatRoom, int64_t lineRoom) {
    const int64_t room = std::min({int64_t{left}, beatRoom, lineRoom});
    return room > 0 ? static_cast<int32_t>(room) : 0;
  }

  // `stretch` for the shelf and side at hand.
  template <bool Adds, class Levels>
  [[gnu::flatten]] static void stretchOf(const float* inL, const float* inR, float* outL,
                                         float* outR, float* lineL, float* lineR, int32_t n,
                                         const Echo& e, const Levels& levels, bool rightQuiet,
                                         LowCutState& cut) {
#define KQFX_ECHO_STRETCH(unit, right)                                                        \
  stretch<Adds, unit, right, Levels>(inL, inR, outL, outR, lineL, lineR, n, e.lanes, levels, \
                                     e.quietFactor, e.echoLevel, cut)
    if (e.unitShelf) {
      rightQuiet ? KQFX_ECHO_STRETCH(true, true) : KQFX_ECHO_STRETCH(true, false);
    } else {
      rightQuiet ? KQFX_ECHO_STRETCH(false, true) : KQFX_ECHO_STRETCH(false, false);
    }
#undef KQFX_ECHO_STRETCH
  }
};

}  // namespace kqfx::echo_lanes
