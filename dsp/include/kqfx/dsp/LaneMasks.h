#pragma once
// Lane selections for side-by-side code that runs fewer than four frames
// in a four-lane step. Any lane family (Lanes.h); pure; any thread.

#include <cstdint>

namespace kqfx {

// All ones in lanes 0 .. count - 1, zeros in the others.
template <class Lanes>
typename Lanes::Floats firstLanes(int32_t count) {
  return Lanes::less(Lanes::setFloats(0.0f, 1.0f, 2.0f, 3.0f),
                     Lanes::splatFloats(static_cast<float>(count)));
}

// `a` where `mask` is set, else `b`.
template <class Lanes>
typename Lanes::Floats blend(typename Lanes::Floats mask, typename Lanes::Floats a,
                             typename Lanes::Floats b) {
  return Lanes::bitOr(Lanes::bitAnd(mask, a), Lanes::bitAndNot(mask, b));
}

}  // namespace kqfx
