#pragma once
// What the two beat echoes share: four parameters of which the first two
// are "Input Gain" (zero is silence) and "Tempo" (0..300 BPM, never below
// 1), a stereo delay memory of ten seconds at the sample rate in force
// when it was made (made again at a switch-on at another rate), and the
// beat counter with the side whose echo is attenuated. Each echo adds its
// own two parameters and its own render.
//
// An echo derives as `class Foo : public BeatEcho<Foo>` and provides, as
// StereoEffect asks, a parameter table and `render`, plus
//   void displayEchoValue(int32_t index, float target, char* text);
//       host thread; the value text of parameter 2 or 3.

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include <bit>
#include <cstdint>

#include "kqfx/dsp/CachedGain.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/plugin/BeatTiming.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoDelayMemory.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

template <class Derived>
class BeatEcho : public StereoEffect<Derived, 4> {
  using Base = StereoEffect<Derived, 4>;

 public:
  using Gain = EchoGain;
  enum SharedParameter : int32_t { kInputGain = 0, kTempo = 1 };

  // Host thread. Throws std::bad_alloc when the delay memory cannot be
  // had, so that the effect is never created without it.
  BeatEcho(HostCallback callback, int32_t uniqueId, const typename Base::ParameterTable& parameters,
           const SampleAllocator& allocator)
      : Base(callback, uniqueId, parameters), delayMemory(allocator) {
    if (!initDelayMemory()) throw std::bad_alloc();
  }

  // Any thread. A tempo that is not above 0 (NaN included) becomes 1 BPM.
  void setParameter(int32_t index, float value) override {
    if (index == kTempo && !(value > 0.0f)) value = beat::kOneBpm;
    Base::setParameter(index, value);
  }

  // Host thread, from getParameterDisplay.
  void displayValue(int32_t index, float target, char* text) {
    switch (index) {
      case kInputGain:
        writeGainText<Gain>(*this, target, text);
        return;
      case kTempo:
        this->long2string(beat::wholeBpm(target), text);
        return;
      default:
        static_cast<Derived&>(*this).displayEchoValue(index, target, text);
    }
  }

  // Host thread, from suspend after the smoothers were rebuilt: new silent
  // delay memory for the sample rate now in force, cursor at the start.
  // Without new memory the old one goes on, silenced, at its old length.
  // The beat counter and side carry on.
  void restart() { initDelayMemory(); }

  // Host thread, never during a process call. Hosts usually set the
  // sample rate and switch the effect on without a suspend in between:
  // memory made for another rate would keep the echo at that rate's beat,
  // so it is made again (silent, as suspend makes it). Memory of the
  // length the rate asks for stays as it is, tail included.
  void resume() override {
    // Memory is never shorter than one sample, whatever the rate.
    const int32_t wanted =
        std::max(beat::memoryLength(static_cast<double>(this->getSampleRate())), int32_t{1});
    if (delayMemory.length() != wanted) initDelayMemory();
  }

 protected:
  // Host thread. Makes the delay memory for the current sample rate;
  // false when it could not be had.
  bool initDelayMemory() {
    return delayMemory.make(beat::memoryLength(static_cast<double>(this->getSampleRate())));
  }

  // Audio thread: a sample about to enter a delay line. A NaN or infinity
  // would come back every beat for ever, so the line keeps silence there
  // instead; the frame's own output still shows the bad value.
  static float lineSample(double value) {
    const float sample = static_cast<float>(value);
    return std::isfinite(sample) ? sample : 0.0f;
  }

  // The beat in samples for one tempo: the side-change period and the
  // delay length.
  struct BeatSamples {
    int32_t perBeat = 0;
    int32_t delay = 0;
  };

  // Audio thread. The beat of a tempo, in whole beats per minute or exact,
  // at a sample rate and memory length: worked out again only when one of
  // them changed since the last call for the same kind of tempo, so the
  // values are always those of the arithmetic itself. In whole beats only
  // the whole number of beats per minute counts, so a gliding tempo is
  // worked out again only when that number changes.
  template <bool WholeBeats>
  const BeatSamples& beatSamples(float tempo, double rate) {
    BeatCache& cache = beatCaches_[WholeBeats ? 1 : 0];
    const uint32_t bits = std::bit_cast<uint32_t>(tempo);
    const int32_t memory = delayMemory.length();
    // A float times 300 is exact in double: the product the whole beats
    // are the floor of.
    const double bpm = static_cast<double>(tempo) * beat::kBpmPerUnit;
    const bool sameTempo =
        bits == cache.tempoBits || (WholeBeats && bpm >= cache.bpmFrom && bpm < cache.bpmTo);
    if (!cache.valid || !sameTempo || rate != cache.rate || memory != cache.memory) {
      const float msPerBeat = WholeBeats ? beat::msPerWholeBeat(tempo) : beat::msPerExactBeat(tempo);
      cache.beat.perBeat = beat::samplesPerBeat(rate, msPerBeat);
      cache.beat.delay = beat::delayLength(msPerBeat, memory);
      cache.tempoBits = bits;
      if constexpr (WholeBeats) {
        // Every product in [from, to) has the same floor, hence the same
        // beat; below 2 every product counts as 1 BPM.
        const double whole = std::floor(bpm);
        cache.bpmFrom = whole >= 1.0 ? whole : -std::numeric_limits<double>::infinity();
        cache.bpmTo = whole >= 1.0 ? whole + 1.0 : 2.0;
      }
      cache.rate = rate;
      cache.memory = memory;
      cache.valid = true;
    }
    return cache.beat;
  }

  StereoDelayMemory delayMemory;
  beat::EchoBeat echoBeat;
  CachedGain<Gain> gainFactor;

 private:
  struct BeatCache {
    bool valid = false;
    uint32_t tempoBits = 0;
    // Whole beats only: the tempo products that give the cached beat.
    double bpmFrom = 0.0;
    double bpmTo = 0.0;
    double rate = 0.0;
    int32_t memory = 0;
    BeatSamples beat;
  };
  BeatCache beatCaches_[2];
};

}  // namespace kqfx
