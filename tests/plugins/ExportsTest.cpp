// Each shared object exports exactly its entry points and tables, so that
// plug-ins loaded side by side can never bind to each other's code.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "Deliverables.h"
#include "TestPlugins.h"

namespace kqfx {
namespace {

std::set<std::string> definedDynamicSymbols(const std::string& path) {
  std::set<std::string> symbols;
  const std::string command = "nm -D --defined-only '" + path + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) symbols.insert(name);
  }
  pclose(pipe);
  return symbols;
}

// The size the shared object gives the data symbol at `address`, in bytes.
std::size_t symbolSize(const void* address) {
  Dl_info info;
  void* entry = nullptr;
  if (dladdr1(address, &info, &entry, RTLD_DL_SYMENT) == 0 || entry == nullptr) return 0;
  return static_cast<const ElfW(Sym)*>(entry)->st_size;
}

const std::set<std::string> kCommonExports = {"main_plugin", "VSTPluginMain", "oome",
                                              "hostCanDos", "plugCanDos"};

class Exports : public ::testing::TestWithParam<test::Deliverable> {};

TEST_P(Exports, OnlyTheEntryPointsAndTablesAreVisible) {
  std::set<std::string> expected = kCommonExports;
  expected.insert(GetParam().extraExports.begin(), GetParam().extraExports.end());
  EXPECT_EQ(definedDynamicSymbols(test::pluginPath(GetParam().name)), expected);
}

TEST_P(Exports, CapabilityTablesHoldTheirTextsInOrder) {
  host::PluginLibrary library(test::pluginPath(GetParam().name));
  auto hostCanDos = static_cast<const char* const*>(library.symbol("hostCanDos"));
  auto plugCanDos = static_cast<const char* const*>(library.symbol("plugCanDos"));
  ASSERT_NE(hostCanDos, nullptr);
  ASSERT_NE(plugCanDos, nullptr);
  const char* host[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                        "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
                        "reportConnectionChanges", "acceptIOChanges", "sizeWindow",
                        "asyncProcessing", "offline", "supplyIdle", "supportShell"};
  const char* plug[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                        "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
                        "offline", "plugAsChannelInsert", "plugAsSend", "mixDryWet",
                        "noRealTime", "multipass", "metapass", "1in1out", "1in2out", "2in1out",
                        "2in2out", "2in4out", "4in2out", "4in4out", "4in8out", "8in4out",
                        "8in8out"};
  // Exactly these entries, with no terminating one after them.
  EXPECT_EQ(symbolSize(hostCanDos), 13 * sizeof(const char*));
  EXPECT_EQ(symbolSize(plugCanDos), 23 * sizeof(const char*));
  for (std::size_t i = 0; i < std::size(host); ++i) EXPECT_STREQ(hostCanDos[i], host[i]) << i;
  for (std::size_t i = 0; i < std::size(plug); ++i) EXPECT_STREQ(plugCanDos[i], plug[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(Deliverables, Exports, ::testing::ValuesIn(test::deliverables()), test::PluginNamePrinter());

}  // namespace
}  // namespace kqfx
