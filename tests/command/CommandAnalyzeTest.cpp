// kqfx analyze: its measurements against answers known in closed form,
// through real plug-ins, and the command's images and figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "CommandRunner.h"
#include "MiniJson.h"
#include "analyze/Measurements.h"

namespace kqfx::test {
namespace {

using namespace kqfx::command::analyze;
using kqfx::command::ParameterArgument;

const std::string kPlugins = KQFX_PLUGIN_DIR;
const std::string kFixtures = KQFX_FIXTURE_DIR;

PluginSetup setupOf(const std::string& path, std::vector<ParameterArgument> parameters = {},
                    int sampleRate = 48000) {
  const kqfx::command::ChosenPlugin vst2{kqfx::host::PluginFormat::vst2,
                                         std::filesystem::path(path).stem().string(), path, {}};
  return {vst2, std::move(parameters), sampleRate, 512, false};
}

double dbOf(std::complex<double> value) { return 20.0 * std::log10(std::abs(value)); }

TEST(Analyze, PellvoResponseFollowsItsDcBlocker) {
  // At 192 kHz the blocker's corner (about 3 Hz) leaves a clear mark at 5 Hz.
  const int rate = 192000;
  const std::vector<double> impulse = measureImpulse(setupOf(kPlugins + "/Pellvo.so", {}, rate), 2.0);
  for (const double hz : {5.0, 20.0, 100.0, 1000.0}) {
    const std::complex<double> z = std::polar(1.0, -2.0 * std::numbers::pi * hz / rate);
    const double expected = dbOf((1.0 - z) / (1.0 - 0.9999 * z));
    EXPECT_NEAR(magnitudeDbAt(impulse, rate, hz), expected, 0.05) << hz << " Hz";
  }
  EXPECT_LT(magnitudeDbAt(impulse, rate, 5.0), -1.0);
}

TEST(Analyze, GrubbelTransferIsTheClipAtItsLimit) {
  const TransferCurve curve = measureTransfer(setupOf(kPlugins + "/Grubbel.so", {{"Limit", 0.5f, {}}}));
  ASSERT_GT(curve.input.size(), 390u);
  EXPECT_NEAR(curve.input.front(), -2.0, 1e-3);
  EXPECT_NEAR(curve.input.back(), 2.0, 1e-3);
  for (std::size_t i = 0; i < curve.input.size(); ++i) {
    const double x = curve.input[i];
    // Points straddling the knee average samples on both sides of it.
    const double tolerance = std::abs(std::abs(x) - 0.5) < 0.01 ? 1e-3 : 1e-6;
    EXPECT_NEAR(curve.output[i], std::clamp(x, -0.5, 0.5), tolerance) << x;
  }
}

TEST(Analyze, FennickTransferFollowsEachShaperCurve) {
  // Zeta 0.5, Blast 1: the shaped signal alone.
  const double k = 0.5;
  struct Shaper {
    float type;
    double (*curve)(double);
  };
  const Shaper shapers[] = {
      {1.0f, [](double x) { return x > 2.0 ? 0.5 : std::sin(std::numbers::pi * 0.5 * x) * 0.5; }},
      {0.5f, [](double x) { return x * (std::abs(x) + 0.5) / (x * x - 0.5 * std::abs(x) + 1.0); }},
      {0.0f, [](double x) {
         const double d = 2.0 * std::abs(x) - 0.5;
         return std::min(1.0, 0.5 + d / (1.0 + (d / 0.5) * (d / 0.5)));
       }}};
  for (const Shaper& shaper : shapers) {
    const TransferCurve curve = measureTransfer(setupOf(
        kPlugins + "/Fennick.so", {{"Type", shaper.type, {}}, {"Blast", 1.0f, {}}, {"Zeta", float(k), {}}}));
    ASSERT_GT(curve.input.size(), 390u);
    // The plug-in's DC blocker takes away the curve's mean over the sine.
    double mean = 0.0;
    const int steps = 100000;
    for (int n = 0; n < steps; ++n) {
      mean += shaper.curve(2.0 * std::sin(2.0 * std::numbers::pi * n / steps)) / steps;
    }
    // Its small phase lead at 47 Hz cancels between the rising and falling
    // halves of the sine, except where the hard clip after it cuts one
    // half and not the other: within 0.03 of the ceiling.
    double worst = 0.0, worstNearCeiling = 0.0;
    for (std::size_t i = 0; i < curve.input.size(); ++i) {
      const double shaped = shaper.curve(curve.input[i]) - mean;
      const double error = std::abs(curve.output[i] - std::clamp(shaped, -1.0, 1.0));
      double& bound = std::abs(std::abs(shaped) - 1.0) < 0.03 ? worstNearCeiling : worst;
      bound = std::max(bound, error);
    }
    EXPECT_LT(worst, 2e-3) << "Type " << shaper.type;
    EXPECT_LT(worstNearCeiling, 0.015) << "Type " << shaper.type;
  }
}

TEST(Analyze, FennickSaturateHarmonicsFollowBesselFunctions) {
  // 0.5 sin(pi/2 * A sin t) = sum over odd n of J_n(pi A / 2) sin(n t).
  const HarmonicsResult result = measureHarmonics(
      setupOf(kPlugins + "/Fennick.so", {{"Type", 1.0f, {}}, {"Blast", 1.0f, {}}, {"Zeta", 0.5f, {}}}));
  ASSERT_EQ(result.levels.size(), 24u);
  for (const LevelPoint& point : result.levels) {
    const double z = std::numbers::pi / 2.0 * std::pow(10.0, point.inputDbfs / 20.0);
    double harmonics = 0.0, total = 0.0;
    for (int n = 1; n < 24; n += 2) {
      const double power = std::pow(std::cyl_bessel_j(n, z), 2);
      total += power;
      if (n > 1) harmonics += power;
    }
    const double fundamental = 20.0 * std::log10(std::cyl_bessel_j(1, z));  // 0.5 * 2 J_1
    EXPECT_NEAR(point.distortion.fundamentalDb, fundamental, 0.01) << point.inputDbfs;
    EXPECT_NEAR(point.distortion.thdPercent, 100.0 * std::sqrt(harmonics / total),
                0.01 * 100.0 * std::sqrt(harmonics / total) + 1e-4)
        << point.inputDbfs;
  }
}

TEST(Analyze, BandDecayTimesOfKnownResonators) {
  const DecayResult decay = readDecay(measureImpulse(setupOf(kFixtures + "/RingingBands.so"), 8.0), 48000);
  const double expected[] = {2.0, 1.6, 1.2, 1.0, 0.7, 0.5, 0.3};
  ASSERT_EQ(decay.bands.size(), 7u);
  for (std::size_t b = 0; b < 7; ++b) {
    EXPECT_DOUBLE_EQ(decay.bands[b].centreHz, 125.0 * std::pow(2.0, b));
    ASSERT_TRUE(decay.bands[b].times.t30) << decay.bands[b].centreHz;
    EXPECT_NEAR(*decay.bands[b].times.t30, expected[b], expected[b] * 0.02) << decay.bands[b].centreHz;
    ASSERT_TRUE(decay.bands[b].times.t20);
    EXPECT_NEAR(*decay.bands[b].times.t20, expected[b], expected[b] * 0.02) << decay.bands[b].centreHz;
  }
}

TEST(Analyze, EchoRepeatsAtTheirDelayAndLevel) {
  const DecayResult decay = readDecay(measureImpulse(setupOf(kFixtures + "/Echo.so"), 2.0), 48000);
  ASSERT_TRUE(decay.arrivals.first);
  EXPECT_EQ(decay.arrivals.first->sample, 0);
  EXPECT_NEAR(decay.arrivals.first->levelDb, 0.0, 0.05);
  // Half the level every 4321 frames, down to 80 dB below the direct sound.
  ASSERT_EQ(decay.arrivals.echoes.size(), 13u);
  for (std::size_t k = 0; k < decay.arrivals.echoes.size(); ++k) {
    const double repeat = static_cast<double>(k + 1);
    EXPECT_EQ(decay.arrivals.echoes[k].sample, 4321 * static_cast<int64_t>(k + 1));
    EXPECT_NEAR(decay.arrivals.echoes[k].levelDb, 20.0 * std::log10(std::pow(0.5, repeat)), 0.05);
  }
}

// A third-party filter, where it is installed: LSP's parametric equaliser,
// first band as a 24 dB per octave Butterworth low-pass at 1 kHz.
TEST(Analyze, LspEqualiserLowPassCutoffAndSlope) {
  const std::string plugin = "/usr/lib/vst/lsp-plugins/para-equalizer-x16-mono.so";
  if (!std::filesystem::exists(plugin)) GTEST_SKIP() << "lsp-plugins-vst is not installed";
  // ft_0 Lo-pass, fm_0 BWC (BT), s_0 x2, f_0 = 10 Hz * 2400^v = 1 kHz.
  const float kilohertz = static_cast<float>(std::log(100.0) / std::log(2400.0));
  const std::vector<double> impulse = measureImpulse(
      setupOf(plugin, {{"ft_0", 0.55f, {}}, {"fm_0", 0.4f, {}}, {"s_0", 0.45f, {}}, {"f_0", kilohertz, {}}}), 2.0);
  const ResponseResult response = readResponse(impulse, 48000);
  ASSERT_TRUE(response.figures.upperCutoffHz);
  EXPECT_NEAR(*response.figures.upperCutoffHz, 1000.0, 20.0);
  ASSERT_TRUE(response.figures.upperSlopeDbPerOctave);
  EXPECT_NEAR(*response.figures.upperSlopeDbPerOctave, -24.0, 1.0);
  EXPECT_FALSE(response.figures.lowerCutoffHz);
  EXPECT_NEAR(response.figures.passbandDb, 0.0, 0.01);
}

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Analyze, CommandDrawsImagesAndPrintsFiguresPerSteppedValue) {
  const std::filesystem::path out = std::filesystem::path(::testing::TempDir()) / "kqfx-analyze";
  std::filesystem::remove_all(out);
  const CommandResult svg =
      runKqfx({"analyze", kPlugins + "/Grubbel.so", "-p", "Limit=0.5,1", "--what", "response",
               "--what", "transfer", "--format", "svg", "--out", out.string(), "--json"});
  ASSERT_EQ(svg.status, 0) << svg.err;
  const Json report = Json::parse(svg.out);
  EXPECT_EQ(report["plugin"].text(), "Grubbel");
  EXPECT_EQ(report["sampleRate"].number(), 48000);
  const Json& curves = report["curves"];
  ASSERT_EQ(curves.array().size(), 2u);
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(curves[c]["settings"].array().size(), 1u);
    EXPECT_NEAR(curves[c]["response"]["gainAt1kHzDb"].number(), 0.0, 1e-3);
    EXPECT_TRUE(curves[c]["response"]["upperCutoffHz"].isNull());
    // Every tenth point of the curve: the limit shows at the ends.
    const Json& transfer = curves[c]["transfer"];
    EXPECT_NEAR(transfer[0][1].number(), c == 0 ? -0.5 : -1.0, 1e-6);
  }
  ASSERT_EQ(report["images"].array().size(), 2u);
  for (const char* kind : {"response", "transfer"}) {
    const std::filesystem::path image = out / (std::string("Grubbel-") + kind + ".svg");
    EXPECT_EQ(report["images"][std::string(kind) == "response" ? 0 : 1].text(), image.string());
    const std::string text = fileText(image);
    EXPECT_GT(text.size(), 2000u) << kind;
    EXPECT_EQ(text.rfind("<?xml", 0), 0u) << kind;
    EXPECT_NE(text.find("<svg"), std::string::npos) << kind;
    EXPECT_NE(text.find("</svg>"), std::string::npos) << kind;
  }

