#include "kqfx/dsp/SweepLength.h"

#include <cmath>
#include <limits>

namespace kqfx::sweep {

// A value for an integer text, cut toward zero and kept within int32.
int32_t saturatingInt32(double value) {
  if (!(value == value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
    return std::numeric_limits<int32_t>::min();
  }
  return static_cast<int32_t>(value);
}

// What "Tempo" and "Every n" show: whole BPM and beats per sweep.
int32_t tempoText(float tempo) { return saturatingInt32(beatsPerMinute(tempo)); }
int32_t beatsText(float everyN) {
  return saturatingInt32(static_cast<double>(extraBeats(everyN)) + 1.0);
}

// The sweep length exactly as computed from the parameters, a whole
// number of samples (or 0, or huge, for rates and values out of reach).
float rawLength(float tempo, float everyN, float sampleRate) {
  const float bpm = beatsPerMinute(tempo);
  const float msPerBeat = static_cast<float>(60000.0 / static_cast<double>(bpm));
  const float samplesPerBeat = static_cast<float>(std::floor(
      static_cast<double>(sampleRate) * (static_cast<double>(msPerBeat) / 1000.0)));
  const float beats = extraBeats(everyN);
  return static_cast<float>(static_cast<double>(samplesPerBeat) * static_cast<double>(beats) +
                            static_cast<double>(samplesPerBeat));
}

// The sweep length the LFO runs with: rawLength kept within
// kMinLength..kMaxLength (a tiny sample rate gives the shortest sweep).
uint32_t length(float tempo, float everyN, float sampleRate) {
  const float raw = rawLength(tempo, everyN, sampleRate);
  if (!(raw >= kMinLength)) return static_cast<uint32_t>(kMinLength);
  if (raw >= kMaxLength) return static_cast<uint32_t>(kMaxLength);
  return static_cast<uint32_t>(raw);
}

}  // namespace kqfx::sweep
