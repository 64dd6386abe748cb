#pragma once
// Whether an effect may take a run of frames in another order than frame
// by frame (per frame: read the left input, write the left output, read
// the right input, write the right output) with the same result, given how
// the host's buffers lie. Any thread; pure.

#include <cstdint>
#include <functional>

namespace kqfx {

inline bool sameOrApart(const float* a, const float* b, int32_t n) {
  if (a == b) return true;
  const std::less<const float*> before;
  return !before(a, b + n) || !before(b, a + n);
}

// The left channel of a run through to the end before the right one: fine
// unless a left buffer partly overlaps a right one. Buffers that are the
// same (a host sharing one buffer between the channels) or apart are fine,
// because each sample is then touched by one frame only, in the same order
// either way.
inline bool channelsSeparable(const float* inL, const float* inR, const float* outL,
                              const float* outR, int32_t n) {
  return sameOrApart(outL, inR, n) && sameOrApart(outL, outR, n) && sameOrApart(inL, outR, n);
}

// Both inputs of a run read before any of its outputs is written: fine for
// separate buffers and the usual in-place layouts (each output on its own
// input, one input feeding both channels, both outputs on one buffer); not
// where a frame's right input is its own left output, nor where buffers
// overlap at an offset.
inline bool readAheadSafe(const float* inL, const float* inR, const float* outL,
                          const float* outR, int32_t n) {
  if (outL == inR) return false;
  return sameOrApart(outL, inL, n) && sameOrApart(outL, inR, n) && sameOrApart(outR, inL, n) &&
         sameOrApart(outR, inR, n);
}

}  // namespace kqfx
