#pragma once
// Whether an effect may run the left channel of a block through to the
// end before it starts on the right one, instead of frame by frame, with
// the same result. That holds unless a left buffer partly overlaps a right
// one: buffers that are the same (a host sharing one buffer between the
// channels) or apart are fine, because each sample is then touched by
// one frame only, in the same order either way. Any thread; pure.

#include <cstdint>
#include <functional>

namespace kqfx {

inline bool sameOrApart(const float* a, const float* b, int32_t n) {
  if (a == b) return true;
  const std::less<const float*> before;
  return !before(a, b + n) || !before(b, a + n);
}

inline bool channelsSeparable(const float* inL, const float* inR, const float* outL,
                              const float* outR, int32_t n) {
  return sameOrApart(outL, inR, n) && sameOrApart(outL, outR, n) && sameOrApart(inL, outR, n);
}

}  // namespace kqfx
