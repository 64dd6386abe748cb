// Bad input to kqfx: one clear line naming the problem, a non-zero status,
// and no output file written or overwritten.
#include <gtest/gtest.h>

#include "CommandRunner.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

struct BadInput {
  const char* title;
  std::vector<std::string> arguments;  // "@@/name" is a file in the scratch folder,
                                       // "%name" a fixture plug-in
  std::string message;                 // the first line of standard error
  int status;
};

std::ostream& operator<<(std::ostream& out, const BadInput& bad) { return out << bad.title; }

class CommandErrors : public testing::TestWithParam<BadInput> {
 protected:
  void SetUp() override {
    writeSound(folder / "in.wav", constantSound(44100, {0.5f, 0.5f}, 100));
    writeSound(folder / "three.wav", constantSound(44100, {0.1f, 0.2f, 0.3f}, 100));
    writeText(folder / "notaudio.wav", "these are not samples");
    writeText(folder / "Fake.so", "nor is this a shared object");
    std::filesystem::create_directory(folder.path() / "folder.wav");
    std::filesystem::create_hard_link(folder.path() / "in.wav", folder.path() / "link.wav");
    // A header declaring 1 GHz: bytes 24..27 of a WAV file hold the rate.
    std::string fast = fileBytes(folder / "in.wav");
    fast.replace(24, 4, std::string("\x00\xCA\x9A\x3B", 4));
    writeText(folder / "fast.wav", fast);
  }

  // "@@" stands for the scratch folder, "%%" for the fixture plug-ins' folder.
  std::string expand(std::string text) const {
    const std::pair<std::string, std::string> marks[] = {{"@@", folder.path().string()},
                                                         {"%%", KQFX_FIXTURE_DIR}};
    for (const auto& [mark, path] : marks) {
      for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
        text.replace(at, 2, path);
        at += path.size();
      }
    }
    return text;
  }

  CommandResult run(bool overwrite = false) const {
    std::vector<std::string> arguments;
    for (const std::string& a : GetParam().arguments) arguments.push_back(expand(a));
    if (overwrite && !arguments.empty() && arguments[0] == "render") arguments.push_back("-y");
    return runKqfx(arguments);
  }

  ScratchFolder folder;
};

TEST_P(CommandErrors, FailCleanlyAndLeaveNoOutput) {
  const std::vector<std::string> before = folder.entries();
  const CommandResult result = run();
  EXPECT_EQ(result.status, GetParam().status) << result.err;
  EXPECT_EQ(result.firstErrorLine(), expand(GetParam().message));
  EXPECT_EQ(result.out, "");
  if (GetParam().status == 2) {
    EXPECT_NE(result.err.find("\nusage: kqfx"), std::string::npos) << result.err;
  }
  EXPECT_EQ(folder.entries(), before);
}

TEST_P(CommandErrors, LeaveAnExistingOutputUntouched) {
  writeText(folder / "out.wav", "precious");
  const std::vector<std::string> before = folder.entries();
  // Even when told to replace it, a render that fails keeps it.
  const CommandResult result = run(true);
  EXPECT_EQ(result.status, GetParam().status) << result.err;
  EXPECT_EQ(fileBytes(folder / "out.wav"), "precious");
  EXPECT_EQ(folder.entries(), before);
}

