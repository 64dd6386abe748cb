#pragma once
// Eight lowpass-feedback comb filters fed with the same input and summed,
// run side by side in the lanes of a lane family (Lanes.h), one frame or
// four at a time. Each comb is a delay line whose delayed sample is
// smoothed by a one-pole lowpass and written back under `feedback`:
//   delayed = flush(line[position])
//   state   = flush(float(double(delayed) * (1 - damp) + double(state) * damp))
//   line[position] = float(double(input) + double(state) * feedback)
// where flush turns zero and subnormal floats into +0. The answer is the
// sum of the eight delayed samples in comb order, in float, from 0. Every
// lane family gives the same bits.
//
// Set-up (setbuffer, setfeedback, setdamp, mute) is apart from the
// per-frame step, which runs through a Run: a stretch of frames up to the
// next wrap of any line, its state held in registers. Each comb's
// settings are a `comb`; the bank keeps the eight lines' positions and
// lowpass states side by side, so a run loads them at once. The delay
// memory belongs to the owner; the bank only points into it.
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

// The settings of one comb of the bank.
class comb {
 public:
  comb() = default;
  comb(const comb&) = delete;
  comb& operator=(const comb&) = delete;

  // `damp` weighs the previous lowpass state, 1 - `damp` the new sample.
  void setdamp(float value);
  float getdamp() const { return damp; }
  void setfeedback(float value) { feedback = value; }
  float getfeedback() const { return feedback; }

 private:
  friend class CombBank;
  float feedback = 0.0f;
  float damp = 0.0f;
  float dampComplement = 1.0f;
};

class CombBank {
 public:
  static constexpr int32_t kCombs = 8;

  CombBank() = default;
  CombBank(const CombBank&) = delete;
  CombBank& operator=(const CombBank&) = delete;

  const comb& operator[](int32_t index) const { return combs[static_cast<std::size_t>(index)]; }

  // Attaches `size` floats of delay memory to comb `index`, read and
  // written from its start on.
  void setbuffer(int32_t index, float* memory, int32_t size) {
    const auto i = static_cast<std::size_t>(index);
    start[i] = memory;
    end[i] = memory + size;
    cursor[i] = memory;
  }
  // Every comb, in comb order.
  void setfeedback(float value);
  void setdamp(float value);
  // Zeroes the delay memory; lowpass states and positions stay.
  void mute();
  // Zeroes the delay memory and the lowpass states: after bad arithmetic
  // the combs start afresh.
  void clear();

  // Every comb has the same feedback and damping; comb 1 answers for all.
  float getdamp() const { return combs[0].damp; }
  float getdampcomplement() const { return combs[0].dampComplement; }

  // Frames that can run from the current positions before a line wraps:
  // at least 1.
  int32_t framesToWrap() const {
    std::ptrdiff_t frames = end[0] - cursor[0];
    for (std::size_t i = 1; i < kCombs; ++i) frames = std::min(frames, end[i] - cursor[i]);
    return static_cast<int32_t>(frames);
  }
  // Moves every position on by `frames`, at most framesToWrap().
  void advance(int32_t frames) {
    for (std::size_t i = 0; i < kCombs; ++i) {
      cursor[i] += frames;
      if (cursor[i] == end[i]) cursor[i] = start[i];
    }
  }

  // A stretch of at most framesToWrap() frames, held in registers: the
  // eight cells, the settings and the lowpass states (as doubles; each
  // holds a float exactly). Only one Run of a bank may exist at a time;
  // finish() hands the lowpass states back.
  template <class Lanes>
  class Run {
   public:
    using Floats = typename Lanes::Floats;
    using Quad = typename Lanes::Quad;

