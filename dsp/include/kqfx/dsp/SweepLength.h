#pragma once
// The tempo filter's musical time: "Tempo" (0..1 for 0..300 beats per
// minute, whole beats) and "Every n" (0..1 for 1..32 beats per sweep)
// give the length of one sweep in samples at a sample rate.
// Pure functions; any thread (they run where parameters are written).

#include <cmath>
#include <cstdint>

#include "kqfx/dsp/SignalHelpers.h"

namespace kqfx::sweep {

// The lowest tempo value: 1/300, one beat per minute. Lower values (0 and
// negative ones included) are raised to it, so a beat is never endless.
constexpr double kTempoFloorExact = 1.0 / 300.0;
constexpr float kTempoFloor = 1.0f / 300.0f;

// Sweeps never get shorter than two samples (one up, one down) nor longer
// than 2^31 samples: far beyond 32 beats at 1 BPM at the highest rate a
// host may set (1.47e9 samples at 768 kHz).
constexpr float kMinLength = 2.0f;
constexpr float kMaxLength = 2147483648.0f;

inline float floorTempo(float value) {
  return static_cast<double>(value) >= kTempoFloorExact ? value : kTempoFloor;
}

// Whole beats per minute: floor(tempo x 300), the product taken as a float.
inline float beatsPerMinute(float tempo) { return ftenths(tempo * 300.0f); }

// floor(everyN x 31): the beats a sweep lasts beyond the first.
inline float extraBeats(float everyN) {
  return static_cast<float>(std::floor(static_cast<double>(everyN) * 31.0));
}

// A value for an integer text, cut toward zero and kept within int32.
int32_t saturatingInt32(double value);

// What "Tempo" and "Every n" show: whole BPM and beats per sweep.
int32_t tempoText(float tempo);
int32_t beatsText(float everyN);

// The sweep length exactly as computed from the parameters, a whole
// number of samples (or 0, or huge, for rates and values out of reach).
float rawLength(float tempo, float everyN, float sampleRate);

// The sweep length the LFO runs with: rawLength kept within
// kMinLength..kMaxLength (a tiny sample rate gives the shortest sweep).
uint32_t length(float tempo, float everyN, float sampleRate);

}  // namespace kqfx::sweep
