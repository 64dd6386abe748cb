#pragma once
// Switches on flush-to-zero (and, on x86, denormals-are-zero) for the
// lifetime of the guard and restores the caller's floating-point control
// state afterwards, so that recursive filters never slow down on subnormal
// numbers and never output them. On x86 that is the SSE control register;
// on 64-bit ARM the FZ bit of FPCR, which flushes subnormal inputs and
// results alike. Audio thread; costs two control-register accesses.

#include <cstdint>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define KQFX_HAS_MXCSR 1
#elif defined(__aarch64__)
#define KQFX_HAS_FPCR 1
#endif

namespace kqfx {

class DenormalGuard {
 public:
#if KQFX_HAS_MXCSR
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;

  DenormalGuard() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
  ~DenormalGuard() { _mm_setcsr(saved_); }

 private:
  unsigned saved_;
#elif KQFX_HAS_FPCR
  static constexpr uint64_t kFlushToZero = uint64_t{1} << 24;

  DenormalGuard() : saved_(read()) { write(saved_ | kFlushToZero); }
  ~DenormalGuard() { write(saved_); }

 private:
  static uint64_t read() {
    uint64_t value;
    asm volatile("mrs %0, fpcr" : "=r"(value));
    return value;
  }
  static void write(uint64_t value) { asm volatile("msr fpcr, %0" : : "r"(value)); }
  uint64_t saved_;
#else
  DenormalGuard() = default;
#endif

 public:
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;
};

}  // namespace kqfx
