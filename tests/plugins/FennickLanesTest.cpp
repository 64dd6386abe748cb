// The distortion's side-by-side shaping against its one-sample curves, bit
// for bit: the fast sine with its rounding check, the three curves in
// lanes, the buffer layouts that allow shaping ahead, and whole blocks
// through the shared object against a frame-by-frame model.

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "TestPlugins.h"
#include "kqfx/plugin/ChannelLayout.h"
#include "kqfx/dsp/FastSine.h"
#include "kqfx/dsp/ShaperLanes.h"
#include "kqfx/dsp/DcRemover.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/LanePath.h"
#include "kqfx/dsp/SignalHelpers.h"
#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx {
namespace {

using shaper::sineTimes;
using shaper::sineTimesIsSure;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

uint32_t bits(float x) { return std::bit_cast<uint32_t>(x); }
float libmSineTimes(double a, double scale) { return static_cast<float>(std::sin(a) * scale); }

// Scales 1 / sin(w) as the curve uses them, over the whole "Zeta" range.
std::vector<double> segmentScales() {
  std::vector<double> scales;
  for (float zeta : {0.0f, 0.1f, 0.333f, 0.5f, 0.77f, 1.0f}) {
    scales.push_back(shaper::SineSegment::forZeta(zeta).inv);
  }
  return scales;
}

TEST(FastSineTest, AgreesWithTheLibrarySineOnMillionsOfArguments) {
  std::mt19937_64 random(20261208);
  std::uniform_real_distribution<double> wide(-120.0, 3.2), narrow(-3.2, 3.2);
  long sure = 0, total = 0;
  for (double scale : segmentScales()) {
    for (int i = 0; i < 400000; ++i) {
      const double a = (i & 1) ? wide(random) : narrow(random);
      ASSERT_EQ(bits(sineTimes(a, scale)), bits(libmSineTimes(a, scale))) << a << " " << scale;
      sure += sineTimesIsSure(a, scale);
      ++total;
    }
  }
  // The check must let nearly everything through, or nothing is gained.
  EXPECT_GT(sure, total - total / 1000);
}

TEST(FastSineTest, ArgumentsTheApproximationDoesNotCoverFallBack) {
  const double pi = 3.141592653589793;
  const double awkward[] = {std::nextafter(pi, 0.0), pi, std::nextafter(pi, 4.0), -pi, 2 * pi,
                            -7 * pi, 0x1p20 * 1.5, -1e9, 1e300, kInf, -kInf, kNaN};
  for (double a : awkward) {
    EXPECT_FALSE(sineTimesIsSure(a, 1.0)) << a;
    const float expected = libmSineTimes(a, 1.0);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(sineTimes(a, 1.0))) << a;
    } else {
      EXPECT_EQ(bits(sineTimes(a, 1.0)), bits(expected)) << a;
    }
  }
  // Zero keeps its sign, tiny arguments come back as themselves.
  for (double a : {0.0, -0.0, 1e-30, -1e-30, 0x1p-140}) {
    EXPECT_TRUE(sineTimesIsSure(a, 1.0)) << a;
    EXPECT_EQ(bits(sineTimes(a, 1.0)), bits(libmSineTimes(a, 1.0))) << a;
  }
}

// Scales chosen so that the exact product lands on a midpoint between two
// floats: no approximation can tell which way the library rounds there, so
// the check has to hand each of them to std::sin.
TEST(FastSineTest, ProductsAtARoundingStepTakeTheLibrarySine) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> argument(-40.0, 3.1);
  int constructed = 0;
  for (int i = 0; i < 20000; ++i) {
    const double a = argument(random);
    const double s = std::sin(a);
    if (std::fabs(s) < 1e-3) continue;
    const double scale0 = 1.0 + static_cast<double>(i % 31);
    const float f = static_cast<float>(s * scale0);
    const double midpoint = (static_cast<double>(f) +
                             static_cast<double>(std::nextafter(f, s > 0 ? FLT_MAX : -FLT_MAX))) / 2;
    const double scale = midpoint / s;
    ASSERT_FALSE(sineTimesIsSure(a, scale)) << a << " " << scale;
    ASSERT_EQ(bits(sineTimes(a, scale)), bits(libmSineTimes(a, scale))) << a << " " << scale;
    ++constructed;
  }
  EXPECT_GT(constructed, 19000);
}

// Inputs that cover every branch of the curves: both sides of Saturate's
// top, Squelch's clamps, signed zeros, tiny and huge values, non-finite.
std::vector<float> curveInputs() {
  std::vector<float> x = test::noise(4000, 3.0f, 11);
  const std::vector<float> noise2 = test::noise(2000, 0.02f, 12);
  x.insert(x.end(), noise2.begin(), noise2.end());
  const float special[] = {0.0f,  -0.0f, 1.0f,   -1.0f, 2.0f,    -2.0f,    0.5f,     -0.5f,
                           1e-40f, -1e-40f, 1e-20f, 1e20f, -1e20f, FLT_MAX, -FLT_MAX, kInf,
                           -kInf, kNaN,  1.0256f, 100.0f, 1.0f / 0.3f, -1.0f / 0.3f};
  for (int repeat = 0; repeat < 3; ++repeat) {
    for (float s : special) x.push_back(s);
    x.push_back(0.25f);  // shifts the specials across the lanes
  }
  return x;
}

