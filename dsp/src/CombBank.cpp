#include "kqfx/dsp/CombBank.h"

#include <algorithm>

namespace kqfx {

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
  for (std::size_t i = 0; i < kCombs; ++i) std::fill(start[i], end[i], 0.0f);
}

void CombBank::clear() {
  mute();
  lowpassState.fill(0.0f);
}

}  // namespace kqfx
