#pragma once
// Whether a block may read a run of frames of both inputs before it writes
// those frames' outputs and still get what frame-by-frame processing gets
// (per frame: read the left input, write the left output, read the right
// input, write the right output). Any thread; no state.

#include <cstdint>

namespace kqfx {

namespace overlap_detail {
inline bool apart(const float* a, const float* b, int32_t n) {
  const auto x = reinterpret_cast<std::uintptr_t>(a);
  const auto y = reinterpret_cast<std::uintptr_t>(b);
  const auto bytes = static_cast<std::uintptr_t>(n) * sizeof(float);
  return x + bytes <= y || y + bytes <= x;
}
// An output that is exactly an input, or shares nothing with it.
inline bool sameOrApart(const float* out, const float* in, int32_t n) {
  return out == in || apart(out, in, n);
}
}  // namespace overlap_detail

// True for separate buffers and for the usual in-place layouts (each
// output on its own input, one input feeding both channels, both outputs
// on one buffer). False where a frame's right input is its own left
// output, or where buffers overlap at an offset.
inline bool shapesAhead(const float* inL, const float* inR, const float* outL, const float* outR,
                        int32_t n) {
  using overlap_detail::sameOrApart;
  if (outL == inR) return false;
  return sameOrApart(outL, inL, n) && sameOrApart(outL, inR, n) && sameOrApart(outR, inL, n) &&
         sameOrApart(outR, inR, n);
}

}  // namespace kqfx
