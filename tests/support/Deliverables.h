#pragma once
// The plug-ins we ship, as the host-boundary suites check them: every row
// of plugins/Effects.cmake joins every generic suite.

#include <set>
#include <string>
#include <vector>

#include "kqfx/ShippedEffects.h"

namespace kqfx::test {

struct Deliverable {
  const char* name;
  int32_t uniqueId;
  int32_t numParams;
  std::set<std::string> extraExports;  // beyond the common five
};

inline const std::vector<Deliverable>& deliverables() {
  static const std::vector<Deliverable> all = [] {
    std::vector<Deliverable> rows;
    for (const ShippedEffect& effect : shippedEffects()) {
      rows.push_back({effect.name, effect.uniqueId(), effect.numParams,
                      {effect.extraExports.begin(), effect.extraExports.end()}});
    }
    return rows;
  }();
  return all;
}

}  // namespace kqfx::test
