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
      {"Fennick", 0x4B514645, 4, {}},
      {"Morvane", 0x4B514D4F, 4, {"FREQUENCIES", "GAIN_COEFFICIENTS", "Y_COEFFICIENTS"}},
      {"Tallisk", 0x4B515441, 4, {}},
      {"Vardello", 0x4B515641, 4, {"MODELS"}},
      {"Quistrel", 0x4B515155, 6, {}},
  };
  return all;
}

}  // namespace kqfx::test
