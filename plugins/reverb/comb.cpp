#include "comb.h"

#include <algorithm>

namespace kqfx {

void comb::setbuffer(float* memory, int32_t size) {
  buffer = memory;
  length = size;
}

void comb::mute() { std::fill(buffer, buffer + length, 0.0f); }

void comb::clear() {
  mute();
  lowpassState = 0.0f;
}

void comb::setdamp(float value) {
  damp = value;
  dampComplement = static_cast<float>(1.0 - static_cast<double>(value));
}

}  // namespace kqfx
