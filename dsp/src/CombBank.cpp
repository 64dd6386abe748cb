#include "kqfx/dsp/CombBank.h"

#include <algorithm>

namespace kqfx {

void comb::setbuffer(float* memory, int32_t size) {
  buffer = memory;
  length = size;
}

void comb::mute() { std::fill(buffer, buffer + length, 0.0f); }

void comb::setdamp(float value) {
  damp = value;
  dampComplement = static_cast<float>(1.0 - static_cast<double>(value));
}

void CombBank::setfeedback(float value) {
  for (comb& c : combs) c.setfeedback(value);
}

void CombBank::setdamp(float value) {
  for (comb& c : combs) c.setdamp(value);
}

void CombBank::mute() {
  for (comb& c : combs) c.mute();
}

void CombBank::clear() {
  for (comb& c : combs) {
    c.mute();
    c.lowpassState = 0.0f;
  }
}

}  // namespace kqfx
