// kqfx demo: the dry signal and one rendered file per effect found.
#include <gtest/gtest.h>

#include <cmath>

#include "CommandRunner.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

double rms(const std::vector<float>& samples) {
  double sum = 0.0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / static_cast<double>(samples.size()));
}

TEST(CommandDemo, WritesTheDryLoopAndOneNonSilentFilePerEffect) {
  ScratchFolder folder;
  const std::string out = folder / "demo";
  const CommandResult result = runKqfx({"demo", out});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "wrote " + out + "/dry.wav (4.0 s; the demo signal)\n"
            "wrote " + out + "/Pellvo.wav (4.0 s; Input Gain = 2.400000 dB)\n"
            "wrote " + out + "/Grubbel.wav (4.0 s; Input Gain = 2.400000 dB, Limit = -6.02059 dB)\n");

  const Sound dry = readSound(out + "/dry.wav");
  for (const char* name : {"dry", "Pellvo", "Grubbel"}) {
    const Sound sound = readSound(out + "/" + name + ".wav");
    EXPECT_EQ(sound.sampleRate, 44100) << name;
    EXPECT_EQ(sound.channels, 2) << name;
    EXPECT_EQ(sound.frames(), 4u * 44100u) << name;
    EXPECT_GT(rms(sound.samples[0]), 0.05) << name;
    EXPECT_GT(rms(sound.samples[1]), 0.05) << name;
    if (std::string(name) != "dry") {
      EXPECT_NE(sound.samples[0], dry.samples[0]) << name;
    }
  }
  // The limiter holds its ceiling once the ceiling has glided down.
  const Sound limited = readSound(out + "/Grubbel.wav");
  float peak = 0.0f;
  for (std::size_t i = 16384; i < limited.frames(); ++i) {
    peak = std::max(peak, std::fabs(limited.samples[0][i]));
  }
  EXPECT_EQ(peak, 0.5f);
}

TEST(CommandDemo, TheDemoSignalIsTheSameOnEveryRun) {
  ScratchFolder folder;
  ASSERT_EQ(runKqfx({"demo", folder / "one", "-q"}).status, 0);
  ASSERT_EQ(runKqfx({"demo", folder / "again", "-q"}).status, 0);
  EXPECT_EQ(fileBytes(folder / "again/dry.wav"), fileBytes(folder / "one/dry.wav"));
  EXPECT_EQ(fileBytes(folder / "again/Grubbel.wav"), fileBytes(folder / "one/Grubbel.wav"));
}

}  // namespace
}  // namespace kqfx::test
