#pragma once
// One allpass-style diffuser of the reverb network: a delay line fed with
// input + delayed * feedback, answering delayed - input. The delay memory
// belongs to the enclosing engine; this filter only points into it.
//
// Threads: as the engine that owns it; nothing allocates, locks or throws.

#include <cstdint>

#include "flush.h"

namespace kqfx {

class allpass {
 public:
  allpass() = default;
  allpass(const allpass&) = delete;
  allpass& operator=(const allpass&) = delete;

  // Attaches `size` floats of delay memory; the read/write position stays.
  void setbuffer(float* memory, int32_t size);
  // Zeroes the delay memory; the position stays.
  void mute();
  void setfeedback(float value) { feedback = value; }
  float getfeedback() const { return feedback; }

  // One sample. A difference of two floats is rounded once already.
  float process(float input) {
    const float delayed = flush(buffer[position]);
    buffer[position] =
        static_cast<float>(static_cast<double>(input) + static_cast<double>(delayed) * feedback);
    if (++position == length) position = 0;
    return delayed - input;
  }

  // For block-wise running (the same arithmetic, done by the caller):
  // frames until the line wraps (at least 1), the cell at the current
  // position, and moving the position on by at most framesToWrap().
  int32_t framesToWrap() const { return length - position; }
  float* cursor() const { return buffer + position; }
  void advance(int32_t frames) {
    position += frames;
    if (position == length) position = 0;
  }

 private:
  float feedback = 0.0f;
  float* buffer = nullptr;
  int32_t length = 0;
  int32_t position = 0;
};

}  // namespace kqfx
