#pragma once
// The processor's floating-point control word, read and written for tests
// of the denormal guard: MXCSR on x86, FPCR on 64-bit ARM.

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace kqfx::test {

#if defined(__x86_64__) || defined(__i386__)
// Flush-to-zero and denormals-are-zero.
inline constexpr uint64_t kFlushBits = 0x8040;
inline uint64_t floatControl() { return _mm_getcsr(); }
inline void setFloatControl(uint64_t value) { _mm_setcsr(static_cast<unsigned>(value)); }
#elif defined(__aarch64__)
// FZ: flush-to-zero for inputs and results.
inline constexpr uint64_t kFlushBits = uint64_t{1} << 24;
inline uint64_t floatControl() {
  uint64_t value;
  asm volatile("mrs %0, fpcr" : "=r"(value));
  return value;
}
inline void setFloatControl(uint64_t value) { asm volatile("msr fpcr, %0" : : "r"(value)); }
#else
#error "no floating-point control word known for this processor"
#endif

}  // namespace kqfx::test