INSTANTIATE_TEST_SUITE_P(
    BadInputs, CommandErrors,
    testing::Values(
        BadInput{"NoSubcommand", {}, "kqfx: no subcommand given", 2},
        BadInput{"UnknownSubcommand", {"frobnicate"}, "kqfx: unknown subcommand 'frobnicate'", 2},
        BadInput{"UnknownOption", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "--loud"},
                 "kqfx: unknown option '--loud'", 2},
        BadInput{"OptionWithoutValue", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "--block"},
                 "kqfx: option '--block' needs a value", 2},
        BadInput{"MissingOutput", {"render", "Pellvo"}, "kqfx: where to? OUTPUT is missing", 2},
        BadInput{"TooManyArguments", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "@@/more.wav"},
                 "kqfx: unexpected argument '@@/more.wav'", 2},
        BadInput{"MissingInput", {"render", "Pellvo", "@@/nothing.wav", "@@/out.wav"},
                 "kqfx: input '@@/nothing.wav' does not exist", 1},
        BadInput{"InputNotAudio", {"render", "Pellvo", "@@/notaudio.wav", "@@/out.wav"},
                 "kqfx: input '@@/notaudio.wav' is not an audio file kqfx can read "
                 "(Format not recognised.)", 1},
        BadInput{"InputIsAFolder", {"render", "Pellvo", "@@", "@@/out.wav"},
                 "kqfx: input '@@' is a folder", 1},
        BadInput{"RateBeyondThePlugins", {"render", "Pellvo", "@@/fast.wav", "@@/out.wav"},
                 "kqfx: input '@@/fast.wav' declares a sample rate of 1000000000 Hz; kqfx renders "
                 "at most 768000 Hz", 1},
        BadInput{"ThreeChannels", {"render", "Pellvo", "@@/three.wav", "@@/out.wav"},
                 "kqfx: input '@@/three.wav' has 3 channels; kqfx renders mono and stereo "
                 "files only", 1},
        BadInput{"UnknownOutputFormat", {"render", "Pellvo", "@@/in.wav", "@@/out.xyz"},
                 "kqfx: cannot tell the format of '@@/out.xyz' from its extension; use one of "
                 ".wav, .flac, .aiff, .aif, .ogg, .opus, .mp3, .caf, .w64, .rf64, .au", 2},
        BadInput{"OutputFolderMissing", {"render", "Pellvo", "@@/in.wav", "@@/no/such/out.wav"},
                 "kqfx: cannot write '@@/no/such/out.wav': No such file or directory", 1},
        BadInput{"OutputIsAFolder", {"render", "Pellvo", "@@/in.wav", "@@/folder.wav"},
                 "kqfx: cannot write '@@/folder.wav': it is a folder", 1},
        BadInput{"PluginNotFound", {"render", "Nonesuch", "@@/in.wav", "@@/out.wav"},
                 "kqfx: no plug-in named 'Nonesuch' was found (see 'kqfx list' for what there "
                 "is, or give a path)", 1},
        BadInput{"PluginNameNearMiss", {"info", "pelvo"},
                 "kqfx: no plug-in named 'pelvo' was found (did you mean Pellvo? see 'kqfx list' "
                 "for what there is, or give a path)", 1},
        BadInput{"PluginPathMissing", {"info", "@@/Gone.so"}, "kqfx: plug-in '@@/Gone.so' does not exist", 1},
        BadInput{"NotASharedObject", {"render", "@@/Fake.so", "@@/in.wav", "@@/out.wav"},
                 "kqfx: '@@/Fake.so' is not a shared object (no ELF header)", 1},
        BadInput{"NoEntryFunction", {"render", "%%/NoEntry.so", "@@/in.wav", "@@/out.wav"},
                 "kqfx: '%%/NoEntry.so' is not a VST 2 plug-in: it has no entry function", 1},
        BadInput{"EntryAnswersNull", {"info", "%%/Refuses.so"},
                 "kqfx: the plug-in '%%/Refuses.so' refused to start", 1},
        BadInput{"UnknownParameterName",
                 {"render", "Grubbel", "@@/in.wav", "@@/out.wav", "-p", "Drive=0.5"},
                 "kqfx: the plug-in has no parameter 'Drive'; its parameters are 'Input Gain', "
                 "'Limit'", 2},
        BadInput{"ParameterIndexOutOfRange",
                 {"render", "Grubbel", "@@/in.wav", "@@/out.wav", "-p", "2=0.5"},
                 "kqfx: parameter index 2 is out of range: the plug-in has 2 parameters", 2},
        BadInput{"ParameterWithoutValue", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "-p", "gain"},
                 "kqfx: parameter 'gain' should be NAME=VALUE", 2},
        BadInput{"ValueInAnotherUnit",
                 {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "--param", "Input Gain=6Hz"},
                 "kqfx: value '6Hz' for parameter 'Input Gain': the parameter is shown in dB", 2},
        BadInput{"ValueNoSettingShows", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "-p", "0=loud"},
                 "kqfx: value 'loud' for parameter 'Input Gain': no setting shows that (a number "
                 "from 0 to 1, or a value as 'kqfx info' shows it)", 2},
        BadInput{"OneFileIsNeverTakenForOutput", {"render", "Pellvo", "@@/in.wav"},
                 "kqfx: one file given: render needs INPUT and OUTPUT, or --demo and OUTPUT to "
                 "render the built-in demo signal", 2},
        BadInput{"SameFileThroughALink", {"render", "Pellvo", "@@/in.wav", "@@/link.wav"},
                 "kqfx: INPUT and OUTPUT are the same file", 2},
        BadInput{"BlockZero", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "--block", "0"},
                 "kqfx: --block must be a whole number of frames from 1 to 65536, not '0'", 2},
        BadInput{"BlockNegative", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "--block=-64"},
                 "kqfx: --block must be a whole number of frames from 1 to 65536, not '-64'", 2},
        BadInput{"BlockNotWhole", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "-b", "2.5"},
                 "kqfx: --block must be a whole number of frames from 1 to 65536, not '2.5'", 2},
        BadInput{"RateZero", {"render", "Pellvo", "--demo", "@@/out.wav", "--rate", "0"},
                 "kqfx: --rate must be a whole number of hertz from 1 to 768000, not '0'", 2},
        BadInput{"TailNegative", {"render", "Pellvo", "@@/in.wav", "@@/out.wav", "--tail", "-1"},
                 "kqfx: --tail must be a number of seconds from 0 to 3600, not '-1'", 2},
        BadInput{"SameInputAndOutput", {"render", "Pellvo", "@@/out.wav", "@@/out.wav"},
                 "kqfx: INPUT and OUTPUT are the same file", 2},
        BadInput{"InfoWithoutPlugin", {"info"}, "kqfx: which plug-in? PLUGIN is missing", 2},
        BadInput{"HelpForNothing", {"help", "fly"},
                 "kqfx: no help for 'fly': there is no such subcommand", 2}),
    [](const testing::TestParamInfo<BadInput>& param) { return std::string(param.param.title); });

TEST(CommandHelp, EveryPageStartsWithItsUsageAndGoesToStandardOutput) {
  for (const char* topic : {"list", "info", "render", "demo", "validate", "help"}) {
    const CommandResult viaOption = runKqfx({topic, "--help"});
    EXPECT_EQ(viaOption.status, 0);
    EXPECT_EQ(viaOption.out.rfind(std::string("usage: kqfx ") + topic, 0), 0u) << viaOption.out;
    EXPECT_EQ(runKqfx({"help", topic}).out, viaOption.out);
  }
  const CommandResult overview = runKqfx({"--help"});
  EXPECT_EQ(overview.status, 0);
  EXPECT_EQ(overview.out.rfind("usage: kqfx COMMAND", 0), 0u);
  EXPECT_NE(overview.out.find("KQFX_PLUGIN_PATH"), std::string::npos);
}

}  // namespace
}  // namespace kqfx::test
