#pragma once
// The eight parallel lowpass-feedback combs of one reverb channel, run side
// by side in vector lanes, one frame or four at a time. Each lane does
// exactly what one `comb` does, in the same order and at the same
// precision: the delayed sample is flushed, the lowpass is formed in double
// and rounded to float once, then flushed, and the sample written back is
// input + lowpass * feedback formed in double and rounded once. The outputs are summed in comb order in float, starting
// from 0, as a loop over separate combs would. So the bank's answer is bit
// for bit that of eight `comb`s; only the independent per-comb arithmetic
// shares instructions.
//
// Every comb of the bank has the same feedback and damping. The delay
// memory belongs to the enclosing engine; the bank only points into it.
//
// Threads: as the engine that owns it (set-up before audio starts or on the
// audio thread, processing on the audio thread); nothing allocates, locks
// or throws.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "kqfx/dsp/Lanes.h"

namespace kqfx {

class CombBank {
 public:
  static constexpr int32_t kCombs = 8;

  CombBank() = default;
  CombBank(const CombBank&) = delete;
  CombBank& operator=(const CombBank&) = delete;

  // Attaches `size` floats of delay memory to comb `index` and starts its
  // read/write position at the beginning.
  void setbuffer(int32_t index, float* memory, int32_t size);
  // Zeroes the delay memory; lowpass states and positions stay as they are.
  void mute();
  // Zeroes the delay memory and the lowpass states: after bad arithmetic
  // the combs start afresh.
  void clear();

  // `damp` weighs the previous lowpass state, 1 - `damp` the new sample.
  void setdamp(float value);
  float getdamp() const { return damp; }
  void setfeedback(float value) { feedback = value; }
  float getfeedback() const { return feedback; }

  float getdampcomplement() const { return dampComplement; }

  // How many frames can run from the current positions before a delay
  // line wraps around: at least 1.
  int32_t framesToWrap() const {
    std::ptrdiff_t frames = end[0] - cursor[0];
    for (std::size_t i = 1; i < kCombs; ++i) frames = std::min(frames, end[i] - cursor[i]);
    return static_cast<int32_t>(frames);
  }

  // A run of at most framesToWrap() frames, held in registers: the eight
  // positions, the settings and the lowpass states (as doubles; each holds
  // a float exactly). Only one Run of a bank may exist at a time; finish()
  // hands the lowpass states back. `Lanes` is a lane family (Lanes.h):
  // the same arithmetic in either encoding.
  template <class Lanes>
  class Run {
   public:
    using Quad = typename Lanes::Quad;

    explicit Run(CombBank& bank) : bank_(bank) {
      for (std::size_t i = 0; i < kCombs; ++i) cells_[i] = bank.cursor[i];
      reloadSettings();
      reloadState();
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // After the bank's feedback or damping changed.
    void reloadSettings() {
      setDamping(bank_.damp, bank_.dampComplement);
      feedback_ = Lanes::broadcast(static_cast<double>(bank_.feedback));
    }
    // For a damping that changes from frame to frame: the bank's damping
    // and its complement as they are for the next frame.
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
    // the positions the run began at: the sum of their delayed samples,
    // comb 1 first.
    float process(float input, int32_t offset) {
      std::array<float*, kCombs> c;
      for (std::size_t i = 0; i < kCombs; ++i) c[i] = cells_[i] + offset;
      const typename Lanes::Floats delayedLow = Lanes::flushSubnormals(Lanes::setFloats(*c[0], *c[1], *c[2], *c[3]));
      const typename Lanes::Floats delayedHigh = Lanes::flushSubnormals(Lanes::setFloats(*c[4], *c[5], *c[6], *c[7]));
      typename Lanes::Floats writtenLow;
      typename Lanes::Floats writtenHigh;
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

    // Four frames at once, `offset` to `offset` + 3, none of them past the
    // next wrap: lane t of `inputs` feeds frame t, lane t of the answer is
    // that frame's sum of delayed samples. Every line is longer than four
    // frames, so the four samples each comb reads were all written before
    // this call: they are loaded side by side and summed across the combs
    // in comb order, four frames per instruction, then turned comb by comb
    // for the lowpass recursion, whose frames follow one another.
    // `beforeFrame(t)` runs before frame t's lowpass step (a damping that
    // changes from frame to frame is set there).
    template <class BeforeFrame>
    typename Lanes::Floats processFour(typename Lanes::Floats inputs, int32_t offset, BeforeFrame&& beforeFrame) {
      typename Lanes::Floats line[kCombs];
      for (std::size_t i = 0; i < kCombs; ++i) {
        line[i] = Lanes::flushSubnormals(Lanes::load(cells_[i] + offset));
      }
      typename Lanes::Floats sum = Lanes::zeroFloats();
      for (const typename Lanes::Floats& samples : line) sum = Lanes::add(sum, samples);

      // Element t of low[] and high[]: frame t of combs 1..4 and 5..8.
      typename Lanes::Floats low[4] = {line[0], line[1], line[2], line[3]};
      typename Lanes::Floats high[4] = {line[4], line[5], line[6], line[7]};
      Lanes::transpose(low[0], low[1], low[2], low[3]);
      Lanes::transpose(high[0], high[1], high[2], high[3]);

      alignas(16) float input[4];
      Lanes::store(input, inputs);
      for (std::size_t t = 0; t < 4; ++t) {
        beforeFrame(t);
        step(low[t], high[t], input[t], low[t], high[t]);
      }

      Lanes::transpose(low[0], low[1], low[2], low[3]);
      Lanes::transpose(high[0], high[1], high[2], high[3]);
      for (std::size_t i = 0; i < 4; ++i) {
        Lanes::store(cells_[i] + offset, low[i]);
        Lanes::store(cells_[i + 4] + offset, high[i]);
      }
      return sum;
    }

   private:
    // One frame's lowpass and feedback for all eight combs, from their
    // flushed delayed samples to the samples to write back: the lowpass
    // float(double(delayed) * (1 - damp) + double(state) * damp), flushed,
    // becomes the state; the line gets float(double(input) + double(state)
    // * feedback).
    void step(typename Lanes::Floats delayedLow, typename Lanes::Floats delayedHigh, float input, typename Lanes::Floats& writtenLow,
              typename Lanes::Floats& writtenHigh) {
      stateLow_ = Lanes::widen(Lanes::flushSubnormals(Lanes::narrow(
          Lanes::add(Lanes::mul(Lanes::widen(delayedLow), dampComplement_),
                     Lanes::mul(stateLow_, damp_)))));
      stateHigh_ = Lanes::widen(Lanes::flushSubnormals(Lanes::narrow(
          Lanes::add(Lanes::mul(Lanes::widen(delayedHigh), dampComplement_),
                     Lanes::mul(stateHigh_, damp_)))));
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
  using Stretch = Run<BaselineLanes>;

  // Moves every position on by `frames`, at most framesToWrap().
  void advance(int32_t frames) {
    for (std::size_t i = 0; i < kCombs; ++i) {
      cursor[i] += frames;
      if (cursor[i] == end[i]) cursor[i] = start[i];
    }
  }

 private:
  std::array<float, kCombs> lowpassState{};
  std::array<float*, kCombs> cursor{};
  std::array<float*, kCombs> start{};
  std::array<float*, kCombs> end{};
  float feedback = 0.0f;
  float damp = 0.0f;
  float dampComplement = 1.0f;
};

}  // namespace kqfx
