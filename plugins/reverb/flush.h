#pragma once
// Zero and subnormal floats (all exponent bits clear) become +0, so the
// recursive filters of the reverb never spend time on denormal arithmetic
// whatever the processor's flush mode. Any thread; pure.

#include <bit>
#include <cstdint>

namespace kqfx {

inline float flush(float value) {
  constexpr uint32_t kExponentBits = 0x7F800000u;
  return (std::bit_cast<uint32_t>(value) & kExponentBits) == 0 ? 0.0f : value;
}

}  // namespace kqfx
