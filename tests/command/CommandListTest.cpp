// kqfx list and the plug-in search: our plug-ins first, then
// KQFX_PLUGIN_PATH; foreign plug-ins that crash or hang are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "CommandRunner.h"
#include "Deliverables.h"
#include "MiniJson.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

namespace fs = std::filesystem;
const std::string kFixtures = KQFX_FIXTURE_DIR;
const std::string kPlugins = KQFX_PLUGIN_DIR;

std::map<std::string, std::string> searchEnvironment(const ScratchFolder& folder,
                                                     const std::string& pluginPath) {
  // Under AddressSanitizer the crashing plug-in must crash as it would
  // without it, not be caught and reported by the sanitizer.
  const char* asan = std::getenv("ASAN_OPTIONS");
  return {{"KQFX_PLUGIN_PATH", pluginPath},
          {"HOME", folder / "home"},
          {"KQFX_SYSTEM_VST_PATH", folder / "system"},
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
  fs::create_directories(folder.path() / "system");
  fs::copy_file(kFixtures + "/MonoOut.so", folder / "system/Sys.so");

  const CommandResult result =
      runKqfx({"list", "--timeout", "1", "--format", "vst2"},
              searchEnvironment(folder, (folder / "a") + ":" + (folder / "missing") + "::" +
                                            (folder / "b")));
  ASSERT_EQ(result.status, 0) << result.err;
  // Ours in name order, then each folder of the path in turn, then the
  // system folders (here a stand-in for them).
  std::vector<std::vector<std::string>> expected;
  std::vector<Deliverable> ours = deliverables();
  std::sort(ours.begin(), ours.end(),
            [](const Deliverable& a, const Deliverable& b) { return std::string(a.name) < b.name; });
  for (const Deliverable& d : ours) {
    const auto id = static_cast<uint32_t>(d.uniqueId);
    const std::string code = {static_cast<char>(id >> 24), static_cast<char>(id >> 16),
                              static_cast<char>(id >> 8), static_cast<char>(id)};
    expected.push_back(
        {d.name, "vst2", code, std::to_string(d.numParams), kPlugins + "/" + d.name + ".so"});
  }
  expected.push_back({"Pellvo", "vst2", "KQPE", "1", folder / "a/bundle/Pellvo.so"});
  expected.push_back({"Grubbel", "vst2", "KQGR", "2", folder / "b/Grubbel.so"});
  expected.push_back({"MonoOut", "vst2", "TsFx", "1", folder / "b/MonoOut.so"});
  expected.push_back({"Sys", "vst2", "TsFx", "1", folder / "system/Sys.so"});

  std::vector<std::vector<std::string>> listed;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string field; fields >> field;) row.push_back(field);
    listed.push_back(row);
  }
  EXPECT_EQ(listed, expected) << result.out;
  EXPECT_EQ(result.err,
            "kqfx: skipped " + (folder / "b/Crashes.so") +
                ": crashed while loading (Segmentation fault)\n"
                "kqfx: skipped " + (folder / "b/Hangs.so") +
                ": did not finish loading within 1 s\n");
}

TEST(CommandList, ControlCharactersInNamesAreEscapedAndJsonListsTheSame) {
  ScratchFolder folder;
  fs::create_directories(folder.path() / "home");
  fs::create_directories(folder.path() / "a");
  const std::string name = "Pel\x1b[31mRED\nvo";
  fs::copy_file(kPlugins + "/Pellvo.so", folder / ("a/" + name + ".so"));
  const auto environment = searchEnvironment(folder, folder / "a");

  const CommandResult text = runKqfx({"list", "--format", "vst2"}, environment);
  ASSERT_EQ(text.status, 0) << text.err;
  // One line per plug-in, ours first: the eighth is the copy, its escape
  // and line break shown as text.
  std::vector<std::string> lines;
  std::istringstream stream(text.out);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), deliverables().size() + 1) << text.out;
  EXPECT_EQ(lines.back(),
            "Pel\\e[31mRED\\nvo  vst2  KQPE  1  " + (folder / "a") + "/Pel\\e[31mRED\\nvo.so");
  EXPECT_EQ(text.out.find('\x1b'), std::string::npos);

  const CommandResult json = runKqfx({"list", "--json", "--format", "vst2"}, environment);
  ASSERT_EQ(json.status, 0) << json.err;
  const Json report = Json::parse(json.out);
  const Json::Array& plugins = report["plugins"].array();
  ASSERT_EQ(plugins.size(), deliverables().size() + 1);
  EXPECT_EQ(plugins.back()["name"].text(), name);
  EXPECT_EQ(plugins.back()["format"].text(), "vst2");
  EXPECT_EQ(plugins.back()["uniqueId"].text(), "KQPE");
  EXPECT_EQ(plugins.back()["parameters"].number(), 1.0);
  EXPECT_EQ(plugins.back()["path"].text(), (folder / "a") + "/" + name + ".so");
  EXPECT_TRUE(report["skipped"].array().empty());
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
