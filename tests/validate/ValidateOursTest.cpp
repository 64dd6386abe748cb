// Every plug-in we ship passes every check of kqfx validate (at the
// default level here; CI runs the highest), and the report says so in its summary
// and its JSON.
#include <gtest/gtest.h>

#include "CommandRunner.h"
#include "Deliverables.h"
#include "MiniJson.h"

namespace kqfx::test {
namespace {

class ValidateOurs : public ::testing::TestWithParam<Deliverable> {};

TEST_P(ValidateOurs, PassesEveryCheck) {
  const std::string name = GetParam().name;
  const CommandResult result = runKqfx({"validate", name, "--level", "5", "--seed", "7"});
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_NE(result.out.find(name + ": all 13 checks passed (level 5, seed 7)\n"), std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("FAIL"), std::string::npos) << result.out;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_NE(result.out.find("PASS  real-time       no allocation or free in "), std::string::npos)
      << result.out;
#endif
}

INSTANTIATE_TEST_SUITE_P(Shipped, ValidateOurs, ::testing::ValuesIn(deliverables()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ValidateReport, JsonHasEveryCheckInOrderWithItsResult) {
  const CommandResult result =
      runKqfx({"validate", "Pellvo", "--json", "--check", "metadata", "--check", "audio"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Json report = Json::parse(result.out);
  EXPECT_EQ(report["plugin"].text(), "Pellvo");
  EXPECT_EQ(report["level"].number(), 5.0);
  EXPECT_EQ(report["seed"].number(), 1.0);
  EXPECT_TRUE(std::get<bool>(report["passed"].value));
  const Json::Array& checks = report["checks"].array();
  ASSERT_EQ(checks.size(), 3u);  // loading always runs first
  EXPECT_EQ(checks[0]["name"].text(), "loading");
  EXPECT_EQ(checks[1]["name"].text(), "metadata");
  EXPECT_EQ(checks[2]["name"].text(), "audio");
  for (const Json& check : checks) {
    EXPECT_EQ(check["result"].text(), "pass");
    EXPECT_FALSE(check["seen"].text().empty());
  }
  EXPECT_EQ(checks[0]["seen"].text(),
            "entry 'VSTPluginMain' answered a record: id 'KQPE', 2 in, 2 out, 1 parameters");
}

TEST(ValidateCommandLine, RefusesLevelsChecksAndMissingPlugins) {
  const CommandResult level = runKqfx({"validate", "Pellvo", "--level", "11"});
  EXPECT_EQ(level.status, 2);
  EXPECT_EQ(level.firstErrorLine(), "kqfx: --level must be a level from 1 to 10, not '11'");
  const CommandResult check = runKqfx({"validate", "Pellvo", "--check", "speed"});
  EXPECT_EQ(check.status, 2);
  EXPECT_EQ(check.firstErrorLine().rfind("kqfx: unknown check 'speed'; the checks are loading, "
                                         "lifecycle, metadata, audio, in-place, block-split, ",
                                         0),
            0u)
      << check.err;
  const CommandResult missing = runKqfx({"validate"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.firstErrorLine(), "kqfx: which plug-in? PLUGIN is missing");
}

}  // namespace
}  // namespace kqfx::test
