// A render stopped by a signal leaves neither a truncated output nor its
// temporary file, and an existing output stays as it was.
#include <gtest/gtest.h>

#include <chrono>
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
  RunningCommand render({"render", kFixtures + "/Slow.so", folder / "out.wav", "--tail", "60"});
  ASSERT_TRUE(waitForTemporaryFile(folder));
  render.sendSignal(GetParam());
  const CommandResult result = render.collect();
  EXPECT_EQ(result.signal, GetParam()) << result.err;
  EXPECT_EQ(result.firstErrorLine(),
            "kqfx: interrupted; '" + (folder / "out.wav") + "' was not written");
  EXPECT_EQ(fileBytes(folder / "out.wav"), "precious");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.wav"});
}

INSTANTIATE_TEST_SUITE_P(Signals, CommandInterrupt, testing::Values(SIGINT, SIGTERM),
                         [](const testing::TestParamInfo<int>& param) {
                           return std::string(param.param == SIGINT ? "Interrupt" : "Terminate");
                         });

TEST(CommandInterrupt, APluginThatNeverReturnsLeavesNothingBehindEither) {
  ScratchFolder folder;
  RunningCommand render({"render", kFixtures + "/Stuck.so", folder / "out.wav"});
  ASSERT_TRUE(waitForTemporaryFile(folder));
  render.sendSignal(SIGTERM);
  // The first signal removes the temporary file at once...
  bool removed = false;
  for (int i = 0; i < 500 && !removed; ++i) {
    removed = folder.entries().empty();
    if (!removed) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(removed);
  // ...and a second one ends the process, stuck as it is.
  render.sendSignal(SIGTERM);
  const CommandResult result = render.collect();
  EXPECT_EQ(result.status, 128 + SIGTERM);
  EXPECT_TRUE(folder.entries().empty());
}

}  // namespace
}  // namespace kqfx::test
