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
// of a stereo network) side by side. Each filter's feedback is an
// `allpass`; the bank keeps the four lines' positions side by side. The
// delay memory belongs to the owner; the bank only points into it.
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

// The setting of one allpass of the bank.
class allpass {
 public:
  allpass() = default;
  allpass(const allpass&) = delete;
  allpass& operator=(const allpass&) = delete;

  void setfeedback(float value) { feedback = value; }
  float getfeedback() const { return feedback; }

 private:
  friend class AllpassBank;
  float feedback = 0.0f;
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

  // Attaches `size` floats of delay memory to filter `index`, read and
  // written from its start on.
  void setbuffer(int32_t index, float* memory, int32_t size) {
    const auto i = static_cast<std::size_t>(index);
    start[i] = memory;
    end[i] = memory + size;
    cursor[i] = memory;
  }
  // Zeroes every delay line; the positions stay.
  void mute();

  // Frames that can run from the current positions before a line wraps:
  // at least 1.
  int32_t framesToWrap() const {
    std::ptrdiff_t frames = end[0] - cursor[0];
    for (std::size_t i = 1; i < kAllpasses; ++i) frames = std::min(frames, end[i] - cursor[i]);
    return static_cast<int32_t>(frames);
  }
  // Moves every position on by `frames`, at most framesToWrap().
  void advance(int32_t frames) {
    for (std::size_t i = 0; i < kAllpasses; ++i) {
      cursor[i] += frames;
      if (cursor[i] == end[i]) cursor[i] = start[i];
    }
  }

  // A stretch of at most framesToWrap() frames from the current positions.
  template <class Lanes>
  class Run {
   public:
    using Floats = typename Lanes::Floats;
    using Doubles = typename Lanes::Doubles;
    using Quad = typename Lanes::Quad;

    explicit Run(const AllpassBank& bank) : cells_(bank.cursor) {
      for (std::size_t i = 0; i < kAllpasses; ++i) {
        feedback_[i] = static_cast<double>(bank.filters[i].feedback);
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
  std::array<float*, kAllpasses> cursor{};
  std::array<float*, kAllpasses> start{};
  std::array<float*, kAllpasses> end{};
};

}  // namespace kqfx
