#pragma once
// One lowpass-feedback comb filter of the reverb network: a delay line
// whose output is smoothed by a one-pole lowpass and written back into
// the line under `feedback`. The delay memory belongs to the enclosing
// engine; this filter only points into it.
//
// Threads: everything here runs on whichever thread owns the engine
// (set-up on the host thread before audio starts, the rest on the audio
// thread); nothing allocates, locks or throws.

#include <cstdint>

#include "flush.h"

namespace kqfx {

class comb {
 public:
  comb() = default;
  comb(const comb&) = delete;
  comb& operator=(const comb&) = delete;

  // Attaches `size` floats of delay memory; the read/write position stays.
  void setbuffer(float* memory, int32_t size);
  // Zeroes the delay memory; lowpass state and position stay as they are.
  void mute();
  // Zeroes the delay memory and the lowpass state: after bad arithmetic
  // the filter starts afresh.
  void clear();

  // `damp` weighs the previous lowpass state, 1 - `damp` the new sample.
  void setdamp(float value);
  float getdamp() const { return damp; }
  void setfeedback(float value) { feedback = value; }
  float getfeedback() const { return feedback; }

  // One sample: answers the sample delayed by the line's length and writes
  // input + lowpass(delayed) * feedback in its place. Each expression is
  // evaluated in double and rounded once where it is stored.
  float process(float input) {
    const float delayed = flush(buffer[position]);
    lowpassState = flush(static_cast<float>(static_cast<double>(delayed) * dampComplement +
                                            static_cast<double>(lowpassState) * damp));
    buffer[position] = static_cast<float>(static_cast<double>(input) +
                                          static_cast<double>(lowpassState) * feedback);
    if (++position == length) position = 0;
    return delayed;
  }

 private:
  float feedback = 0.0f;
  float lowpassState = 0.0f;
  float damp = 0.0f;
  float dampComplement = 1.0f;
  float* buffer = nullptr;
  int32_t length = 0;
  int32_t position = 0;
};

}  // namespace kqfx
