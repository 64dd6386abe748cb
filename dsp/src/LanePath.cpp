#include "kqfx/dsp/LanePath.h"

#include <cstdlib>
#include <string_view>

namespace kqfx {

bool wideLanesAvailable() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

LanePath chooseLanePath() {
  const LanePath widest = wideLanesAvailable() ? LanePath::kWide : LanePath::kBaseline;
  if (const char* forced = std::getenv("KQFX_LANE_PATH"); forced != nullptr) {
    const std::string_view name(forced);
    if (name == "scalar") return LanePath::kScalar;
    if (name == "baseline" || name == "sse2") return LanePath::kBaseline;
    if (name == "wide" || name == "avx2") return widest;
  }
  if (const char* baseline = std::getenv("KQFX_BASELINE_PATH");
      baseline != nullptr && baseline[0] != '\0' && !(baseline[0] == '0' && baseline[1] == '\0')) {
    return LanePath::kBaseline;
  }
  return widest;
}

}  // namespace kqfx
