// Reading the command line: options anywhere, both spellings, strict numbers.
#include <gtest/gtest.h>

#include "CommandErrors.h"
#include "CommandLine.h"

namespace kqfx::command {
namespace {

RenderRequest render(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "render");
  return std::get<RenderRequest>(parseCommandLine(arguments));
}

std::string usageProblem(const std::vector<std::string>& arguments) {
  try {
    parseCommandLine(arguments);
  } catch (const UsageError& error) {
    return error.topic() + ": " + error.what();
  }
  return "accepted";
}

TEST(CommandLine, RenderTakesOptionsAnywhereInEitherSpelling) {
  const RenderRequest request = render({"-p", "Input Gain=0.7", "Pellvo", "--block=64", "in.flac",
                                        "-t", "2.5", "out.wav", "-pLimit=1", "--param=0=0", "-q"});
  EXPECT_EQ(request.plugin, "Pellvo");
  ASSERT_TRUE(request.input.has_value());
  EXPECT_EQ(*request.input, "in.flac");
  EXPECT_EQ(request.output, "out.wav");
  EXPECT_EQ(request.parameters, (std::vector<std::string>{"Input Gain=0.7", "Limit=1", "0=0"}));
  EXPECT_EQ(request.blockSize, 64);
  EXPECT_EQ(request.tailSeconds, 2.5);
  EXPECT_TRUE(request.quiet);
  EXPECT_FALSE(request.sampleRate.has_value());
}

TEST(CommandLine, RenderDefaultsAndTheDemoSignal) {
  const RenderRequest request = render({"Vardello", "--demo", "out.wav", "--rate", "48000"});
  EXPECT_FALSE(request.input.has_value());
  EXPECT_FALSE(request.overwrite);
  EXPECT_FALSE(request.glide);
  EXPECT_TRUE(render({"P", "in.wav", "out.wav", "-y", "--glide"}).overwrite);
  // One file alone is never taken for OUTPUT: it may be a recording.
  EXPECT_EQ(usageProblem({"render", "Pellvo", "take.wav"}),
            "render: one file given: render needs INPUT and OUTPUT, or --demo and OUTPUT to "
            "render the built-in demo signal");
  EXPECT_EQ(usageProblem({"render", "Pellvo", "--demo", "in.wav", "out.wav"}),
            "render: unexpected argument 'out.wav'");
  EXPECT_EQ(request.sampleRate, 48000);
  EXPECT_EQ(request.blockSize, 512);
  EXPECT_EQ(request.tailSeconds, 0.0);
  EXPECT_FALSE(request.quiet);
  // After "--" a name that starts with a dash is a file.
  EXPECT_EQ(render({"Pellvo", "--demo", "--", "-odd.wav"}).output, "-odd.wav");
}

TEST(CommandLine, LimitsOfNumbers) {
  EXPECT_EQ(render({"P", "--demo", "o.wav", "--block", "65536"}).blockSize, 65536);
  EXPECT_EQ(render({"P", "--demo", "o.wav", "--rate", "768000"}).sampleRate, 768000);
  EXPECT_EQ(render({"P", "--demo", "o.wav", "--tail", "3600"}).tailSeconds, 3600.0);
  EXPECT_EQ(render({"P", "--demo", "o.wav", "--tail", "0"}).tailSeconds, 0.0);
  for (const char* block : {"65537", "0", "-1", "1e3", "12abc", " 12", "", "0x10"}) {
    EXPECT_EQ(usageProblem({"render", "P", "--demo", "o.wav", "--block", block}),
              std::string("render: --block must be a whole number of frames from 1 to 65536, "
                          "not '") + block + "'");
  }
  for (const char* tail : {"3600.5", "-0.5", "inf", "nan", "1s", "0x1p3"}) {
    EXPECT_EQ(usageProblem({"render", "P", "--demo", "o.wav", "--tail", tail}),
              std::string("render: --tail must be a number of seconds from 0 to 3600, not '") +
                  tail + "'");
  }
  EXPECT_EQ(usageProblem({"render", "P", "--demo", "o.wav", "--rate", "768001"}),
            "render: --rate must be a whole number of hertz from 1 to 768000, not '768001'");
}

TEST(CommandLine, OtherSubcommands) {
  EXPECT_EQ(std::get<ListRequest>(parseCommandLine({"list"})).probeTimeoutSeconds, 10.0);
  EXPECT_EQ(std::get<ListRequest>(parseCommandLine({"list", "--timeout", "0.5"})).probeTimeoutSeconds,
            0.5);
  const InfoRequest info = std::get<InfoRequest>(parseCommandLine({"info", "--json", "Pellvo"}));
  EXPECT_EQ(info.plugin, "Pellvo");
  EXPECT_TRUE(info.json);
  EXPECT_FALSE(std::get<InfoRequest>(parseCommandLine({"info", "x.so"})).json);
  EXPECT_EQ(std::get<DemoRequest>(parseCommandLine({"demo"})).directory, "demo-out");
  const DemoRequest demo = std::get<DemoRequest>(parseCommandLine({"demo", "-q", "there"}));
  EXPECT_EQ(demo.directory, "there");
  EXPECT_TRUE(demo.quiet);
  EXPECT_EQ(std::get<HelpRequest>(parseCommandLine({"render", "P", "--help"})).topic, "render");
  EXPECT_EQ(std::get<HelpRequest>(parseCommandLine({"help", "list"})).topic, "list");
  EXPECT_EQ(std::get<HelpRequest>(parseCommandLine({"-h"})).topic, "");
  EXPECT_TRUE(std::holds_alternative<VersionRequest>(parseCommandLine({"--version"})));
}

TEST(CommandLine, UsageProblemsNameTheirSubcommand) {
  EXPECT_EQ(usageProblem({"list", "extra"}), "list: unexpected argument 'extra'");
  EXPECT_EQ(usageProblem({"list", "--timeout", "0"}), "list: --timeout must be more than 0 seconds");
  EXPECT_EQ(usageProblem({"info", "a", "b"}), "info: unexpected argument 'b'");
  EXPECT_EQ(usageProblem({"info", "--json=yes", "a"}), "info: option '--json' takes no value");
  EXPECT_EQ(usageProblem({"demo", "a", "b"}), "demo: unexpected argument 'b'");
  EXPECT_EQ(usageProblem({"demo", "-x"}), "demo: unknown option '-x'");
  EXPECT_EQ(usageProblem({"render", "P", "--demo", "o.wav", "-p"}), "render: option '-p' needs a value");
  EXPECT_EQ(usageProblem({"render"}), "render: which plug-in? PLUGIN is missing");
  EXPECT_EQ(usageProblem({"--frob"}), ": unknown option '--frob'");
  EXPECT_EQ(usageProblem({"help", "a", "b"}), ": 'kqfx help' takes one subcommand name");
}

}  // namespace
}  // namespace kqfx::command