    explicit Run(CombBank& bank) : bank_(bank) {
      cells_ = bank.cursor;
      setDamping(bank.getdamp(), bank.getdampcomplement());
      feedback_ = Lanes::broadcast(static_cast<double>(bank.combs[0].feedback));
      reloadState();
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // For a damping that changes from frame to frame: the damping and its
    // complement for the next frame.
    void setDamping(float frameDamp, float frameDampComplement) {
      damp_ = Lanes::broadcast(static_cast<double>(frameDamp));
      dampComplement_ = Lanes::broadcast(static_cast<double>(frameDampComplement));
    }
    // After the bank was cleared.
    void reloadState() {
      stateLow_ = Lanes::widen(Lanes::load(bank_.lowpassState.data()));
      stateHigh_ = Lanes::widen(Lanes::load(bank_.lowpassState.data() + 4));
    }
    void finish() {
      Lanes::store(bank_.lowpassState.data(), Lanes::narrow(stateLow_));
      Lanes::store(bank_.lowpassState.data() + 4, Lanes::narrow(stateHigh_));
    }

    // One frame of all eight combs fed with `input`, `offset` frames after
    // the positions the run began at: the sum of their delayed samples.
    float process(float input, int32_t offset) {
      std::array<float*, kCombs> c;
      for (std::size_t i = 0; i < kCombs; ++i) c[i] = cells_[i] + offset;
      const Floats delayedLow = Lanes::flushSubnormals(Lanes::setFloats(*c[0], *c[1], *c[2], *c[3]));
      const Floats delayedHigh = Lanes::flushSubnormals(Lanes::setFloats(*c[4], *c[5], *c[6], *c[7]));
      Floats writtenLow;
      Floats writtenHigh;
      step(delayedLow, delayedHigh, input, writtenLow, writtenHigh);
      for (std::size_t i = 0; i < 4; ++i) {
        *c[i] = Lanes::lane(writtenLow, static_cast<int>(i));
        *c[i + 4] = Lanes::lane(writtenHigh, static_cast<int>(i));
      }
      alignas(16) float delayed[kCombs];
      Lanes::store(delayed, delayedLow);
      Lanes::store(delayed + 4, delayedHigh);
      float sum = 0.0f;
      for (float d : delayed) sum += d;
      return sum;
    }

    // Four frames, `offset` to `offset` + 3, none past the next wrap: lane
    // t of `inputs` feeds frame t, lane t of the answer is that frame's
    // sum. Every line is longer than four frames, so the four samples each
    // comb reads were written before this call: they are loaded side by
    // side and summed across the combs four frames per instruction, then
    // turned comb by comb for the lowpass recursion, whose frames follow
    // one another. `beforeFrame(t)` runs before frame t's lowpass step (a
    // damping that changes from frame to frame is set there).
    //
    // With `frames` below 4 only the first `frames` frames run (the last
    // before a wrap or the end of the caller's frames): the cells of the
    // others are read and written back as they were, so the owner's
    // memory must hold 3 floats more after the last line.
    template <class BeforeFrame>
    Floats processFour(Floats inputs, int32_t offset, BeforeFrame&& beforeFrame,
                       int32_t frames = 4) {
      Floats held[kCombs];
      Floats line[kCombs];
      for (std::size_t i = 0; i < kCombs; ++i) {
        held[i] = Lanes::load(cells_[i] + offset);
        line[i] = Lanes::flushSubnormals(held[i]);
      }
      Floats sum = Lanes::zeroFloats();
      for (const Floats& samples : line) sum = Lanes::add(sum, samples);

      // Element t of low[] and high[]: frame t of combs 1..4 and 5..8.
      Floats low[4] = {line[0], line[1], line[2], line[3]};
      Floats high[4] = {line[4], line[5], line[6], line[7]};
      Lanes::transpose(low[0], low[1], low[2], low[3]);
      Lanes::transpose(high[0], high[1], high[2], high[3]);
      alignas(16) float input[4];
      Lanes::store(input, inputs);
      for (std::size_t t = 0; t < static_cast<std::size_t>(frames); ++t) {
        beforeFrame(t);
        step(low[t], high[t], input[t], low[t], high[t]);
      }
      Lanes::transpose(low[0], low[1], low[2], low[3]);
      Lanes::transpose(high[0], high[1], high[2], high[3]);
      if (frames < 4) {
        const Floats run = firstLanes<Lanes>(frames);
        for (std::size_t i = 0; i < 4; ++i) {
          low[i] = blend<Lanes>(run, low[i], held[i]);
          high[i] = blend<Lanes>(run, high[i], held[i + 4]);
        }
      }
      for (std::size_t i = 0; i < 4; ++i) {
        Lanes::store(cells_[i] + offset, low[i]);
        Lanes::store(cells_[i + 4] + offset, high[i]);
      }
      return sum;
    }

   private:
    // One frame's lowpass and feedback for all eight combs, from their
    // flushed delayed samples to the samples to write back.
    void step(Floats delayedLow, Floats delayedHigh, float input, Floats& writtenLow,
              Floats& writtenHigh) {
      stateLow_ = Lanes::widen(Lanes::flushSubnormals(Lanes::narrow(Lanes::add(
          Lanes::mul(Lanes::widen(delayedLow), dampComplement_), Lanes::mul(stateLow_, damp_)))));
      stateHigh_ = Lanes::widen(Lanes::flushSubnormals(Lanes::narrow(Lanes::add(
          Lanes::mul(Lanes::widen(delayedHigh), dampComplement_), Lanes::mul(stateHigh_, damp_)))));
      const Quad inputD = Lanes::broadcast(static_cast<double>(input));
      writtenLow = Lanes::narrow(Lanes::add(inputD, Lanes::mul(stateLow_, feedback_)));
      writtenHigh = Lanes::narrow(Lanes::add(inputD, Lanes::mul(stateHigh_, feedback_)));
    }

    CombBank& bank_;
    std::array<float*, kCombs> cells_;
    Quad damp_;
    Quad dampComplement_;
    Quad feedback_;
    Quad stateLow_;
    Quad stateHigh_;
  };

 private:
  std::array<comb, kCombs> combs;
  std::array<float, kCombs> lowpassState{};
  std::array<float*, kCombs> cursor{};
  std::array<float*, kCombs> start{};
  std::array<float*, kCombs> end{};
};

}  // namespace kqfx
