// A render stopped by a signal leaves neither a truncated output nor its
// temporary file, and an existing output stays as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
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

// Sends `signal` and answers how long kqfx took to end.
double secondsToEnd(RunningCommand& command, int signal, CommandResult& result) {
  const auto start = std::chrono::steady_clock::now();
  command.sendSignal(signal);
  result = command.collect();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(CommandInterrupt, OneSignalEndsKqfxWithinASecondEvenWhenThePluginNeverReturns) {
  ScratchFolder folder;
  RunningCommand render({"render", kFixtures + "/Stuck.so", "--demo", folder / "out.wav"});
  ASSERT_TRUE(waitForTemporaryFile(folder));
  // Into its first process call, which never returns.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  CommandResult result;
  EXPECT_LT(secondsToEnd(render, SIGTERM, result), 1.0);
  EXPECT_EQ(result.signal, SIGTERM);
  EXPECT_EQ(result.err, "kqfx: Stuck: rendering at 44100 Hz in blocks of 512, block 0: interrupted; "
                        "the plug-in did not stop, so it was killed; the output was not written\n");
  EXPECT_TRUE(folder.entries().empty());

  // Stuck in its entry function with every signal blocked or ignored.
  RunningCommand info({"info", kFixtures + "/Hangs.so"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(secondsToEnd(info, SIGINT, result), 1.0);
  EXPECT_EQ(result.signal, SIGINT);
  EXPECT_EQ(result.err, "kqfx: Hangs: loading and inspecting: interrupted; the plug-in did not "
                        "stop, so it was killed\n");
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
  const CommandResult opening = runKqfx(
      {"render", kFixtures + "/CrashesOnOpen.so", folder / "in.wav", folder / "out.wav"});
  EXPECT_EQ(opening.status, 1);
  EXPECT_EQ(opening.err, "kqfx: CrashesOnOpen: opening at 44100 Hz in blocks of 512: the plug-in "
                         "crashed (segmentation fault)\n");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"in.wav"});
  const CommandResult processing =
      runKqfx({"render", kFixtures + "/CrashesAtBlock.so", folder / "in.wav", folder / "out.wav",
               "--block", "16"});
  EXPECT_EQ(processing.status, 1);
  EXPECT_EQ(processing.err, "kqfx: CrashesAtBlock: rendering at 44100 Hz in blocks of 16, block 3: "
                            "the plug-in crashed (segmentation fault); the output was not written\n");
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
  // A batch loses the file the plug-in crashed on, and says which.
  writeSound(folder / "short.wav", constantSound(44100, {0.5f, 0.5f}, 40));
  const CommandResult batch =
      runKqfx({"render", kFixtures + "/CrashesAtBlock.so", "--block", "16", "-o",
               folder / "out", folder / "in.wav", folder / "short.wav", "-j", "1"});
  EXPECT_EQ(batch.status, 1);
  EXPECT_EQ(batch.err, "kqfx: " + (folder / "in.wav") + ": CrashesAtBlock: rendering at 44100 Hz "
                       "in blocks of 16, block 3: the plug-in crashed (segmentation fault); the "
                       "output was not written\nrendered 1 of 2 files into " + (folder / "out") +
                       "; failed: " + (folder / "in.wav") + "\n");
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(folder / "out")) {
    written.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(written, std::vector<std::string>{"short.wav"});
}

}  // namespace
}  // namespace kqfx::test