namespace kqfx::command {
namespace {

BenchRequest bench(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "bench");
  return std::get<BenchRequest>(parseCommandLine(arguments));
}

TEST(CommandLine, BenchParametersBelongToThePlugInBeforeThemOrToAll) {
  const BenchRequest request =
      bench({"-p", "0=0.6", "Fennick", "-p", "Type=0.9", "--param=Zeta=0.2", "Fennick", "-pType=0.1",
             "MVerb", "--rate=48000", "-b", "64", "--seconds", "0.25", "--json"});
  ASSERT_EQ(request.plugins.size(), 3u);
  EXPECT_EQ(request.sharedParameters, (std::vector<std::string>{"0=0.6"}));
  EXPECT_EQ(request.plugins[0].name, "Fennick");
  EXPECT_EQ(request.plugins[0].parameters, (std::vector<std::string>{"Type=0.9", "Zeta=0.2"}));
  EXPECT_EQ(request.plugins[1].parameters, (std::vector<std::string>{"Type=0.1"}));
  EXPECT_EQ(request.plugins[2].name, "MVerb");
  EXPECT_TRUE(request.plugins[2].parameters.empty());
  EXPECT_EQ(request.sampleRate, 48000.0);
  EXPECT_EQ(request.blockSize, 64);
  EXPECT_EQ(request.seconds, 0.25);
  EXPECT_TRUE(request.json);

  const BenchRequest plain = bench({"Pellvo"});
  EXPECT_EQ(plain.sampleRate, 44100.0);
  EXPECT_EQ(plain.blockSize, 512);
  EXPECT_EQ(plain.seconds, 1.0);
  EXPECT_FALSE(plain.json);
  EXPECT_TRUE(std::holds_alternative<HelpRequest>(parseCommandLine({"bench", "Pellvo", "--help"})));
}

TEST(CommandLine, BenchRefusesWhatItCannotRun) {
  EXPECT_EQ(usageProblem({"bench"}), "bench: which plug-ins? PLUGIN is missing");
  EXPECT_EQ(usageProblem({"bench", "-p", "0=1"}), "bench: which plug-ins? PLUGIN is missing");
  EXPECT_EQ(usageProblem({"bench", "Pellvo", "--seconds", "0"}),
            "bench: --seconds must be more than 0");
  EXPECT_NE(usageProblem({"bench", "Pellvo", "--block", "0"}), "accepted");
  EXPECT_NE(usageProblem({"bench", "Pellvo", "--rate", "-1"}), "accepted");
  EXPECT_NE(usageProblem({"bench", "Pellvo", "--loud"}), "accepted");
  EXPECT_NE(usageProblem({"bench", "Pellvo", "-p"}), "accepted");
}

}  // namespace
}  // namespace kqfx::command
