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
// Pure functions, any thread; BeatCache and EchoBeat: audio thread.

#include <bit>
#include <cstdint>

namespace kqfx::beat {

inline constexpr double kBpmPerUnit = 300.0;
// The lowest "Tempo" a host may set: one beat per minute.
inline constexpr float kOneBpm = 0.0033333334f;
// Length of the delay memory.
inline constexpr double kMemoryMilliseconds = 10000.0;

// floor(x) as a 32-bit integer, saturating at both ends; NaN gives 0.
int32_t saturatingFloor(double x);

// Whole beats per minute of a "Tempo" value, as its value text shows it.
int32_t wholeBpm(float tempo);

// Milliseconds per beat at whole beats per minute. A tempo that comes out
// below 1 BPM counts as 1, so nothing divides by zero.
float msPerWholeBeat(float tempo);

// Milliseconds per beat at the exact tempo, fraction of a BPM included. A
// tempo that comes out 0 or below (flushed to zero, or a glide ending just
// past a tiny target) counts as 1 BPM.
float msPerExactBeat(float tempo);

// Frames per beat at the host's sample rate: the period of the side change.
int32_t samplesPerBeat(double sampleRate, float msPerBeat);

// Samples of delay memory for ten seconds at `sampleRate`.
int32_t memoryLength(double sampleRate);

// One beat measured in the delay memory's own samples: the echo delay.
// Beats longer than the memory are cut to its length.
int32_t delayLength(float msPerBeat, int32_t memoryLength);

// The beat in samples for one tempo: the side-change period and the
// delay length.
struct BeatSamples {
  int32_t perBeat = 0;
  int32_t delay = 0;
};

// The beat of a tempo, in whole beats per minute or exact, at a sample
// rate and memory length: worked out again only when one of them changed
// since the last call, so the values are always those of the arithmetic
// itself. In whole beats only the whole number of beats per minute counts,
// so a gliding tempo is worked out again only when that number changes.
// Audio thread; one per kind of tempo.
template <bool WholeBeats>
class BeatCache {
 public:
  const BeatSamples& of(float tempo, double rate, int32_t memory) {
    // A float times 300 is exact in double: the product the whole beats
    // are the floor of.
    const double bpm = static_cast<double>(tempo) * kBpmPerUnit;
    const uint32_t bits = std::bit_cast<uint32_t>(tempo);
    const bool sameTempo =
        bits == tempoBits_ || (WholeBeats && bpm >= bpmFrom_ && bpm < bpmTo_);
    if (!valid_ || !sameTempo || rate != rate_ || memory != memory_) {
      update(tempo, bpm, rate, memory);
    }
    return beat_;
  }

 private:
  void update(float tempo, double bpm, double rate, int32_t memory);

  bool valid_ = false;
  uint32_t tempoBits_ = 0;
  // Whole beats only: the tempo products that give the cached beat.
  double bpmFrom_ = 0.0;
  double bpmTo_ = 0.0;
  double rate_ = 0.0;
  int32_t memory_ = 0;
  BeatSamples beat_;
};

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