  const CommandResult png = runKqfx({"analyze", kPlugins + "/Grubbel.so", "--what", "transfer",
                                     "--out", out.string()});
  ASSERT_EQ(png.status, 0) << png.err;
  EXPECT_NE(png.out.find("wrote " + (out / "Grubbel-transfer.png").string()), std::string::npos);
  const std::string image = fileText(out / "Grubbel-transfer.png");
  ASSERT_GT(image.size(), 24u);
  EXPECT_EQ(image.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(image.substr(12, 4), "IHDR");
  const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(image[i])); };
  EXPECT_EQ((byte(16) << 24) | (byte(17) << 16) | (byte(18) << 8) | byte(19), 900u);  // width
  std::filesystem::remove_all(out);
}

// The same effect as an LV2 plug-in (named by its URI, its port set by its
// own value) measures exactly as the VST 2 one.
TEST(Analyze, AnLv2PluginMeasuresAsItsVst2Twin) {
  const std::filesystem::path out = std::filesystem::path(::testing::TempDir()) / "kqfx-analyze-lv2";
  std::filesystem::remove_all(out);
  const CommandResult vst2 = runKqfx({"analyze", kPlugins + "/Grubbel.so", "-p", "Limit=-6dB",
                                      "--what", "transfer", "--out", (out / "vst2").string(), "--json"});
  const CommandResult lv2 = runKqfx({"analyze", "urn:kqfx:Grubbel", "-p", "Limit=-6", "--what",
                                     "transfer", "--out", (out / "lv2").string(), "--json"});
  ASSERT_EQ(vst2.status, 0) << vst2.err;
  ASSERT_EQ(lv2.status, 0) << lv2.err;
  const Json a = Json::parse(vst2.out);
  const Json b = Json::parse(lv2.out);
  EXPECT_EQ(b["plugin"].text(), "Grubbel");
  EXPECT_EQ(b["curves"][0]["settings"][0].text(), "Limit = -6 dB");  // the port value
  const Json& ta = a["curves"][0]["transfer"];
  const Json& tb = b["curves"][0]["transfer"];
  ASSERT_EQ(ta.array().size(), tb.array().size());
  ASSERT_GT(ta.array().size(), 20u);
  for (std::size_t i = 0; i < ta.array().size(); ++i) {
    EXPECT_EQ(ta[i][1].number(), tb[i][1].number()) << i;
  }
  EXPECT_TRUE(std::filesystem::exists(out / "lv2" / "Grubbel-transfer.png"));
  std::filesystem::remove_all(out);
}

TEST(Analyze, CommandRefusesWhatItCannotDo) {
  const CommandResult kind = runKqfx({"analyze", kPlugins + "/Pellvo.so", "--what", "loudness"});
  EXPECT_EQ(kind.status, 2);
  EXPECT_NE(kind.firstErrorLine().find("--what must be one of"), std::string::npos) << kind.err;
  const CommandResult format = runKqfx({"analyze", kPlugins + "/Pellvo.so", "--format", "jpg"});
  EXPECT_EQ(format.status, 2);
  const CommandResult value = runKqfx({"analyze", kPlugins + "/Pellvo.so", "-p", "Input Gain=0.5,loud"});
  EXPECT_EQ(value.status, 2);
  EXPECT_NE(value.err.find("Input Gain"), std::string::npos) << value.err;
}

}  // namespace
}  // namespace kqfx::test
