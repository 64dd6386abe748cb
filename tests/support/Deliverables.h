#pragma once
// The plug-ins we ship, as the host-boundary suites check them. A new
// plug-in adds one row here and joins every generic suite.

#include <set>
#include <string>
#include <vector>

namespace kqfx::test {

struct Deliverable {
  const char* name;
  int32_t uniqueId;
  int32_t numParams;
  std::set<std::string> extraExports;  // beyond the common five
};

inline const std::vector<Deliverable>& deliverables() {
  static const std::vector<Deliverable> all = {
      {"Pellvo", 0x4B515045, 1, {}},
      {"Grubbel", 0x4B514752, 2, {}},
      {"Quistrel", 0x4B515155, 6, {}},
  };
  return all;
}

}  // namespace kqfx::test
