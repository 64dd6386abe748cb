#pragma once
// Four allpass-style diffusers in series, run in the lanes of a lane family
// (Lanes.h). Each is a delay line fed with input + delayed * feedback
// (formed in double, rounded once), answering delayed - input, where the
// delayed sample is flushed (zero and subnormal floats become +0). Every
// lane family gives the same bits.
//
// Set-up (setbuffer, setfeedback, mute) is apart from the per-frame step,
// which runs through a Run: a stretch of frames up to the next wrap of any
// line, four frames at a time, or one frame of two banks (the two channels
// of a stereo network) side by side. The delay memory belongs to the
// owner; the filters only point into it.
//
// Threads: as the owner (set-up before audio starts or on the audio
// thread, processing on the audio thread); nothing allocates, locks or
// throws.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "kqfx/dsp/LaneMasks.h"
#include "kqfx/dsp/Lanes.h"

namespace kqfx {

// One allpass of the bank: its feedback and delay line.
class allpass {
 public:
  allpass() = default;
  allpass(const allpass&) = delete;
  allpass& operator=(const allpass&) = delete;

  // Attaches `size` floats of delay memory; the position stays.
  void setbuffer(float* memory, int32_t size);
  // Zeroes the delay memory; the position stays.
  void mute();
  void setfeedback(float value) { feedback = value; }
  float getfeedback() const { return feedback; }

 private:
  friend class AllpassBank;
  float feedback = 0.0f;
  float* buffer = nullptr;
  int32_t length = 0;
  int32_t position = 0;
};

class AllpassBank {
 public:
  static constexpr int32_t kAllpasses = 4;

  AllpassBank() = default;
  AllpassBank(const AllpassBank&) = delete;
  AllpassBank& operator=(const AllpassBank&) = delete;

  // Filter `index`, counted in signal order.
  allpass& operator[](int32_t index) { return filters[static_cast<std::size_t>(index)]; }
  const allpass& operator[](int32_t index) const { return filters[static_cast<std::size_t>(index)]; }

  // Zeroes every delay line; the positions stay.
  void mute();

  // Frames that can run from the current positions before a line wraps:
  // at least 1.
  int32_t framesToWrap() const {
    int32_t frames = filters[0].length - filters[0].position;
    for (const allpass& f : filters) frames = std::min(frames, f.length - f.position);
    return frames;
  }
  // Moves every position on by `frames`, at most framesToWrap().
  void advance(int32_t frames) {
    for (allpass& f : filters) {
      f.position += frames;
      if (f.position == f.length) f.position = 0;
    }
  }

  // A stretch of at most framesToWrap() frames from the current positions.
  template <class Lanes>
  class Run {
   public:
    using Floats = typename Lanes::Floats;
    using Doubles = typename Lanes::Doubles;
    using Quad = typename Lanes::Quad;

    explicit Run(const AllpassBank& bank) {
      for (std::size_t i = 0; i < kAllpasses; ++i) {
        const allpass& f = bank.filters[i];
        cells_[i] = f.buffer + f.position;
        feedback_[i] = static_cast<double>(f.feedback);
        feedbackLanes_[i] = Lanes::broadcast(feedback_[i]);
      }
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // Frames `offset` to `offset` + 3 through the four filters, lane t
    // frame t. Every line is longer than four frames, so the four cells a
    // filter reads hold samples written before these frames. With
    // `frames` below 4 only the first `frames` frames run: the cells of
    // the others are read and written back as they were, so the owner's
    // memory must hold 3 floats more after the last line.
    Floats processFour(Floats input, int32_t offset, int32_t frames = 4) {
      for (std::size_t i = 0; i < kAllpasses; ++i) {
        float* cells = cells_[i] + offset;
        const Floats held = Lanes::load(cells);
        const Floats delayed = Lanes::flushSubnormals(held);
        Floats written = Lanes::narrow(Lanes::add(
            Lanes::widen(input), Lanes::mul(Lanes::widen(delayed), feedbackLanes_[i])));
        if (frames < 4) written = blend<Lanes>(firstLanes<Lanes>(frames), written, held);
        Lanes::store(cells, written);
        input = Lanes::sub(delayed, input);
      }
      return input;
    }

    // The frame at `offset` of two banks at once: lane 0 of `input` runs
    // through `first`, lane 1 through `second`.
    static Floats processPair(Run& first, Run& second, Floats input, int32_t offset) {
      for (std::size_t i = 0; i < kAllpasses; ++i) {
        float* cellFirst = first.cells_[i] + offset;
        float* cellSecond = second.cells_[i] + offset;
        const Floats delayed = Lanes::flushSubnormals(
            Lanes::interleaveLow(Lanes::loadFirst(cellFirst), Lanes::loadFirst(cellSecond)));
        const Doubles feedback = Lanes::setDoubles(first.feedback_[i], second.feedback_[i]);
        const Floats written = Lanes::narrow(
            Lanes::add(Lanes::widenLow(input), Lanes::mul(Lanes::widenLow(delayed), feedback)));
        *cellFirst = Lanes::lane(written, 0);
        *cellSecond = Lanes::lane(written, 1);
        input = Lanes::sub(delayed, input);
      }
      return input;
    }

   private:
    std::array<float*, kAllpasses> cells_;
    std::array<double, kAllpasses> feedback_;
    std::array<Quad, kAllpasses> feedbackLanes_;
  };

 private:
  std::array<allpass, kAllpasses> filters;
};

}  // namespace kqfx
