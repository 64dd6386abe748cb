#pragma once
// Tempo arithmetic of the beat echoes: a "Tempo" parameter of 0..1 is
// 0..300 beats per minute, one beat is the echo delay and the period at
// which the attenuated echo changes sides. The delay memory holds ten
// seconds at the sample rate it was made for.
//
// Named intermediates are 32-bit floats (milliseconds per beat) or whole
// sample counts; each step is computed in double and rounded once. Sample
// counts saturate instead of overflowing, so a beat too long for 32 bits
// (a tempo of almost nothing) is simply the longest count there is.
// Pure functions, any thread, except EchoBeat (audio thread).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kqfx::beat {

inline constexpr double kBpmPerUnit = 300.0;
// The lowest "Tempo" a host may set: one beat per minute.
inline constexpr float kOneBpm = 0.0033333334f;
// Length of the delay memory.
inline constexpr double kMemoryMilliseconds = 10000.0;

// floor(x) as a 32-bit integer, saturating at both ends; NaN gives 0.
inline int32_t saturatingFloor(double x) {
  if (!(x >= static_cast<double>(std::numeric_limits<int32_t>::min()))) {
    return std::isnan(x) ? 0 : std::numeric_limits<int32_t>::min();
  }
  if (x >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(std::floor(x));
}

// Whole beats per minute of a "Tempo" value, as its value text shows it.
inline int32_t wholeBpm(float tempo) {
  return saturatingFloor(static_cast<double>(tempo) * kBpmPerUnit);
}

// Milliseconds per beat at whole beats per minute. A tempo that comes out
// below 1 BPM counts as 1, so nothing divides by zero.
inline float msPerWholeBeat(float tempo) {
  double bpm = std::floor(static_cast<double>(tempo) * kBpmPerUnit);
  if (!(bpm >= 1.0)) bpm = 1.0;
  return static_cast<float>(60000.0 / bpm);
}

// Milliseconds per beat at the exact tempo, fraction of a BPM included. A
// tempo that comes out 0 or below (flushed to zero, or a glide ending just
// past a tiny target) counts as 1 BPM.
inline float msPerExactBeat(float tempo) {
  double bpm = static_cast<double>(tempo) * kBpmPerUnit;
  if (!(bpm > 0.0)) bpm = 1.0;
  return static_cast<float>(60000.0 / bpm);
}

// Frames per beat at the host's sample rate: the period of the side change.
inline int32_t samplesPerBeat(double sampleRate, float msPerBeat) {
  return std::max(saturatingFloor(sampleRate * (static_cast<double>(msPerBeat) / 1000.0)), 0);
}

// Samples of delay memory for ten seconds at `sampleRate`.
inline int32_t memoryLength(double sampleRate) {
  return saturatingFloor(sampleRate / 1000.0 * kMemoryMilliseconds);
}

// One beat measured in the delay memory's own samples: the echo delay.
// Beats longer than the memory are cut to its length.
inline int32_t delayLength(float msPerBeat, int32_t memoryLength) {
  const int32_t beat = saturatingFloor(static_cast<double>(msPerBeat) / kMemoryMilliseconds *
                                       static_cast<double>(memoryLength));
  return std::clamp(beat, 0, memoryLength);
}

// Counts the frames of the current beat and changes the attenuated side
// when a beat is complete. Audio thread.
struct EchoBeat {
  static constexpr uint8_t kRightAttenuated = 1;
  static constexpr uint8_t kLeftAttenuated = 0;

  void count(int32_t framesPerBeat) {
    ++beatCount;
    if (beatCount >= framesPerBeat) {
      beatCount = 0;
      echoSide = echoSide == kRightAttenuated ? kLeftAttenuated : kRightAttenuated;
    }
  }

  int32_t beatCount = 0;
  uint8_t echoSide = kRightAttenuated;
};

}  // namespace kqfx::beat
