#pragma once
// What the two beat echoes share: four parameters of which the first two
// are "Input Gain" (zero is silence) and "Tempo" (0..300 BPM, never below
// 1), a stereo delay memory of ten seconds at the sample rate in force
// when it was made (made again at a switch-on at another rate), and the
// beat counter with the side whose echo is attenuated. Each echo adds its
// own two parameters and its own renderChunk.
//
// An echo derives as `class Foo : public BeatEcho<Foo>` and provides, as
// StereoEffect asks, a parameter table and `renderChunk`, plus
//   void displayEchoValue(int32_t index, float target, char* text);
//       host thread; the value text of parameter 2 or 3.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "kqfx/dsp/BeatTiming.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/StereoDelayMemory.h"
#include "kqfx/plugin/GainText.h"
#include "kqfx/plugin/StereoEffect.h"

namespace kqfx {

template <class Derived>
class BeatEcho : public StereoEffect<Derived, 4, EchoGain> {
  using Base = StereoEffect<Derived, 4, EchoGain>;

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

  using BeatSamples = beat::BeatSamples;

  // Audio thread. The beat of a tempo, in whole beats per minute or exact,
  // at a sample rate and the memory's length (see beat::BeatCache).
  template <bool WholeBeats>
  const BeatSamples& beatSamples(float tempo, double rate) {
    if constexpr (WholeBeats) {
      return wholeBeats_.of(tempo, rate, delayMemory.length());
    } else {
      return exactBeats_.of(tempo, rate, delayMemory.length());
    }
  }

  StereoDelayMemory delayMemory;
  beat::EchoBeat echoBeat;

 private:
  beat::BeatCache<true> wholeBeats_;
  beat::BeatCache<false> exactBeats_;
};

}  // namespace kqfx
