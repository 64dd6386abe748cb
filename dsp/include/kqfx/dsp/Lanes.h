#pragma once
// Side-by-side arithmetic written once for every processor. A lane family
// is a struct of types and static operations:
//   Floats   four float lanes;   Doubles  two double lanes;
//   Quad     four double lanes (widened from, narrowed to, four floats).
// Every operation is the plain IEEE one of each lane, with the rounding
// and the NaN rules of the x86 vector instructions (a failed comparison in
// min/max answers the second operand; a mask lane is all ones or all
// zeros), so a computation written against one family gives the same bits
// in every other. The families:
//   ScalarLanes  plain arrays, one lane after the other: any processor
//   Sse2Lanes    x86's baseline vectors (x86 only)
//   WideLanes    Sse2Lanes with Quad in one AVX register; its operations
//                run only inside functions compiled for AVX, on
//                processors that have it (x86 only)
//   BaselineLanes  the widest family every processor of the build's kind
//                has: Sse2Lanes on x86, else ScalarLanes
// Which family an effect runs is chosen at run time in one place,
// LanePath.h. Pure functions; any thread.

#include "kqfx/dsp/lanes/ScalarLanes.h"

#if defined(__x86_64__) || defined(__i386__)
#include "kqfx/dsp/lanes/X86Lanes.h"
#define KQFX_HAS_X86_LANES 1
namespace kqfx {
using BaselineLanes = Sse2Lanes;
}
#else
namespace kqfx {
using BaselineLanes = ScalarLanes;
}
#endif
