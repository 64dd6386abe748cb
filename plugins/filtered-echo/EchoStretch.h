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

#include <emmintrin.h>

#include <cstdint>
#include <type_traits>

#include "EchoLanes.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx::echo_lanes {

// Two consecutive floats as the low half of a register.
inline __m128 loadPair(const float* p) {
  return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
inline void storePair(float* p, __m128 v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v));
}

// Gain factor and feedback of the frames of a stretch, as the lanes of
// two consecutive frames or both lanes of one frame: the same for every
// frame of a steady block ...
struct FixedLevels {
  __m128d gain;
  __m128d feedback;
  FixedLevels from(int32_t) const { return *this; }
  __m128d gainPair(int32_t) const { return gain; }
  __m128d feedbackPair(int32_t) const { return feedback; }
  Settings frame(Settings s, int32_t) const { return s; }
};

// ... or one of each per frame while they glide.
struct FrameLevels {
  const float* gain;
  const float* feedback;
  FrameLevels from(int32_t i) const { return {gain + i, feedback + i}; }
  __m128d gainPair(int32_t i) const { return _mm_cvtps_pd(loadPair(gain + i)); }
  __m128d feedbackPair(int32_t i) const { return _mm_cvtps_pd(loadPair(feedback + i)); }
  Settings frame(Settings s, int32_t i) const {
    s.gain = _mm_set1_pd(static_cast<double>(gain[i]));
    s.feedback = _mm_set1_pd(static_cast<double>(feedback[i]));
    return s;
  }
};

// The two frames of one channel after the low cut: the echo from the line
// (scaled by `quiet` on the quiet side and rounded back to float), the
// output mix and what enters the line.
template <class Output, bool Quiet>
inline void channelPair(__m128d filtered, float* out, float* line, __m128d gain,
                        __m128d feedback, __m128d quiet, __m128d echoLevel) {
  const __m128d old = _mm_cvtps_pd(loadPair(line));
  const __m128d echo = Quiet ? roundToFloat(_mm_mul_pd(old, quiet)) : old;
  const __m128 y =
      _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(gain, filtered), _mm_mul_pd(echoLevel, echo)));
  if constexpr (std::is_same_v<Output, ReplaceOutput>) {
    storePair(out, y);
  } else if constexpr (std::is_same_v<Output, AddToOutput>) {
    // The float sums of Output::store, two side by side.
    storePair(out, _mm_add_ps(loadPair(out), y));
  } else {
    Output::store(out[0], lane0(y));
    Output::store(out[1], lane1(y));
  }
  storePair(line, lineSamples(_mm_add_pd(_mm_mul_pd(feedback, old), filtered)));
}

// True when either frame's low cut gave a NaN or infinity on either
// channel. The sum of two floats held in doubles cannot overflow, so it is
// finite exactly when both are, and a finite value minus itself is 0.
inline bool eitherNonFinite(__m128d a, __m128d b) {
  const __m128d sum = _mm_add_pd(a, b);
  const __m128d zero = _mm_sub_pd(sum, sum);
  return _mm_movemask_pd(_mm_cmpunord_pd(zero, zero)) != 0;
}

// Runs `n` frames, the lines read and written from `lineL`, `lineR` on.
// With the last shelf the division by its gain coefficient of 1 changes
// nothing and is left out.
// Gain factor and feedback come from `levels`; the shelf's coefficients
// from `s`.
template <class Output, bool UnitShelf, bool RightQuiet, class Levels>
inline void stretch(const float* inL, const float* inR, float* outL, float* outR, float* lineL,
                    float* lineR, int32_t n, const Settings& s, const Levels& levels,
                    double quietFactor, double echoLevelValue, LowCutState& state) {
  const __m128d quiet = _mm_set1_pd(quietFactor);
  const __m128d echoLevel = _mm_set1_pd(echoLevelValue);
  const __m128d side = sideFactors(RightQuiet, quietFactor);
  LowCutState cut = state;
  const auto scale = [&s](__m128d x) {
    return UnitShelf ? x : roundToFloat(_mm_div_pd(x, s.shelfGain));
  };
  int32_t i = 0;
  for (; i + 2 <= n; i += 2) {
    // Both frames' inputs are read before an output is written, so
    // in-place buffers work.
    const __m128 both = _mm_unpacklo_ps(loadPair(inL + i), loadPair(inR + i));
    const __m128d x0 = scale(_mm_cvtps_pd(both));
    const __m128d x1 = scale(_mm_cvtps_pd(_mm_movehl_ps(both, both)));
    const LowCutState before = cut;
    const __m128d y0 = roundToFloat(
        _mm_add_pd(_mm_sub_pd(x0, cut.in), _mm_mul_pd(s.shelfY, cut.out)));
    const __m128d y1 =
        roundToFloat(_mm_add_pd(_mm_sub_pd(x1, x0), _mm_mul_pd(s.shelfY, y0)));
    if (eitherNonFinite(y0, y1)) [[unlikely]] {
      // The low cut restarts a channel after a NaN or infinity: these two
      // frames take the frame-by-frame path that does so.
      cut = before;
      echoFrame<Output>(x0, outL + i, outR + i, lineL + i, lineR + i, levels.frame(s, i), side,
                        echoLevelValue, cut);
      echoFrame<Output>(x1, outL + i + 1, outR + i + 1, lineL + i + 1, lineR + i + 1,
                        levels.frame(s, i + 1), side, echoLevelValue, cut);
      continue;
    }
    cut.in = x1;
    cut.out = y1;
    const __m128d fL = _mm_unpacklo_pd(y0, y1);
    const __m128d fR = _mm_unpackhi_pd(y0, y1);
    const __m128d gain = levels.gainPair(i);
    const __m128d feedback = levels.feedbackPair(i);
    channelPair<Output, !RightQuiet>(fL, outL + i, lineL + i, gain, feedback, quiet, echoLevel);
    channelPair<Output, RightQuiet>(fR, outR + i, lineR + i, gain, feedback, quiet, echoLevel);
  }
  if (i < n) {
    echoFrame<Output>(scale(widen(inL + i, inR + i)), outL + i, outR + i, lineL + i, lineR + i,
                      levels.frame(s, i), side, echoLevelValue, cut);
  }
  state = cut;
}

}  // namespace kqfx::echo_lanes
