// kqfx info: what it reports about our plug-ins and about foreign ones.
#include <gtest/gtest.h>

#include "CommandRunner.h"
#include "MiniJson.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

const std::string kFixtures = KQFX_FIXTURE_DIR;

TEST(CommandInfo, PreviewsValuesGivenAsThePluginShowsThem) {
  const CommandResult result =
      runKqfx({"info", "Quistrel", "-p", "tempo=121", "-p", "every n=0.5", "--json"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Json info = Json::parse(result.out);
  EXPECT_EQ(info["parameters"][1]["text"].text(), "121");
  ASSERT_EQ(info["settings"].array().size(), 2u);
  EXPECT_EQ(info["settings"][0].text(), "Tempo = 121 BPM");
  EXPECT_EQ(info["settings"][1].text(), "Every n = " + info["parameters"][2]["text"].text() + " Beats");
  EXPECT_EQ(info["parameters"][2]["value"].number(), 0.5);

  // A choice by its name, any case.
  const CommandResult choice = runKqfx({"info", "Vardello", "-p", "model=catacombs"});
  EXPECT_NE(choice.out.find("\npreviewed (nothing rendered): Model = Catacombs\n"),
            std::string::npos)
      << choice.out;
  // An unknown parameter in bench names the plug-in that lacks it.
  const CommandResult bench = runKqfx({"bench", "Pellvo", "Grubbel", "-p", "depth=0.5"});
  EXPECT_EQ(bench.status, 2);
  EXPECT_EQ(bench.firstErrorLine(), "kqfx: Grubbel: the plug-in has no parameter 'depth'; its "
                                    "parameters are 'Input Gain', 'Limit'");
  EXPECT_NE(bench.err.find("\nusage: kqfx bench"), std::string::npos) << bench.err;
}

TEST(CommandInfo, AFileNameAloneIsTheFileInTheWorkingFolder) {
  ScratchFolder folder;
  std::filesystem::copy_file(kFixtures + "/MonoOut.so", folder / "Solo.so");
  for (const char* name : {"Solo.so", "./Solo.so"}) {
    const CommandResult result = runKqfx({"info", name}, {}, folder.path().string());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find('\n')), "Solo  ./Solo.so");
  }
}

TEST(CommandInfo, JsonOfGrubbelListsItsParametersWithNamesTextsAndLabels) {
  const CommandResult result = runKqfx({"info", "grubbel", "--json"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Json info = Json::parse(result.out);
  EXPECT_EQ(info["name"].text(), "Grubbel");
  EXPECT_EQ(info["path"].text(), std::string(KQFX_PLUGIN_DIR) + "/Grubbel.so");
  EXPECT_EQ(info["entry"].text(), "VSTPluginMain");
  EXPECT_EQ(info["uniqueId"].text(), "KQGR");
  EXPECT_EQ(info["uniqueIdNumber"].number(), 0x4B514752);
  EXPECT_EQ(info["inputs"].number(), 2);
  EXPECT_EQ(info["outputs"].number(), 2);
  EXPECT_EQ(info["programs"].number(), 1);
  EXPECT_EQ(info["programName"].text(), "default");
  ASSERT_EQ(info["flags"].array().size(), 2u);
  EXPECT_EQ(info["flags"][0].text(), "can-mono");
  EXPECT_EQ(info["flags"][1].text(), "can-replace");
  EXPECT_EQ(info["flagsNumber"].number(), 0x18);

  const Json& parameters = info["parameters"];
  ASSERT_EQ(parameters.array().size(), 2u);
  EXPECT_EQ(parameters[0]["index"].number(), 0);
  EXPECT_EQ(parameters[0]["name"].text(), "Input Gain");
  EXPECT_EQ(parameters[0]["value"].number(), 0.5);
  EXPECT_EQ(parameters[0]["text"].text(), "0.000000");
  EXPECT_EQ(parameters[0]["label"].text(), "dB");
  EXPECT_EQ(parameters[1]["name"].text(), "Limit");
  EXPECT_EQ(parameters[1]["value"].number(), 1.0);
  EXPECT_EQ(parameters[1]["text"].text(), "0.000000");
  EXPECT_EQ(parameters[1]["label"].text(), "dB");
}

TEST(CommandInfo, TextShowsTheIdentityAndAParameterTable) {
  const CommandResult result = runKqfx({"info", "PELLVO"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Pellvo  " + std::string(KQFX_PLUGIN_DIR) + "/Pellvo.so\n"
            "  identifier  KQPE (0x4B515045)\n"
            "  version     1\n"
            "  entry       VSTPluginMain\n"
            "  flags       can-mono, can-replace (0x00000018)\n"
            "  inputs      2\n"
            "  outputs     2\n"
            "  latency     0 frames\n"
            "  programs    1 (current: 0 \"default\")\n"
            "  parameters  1\n"
            "\n"
            "  index  name        value  text      label\n"
            "      0  Input Gain  0.5    0.000000  dB\n");
}

TEST(CommandInfo, ForeignPluginByPathWithOldEntryLatin1TextsAndChatter) {
  const CommandResult result = runKqfx({"info", kFixtures + "/ProcessOnly.so", "--json"});
  ASSERT_EQ(result.status, 0) << result.err;
  // What the plug-in printed went to standard error, not into the JSON.
  EXPECT_NE(result.err.find("a chatty plug-in says hello"), std::string::npos);
  const Json info = Json::parse(result.out);
  EXPECT_EQ(info["name"].text(), "ProcessOnly");
  EXPECT_EQ(info["entry"].text(), "main");
  EXPECT_EQ(info["uniqueId"].text(), "TsFx");
  EXPECT_EQ(info["version"].number(), 7);
  EXPECT_EQ(info["effectName"].text(), "Fixture");
  EXPECT_TRUE(info["flags"].array().empty());
  EXPECT_EQ(info["programs"].number(), 0);
  const Json& parameter = info["parameters"][0];
  EXPECT_EQ(parameter["name"].text(), "Temp \u00B0");
  EXPECT_EQ(parameter["label"].text(), "\u00B5s");
  EXPECT_EQ(parameter["text"].text(), "\"warm\"");
  EXPECT_EQ(parameter["value"].number(), 0.25);
}

}  // namespace
}  // namespace kqfx::test
