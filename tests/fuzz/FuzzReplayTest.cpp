// Replays the saved fuzzer sessions (tests/fuzz/corpus/<plug-in>/*: inputs
// that once crashed a plug-in, and seeds that reach deep into each one)
// against the built plug-ins. A session passes when it runs to its end
// without a crash or a sanitizer report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "Deliverables.h"
#include "PluginSequence.h"
#include "TestPlugins.h"

namespace kqfx::test {
namespace {

std::vector<std::filesystem::path> savedSessions(const std::string& plugin) {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path folder = std::filesystem::path(KQFX_FUZZ_CORPUS_DIR) / plugin;
  if (!std::filesystem::is_directory(folder)) return files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FuzzReplay : public ::testing::TestWithParam<Deliverable> {};

TEST_P(FuzzReplay, SavedSessionsRunToTheirEnd) {
  const std::vector<std::filesystem::path> sessions = savedSessions(GetParam().name);
  ASSERT_FALSE(sessions.empty()) << "no saved sessions for " << GetParam().name;
  host::PluginLibrary library(pluginPath(GetParam().name));
  for (const std::filesystem::path& session : sessions) {
    SCOPED_TRACE(session.filename().string());
    std::ifstream file(session, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
    fuzz::runPluginSession(library, bytes.data(), bytes.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, FuzzReplay, ::testing::ValuesIn(deliverables()),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kqfx::test
