// -p NAME=VALUE: the value check and how a name finds its parameter.
#include <gtest/gtest.h>

#include "CommandErrors.h"
#include "ParameterArgument.h"

namespace kqfx::command {
namespace {

const std::vector<std::string> kNames = {"Input Gain", "Limit", "Dry/Wet", "7", "input_gain"};

std::string problem(const std::string& key) {
  try {
    return "index " + std::to_string(resolveParameter(key, kNames));
  } catch (const UsageError& error) {
    return error.what();
  }
}

TEST(ParameterArgument, NumbersFromZeroToOneAreThePluginsScaleTheRestShownValues) {
  EXPECT_EQ(parseParameterArgument("Input Gain=0.75").key, "Input Gain");
  EXPECT_EQ(parseParameterArgument("Input Gain=0.75").value, 0.75f);
  EXPECT_EQ(parseParameterArgument("a=b=1").key, "a=b");
  EXPECT_EQ(parseParameterArgument("0=0").value, 0.0f);
  EXPECT_EQ(parseParameterArgument("0=1").value, 1.0f);
  EXPECT_EQ(parseParameterArgument("0=.1").value, 0.1f);
  EXPECT_EQ(parseParameterArgument("0=1e-1").value, 0.1f);
  for (const char* shown : {"0=1.0000001", "0=-0.0001", "0=2", "0=half", "0=+6dB", "0= 0.5"}) {
    const ParameterArgument argument = parseParameterArgument(shown);
    EXPECT_FALSE(argument.value.has_value()) << shown;
    EXPECT_EQ("0=" + argument.shown, shown);
  }
  EXPECT_THROW(parseParameterArgument("0="), UsageError);
  EXPECT_THROW(parseParameterArgument("=0.5"), UsageError);
  EXPECT_THROW(parseParameterArgument("gain"), UsageError);
}

TEST(ParameterArgument, NamesMatchRegardlessOfCaseThenOfSeparatorsThenAsIndex) {
  EXPECT_EQ(problem("limit"), "index 1");
  EXPECT_EQ(problem("DRY/WET"), "index 2");
  EXPECT_EQ(problem("INPUT GAIN"), "index 0");  // exact beats the looser match of "input_gain"
  EXPECT_EQ(problem("drywet"), "the plug-in has no parameter 'drywet'; its parameters are "
                               "'Input Gain', 'Limit', 'Dry/Wet', '7', 'input_gain'");
  EXPECT_EQ(problem("7"), "index 3");  // a name that looks like an index is a name first
  EXPECT_EQ(problem("4"), "index 4");
  EXPECT_EQ(problem("5"), "parameter index 5 is out of range: the plug-in has 5 parameters");
  EXPECT_EQ(problem("-1"), "parameter index -1 is out of range: the plug-in has 5 parameters");
  EXPECT_EQ(problem("inputgain"),
            "parameter name 'inputgain' is ambiguous: more than one parameter has it; use an index");
  EXPECT_EQ(resolveParameter("limit_", {"Input Gain", "Limit"}), 1);
  try {
    resolveParameter("x", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"});
    ADD_FAILURE() << "an unknown name was accepted";
  } catch (const UsageError& error) {
    EXPECT_STREQ(error.what(), "the plug-in has no parameter 'x'; its parameters are '1', '2', "
                               "'3', '4', '5', '6', '7', '8', '9', '10', '11', '12', ... (13 in "
                               "all; 'kqfx info' lists them)");
  }
  EXPECT_THROW(resolveParameter("0", {}), UsageError);
  EXPECT_EQ(resolveParameter("input-gain", {"Input Gain", "Limit"}), 0);
}

}  // namespace
}  // namespace kqfx::command
