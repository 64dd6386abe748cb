// kqfx list and the plug-in search: our plug-ins first, then
// KQFX_PLUGIN_PATH; foreign plug-ins that crash or hang are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "CommandRunner.h"
#include "Deliverables.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

namespace fs = std::filesystem;
const std::string kFixtures = KQFX_FIXTURE_DIR;
const std::string kPlugins = KQFX_PLUGIN_DIR;

// The lines of a listing or its messages, without those about plug-ins in
// the system folders.
std::vector<std::string> withoutSystemPlugins(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end == std::string::npos ? end : end - at);
    if (line.find("  /usr/") == std::string::npos && line.find("skipped /usr/") == std::string::npos) {
      lines.push_back(line);
    }
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return lines;
}

std::string collapseBlanks(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == ' ' && !result.empty() && result.back() == ' ') continue;
    result += c;
  }
  return result;
}

std::map<std::string, std::string> searchEnvironment(const ScratchFolder& folder,
                                                     const std::string& pluginPath) {
  // Under AddressSanitizer the crashing plug-in must crash as it would
  // without it, not be caught and reported by the sanitizer.
  const char* asan = std::getenv("ASAN_OPTIONS");
  return {{"KQFX_PLUGIN_PATH", pluginPath},
          {"HOME", folder / "home"},
          {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":handle_segv=0"}};
}

TEST(CommandList, FindsOursThenEveryFolderOfThePluginPathAndSkipsBadOnes) {
  ScratchFolder folder;
  fs::create_directories(folder.path() / "home");
  fs::create_directories(folder.path() / "a" / "bundle");
  fs::create_directories(folder.path() / "b");
  fs::copy_file(kPlugins + "/Pellvo.so", folder / "a/bundle/Pellvo.so");
  fs::copy_file(kPlugins + "/Grubbel.so", folder / "b/Grubbel.so");
  for (const char* name : {"Crashes.so", "Hangs.so", "NoEntry.so", "MonoOut.so"}) {
    fs::copy_file(kFixtures + "/" + name, folder / (std::string("b/") + name));
  }
  writeText(folder / "b/readme.txt", "not a plug-in");

  const CommandResult result =
      runKqfx({"list", "--timeout", "1"},
              searchEnvironment(folder, (folder / "a") + ":" + (folder / "missing") + "::" +
                                            (folder / "b")));
  ASSERT_EQ(result.status, 0) << result.err;
  // Ours in name order, then each folder of the path in turn; one column
  // width for every row.
  struct Row {
    std::string name, id, params, path;
  };
  std::vector<Row> rows;
  std::vector<Deliverable> ours = deliverables();
  std::sort(ours.begin(), ours.end(),
            [](const Deliverable& a, const Deliverable& b) { return std::string(a.name) < b.name; });
  for (const Deliverable& d : ours) {
    const auto id = static_cast<uint32_t>(d.uniqueId);
    const std::string code = {static_cast<char>(id >> 24), static_cast<char>(id >> 16),
                              static_cast<char>(id >> 8), static_cast<char>(id)};
    rows.push_back({d.name, code, std::to_string(d.numParams), kPlugins + "/" + d.name + ".so"});
  }
  rows.push_back({"Pellvo", "KQPE", "1", folder / "a/bundle/Pellvo.so"});
  rows.push_back({"Grubbel", "KQGR", "2", folder / "b/Grubbel.so"});
  rows.push_back({"MonoOut", "TsFx", "1", folder / "b/MonoOut.so"});
  std::size_t width = 0;
  for (const Row& row : rows) width = std::max(width, row.name.size());
  std::string expected;
  for (const Row& row : rows) {
    expected += row.name + std::string(width - row.name.size() + 2, ' ') + row.id + "  " +
                row.params + "  " + row.path + "\n";
  }
  const std::vector<std::string> lines = withoutSystemPlugins(result.out);
  std::string shown;
  for (const std::string& line : lines) shown += line + "\n";
  if (shown == result.out) {
    EXPECT_EQ(shown, expected);
  } else {
    // Plug-ins installed in the machine's system folders come last and are
    // not this test's; they only widen the columns, so compare the fields
    // and check that every row's identifier starts in the same column.
    EXPECT_EQ(collapseBlanks(shown), collapseBlanks(expected));
    ASSERT_FALSE(lines.empty());
    const std::size_t idColumn = lines.front().find("KQFE");
    for (const std::string& line : lines) {
      EXPECT_NE(line[idColumn], ' ') << line;
      EXPECT_EQ(line[idColumn - 1], ' ') << line;
    }
  }
  std::string errors;
  for (const std::string& line : withoutSystemPlugins(result.err)) errors += line + "\n";
  EXPECT_EQ(errors,
            "kqfx: skipped " + (folder / "b/Crashes.so") +
                ": crashed while loading (Segmentation fault)\n"
                "kqfx: skipped " + (folder / "b/Hangs.so") +
                ": did not finish loading within 1 s\n");
}

TEST(CommandList, NamesResolveInSearchOrderAndOursComeFirst) {
  ScratchFolder folder;
  fs::create_directories(folder.path() / "home" / ".vst");
  fs::create_directories(folder.path() / "extra");
  fs::copy_file(kFixtures + "/MonoOut.so", folder / "extra/Pellvo.so");
  fs::copy_file(kFixtures + "/MonoOut.so", folder / "home/.vst/Solo.so");
  const auto environment = searchEnvironment(folder, folder / "extra");

  const CommandResult ours = runKqfx({"info", "pellvo"}, environment);
  ASSERT_EQ(ours.status, 0) << ours.err;
  EXPECT_EQ(ours.out.rfind("Pellvo  " + kPlugins + "/Pellvo.so\n", 0), 0u) << ours.out;

  const CommandResult inHome = runKqfx({"info", "solo.so"}, environment);
  ASSERT_EQ(inHome.status, 0) << inHome.err;
  EXPECT_EQ(inHome.out.rfind("Solo  " + (folder / "home/.vst/Solo.so") + "\n", 0), 0u)
      << inHome.out;
}

}  // namespace
}  // namespace kqfx::test
