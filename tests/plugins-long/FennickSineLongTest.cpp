// The distortion's fast sine against std::sin over the arguments the
// "Saturate" curve can reach: every 61st float sample of either sign up to
// magnitude 64 (beyond the largest gain on a full-scale sample), for shape
// amounts across the range. About 110 million comparisons, so it is kept
// apart from the quick tests (label "long").

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "kqfx/dsp/FastSine.h"
#include "kqfx/dsp/ShaperCurves.h"

namespace kqfx {
namespace {

TEST(FennickSineLong, EveryReachableArgumentGivesTheLibraryResult) {
  const uint32_t top = std::bit_cast<uint32_t>(64.0f);
  for (float zeta : {0.0f, 0.37f, 1.0f}) {
    const shaper::SineSegment segment = shaper::SineSegment::forZeta(zeta);
    int64_t compared = 0, sure = 0;
    for (uint32_t pattern = 0; pattern <= top; pattern += 61) {
      for (uint32_t sign : {0u, 0x80000000u}) {
        const float x = std::bit_cast<float>(pattern | sign);
        if (x > segment.e) continue;  // the curve holds at 1 there
        const double a = static_cast<double>(segment.w) * x;
        const double scale = segment.inv;
        const float expected = static_cast<float>(std::sin(a) * scale);
        const float fast = shaper::sineTimes(a, scale);
        ASSERT_EQ(std::bit_cast<uint32_t>(fast), std::bit_cast<uint32_t>(expected))
            << "x " << x << " zeta " << zeta;
        sure += shaper::sineTimesIsSure(a, scale);
        ++compared;
      }
    }
    // Nearly every argument is settled without the library's sine.
    EXPECT_GT(sure, compared - compared / 1000) << zeta;
  }
}

}  // namespace
}  // namespace kqfx
