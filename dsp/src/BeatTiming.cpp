#include "kqfx/dsp/BeatTiming.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kqfx::beat {

int32_t saturatingFloor(double x) {
  if (!(x >= static_cast<double>(std::numeric_limits<int32_t>::min()))) {
    return std::isnan(x) ? 0 : std::numeric_limits<int32_t>::min();
  }
  if (x >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(std::floor(x));
}

int32_t wholeBpm(float tempo) { return saturatingFloor(static_cast<double>(tempo) * kBpmPerUnit); }

float msPerWholeBeat(float tempo) {
  double bpm = std::floor(static_cast<double>(tempo) * kBpmPerUnit);
  if (!(bpm >= 1.0)) bpm = 1.0;
  return static_cast<float>(60000.0 / bpm);
}

float msPerExactBeat(float tempo) {
  double bpm = static_cast<double>(tempo) * kBpmPerUnit;
  if (!(bpm > 0.0)) bpm = 1.0;
  return static_cast<float>(60000.0 / bpm);
}

int32_t samplesPerBeat(double sampleRate, float msPerBeat) {
  return std::max(saturatingFloor(sampleRate * (static_cast<double>(msPerBeat) / 1000.0)), 0);
}

int32_t memoryLength(double sampleRate) {
  return saturatingFloor(sampleRate / 1000.0 * kMemoryMilliseconds);
}

int32_t delayLength(float msPerBeat, int32_t memoryLength) {
  const int32_t beat = saturatingFloor(static_cast<double>(msPerBeat) / kMemoryMilliseconds *
                                       static_cast<double>(memoryLength));
  return std::clamp(beat, 0, memoryLength);
}

template <bool WholeBeats>
void BeatCache<WholeBeats>::update(float tempo, double bpm, double rate, int32_t memory) {
  const float msPerBeat = WholeBeats ? msPerWholeBeat(tempo) : msPerExactBeat(tempo);
  beat_.perBeat = samplesPerBeat(rate, msPerBeat);
  beat_.delay = delayLength(msPerBeat, memory);
  tempoBits_ = std::bit_cast<uint32_t>(tempo);
  if constexpr (WholeBeats) {
    // Every product in [from, to) has the same floor, hence the same
    // beat; below 2 every product counts as 1 BPM.
    const double whole = std::floor(bpm);
    bpmFrom_ = whole >= 1.0 ? whole : -std::numeric_limits<double>::infinity();
    bpmTo_ = whole >= 1.0 ? whole + 1.0 : 2.0;
  }
  rate_ = rate;
  memory_ = memory;
  valid_ = true;
}

template class BeatCache<true>;
template class BeatCache<false>;

}  // namespace kqfx::beat
