#include "kqfx/dsp/AllpassBank.h"

#include <algorithm>

namespace kqfx {

void AllpassBank::mute() {
  for (std::size_t i = 0; i < kAllpasses; ++i) std::fill(start[i], end[i], 0.0f);
}

}  // namespace kqfx
