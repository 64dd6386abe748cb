#pragma once
// The sample rates an effect accepts from the host. A rate of zero, a
// negative or non-finite one, or an absurdly high one would make every
// rate-derived length and coefficient meaningless, so such a rate is
// refused and the previous one stays.

#include <cmath>

#include "kqfx/framework/AudioEffect.h"

namespace kqfx {

inline bool isAcceptableSampleRate(float rate) {
  return std::isfinite(rate) && rate > 0.0f && rate <= AudioEffect::kMaxSampleRate;
}

}  // namespace kqfx