template <class L, class Kernel>
void expectLanesMatchOneSample(const Kernel& kernel, const char* what) {
  const std::vector<float> in = curveInputs();
  std::vector<float> gains(in.size());
  std::mt19937 random(3);
  std::uniform_real_distribution<float> gain(0.05f, 16.0f);
  for (float& g : gains) g = gain(random);
  gains[7] = 1e30f;
  gains[8] = kInf;
  for (float g : {1.0f, 0.063095734f, 15.848932f, 1e38f}) {
    std::vector<float> out(in.size());
    // Odd lengths leave a tail for the one-sample loop.
    shaper::shapeRun<L>(kernel, in.data(), out.data(), static_cast<int32_t>(in.size()) - 3,
                        shaper::SameGain<L>{g});
    for (std::size_t i = 0; i + 3 < in.size(); ++i) {
      const float expected = kernel.scalar(shaper::gained(g, in[i]));
      ASSERT_EQ(bits(out[i]), bits(expected)) << what << " x " << in[i] << " g " << g;
    }
  }
  std::vector<float> inPlace = in;
  shaper::shapeRun<L>(kernel, inPlace.data(), inPlace.data(), static_cast<int32_t>(in.size()),
                      shaper::GainPerSample<L>{gains.data()});
  for (std::size_t i = 0; i < in.size(); ++i) {
    const float expected = kernel.scalar(shaper::gained(gains[i], in[i]));
    ASSERT_EQ(bits(inPlace[i]), bits(expected)) << what << " x " << in[i] << " g " << gains[i];
  }
}

template <class L>
void expectEveryCurveMatchesOneSample() {
  const float amounts[] = {0.0f, 0.3f, 0.5f, 0.85f, 1.0f, -2.0f, 5.0f};
  for (float zeta : amounts) {
    for (float blast : amounts) {
      SCOPED_TRACE(testing::Message() << "zeta " << zeta << " blast " << blast);
      expectLanesMatchOneSample<L>(shaper::SquelchLanes<L>(zeta, blast), "Squelch");
      expectLanesMatchOneSample<L>(shaper::SquashLanes<L>(zeta, blast), "Squash");
      expectLanesMatchOneSample<L>(
          shaper::SaturateLanes<L>(shaper::SineSegment::forZeta(zeta), blast), "Saturate");
    }
  }
}

TEST(ShaperLanesTest, EveryCurveInLanesIsTheOneSampleCurve) {
  expectEveryCurveMatchesOneSample<BaselineLanes>();
  expectEveryCurveMatchesOneSample<ScalarLanes>();
#if KQFX_HAS_X86_LANES
  if (wideLanesAvailable()) expectEveryCurveMatchesOneSample<WideLanes>();
#endif
}

TEST(ChannelLayoutTest, ReadingAheadOnlyWhereFrameOrderCannotShow) {
  std::vector<float> memory(64);
  float* a = memory.data();
  float* b = a + 16;
  float* c = a + 32;
  float* d = a + 48;
  EXPECT_TRUE(readAheadSafe(a, b, c, d, 16));  // four separate buffers
  EXPECT_TRUE(readAheadSafe(a, b, a, b, 16));  // each channel in place
  EXPECT_TRUE(readAheadSafe(a, a, c, d, 16));  // one input for both
  EXPECT_TRUE(readAheadSafe(a, b, c, c, 16));  // one output for both
  EXPECT_TRUE(readAheadSafe(a, b, c, a, 16));  // the right output on the left input
  EXPECT_TRUE(readAheadSafe(a, b, a, a, 16));  // both outputs on the left input
  // The left output is the right input: each right sample must be read
  // after its frame's left one is written.
  EXPECT_FALSE(readAheadSafe(a, c, c, d, 16));
  EXPECT_FALSE(readAheadSafe(a, b, b, a, 16));
  EXPECT_FALSE(readAheadSafe(a, a, a, a, 16));
  // Buffers overlapping at an offset.
  EXPECT_FALSE(readAheadSafe(a, b, a + 1, d, 16));
  EXPECT_FALSE(readAheadSafe(a, b, c, b + 15, 16));
  EXPECT_TRUE(readAheadSafe(a, b, c, b + 16, 16));
}

// The whole effect through its shared object against the frame-by-frame
// arithmetic, in blocks of assorted sizes, for each curve: "Blast" and
// "Zeta" glide, then the gain glides alone, then everything stands.
using host::PluginInstance;
using host::PluginLibrary;

class FennickModel {
 public:
  explicit FennickModel(float type) : type_(type) {}
  void set(int32_t index, float value) { smoothers_[index].setTargetValue(value); }
  std::array<float, 2> frame(float left, float right) {
    for (int32_t index : {kZeta, kBlast, kGain}) smoothers_[index].tick();
    const float g = StandardGain::gain2factor(smoothers_[kGain].getCurrentValue());
    return {clip(dc_[0].filter(shape(shaper::gained(g, left)))),
            clip(dc_[1].filter(shape(shaper::gained(g, right))))};
  }

