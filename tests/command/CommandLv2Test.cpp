// kqfx list, info and render on LV2 plug-ins, on a search path of the
// test's own: our bundle from the build and a described stand-in whose name
// is also a VST 2 plug-in's.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "CommandRunner.h"
#include "MiniJson.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

namespace fs = std::filesystem;
const std::string kFixtures = KQFX_FIXTURE_DIR;
const std::string kWorker = "http://lv2plug.in/ns/ext/worker#schedule";

// A bundle describing "MonoOut" (urn:kqfx-test:twin): a filter with an
// enumeration, a latency port, and a feature kqfx does not give, so its
// code (which is not there) is never loaded.
void writeTwinBundle(const fs::path& bundle) {
  fs::create_directories(bundle);
  writeText(bundle / "manifest.ttl",
            "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
            "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
            "<urn:kqfx-test:twin> a lv2:Plugin ; lv2:binary <twin.so> ; rdfs:seeAlso <twin.ttl> .\n");
  writeText(bundle / "twin.ttl",
            "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
            "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
            "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
            "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
            "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
            "<urn:kqfx-test:twin> a lv2:Plugin, lv2:FilterPlugin ;\n"
            "  doap:name \"MonoOut\" ;\n"
            "  lv2:requiredFeature <" + kWorker + "> ;\n"
            "  lv2:port [ a lv2:AudioPort, lv2:InputPort ; lv2:index 0 ; lv2:symbol \"in\" ;"
            " lv2:name \"In\" ] ,\n"
            "  [ a lv2:AudioPort, lv2:OutputPort ; lv2:index 1 ; lv2:symbol \"out\" ; lv2:name \"Out\" ] ,\n"
            "  [ a lv2:ControlPort, lv2:InputPort ; lv2:index 2 ; lv2:symbol \"mode\" ; lv2:name \"Mode\" ;\n"
            "    lv2:default 1 ; lv2:minimum 0 ; lv2:maximum 2 ;\n"
            "    lv2:portProperty lv2:integer, lv2:enumeration ;\n"
            "    lv2:scalePoint [ rdfs:label \"Hard\" ; rdf:value 2 ], [ rdfs:label \"Soft\" ; rdf:value 0 ] ] ,\n"
            "  [ a lv2:ControlPort, lv2:OutputPort ; lv2:index 3 ; lv2:symbol \"latency\" ;\n"
            "    lv2:name \"Latency\" ; lv2:portProperty lv2:reportsLatency ; units:unit units:frame ] .\n");
}

class CommandLv2 : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_.path() / "home");
    fs::create_directories(folder_.path() / "system");
    fs::create_directories(folder_.path() / "vst");
    writeTwinBundle(folder_.path() / "lv2" / "twin.lv2");
  }

  std::map<std::string, std::string> environment() const {
    return {{"LV2_PATH", folder_ / "lv2"},
            {"KQFX_PLUGIN_PATH", folder_ / "vst"},
            {"HOME", folder_ / "home"},
            {"KQFX_SYSTEM_VST_PATH", folder_ / "system"}};
  }

  ScratchFolder folder_;
};

TEST_F(CommandLv2, ListsOursFromTheBuildThenTheSearchPathAndDescribesPortsAndFeatures) {
  const CommandResult json = runKqfx({"list", "--format", "lv2", "--json"}, environment());
  ASSERT_EQ(json.status, 0) << json.err;
  const Json listed = Json::parse(json.out);
  const Json::Array& plugins = listed["plugins"].array();
  const std::vector<std::string> ours = {"Fennick", "Grubbel",  "Morvane", "Pellvo",
                                         "Quistrel", "Tallisk", "Vardello"};
  ASSERT_EQ(plugins.size(), ours.size() + 1) << json.out;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    EXPECT_EQ(plugins[i]["name"].text(), ours[i]);
    EXPECT_EQ(plugins[i]["uri"].text(), "urn:kqfx:" + ours[i]);
    EXPECT_EQ(plugins[i]["format"].text(), "lv2");
  }
  EXPECT_EQ(plugins[3]["parameters"].number(), 1.0);  // Pellvo's one control
  const std::string twinBundle = folder_ / "lv2/twin.lv2";
  const CommandResult text = runKqfx({"list", "--format", "lv2"}, environment());
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out.substr(text.out.rfind('\n', text.out.size() - 2) + 1),
            "MonoOut   lv2  urn:kqfx-test:twin  1  " + twinBundle + "\n");

  const CommandResult info = runKqfx({"info", "urn:kqfx-test:twin", "--json"}, environment());
  ASSERT_EQ(info.status, 0) << info.err;
  const Json twin = Json::parse(info.out);
  EXPECT_EQ(twin["name"].text(), "MonoOut");
  EXPECT_EQ(twin["path"].text(), twinBundle);
  EXPECT_EQ(twin["class"].text(), "Filter");
  EXPECT_EQ(twin["classUri"].text(), "http://lv2plug.in/ns/lv2core#FilterPlugin");
  ASSERT_EQ(twin["missingFeatures"].array().size(), 1u);
  EXPECT_EQ(twin["missingFeatures"][0].text(), kWorker);
  const std::string refusal =
      "the LV2 plug-in 'urn:kqfx-test:twin' requires a feature kqfx does not give: " + kWorker;
  EXPECT_EQ(twin["problem"].text(), refusal);
  EXPECT_EQ(twin["inputs"].number(), 1.0);
  EXPECT_EQ(twin["latencyPort"].number(), 3.0);
  const Json& mode = twin["ports"][2];
  EXPECT_EQ(mode["symbol"].text(), "mode");
  EXPECT_EQ(mode["minimum"].number(), 0.0);
  EXPECT_EQ(mode["maximum"].number(), 2.0);
  EXPECT_EQ(mode["default"].number(), 1.0);
  ASSERT_EQ(mode["scalePoints"].array().size(), 2u);
  EXPECT_EQ(mode["scalePoints"][0]["label"].text(), "Soft");
  EXPECT_EQ(mode["scalePoints"][1]["value"].number(), 2.0);
  ASSERT_EQ(mode["properties"].array().size(), 2u);
  EXPECT_EQ(mode["properties"][1].text(), "enumeration");
  EXPECT_EQ(twin["ports"][3]["unit"].text(), "frames");
  EXPECT_EQ(twin["ports"][3]["properties"][0].text(), "reports-latency");

  // What cannot be given is a refusal that names it.
  writeSound(folder_ / "in.wav", constantSound(44100, {0.5f, 0.5f}, 100));
  const CommandResult render =
      runKqfx({"render", "urn:kqfx-test:twin", folder_ / "in.wav", folder_ / "out.wav"}, environment());
  EXPECT_EQ(render.status, 1);
  EXPECT_EQ(render.err, "kqfx: " + refusal + "\n");
}

