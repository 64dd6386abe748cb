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

#include <emmintrin.h>

#include <limits>

namespace kqfx::echo_lanes {

// Everything a frame reads from the settings, widened once per setting.
struct Settings {
  __m128d shelfGain;  // the shelf's gain coefficient, both lanes
  __m128d shelfY;     // the shelf's y coefficient, both lanes
  __m128d gain;       // the direct signal's gain factor, both lanes
  __m128d feedback;   // share of the old line sample kept, both lanes
};

inline Settings settings(float shelfGain, float shelfY, float gain, float feedback) {
  return {_mm_set1_pd(static_cast<double>(shelfGain)), _mm_set1_pd(static_cast<double>(shelfY)),
          _mm_set1_pd(static_cast<double>(gain)), _mm_set1_pd(static_cast<double>(feedback))};
}

// The factor each lane's echo sample is multiplied by: 1 on the loud side
// (a multiplication by 1 and the rounding back to float change no finite
// value, and the lines only ever hold finite ones), `quiet` on the other.
inline __m128d sideFactors(bool rightQuiet, double quiet) {
  return rightQuiet ? _mm_set_pd(quiet, 1.0) : _mm_set_pd(1.0, quiet);
}

// The low cut's memory of both channels: the last scaled input and the
// last output, each a float value held in a double lane.
struct LowCutState {
  __m128d in;
  __m128d out;
};

// Two floats, one per lane, widened to double.
inline __m128d widen(const float* left, const float* right) {
  return _mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(left), _mm_load_ss(right)));
}

// Rounds each lane to a 32-bit float and back.
inline __m128d roundToFloat(__m128d v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }

// Lanes whose value is NaN or infinite, as a two-bit mask (bit 0 left).
inline int nonFinite(__m128d v) {
  const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), v);
  return 3 ^ _mm_movemask_pd(_mm_cmple_pd(magnitude, _mm_set1_pd(std::numeric_limits<double>::max())));
}

// One frame of the low cut for both channels. `scaled` is the input
// already divided by the shelf's gain coefficient and rounded to float.
// Answers the output; a lane whose output is NaN or infinite passes it on
// but starts again from rest, so the channel recovers with its input.
inline __m128d lowCut(LowCutState& state, __m128d scaled, __m128d shelfY) {
  const __m128d y = roundToFloat(
      _mm_add_pd(_mm_sub_pd(scaled, state.in), _mm_mul_pd(shelfY, state.out)));
  state.in = scaled;
  state.out = y;
  if (const int bad = nonFinite(y)) [[unlikely]] {
    const int right = (bad & 2) ? 0 : -1;
    const int left = (bad & 1) ? 0 : -1;
    const __m128d keep = _mm_castsi128_pd(_mm_set_epi32(right, right, left, left));
    state.in = _mm_and_pd(state.in, keep);
    state.out = _mm_and_pd(state.out, keep);
  }
  return y;
}

// The sample about to enter each line, rounded to float; a NaN or
// infinity becomes silence there.
inline __m128 lineSamples(__m128d value) {
  const __m128 sample = _mm_cvtpd_ps(value);
  const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), sample);
  return _mm_and_ps(sample, _mm_cmplt_ps(magnitude, _mm_set1_ps(std::numeric_limits<float>::infinity())));
}

// Lane 0 and lane 1 of a float register.
inline float lane0(__m128 v) { return _mm_cvtss_f32(v); }
inline float lane1(__m128 v) { return _mm_cvtss_f32(_mm_shuffle_ps(v, v, 1)); }

// One whole frame after the beat bookkeeping: reads the inputs and the
// lines, writes the outputs through `Output::store` and the lines.
// `scaled` is the input divided by the shelf's gain coefficient, rounded
// to float. Both inputs are read before an output is written, so
// in-place buffers work.
template <class Output>
inline void echoFrame(__m128d scaled, float* outL, float* outR, float* lineL, float* lineR,
                      const Settings& s, __m128d side, double echoLevel, LowCutState& cut) {
  const __m128d filtered = lowCut(cut, scaled, s.shelfY);
  const __m128d old = widen(lineL, lineR);
  const __m128d echo = roundToFloat(_mm_mul_pd(old, side));
  const __m128 y = _mm_cvtpd_ps(
      _mm_add_pd(_mm_mul_pd(s.gain, filtered), _mm_mul_pd(_mm_set1_pd(echoLevel), echo)));
  Output::store(*outL, lane0(y));
  Output::store(*outR, lane1(y));
  // What enters the line is the filtered input without gain.
  const __m128 line = lineSamples(_mm_add_pd(_mm_mul_pd(s.feedback, old), filtered));
  _mm_store_ss(lineL, line);
  _mm_store_ss(lineR, _mm_shuffle_ps(line, line, 1));
}

// The input of a frame divided by the shelf's gain coefficient and rounded
// to float.
inline __m128d scaledInput(const float* inL, const float* inR, const Settings& s) {
  return roundToFloat(_mm_div_pd(widen(inL, inR), s.shelfGain));
}

}  // namespace kqfx::echo_lanes
