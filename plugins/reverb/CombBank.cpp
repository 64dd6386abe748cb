#include "CombBank.h"

#include <algorithm>
#include <cstddef>

namespace kqfx {

void CombBank::setbuffer(int32_t index, float* memory, int32_t size) {
  const auto i = static_cast<std::size_t>(index);
  start[i] = memory;
  end[i] = memory + size;
  cursor[i] = memory;
}

void CombBank::mute() {
  for (std::size_t i = 0; i < kCombs; ++i) std::fill(start[i], end[i], 0.0f);
}

void CombBank::clear() {
  mute();
  lowpassState.fill(0.0f);
}

void CombBank::setdamp(float value) {
  damp = value;
  dampComplement = static_cast<float>(1.0 - static_cast<double>(value));
}

}  // namespace kqfx
