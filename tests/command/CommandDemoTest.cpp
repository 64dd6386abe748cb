// kqfx demo: the dry signal and one rendered file per effect found.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "CommandRunner.h"
#include "DemoPresets.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

double rms(const std::vector<float>& samples) {
  double sum = 0.0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / static_cast<double>(samples.size()));
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CommandDemo, WritesTheDryLoopAndOneNonSilentFilePerEffectFound) {
  ScratchFolder folder;
  const std::string out = folder / "demo";
  const CommandResult result = runKqfx({"demo", out});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.rfind("wrote " + out + "/dry.wav (4.0 s; the demo signal)\n", 0), 0u)
      << result.out;
  EXPECT_TRUE(contains(result.out, "wrote " + out + "/Pellvo.wav (4.0 s; Input Gain = 2.400000 dB)\n"))
      << result.out;
  EXPECT_TRUE(contains(result.out, "wrote " + out +
                                       "/Grubbel.wav (4.0 s; Input Gain = 4.800001 dB, "
                                       "Limit = -6.02059 dB)\n"))
      << result.out;

  const Sound dry = readSound(out + "/dry.wav");
  EXPECT_EQ(dry.frames(), 4u * 44100u);
  EXPECT_GT(rms(dry.samples[0]), 0.05);
  std::vector<std::string> expectedFiles = {"dry.wav"};
  for (const command::DemoPreset& preset : command::demoPresets()) {
    const std::string name = preset.plugin;
    if (!std::filesystem::exists(std::string(KQFX_PLUGIN_DIR) + "/" + name + ".so")) {
      EXPECT_TRUE(contains(result.err, "kqfx: note: skipped " + name + ": plug-in not found\n"))
          << result.err;
      continue;
    }
    expectedFiles.push_back(name + ".wav");
    EXPECT_TRUE(contains(result.out, "wrote " + out + "/" + name + ".wav (")) << name;
    const Sound sound = readSound(out + "/" + name + ".wav");
    EXPECT_EQ(sound.sampleRate, 44100) << name;
    EXPECT_EQ(sound.channels, 2) << name;
    EXPECT_EQ(sound.frames(), static_cast<std::size_t>(std::llround((4.0 + preset.tailSeconds) * 44100)))
        << name;
    EXPECT_GT(rms(sound.samples[0]), 0.02) << name;
    EXPECT_GT(rms(sound.samples[1]), 0.02) << name;
    EXPECT_NE(sound.samples[0], std::vector<float>(dry.samples[0].begin(), dry.samples[0].end()))
        << name;
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(out)) {
    written.push_back(entry.path().filename().string());
  }
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, expectedFiles);

  // The limiter holds its ceiling once the ceiling has glided down.
  const Sound limited = readSound(out + "/Grubbel.wav");
  float peak = 0.0f;
  for (std::size_t i = 16384; i < limited.frames(); ++i) {
    peak = std::max(peak, std::fabs(limited.samples[0][i]));
  }
  EXPECT_EQ(peak, 0.5f);
}

// Byte for byte: nothing in the files depends on when they were written.
TEST(CommandDemo, TheFilesAreTheSameOnEveryRun) {
  ScratchFolder folder;
  ASSERT_EQ(runKqfx({"demo", folder / "one", "-q"}).status, 0);
  // A second apart, so that a time stamp in a file would show.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(runKqfx({"demo", folder / "again", "-q"}).status, 0);
  for (const char* name : {"dry.wav", "Grubbel.wav"}) {
    EXPECT_TRUE(fileBytes(folder / ("again/" + std::string(name))) ==
                fileBytes(folder / ("one/" + std::string(name))))
        << name;
  }
}

}  // namespace
}  // namespace kqfx::test
