// kqfx render, end to end: the samples it writes are the plug-in's.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "CommandRunner.h"
#include "MiniJson.h"
#include "SoundFiles.h"

namespace kqfx::test {
namespace {

const std::string kFixtures = KQFX_FIXTURE_DIR;

// Pellvo at its default gain (0 dB): y[0] = x[0], then
// y[n] = x[n] - x[n-1] + 0.9999 y[n-1], rounded to float each frame.
std::vector<float> dcRemoved(const std::vector<float>& x) {
  std::vector<float> y(x.size());
  double previousIn = 0.0, previousOut = 0.0;
  for (std::size_t n = 0; n < x.size(); ++n) {
    y[n] = static_cast<float>(x[n] + 0.9999 * previousOut - previousIn);
    previousIn = x[n];
    previousOut = y[n];
  }
  return y;
}

TEST(CommandRender, PellvoRemovesTheDcOfAConstantExactly) {
  ScratchFolder folder;
  writeSound(folder / "in.wav", constantSound(48000, {0.5f, -0.25f}, 3000));
  const CommandResult result = runKqfx({"render", "Pellvo", folder / "in.wav", folder / "out.wav"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "wrote " + (folder / "out.wav") + " (0.06 s at 48000 Hz, 32-bit float WAV)\n");

  const Sound out = readSound(folder / "out.wav");
  EXPECT_EQ(out.sampleRate, 48000);
  EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  ASSERT_EQ(out.channels, 2);
  ASSERT_EQ(out.frames(), 3000u);
  EXPECT_EQ(out.samples[0][0], 0.5f);
  EXPECT_EQ(out.samples[0][1], static_cast<float>(0.5 * 0.9999));
  EXPECT_EQ(out.samples[1][0], -0.25f);
  EXPECT_EQ(out.samples[0], dcRemoved(std::vector<float>(3000, 0.5f)));
  EXPECT_EQ(out.samples[1], dcRemoved(std::vector<float>(3000, -0.25f)));
  EXPECT_EQ(folder.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST(CommandRender, BlockSizeDoesNotChangeTheResult) {
  ScratchFolder folder;
  Sound in = constantSound(44100, {0.0f, 0.0f}, 5000);
  for (std::size_t i = 0; i < 5000; ++i) {
    in.samples[0][i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)));
    in.samples[1][i] = static_cast<float>(i % 100) / 100.0f;
  }
  writeSound(folder / "in.wav", in);
  for (const char* block : {"1", "333", "65536"}) {
    const std::string out = folder / (std::string("out") + block + ".wav");
    const CommandResult result =
        runKqfx({"render", "pellvo", folder / "in.wav", out, "--block", block, "--quiet"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const Sound rendered = readSound(out);
    EXPECT_EQ(rendered.samples[0], dcRemoved(in.samples[0])) << "block " << block;
    EXPECT_EQ(rendered.samples[1], dcRemoved(in.samples[1])) << "block " << block;
  }
}

TEST(CommandRender, MonoInputFeedsBothInputsAndTheOutputIsStereo) {
  ScratchFolder folder;
  writeSound(folder / "mono.flac", constantSound(22050, {0.5f}, 100),
             SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  const CommandResult result =
      runKqfx({"render", "Pellvo", folder / "mono.flac", folder / "out.wav", "-q"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Sound out = readSound(folder / "out.wav");
  EXPECT_EQ(out.sampleRate, 22050);
  ASSERT_EQ(out.channels, 2);
  EXPECT_EQ(out.samples[0], dcRemoved(std::vector<float>(100, 0.5f)));
  EXPECT_EQ(out.samples[1], out.samples[0]);
}

TEST(CommandRender, TailAppendsSilenceThePluginRingsInto) {
  ScratchFolder folder;
  writeSound(folder / "in.wav", constantSound(8000, {0.5f, 0.5f}, 1000));
  const CommandResult result = runKqfx(
      {"render", "Pellvo", folder / "in.wav", folder / "out.wav", "--tail", "0.25", "-q"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Sound out = readSound(folder / "out.wav");
  ASSERT_EQ(out.frames(), 1000u + 2000u);
  std::vector<float> input(3000, 0.0f);
  std::fill_n(input.begin(), 1000, 0.5f);
  EXPECT_EQ(out.samples[0], dcRemoved(input));
  // The step down to silence rings on as the filter's decay.
  EXPECT_LT(out.samples[0][2999], 0.0f);
}

TEST(CommandRender, AutomaticTailEndsOnceTheOutputHasBeenQuietForASecond) {
  ScratchFolder folder;
  writeSound(folder / "in.wav", constantSound(8000, {0.5f, 0.5f}, 1000));
  const CommandResult result = runKqfx(
      {"render", "Pellvo", folder / "in.wav", folder / "out.wav", "--tail", "auto", "-q"});
  ASSERT_EQ(result.status, 0) << result.err;
  // The step down to silence decays below -96 dBFS; the tail ends with the
  // first 512-frame block that completes a quiet second.
  std::vector<float> input(1000 + 8000 * 30, 0.0f);
  std::fill_n(input.begin(), 1000, 0.5f);
  const std::vector<float> expected = dcRemoved(input);
  std::size_t end = 1000, quiet = 0;
  while (quiet < 8000) {
    for (std::size_t i = end; i < end + 512; ++i) quiet = std::fabs(expected[i]) < 1.5848932e-5f ? quiet + 1 : 0;
    end += 512;
  }
  const Sound out = readSound(folder / "out.wav");
  ASSERT_EQ(out.frames(), end);
  EXPECT_EQ(out.samples[0], std::vector<float>(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(end)));
}

TEST(CommandRender, ResamplesWhenAskedOrWhenTheFormatCannotHoldTheRate) {
  ScratchFolder folder;
  Sound in = constantSound(44100, {0.0f, 0.0f}, 4410);
  for (std::size_t i = 0; i < 4410; ++i) {
    in.samples[0][i] = in.samples[1][i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 1000 * static_cast<double>(i) / 44100.0));
  }
  writeSound(folder / "in.wav", in);
  const CommandResult result =
      runKqfx({"render", "Pellvo", folder / "in.wav", folder / "out.wav", "--rate", "48000"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "resampled from 44100 Hz to 48000 Hz\nwrote " + (folder / "out.wav") +
                            " (0.10 s at 48000 Hz, 32-bit float WAV)\n");
  const Sound out = readSound(folder / "out.wav");
  EXPECT_EQ(out.sampleRate, 48000);
  ASSERT_EQ(out.frames(), 4800u);
  // The tone keeps its level and its pitch: 48 frames a cycle now.
  float peak = 0.0f;
  for (std::size_t i = 1000; i < 3800; ++i) peak = std::max(peak, std::fabs(out.samples[0][i]));
  EXPECT_NEAR(peak, 0.5f, 0.005f);
  EXPECT_NEAR(out.samples[0][2400], out.samples[0][2448], 0.005f);

  // Opus holds no 44100 Hz: the next rate up it holds.
  const CommandResult opus = runKqfx({"render", "Pellvo", folder / "in.wav", folder / "out.opus"});
  ASSERT_EQ(opus.status, 0) << opus.err;
  EXPECT_EQ(readSound(folder / "out.opus").sampleRate, 48000);
}

TEST(CommandRender, SixteenBitsAreDitheredAndOneChannelIsTheMid) {
  ScratchFolder folder;
  writeSound(folder / "in.wav", constantSound(44100, {0.75f, 0.25f}, 2000));
  const CommandResult result = runKqfx({"render", kFixtures + "/ProcessOnly.so", folder / "in.wav",
                                        folder / "out.wav", "--bits", "16", "--channels", "1"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "wrote " + (folder / "out.wav") +
                            " (0.05 s at 44100 Hz, 16-bit WAV (dithered))\n");
  const Sound out = readSound(folder / "out.wav");
  EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  ASSERT_EQ(out.channels, 1);
  // Half the mid is 0.25: undithered, every sample would round to the one
  // nearest step; dithered, they spread over the steps around it and
  // average to it.
  constexpr double kStep = 1.0 / 32768.0;
  std::map<float, int> seen;
  double sum = 0.0;
  for (float s : out.samples[0]) {
    ++seen[s];
    sum += s;
    EXPECT_LE(std::fabs(s - 0.25), 2 * kStep) << s;
  }
  EXPECT_GE(seen.size(), 2u);
  EXPECT_NEAR(sum / 2000.0, 0.25, 0.5 * kStep);

  EXPECT_EQ(runKqfx({"render", "Pellvo", folder / "in.wav", folder / "out.mp3", "--bits", "24"})
                .firstErrorLine(),
            "kqfx: '.mp3' files cannot hold 24-bit samples");
}

TEST(CommandRender, DashWritesAWavFileToStandardOutput) {
  ScratchFolder folder;
  writeSound(folder / "in.flac", constantSound(22050, {0.5f, -0.25f}, 300),
             SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  const CommandResult result = runKqfx({"render", "Pellvo", folder / "in.flac", "-"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "wrote - (0.01 s at 22050 Hz, 32-bit float WAV)\n");
  writeText(folder / "piped.wav", result.out);
  const Sound out = readSound(folder / "piped.wav");
  EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(out.samples[0], dcRemoved(std::vector<float>(300, 0.5f)));
  EXPECT_EQ(out.samples[1], dcRemoved(std::vector<float>(300, -0.25f)));
}

TEST(CommandRender, ManyInputsIntoAFolderWithOneSummary) {
  ScratchFolder folder;
  writeSound(folder / "a.wav", constantSound(44100, {0.5f, 0.5f}, 200));
  writeSound(folder / "b.flac", constantSound(44100, {0.25f, 0.25f}, 100),
             SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  writeText(folder / "c.wav", "not audio");
  const CommandResult result =
      runKqfx({"render", "Pellvo", "-o", folder / "out", folder / "a.wav", folder / "b.flac",
               folder / "c.wav", "-j", "2"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("rendered 2 of 3 files into " + (folder / "out") + "; failed: " +
                            (folder / "c.wav") + "\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(readSound(folder / "out/a.wav").samples[0], dcRemoved(std::vector<float>(200, 0.5f)));
  EXPECT_EQ(readSound(folder / "out/b.flac").frames(), 100u);
  EXPECT_FALSE(std::filesystem::exists(folder / "out/c.wav"));
}

TEST(CommandRender, ParametersHoldFromTheFirstSampleOrGlideInWhenAsked) {
  ScratchFolder folder;
  writeSound(folder / "in.wav", constantSound(44100, {0.5f, -0.5f}, 20000));
  for (const char* setting : {"LIMIT=0.25", "1=0.25", "limit=.25"}) {
    const CommandResult result = runKqfx(
        {"render", "Grubbel", folder / "in.wav", folder / "out.wav", "-p", setting, "-q", "-y"});
    ASSERT_EQ(result.status, 0) << result.err;
    const Sound out = readSound(folder / "out.wav");
    EXPECT_EQ(out.samples[0], std::vector<float>(20000, 0.25f)) << setting;
    EXPECT_EQ(out.samples[1], std::vector<float>(20000, -0.25f)) << setting;
  }
  const CommandResult gliding = runKqfx({"render", "Grubbel", folder / "in.wav",
                                         folder / "glide.wav", "-p", "limit=0.25", "--glide", "-q"});
  ASSERT_EQ(gliding.status, 0) << gliding.err;
  const Sound out = readSound(folder / "glide.wav");
  // The ceiling glides from 1 to 0.25 over 16384 frames, then holds.
  EXPECT_EQ(out.samples[0][0], 0.5f);
  EXPECT_GT(out.samples[0][8000], 0.25f);
  EXPECT_EQ(out.samples[0][16383], 0.25f);
  EXPECT_EQ(out.samples[0][19999], 0.25f);
}

TEST(CommandRender, WithoutInputRendersTheDemoSignalAtTheChosenRate) {
  ScratchFolder folder;
  const CommandResult result =
      runKqfx({"render", "Grubbel", "--demo", folder / "demo.aiff", "--rate", "22050", "--tail", "1"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "wrote " + (folder / "demo.aiff") + " (5.00 s at 22050 Hz, 24-bit AIFF)\n");
  const Sound out = readSound(folder / "demo.aiff");
  EXPECT_EQ(out.sampleRate, 22050);
  EXPECT_EQ(out.format, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
  EXPECT_EQ(out.frames(), 5u * 22050u);
  float peak = 0.0f;
  for (float s : out.samples[0]) peak = std::max(peak, std::fabs(s));
  EXPECT_GT(peak, 0.5f);
  EXPECT_LE(peak, 0.7001f);
}

TEST(CommandRender, ReplacesAnExistingOutputOnlyWithOverwriteKeepingWhatTheUserSetUp) {
  namespace fs = std::filesystem;
  ScratchFolder folder;
  writeSound(folder / "in.wav", constantSound(44100, {0.5f, 0.5f}, 10));
  writeText(folder / "out.wav", "old");
  fs::permissions(folder / "out.wav", fs::perms::owner_read | fs::perms::owner_write);
  const CommandResult refused = runKqfx({"render", "Pellvo", folder / "in.wav", folder / "out.wav"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "kqfx: '" + (folder / "out.wav") +
                             "' exists; kqfx replaces it only with -y (--overwrite)\n");
  EXPECT_EQ(fileBytes(folder / "out.wav"), "old");

  ASSERT_EQ(runKqfx({"render", "Pellvo", folder / "in.wav", folder / "out.wav", "-y"}).status, 0);
  EXPECT_EQ(readSound(folder / "out.wav").frames(), 10u);
  EXPECT_EQ(fs::status(folder / "out.wav").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);

  // A symlinked OUTPUT is written through to its target.
  writeText(folder / "target.wav", "old");
  fs::create_symlink("target.wav", folder / "link.wav");
  ASSERT_EQ(runKqfx({"render", "Pellvo", folder / "in.wav", folder / "link.wav", "-y"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(folder / "link.wav"));
  EXPECT_EQ(readSound(folder / "target.wav").frames(), 10u);

  // The longest name the folder allows: the temporary name must fit too.
  const std::string longest = std::string(251, 'n') + ".wav";
  ASSERT_EQ(runKqfx({"render", "Pellvo", folder / "in.wav", folder / longest, "-q"}).status, 0);
  EXPECT_EQ(readSound(folder / longest).frames(), 10u);
  EXPECT_EQ(folder.entries(),
            (std::vector<std::string>{"in.wav", "link.wav", longest, "out.wav", "target.wav"}));
}

TEST(CommandRender, WarnsOfClippedSamplesAndOfAnInputShorterThanItsHeader) {
  ScratchFolder folder;
  Sound loud = constantSound(8000, {0.5f, 0.5f}, 800);
  for (std::size_t i = 0; i < 300; ++i) loud.samples[0][i] = 1.5f;
  loud.samples[1][799] = -2.0f;
  writeSound(folder / "loud.wav", loud);
  const CommandResult clipped =
      runKqfx({"render", "Pellvo", folder / "loud.wav", folder / "out.flac", "-q"});
  ASSERT_EQ(clipped.status, 0) << clipped.err;
  // Pellvo takes the DC out: which samples are over is worked out the same way.
  int expected = 0;
  for (int c = 0; c < 2; ++c) {
    for (float s : dcRemoved(loud.samples[static_cast<std::size_t>(c)])) expected += std::fabs(s) > 1.0f;
  }
  ASSERT_GT(expected, 300);
  EXPECT_EQ(clipped.err, "kqfx: warning: " + std::to_string(expected) + " samples clipped writing '" +
                             (folder / "out.flac") +
                             "' (24-bit FLAC holds nothing beyond full scale)\n");

  writeSound(folder / "whole.wav", constantSound(8000, {0.5f, 0.5f}, 8000),
             SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  writeText(folder / "cut.wav", fileBytes(folder / "whole.wav").substr(0, 44 + 4 * 2000));
  const CommandResult cut =
      runKqfx({"render", "Pellvo", folder / "cut.wav", folder / "out.wav", "-q"});
  ASSERT_EQ(cut.status, 0) << cut.err;
  EXPECT_EQ(cut.err, "kqfx: warning: '" + (folder / "cut.wav") +
                         "' ends early: its header promises 1.00 s, 0.25 s were there (the file "
                         "may be truncated)\n");
  EXPECT_EQ(readSound(folder / "out.wav").frames(), 2000u);
}

TEST(CommandRender, ThePluginsLatencyIsTakenOffTheFrontAndAddedToTheEnd) {
  ScratchFolder folder;
  Sound in = constantSound(44100, {0.0f, 0.0f}, 100);
  in.samples[0][0] = 1.0f;
  in.samples[1][99] = 0.5f;
  writeSound(folder / "in.wav", in);
  const CommandResult result =
      runKqfx({"render", kFixtures + "/Delays.so", folder / "in.wav", folder / "out.wav"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "compensated the plug-in's latency of 5 frames\nwrote " +
                            (folder / "out.wav") + " (0.00 s at 44100 Hz, 32-bit float WAV)\n");
  EXPECT_EQ(readSound(folder / "out.wav").samples, in.samples);
  const CommandResult info = runKqfx({"info", kFixtures + "/Delays.so"});
  EXPECT_NE(info.out.find("\n  latency     5 frames\n"), std::string::npos) << info.out;

  // A change announced mid-render is told; the delay read at the start
  // stays compensated.
  const CommandResult changed = runKqfx({"render", kFixtures + "/DelayChanges.so", folder / "in.wav",
                                         folder / "out.wav", "--block", "16", "-y", "-q"});
  ASSERT_EQ(changed.status, 0) << changed.err;
  EXPECT_EQ(changed.err, "kqfx: warning: the plug-in changed its latency during the render (from 5 "
                         "to 9 frames at frame 59 of the output); the 5 frames it reported at the "
                         "start stay compensated\n");
  EXPECT_EQ(readSound(folder / "out.wav").samples, in.samples);
}

TEST(CommandRender, JsonSummarisesEachOutputFileAlsoForABatch) {
  ScratchFolder folder;
  Sound loud = constantSound(8000, {0.5f, 0.5f}, 800);
  for (std::size_t i = 0; i < 30; ++i) loud.samples[1][i] = -1.25f;
  writeSound(folder / "loud.wav", loud);
  writeSound(folder / "mono.wav", constantSound(8000, {0.25f}, 300));
  writeText(folder / "bad.wav", "not audio");
  const std::string delays = kFixtures + "/Delays.so";
  const CommandResult one =
      runKqfx({"render", delays, folder / "loud.wav", folder / "out.flac", "--json", "--channels", "1"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(one.err, "");
  const Json summary = Json::parse(one.out);
  ASSERT_EQ(summary["renders"].array().size(), 1u);
  const Json& render = summary["renders"][0];
  EXPECT_EQ(render["input"].text(), folder / "loud.wav");
  EXPECT_EQ(render["output"].text(), folder / "out.flac");
  EXPECT_EQ(render["frames"].number(), 800);
  EXPECT_EQ(render["sampleRate"].number(), 8000);
  EXPECT_EQ(render["outputSampleRate"].number(), 8000);
  EXPECT_EQ(render["channels"].number(), 1);
  EXPECT_EQ(render["latencyCompensated"].number(), 5);
  EXPECT_EQ(render["clippedSamples"].number(), 0);
  EXPECT_TRUE(render["warnings"].array().empty());
  EXPECT_TRUE(summary["failed"].array().empty());

  // Stereo, the left keeps its -1.25: clipped, said on stderr and in the summary.
  const CommandResult batch =
      runKqfx({"render", delays, "-o", folder / "out", folder / "loud.wav", folder / "bad.wav",
               folder / "mono.wav", "--bits", "16", "--json", "-j", "2"});
  EXPECT_EQ(batch.status, 1);
  const std::string warning = "30 samples clipped writing '" + (folder / "out/loud.wav") +
                              "' (16-bit WAV (dithered) holds nothing beyond full scale)";
  EXPECT_NE(batch.err.find("kqfx: warning: " + warning + "\n"), std::string::npos) << batch.err;
  const Json all = Json::parse(batch.out);
  ASSERT_EQ(all["renders"].array().size(), 2u);
  EXPECT_EQ(all["renders"][0]["output"].text(), folder / "out/loud.wav");
  EXPECT_EQ(all["renders"][0]["clippedSamples"].number(), 30);
  EXPECT_EQ(all["renders"][0]["warnings"][0].text(), warning);
  EXPECT_EQ(all["renders"][1]["input"].text(), folder / "mono.wav");
  EXPECT_EQ(all["renders"][1]["frames"].number(), 300);
  EXPECT_EQ(all["failed"].array().size(), 1u);
  EXPECT_EQ(all["failed"][0].text(), folder / "bad.wav");
}

TEST(CommandRender, PluginWithoutReplacingGetsZeroedOutputsEveryBlock) {
  ScratchFolder folder;
  Sound in = constantSound(44100, {0.5f, 0.25f}, 1500);
  writeSound(folder / "in.wav", in);
  const CommandResult result = runKqfx({"render", kFixtures + "/ProcessOnly.so", folder / "in.wav",
                                        folder / "out.wav", "--block", "100", "-q"});
  ASSERT_EQ(result.status, 0) << result.err;
  const Sound out = readSound(folder / "out.wav");
  EXPECT_EQ(out.samples[0], std::vector<float>(1500, 0.25f));
  EXPECT_EQ(out.samples[1], std::vector<float>(1500, 0.125f));
}

TEST(CommandRender, OneChannelPluginGetsTheMidAndFillsBothSidesOrWhatIsChosen) {
  ScratchFolder folder;
  writeSound(folder / "in.wav", constantSound(44100, {0.5f, 0.25f}, 700));
  const CommandResult result = runKqfx(
      {"render", kFixtures + "/MonoOut.so", folder / "in.wav", folder / "out.wav"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.substr(0, result.out.find('\n')),
            "channels: plug-in inputs: 1 <- mid; written: left <- output 1, right <- output 1");
  const Sound out = readSound(folder / "out.wav");
  EXPECT_EQ(out.samples[0], std::vector<float>(700, 0.375f));
  EXPECT_EQ(out.samples[1], std::vector<float>(700, 0.375f));

  const CommandResult right = runKqfx({"render", kFixtures + "/MonoOut.so", folder / "in.wav",
                                       folder / "right.wav", "--inputs", "R", "-q"});
  ASSERT_EQ(right.status, 0) << right.err;
  EXPECT_EQ(readSound(folder / "right.wav").samples[0], std::vector<float>(700, 0.25f));

  // A stereo plug-in's sides swapped.
  const CommandResult swapped = runKqfx({"render", kFixtures + "/ProcessOnly.so", folder / "in.wav",
                                         folder / "swapped.wav", "--outputs", "2,1", "-q"});
  ASSERT_EQ(swapped.status, 0) << swapped.err;
  EXPECT_EQ(readSound(folder / "swapped.wav").samples[0], std::vector<float>(700, 0.125f));
}

}  // namespace
}  // namespace kqfx::test
