#pragma once
// Which lane family (Lanes.h) the effects run, chosen here and nowhere
// else:
//   kScalar    ScalarLanes: plain arithmetic, one lane after the other
//   kBaseline  BaselineLanes: the vectors every processor of the build's
//              kind has (SSE2 on x86; plain lanes elsewhere)
//   kWide      WideLanes: AVX and AVX2, where the processor has them
// The widest the processor has, unless the environment variable
// KQFX_LANE_PATH names another ("scalar", "baseline" or "sse2", "wide" or
// "avx2"; a path the processor lacks gives the widest it has), or
// KQFX_BASELINE_PATH is set to anything but "" or "0" (the baseline). The
// output is the same bits on every path; the switch is for measuring and
// checking them.
//
// Host thread: an effect asks once, when it is created, and keeps the
// answer, so the audio thread never reads the environment.

namespace kqfx {

enum class LanePath { kScalar, kBaseline, kWide };

// The path for an effect created now.
LanePath chooseLanePath();

// Whether this processor has the wide path's instructions.
bool wideLanesAvailable();

}  // namespace kqfx
