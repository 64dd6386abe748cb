// Texts kqfx produces: JSON pieces, identifiers, flags, output formats.
#include <gtest/gtest.h>
#include <sndfile.h>

#include "JsonText.h"
#include "OutputFormat.h"
#include "PluginReport.h"
#include "kqfx/framework/AEffect.h"

namespace kqfx::command {
namespace {

TEST(JsonText, StringsAreEscapedAndAlwaysValidUtf8) {
  EXPECT_EQ(jsonString("Input Gain"), "\"Input Gain\"");
  EXPECT_EQ(jsonString("say \"hi\" \\ bye"), "\"say \\\"hi\\\" \\\\ bye\"");
  EXPECT_EQ(jsonString("a\nb\tc\rd"), "\"a\\nb\\tc\\rd\"");
  EXPECT_EQ(jsonString(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(jsonString(std::string("\0x", 2)), "\"\\u0000x\"");
  // UTF-8 passes through untouched.
  EXPECT_EQ(jsonString("\xC2\xB0 \xE2\x82\xAC \xF0\x9F\x8E\xB5"), "\"\xC2\xB0 \xE2\x82\xAC \xF0\x9F\x8E\xB5\"");
  // Anything else is Latin-1: 0xB0 is the degree sign.
  EXPECT_EQ(jsonString("\xB0" "C"), "\"\xC2\xB0" "C\"");
  EXPECT_EQ(jsonString("\xFF"), "\"\xC3\xBF\"");
  // Broken, overlong and surrogate sequences are not UTF-8 either.
  EXPECT_EQ(jsonString("\xE2\x82"), "\"\xC3\xA2\xC2\x82\"");
  EXPECT_EQ(jsonString("\xC0\xAF"), "\"\xC3\x80\xC2\xAF\"");
  EXPECT_EQ(jsonString("\xED\xA0\x80"), "\"\xC3\xAD\xC2\xA0\xC2\x80\"");
}

TEST(JsonText, NumbersAreShortestAndNeverNaN) {
  EXPECT_EQ(jsonNumber(0.5f), "0.5");
  EXPECT_EQ(jsonNumber(1.0f), "1");
  EXPECT_EQ(jsonNumber(0.1f), "0.1");
  EXPECT_EQ(jsonNumber(-0.25f), "-0.25");
  EXPECT_EQ(jsonNumber(1e-10f), "1e-10");
  EXPECT_EQ(jsonNumber(std::numeric_limits<float>::quiet_NaN()), "null");
  EXPECT_EQ(jsonNumber(std::numeric_limits<float>::infinity()), "null");
}

TEST(PluginReportText, IdentifiersAndFlags) {
  EXPECT_EQ(fourCharText(fourCharCode("KQPE")), "KQPE");
  EXPECT_EQ(fourCharText(0x41000142), "A..B");
  EXPECT_EQ(fourCharText(0), "....");
  EXPECT_EQ(fourCharText(static_cast<int32_t>(0xFF202020)), ".   ");
  EXPECT_EQ(flagNames(0), std::vector<std::string>{});
  EXPECT_EQ(flagNames(flagCanMono | flagCanProcessReplacing),
            (std::vector<std::string>{"can-mono", "can-replace"}));
  EXPECT_EQ(flagNames(flagIsSynth | flagProgramsAreChunks | 0x1 | 0x40000000),
            (std::vector<std::string>{"program-chunks", "synth", "0x1", "0x40000000"}));
}

TEST(OutputFormat, ComesFromTheExtensionInAnyCase) {
  EXPECT_EQ(outputFormatFor("a/b/out.wav")->sndfileFormat, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(outputFormatFor("OUT.WAV")->sndfileFormat, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_EQ(outputFormatFor("x.Flac")->sndfileFormat, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
  EXPECT_EQ(outputFormatFor("x.aif")->sndfileFormat, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
  EXPECT_EQ(outputFormatFor("x.ogg")->sndfileFormat, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
  EXPECT_FALSE(outputFormatFor("x.mp4").has_value());
  EXPECT_FALSE(outputFormatFor("wav").has_value());
  EXPECT_FALSE(outputFormatFor(".wav").has_value());  // a hidden file without extension
  EXPECT_FALSE(outputFormatFor("x.").has_value());
  // Every format we offer is one libsndfile can write in stereo at 44.1 kHz.
  for (const char* name : {"a.wav", "a.flac", "a.aiff", "a.aif", "a.ogg", "a.opus", "a.mp3",
                           "a.caf", "a.w64", "a.rf64", "a.au"}) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = outputFormatFor(name)->sndfileFormat;
    EXPECT_TRUE(sf_format_check(&info)) << name;
  }
}

}  // namespace
}  // namespace kqfx::command
