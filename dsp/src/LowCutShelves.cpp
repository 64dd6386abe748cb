#include "kqfx/dsp/LowCutShelves.h"

#include <cstddef>

namespace kqfx {

int shelfIndex(float value) {
  for (int i = 0; i < kShelfCount; ++i) {
    if (value >= kShelfFrequencies[static_cast<std::size_t>(i)]) return i;
  }
  return kShelfCount - 1;
}

}  // namespace kqfx
