// kqfx bench --json: keys in the style of the other subcommands, numbers
// as plain numbers.
#include <gtest/gtest.h>

#include "CommandRunner.h"
#include "MiniJson.h"

namespace kqfx::test {
namespace {

TEST(CommandBench, JsonUsesCamelCaseKeysAndPlainNumbers) {
  const CommandResult result = runKqfx({"bench", "Pellvo", "--json", "-s", "0.01", "-r", "96000"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("\"sampleRate\": 96000,"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("e+"), std::string::npos) << result.out;
  const Json bench = Json::parse(result.out);
  EXPECT_EQ(bench["block"].number(), 512);
  EXPECT_EQ(bench["results"][0]["name"].text(), "Pellvo");
  EXPECT_EQ(bench["results"][0]["glideParameter"].text(), "Input Gain");
  EXPECT_GT(bench["results"][0]["realtimeFactor"].number(), 0.0);
}

}  // namespace
}  // namespace kqfx::test
