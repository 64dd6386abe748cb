// A render stopped by a signal leaves neither a truncated output nor its
// temporary file, and an existing output stays as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "CommandRunner.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

const std::string kFixtures = KQFX_FIXTURE_DIR;

// Waits until the render has started writing (its hidden temporary file
// exists beside the output).
bool waitForTemporaryFile(const ScratchFolder& folder) {
  for (int i = 0; i < 1000; ++i) {
    for (const std::string& name : folder.entries()) {
      if (name.rfind(".out.wav.kqfx-", 0) == 0) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class CommandInterrupt : public testing::TestWithParam<int> {};

TEST_P(CommandInterrupt, StopsBetweenBlocksAndCleansUp) {
  ScratchFolder folder;
  writeText(folder / "out.wav", "precious");
  // A slow plug-in and a minute of tail: far longer than the test waits.
  RunningCommand render(
      {"render", kFixtures + "/Slow.so", "--demo", folder / "out.wav", "--tail", "60", "-y"});
  ASSERT_TRUE(waitForTemporaryFile(folder));
  render.sendSignal(GetParam());
  const CommandResult result = render.collect();
  EXPECT_EQ(result.signal, GetParam()) << result.err;
  EXPECT_EQ(result.firstErrorLine(),
            "kqfx: interrupted; '" + (folder / "out.wav") + "' was not written");
  EXPECT_EQ(fileBytes(folder / "out.wav"), "precious");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
}

INSTANTIATE_TEST_SUITE_P(Signals, CommandInterrupt, testing::Values(SIGINT, SIGTERM, SIGUSR1, SIGPIPE),
                         [](const testing::TestParamInfo<int>& param) {
                           return std::string(sigabbrev_np(param.param));
                         });

TEST(CommandInterrupt, OneSignalEndsKqfxEvenWhenThePluginNeverReturns) {
  ScratchFolder folder;
  RunningCommand render({"render", kFixtures + "/Stuck.so", "--demo", folder / "out.wav"});
  ASSERT_TRUE(waitForTemporaryFile(folder));
  render.sendSignal(SIGTERM);
  EXPECT_EQ(render.collect().signal, SIGTERM);
  EXPECT_TRUE(folder.entries().empty());

  // Stuck in its entry function, before any file exists, too.
  RunningCommand info({"info", kFixtures + "/Hangs.so"});
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  info.sendSignal(SIGINT);
  EXPECT_EQ(info.collect().signal, SIGINT);
}

TEST(CommandInterrupt, APluginThatCrashesEndsKqfxWithOneMessageAndNoFileLeft) {
  ScratchFolder folder;
  writeSound(folder / "in.wav", constantSound(44100, {0.5f, 0.5f}, 100));
  const CommandResult render =
      runKqfx({"render", kFixtures + "/Crashes.so", folder / "in.wav", folder / "out.wav"});
  EXPECT_EQ(render.status, 1);
  EXPECT_EQ(render.err,
            "kqfx: Crashes: creating the instance (entry function): the plug-in crashed "
            "(segmentation fault)\n");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
  // One that ends the process from inside a process call.
  const CommandResult exits = runKqfx(
      {"render", kFixtures + "/Exits.so", folder / "in.wav", folder / "out.wav", "--block", "64"});
  EXPECT_EQ(exits.status, 1);
  EXPECT_EQ(exits.err, "kqfx: Exits: rendering at 44100 Hz in blocks of 64, block 0: the plug-in "
                       "ended the process (it called exit); the output was not written\n");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
  const CommandResult info = runKqfx({"info", kFixtures + "/Crashes.so"});
  EXPECT_EQ(info.status, 1);
  EXPECT_EQ(info.err, "kqfx: Crashes: loading and inspecting: the plug-in crashed "
                      "(segmentation fault)\n");
}

}  // namespace
}  // namespace kqfx::test
