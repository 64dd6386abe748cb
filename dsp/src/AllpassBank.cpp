#include "kqfx/dsp/AllpassBank.h"

#include <algorithm>

namespace kqfx {

void allpass::setbuffer(float* memory, int32_t size) {
  buffer = memory;
  length = size;
}

void allpass::mute() { std::fill(buffer, buffer + length, 0.0f); }

void AllpassBank::mute() {
  for (allpass& f : filters) f.mute();
}

}  // namespace kqfx
