#pragma once
// Switches on flush-to-zero and denormals-are-zero for the lifetime of the
// guard and restores the caller's SSE control state afterwards, so that
// recursive filters never slow down on subnormal numbers and never output
// them. Audio thread; costs two control-register accesses.

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define KQFX_HAS_MXCSR 1
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
#else
  DenormalGuard() = default;
#endif

 public:
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;
};

}  // namespace kqfx