TEST_F(CommandLv2, ANameInBothFormatsIsAmbiguousUnlessTheFormatIsGiven) {
  fs::copy_file(kFixtures + "/MonoOut.so", folder_ / "vst/MonoOut.so");
  const CommandResult both = runKqfx({"info", "monoout"}, environment());
  EXPECT_EQ(both.status, 1);
  EXPECT_EQ(both.err, "kqfx: 'monoout' names plug-ins in both formats: vst2 " + (folder_ / "vst") +
                          "/MonoOut.so; lv2 urn:kqfx-test:twin (MonoOut) (choose with --format "
                          "vst2 or --format lv2, or give the path or URI)\n");
  const CommandResult vst2 = runKqfx({"info", "monoout", "--format", "vst2"}, environment());
  ASSERT_EQ(vst2.status, 0) << vst2.err;
  EXPECT_EQ(vst2.out.rfind("MonoOut  " + (folder_ / "vst") + "/MonoOut.so\n", 0), 0u) << vst2.out;
  const CommandResult lv2 = runKqfx({"info", "monoout", "--format", "lv2"}, environment());
  ASSERT_EQ(lv2.status, 0) << lv2.err;
  EXPECT_EQ(lv2.out.rfind("MonoOut  urn:kqfx-test:twin\n", 0), 0u) << lv2.out;
  // Our own effects are the same in both formats: their names keep
  // meaning the VST 2 plug-ins.
  const CommandResult ours = runKqfx({"info", "Pellvo", "--json"}, environment());
  ASSERT_EQ(ours.status, 0) << ours.err;
  EXPECT_EQ(Json::parse(ours.out)["format"].text(), "vst2");
}

TEST_F(CommandLv2, PortsTakeTheirOwnValuesWithinTheirRanges) {
  writeSound(folder_ / "in.wav", constantSound(44100, {0.5f, 0.5f}, 1000));
  const CommandResult set = runKqfx({"render", "Tallisk", "--format", "lv2", folder_ / "in.wav",
                                     folder_ / "out.wav", "-p", "tempo=300", "-p",
                                     "input gain=+3dB", "-p", "7=10%"},
                                    environment());
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out.substr(0, set.out.find("wrote")),
            "set Tempo = 300 BPM\nset Input Gain = 3 dB\nset Spread = 10 %\n");
  const CommandResult choice = runKqfx({"info", "urn:kqfx:Vardello", "-p", "model=catacombs"},
                                       environment());
  ASSERT_EQ(choice.status, 0) << choice.err;
  EXPECT_NE(choice.out.find("previewed (nothing rendered): Model = Catacombs\n"), std::string::npos);

  const std::map<std::string, std::string> refusals = {
      {"tempo=301", "value '301' for parameter 'Tempo': outside the port's range, 1 to 300 BPM"},
      {"tempo=120.5", "value '120.5' for parameter 'Tempo': the port takes whole numbers"},
      {"depth=3Hz", "value '3Hz' for parameter 'Depth': the port is in %"}};
  for (const auto& [argument, message] : refusals) {
    const CommandResult refused = runKqfx({"render", "urn:kqfx:Tallisk", folder_ / "in.wav",
                                           folder_ / "out.wav", "-y", "-p", argument},
                                          environment());
    EXPECT_EQ(refused.status, 2) << argument;
    EXPECT_EQ(refused.firstErrorLine(), "kqfx: " + message);
  }
}

}  // namespace
}  // namespace kqfx::test
