#pragma once
// One frame of Morvane with both channels side by side in the two double
// lanes of an SSE2 register (lane 0 left, lane 1 right). Each lane runs
// exactly the operations of one channel, in the same order and with the
// same roundings to 32-bit float, so the result is bit for bit that of a
// channel computed on its own.
//
// The per-frame pieces: the low cut (input divided by the shelf's gain
// coefficient, one-pole high-pass), the echo with its quiet side, the
// output mix and what enters the delay line. Audio thread only.

#include <limits>

#include "kqfx/dsp/Lanes.h"

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

  // Lane 0 and lane 1 of a float register.
  static float lane0(Floats v) { return L::lane(v, 0); }
  static float lane1(Floats v) { return L::lane(v, 1); }

  // One whole frame after the beat bookkeeping: reads the inputs and the
  // lines, writes the outputs through `Output::store` and the lines.
  // `scaled` is the input divided by the shelf's gain coefficient, rounded
  // to float. Both inputs are read before an output is written, so
  // in-place buffers work.
  template <class Output>
  static void echoFrame(Doubles scaled, float* outL, float* outR, float* lineL, float* lineR,
                        const Settings& s, Doubles side, double echoLevel, LowCutState& cut) {
    const Doubles filtered = lowCut(cut, scaled, s.shelfY);
    const Doubles old = widen(lineL, lineR);
    const Doubles echo = roundToFloat(L::mul(old, side));
    const Floats y = L::narrow(
        L::add(L::mul(s.gain, filtered), L::mul(L::splatDoubles(echoLevel), echo)));
    Output::store(*outL, lane0(y));
    Output::store(*outR, lane1(y));
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

}  // namespace kqfx::echo_lanes