 private:
  enum : int32_t { kGain = 0, kBlast = 2, kZeta = 3 };
  float shape(float x) {
    const float zeta = smoothers_[kZeta].getCurrentValue();
    const float blast = smoothers_[kBlast].getCurrentValue();
    switch (shaper::curveFor(type_)) {
      case shaper::Curve::Saturate:
        return shaper::saturate(x, shaper::SineSegment::forZeta(zeta), blast);
      case shaper::Curve::Squash:
        return shaper::squash(x, zeta, blast);
      case shaper::Curve::Squelch:
        break;
    }
    return shaper::squelch(x, zeta, blast);
  }
  float type_;
  SmoothParameter smoothers_[4] = {{16384, 0.5f}, {0, 0.0f}, {16384, 0.5f}, {16384, 0.0f}};
  DcFilter dc_[2];
};

class FennickBlocksTest : public ::testing::TestWithParam<float> {
 protected:
  PluginLibrary library{test::pluginPath("Fennick")};
};

TEST_P(FennickBlocksTest, GlidingAndSettledBlocksMatchTheFrameByFrameArithmetic) {
  const float type = GetParam();
  const std::size_t total = 36000;
  test::StereoBuffers io(total);
  io.in[0] = test::noise(total, 1.2f, 5);
  io.in[1] = test::noise(total, 1.2f, 6);
  io.in[0][20000] = 40.0f;
  io.in[1][20001] = -0.0f;
  io.in[0][30000] = FLT_MAX;
  io.relink();
  PluginInstance plugin(library);
  FennickModel model(type);
  plugin.setParameter(1, type);
  const std::size_t sizes[] = {1, 3, 64, 100, 512, 4096, 77, 63, 65};
  bool gainSet = false;
  std::size_t start = 0;
  for (std::size_t block = 0; start < total; ++block) {
    if (block == 0) {
      for (auto [index, value] : {std::pair{2, 0.7f}, std::pair{3, 0.4f}}) {
        plugin.setParameter(index, value);
        model.set(index, value);
      }
    }
    if (!gainSet && start >= 17000) {
      plugin.setParameter(0, 0.9f);
      model.set(0, 0.9f);
      gainSet = true;
    }
    const std::size_t n = std::min(sizes[block % std::size(sizes)], total - start);
    float* inputs[2] = {io.in[0].data() + start, io.in[1].data() + start};
    float* outputs[2] = {io.out[0].data() + start, io.out[1].data() + start};
    plugin.processReplacing(inputs, outputs, static_cast<int32_t>(n));
    for (std::size_t i = start; i < start + n; ++i) {
      const auto expected = model.frame(io.in[0][i], io.in[1][i]);
      ASSERT_EQ(bits(io.out[0][i]), bits(expected[0])) << "frame " << i;
      ASSERT_EQ(bits(io.out[1][i]), bits(expected[1])) << "frame " << i;
    }
    start += n;
  }
  EXPECT_TRUE(gainSet);
}

// Shared buffers: in place, one input for both channels, the left output
// as the right input. Whole blocks give what single frames give.
TEST_P(FennickBlocksTest, SharedBuffersGiveWhatSingleFramesGive) {
  const float type = GetParam();
  const std::size_t total = 700;
  const std::vector<float> source = test::noise(total, 1.0f, 9);
  for (bool gliding : {false, true}) {
    for (int layout = 0; layout < 3; ++layout) {
      std::vector<float> blockA(source), blockB(test::noise(total, 1.0f, 10));
      std::vector<float> frameA(blockA), frameB(blockB);
      auto buffers = [layout](std::vector<float>& a, std::vector<float>& b, std::size_t at,
                              float** in, float** out) {
        float* pa = a.data() + at;
        float* pb = b.data() + at;
        if (layout == 0) { in[0] = pa; in[1] = pb; out[0] = pa; out[1] = pb; }
        if (layout == 1) { in[0] = pa; in[1] = pa; out[0] = pb; out[1] = pa; }
        if (layout == 2) { in[0] = pa; in[1] = pb; out[0] = pb; out[1] = pa; }
      };
      PluginInstance whole(library), single(library);
      for (PluginInstance* p : {&whole, &single}) {
        p->setParameter(1, type);
        if (gliding) p->setParameter(0, 0.8f);
      }
      float* in[2];
      float* out[2];
      buffers(blockA, blockB, 0, in, out);
      whole.processReplacing(in, out, static_cast<int32_t>(total));
      for (std::size_t i = 0; i < total; ++i) {
        buffers(frameA, frameB, i, in, out);
        single.processReplacing(in, out, 1);
      }
      for (std::size_t i = 0; i < total; ++i) {
        ASSERT_EQ(bits(blockA[i]), bits(frameA[i])) << layout << " " << gliding << " " << i;
        ASSERT_EQ(bits(blockB[i]), bits(frameB[i])) << layout << " " << gliding << " " << i;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Curves, FennickBlocksTest, ::testing::Values(1.0f, 0.5f, 0.0f));

}  // namespace
}  // namespace kqfx
