// The reverb engine driven directly: its settings and their scaling, the
// room models' resulting gains, freeze, brightness, both process
// operations with their stride, and recovery from overflowing input.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "RoomModels.h"
#include "kqfx/dsp/GainLaw.h"
#include "kqfx/dsp/SignalHelpers.h"
#include "revmodel.h"

namespace kqfx {
namespace {

using Channels = std::array<std::vector<float>, 2>;

constexpr int32_t kRamp = 16384;

std::vector<float> noise(std::size_t frames, float amplitude, uint32_t seed) {
  std::vector<float> samples(frames);
  uint32_t state = seed * 2654435761u + 1u;
  for (float& s : samples) {
    state = state * 1664525u + 1013904223u;
    s = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
  }
  return samples;
}

Channels stereoNoise(std::size_t frames, float amplitude, uint32_t seed) {
  return {noise(frames, amplitude, seed), noise(frames, amplitude, seed + 1)};
}

Channels silence(std::size_t frames) {
  return {std::vector<float>(frames), std::vector<float>(frames)};
}

double rms(const std::vector<float>& samples, std::size_t from, std::size_t count) {
  double sum = 0.0;
  for (std::size_t i = from; i < from + count; ++i) sum += double(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

// An engine with its three controls: dry level 0 dB, full depth, half
// brightness, all settled.
struct Engine {
  std::unique_ptr<revmodel> reverb = std::make_unique<revmodel>();
  SmoothParameter dry{kRamp, 0.5f};
  SmoothParameter depth{kRamp, 1.0f};
  SmoothParameter brightness{kRamp, 0.5f};

  Channels mix(const Channels& input, Channels output) {
    reverb->processmix(input[0].data(), input[1].data(), output[0].data(), output[1].data(),
                       static_cast<int32_t>(input[0].size()), 1, &dry, &depth, &brightness);
    return output;
  }
  Channels mix(const Channels& input) { return mix(input, silence(input[0].size())); }
  Channels replace(const Channels& input) {
    Channels output = silence(input[0].size());
    reverb->processreplace(input[0].data(), input[1].data(), output[0].data(), output[1].data(),
                           static_cast<int32_t>(input[0].size()), 1, &dry, &depth, &brightness);
    return output;
  }
};

TEST(Revmodel, ConstructionLeavesAQuietNormalRoom) {
  Engine e;
  const revmodel& r = *e.reverb;
  EXPECT_EQ(r.getwet(), 1.0f / 3.0f);
  EXPECT_FLOAT_EQ(r.getroomsize(), 0.5f);
  EXPECT_EQ(r.getdry(), 0.0f);
  EXPECT_FLOAT_EQ(r.getdamp(), 0.5f);
  EXPECT_EQ(r.getwidth(), 1.0f);
  EXPECT_EQ(r.getcompthreshold(), 1.0f);
  EXPECT_EQ(r.getcompceiling(), 1.0f);
  EXPECT_EQ(r.getmode(), 0.0f);
  EXPECT_EQ(r.getwetdirect(), 1.0f);  // the wet level 1/3 * 3 comes out as exactly 1
  EXPECT_EQ(r.getwetcross(), 0.0f);
  EXPECT_EQ(r.getinputscale(), 0.015f);
  for (int32_t i = 0; i < revmodel::kCombs; ++i) {
    EXPECT_EQ(r.combLeft(i).getfeedback(), 0.84f) << i;
    EXPECT_EQ(r.combRight(i).getfeedback(), 0.84f) << i;
    EXPECT_EQ(r.combLeft(i).getdamp(), 0.2f) << i;
    EXPECT_EQ(r.combRight(i).getdamp(), 0.2f) << i;
  }
}

TEST(Revmodel, SettersScaleTheirValuesWithoutLimitingThem) {
  Engine e;
  revmodel& r = *e.reverb;
  r.setroomsize(1.0f);
  EXPECT_EQ(r.combLeft(3).getfeedback(), 0.98f);
  r.setroomsize(2.0f);
  EXPECT_EQ(r.combRight(7).getfeedback(), 1.26f);
  EXPECT_FLOAT_EQ(r.getroomsize(), 2.0f);
  r.setdamp(1.0f);
  EXPECT_EQ(r.combLeft(0).getdamp(), 0.4f);
  EXPECT_EQ(r.getdamp(), 1.0f);
  r.setdry(0.25f);
  EXPECT_EQ(r.getdry(), 0.25f);
  r.setwet(2.0f);
  EXPECT_EQ(r.getwet(), 2.0f);
  r.setwidth(-25.0f);
  EXPECT_EQ(r.getwidth(), -25.0f);
  EXPECT_EQ(r.getwetdirect(), -72.0f);  // 6 * (-12.5 + 0.5)
  EXPECT_EQ(r.getwetcross(), 78.0f);    // 6 * 13
  r.setwidth(0.0f);
  EXPECT_EQ(r.getwetdirect(), 3.0f);
  EXPECT_EQ(r.getwetcross(), 3.0f);
  r.setcompthreshold(0.25f);
  r.setcompceiling(-3.0f);
  EXPECT_EQ(r.getcompthreshold(), 0.25f);
  EXPECT_EQ(r.getcompceiling(), -3.0f);
}

TEST(Revmodel, EveryRoomModelGivesItsFeedbackAndWetGains) {
  struct Expected {
    float feedback, wetDirect, wetCross;
  };
  const std::array<Expected, kModelCount> expected{{
      {0.956742f, 3.0f, 0.0f},
      {0.7014f, 3.0f, 0.0f},
      {0.84f, 6.0f, -3.0f},
      {0.980028f, 2.7f, 0.3f},
      {0.7f, 1.5f, 1.5f},
      {0.82432f, 4.95f, -1.95f},
      {0.7028f, -6.0f, 9.0f},
      {0.7f, -21.0f, 24.0f},
      {0.756f, -36.0f, 39.0f},
      {0.98f, -10.5f, 13.5f},
  }};
  Engine e;
  revmodel& r = *e.reverb;
  r.setwet(1.0f);
  for (int32_t n = 0; n < kModelCount; ++n) {
    const RoomSettings& room = kRoomModels[static_cast<std::size_t>(n)];
    r.setroomsize(room.roomsize);
    r.setwidth(room.width);
    r.setcompthreshold(room.compthreshold);
    r.setcompceiling(room.compceiling);
    const Expected& want = expected[static_cast<std::size_t>(n)];
    for (int32_t i = 0; i < revmodel::kCombs; ++i) {
      EXPECT_NEAR(r.combLeft(i).getfeedback(), want.feedback, 5e-7) << "model " << n;
      EXPECT_NEAR(r.combRight(i).getfeedback(), want.feedback, 5e-7) << "model " << n;
    }
    EXPECT_FLOAT_EQ(r.getwetdirect(), want.wetDirect) << "model " << n;
    EXPECT_NEAR(r.getwetcross(), want.wetCross, 1e-6) << "model " << n;
  }
}

TEST(Revmodel, FreezingStopsTheInputAndTheLossAndUnfreezingRestoresBoth) {
  Engine e;
  revmodel& r = *e.reverb;
  r.setroomsize(0.3f);
  r.setmode(0.5f);
  EXPECT_EQ(r.getmode(), 1.0f);
  EXPECT_EQ(r.getinputscale(), 0.0f);
  EXPECT_EQ(r.combLeft(2).getfeedback(), 1.0f);
  EXPECT_EQ(r.combRight(2).getdamp(), 0.0f);
  // No input reaches the empty lines while frozen.
  const Channels frozen = e.mix(stereoNoise(4000, 1.0f, 2));
  for (const auto& channel : frozen) {
    for (float s : channel) ASSERT_EQ(s, 0.0f);
  }
  // The brightness cannot bring damping back while frozen.
  e.brightness.setTargetValueUnlocked(0.0f);
  e.mix(silence(16));
  EXPECT_EQ(r.combLeft(0).getdamp(), 0.0f);

  r.setmode(0.25f);
  EXPECT_EQ(r.getmode(), 0.0f);
  EXPECT_EQ(r.getinputscale(), 0.015f);
  EXPECT_EQ(r.combLeft(2).getfeedback(), r.combRight(5).getfeedback());
  EXPECT_FLOAT_EQ(r.combLeft(2).getfeedback(), 0.784f);
  EXPECT_NE(r.combLeft(0).getdamp(), 0.0f);

  r.setmode(std::nanf(""));
  EXPECT_EQ(r.getmode(), 0.0f);
  EXPECT_EQ(r.getinputscale(), 0.015f);
}

TEST(Revmodel, AFrozenTailCirculatesUndiminishedAndMuteLeavesIt) {
  Engine a, b;
  const Channels input = stereoNoise(3000, 0.5f, 3);
  a.mix(input);
  b.mix(input);
  a.reverb->setmode(1.0f);
  b.reverb->setmode(1.0f);
  a.reverb->mute();  // frozen: nothing happens

  constexpr std::size_t kSecond = 44100;
  const Channels tailA = a.mix(silence(10 * kSecond));
  const Channels tailB = b.mix(silence(10 * kSecond));
  EXPECT_EQ(tailA[0], tailB[0]);
  EXPECT_EQ(tailA[1], tailB[1]);
  for (std::size_t ch = 0; ch < 2; ++ch) {
    const double first = rms(tailA[ch], 0, kSecond);
    const double last = rms(tailA[ch], 9 * kSecond, kSecond);
    EXPECT_GT(first, 1e-3);
    EXPECT_NEAR(last / first, 1.0, 0.1) << ch;
  }

  // Unfrozen, the same tail dies away.
  a.reverb->setmode(0.0f);
  const Channels decaying = a.mix(silence(10 * kSecond));
  EXPECT_LT(rms(decaying[0], 9 * kSecond, kSecond), 1e-4 * rms(tailA[0], 0, kSecond));
  // Unfrozen, mute clears every line at once (the lowpass states stay and
  // reach the output only after a full trip round the shortest line).
  b.reverb->setmode(0.0f);
  b.reverb->mute();
  const Channels muted = b.mix(silence(1116));
  for (const auto& channel : muted) {
    for (float s : channel) ASSERT_EQ(s, 0.0f);
  }
}

TEST(Revmodel, BrightnessSetsTheCombDampingOnEveryFrame) {
  Engine e;
  revmodel& r = *e.reverb;
  e.brightness.setTargetValueUnlocked(1.0f);
  SmoothParameter twin(kRamp, 0.5f);
  twin.setTargetValueUnlocked(1.0f);
  const Channels input = stereoNoise(1, 0.5f, 4);
  for (int frame = 0; frame < kRamp; ++frame) {
    e.mix(input);
    twin.tick();
    const float damp = static_cast<float>(static_cast<double>(inverse(twin.getCurrentValue())) *
                                          static_cast<double>(0.4f));
    ASSERT_EQ(r.combLeft(frame % 8).getdamp(), damp) << frame;
    ASSERT_EQ(r.combRight(7 - frame % 8).getdamp(), damp) << frame;
  }
  EXPECT_EQ(r.combLeft(0).getdamp(), 0.0f);  // brightness 1: the lowpass passes all
  EXPECT_EQ(r.getdamp(), 0.0f);

  e.brightness.setTargetValueUnlocked(0.0f);
  e.mix(silence(kRamp));
  EXPECT_EQ(r.combLeft(0).getdamp(), 0.4f);  // brightness 0: the most damping
  EXPECT_EQ(r.getdamp(), 1.0f);
}

TEST(Revmodel, ProcessMixWithoutDepthLeavesTheOutputsAlone) {
  Engine e;
  e.depth.setTargetValueUnlocked(0.0f);
  e.mix(stereoNoise(kRamp, 0.5f, 6));  // the depth glides to 0, the lines fill
  const Channels existing = stereoNoise(5000, 2.0f, 7);
  const Channels out = e.mix(stereoNoise(5000, 1.0f, 8), existing);
  EXPECT_EQ(out[0], existing[0]);
  EXPECT_EQ(out[1], existing[1]);
}

TEST(Revmodel, AStrideOfTwoUsesEveryOtherSample) {
  constexpr std::size_t kFrames = 3000;
  const Channels input = stereoNoise(kFrames, 0.5f, 9);
  Engine plain;
  const Channels expected = plain.replace(input);

  Engine strided;
  Channels wideIn = {std::vector<float>(2 * kFrames, 7.0f), std::vector<float>(2 * kFrames, 7.0f)};
  Channels wideOut = {std::vector<float>(2 * kFrames, 5.0f), std::vector<float>(2 * kFrames, 5.0f)};
  for (std::size_t i = 0; i < kFrames; ++i) {
    wideIn[0][2 * i] = input[0][i];
    wideIn[1][2 * i] = input[1][i];
  }
  strided.reverb->processreplace(wideIn[0].data(), wideIn[1].data(), wideOut[0].data(),
                                 wideOut[1].data(), kFrames, 2, &strided.dry, &strided.depth,
                                 &strided.brightness);
  for (std::size_t i = 0; i < kFrames; ++i) {
    for (std::size_t ch = 0; ch < 2; ++ch) {
      ASSERT_EQ(wideOut[ch][2 * i], expected[ch][i]) << i;
      ASSERT_EQ(wideOut[ch][2 * i + 1], 5.0f) << i;
    }
  }
}

TEST(Revmodel, NoFramesTouchNoSampleAndTickNoSmoother) {
  Engine e;
  e.dry.setTargetValueUnlocked(1.0f);
  float in[2] = {1.0f, 1.0f};
  float out[2] = {3.0f, 4.0f};
  for (int32_t frames : {0, -1, -512}) {
    e.reverb->processreplace(&in[0], &in[1], &out[0], &out[1], frames, 1, &e.dry, &e.depth,
                             &e.brightness);
    e.reverb->processmix(&in[0], &in[1], &out[0], &out[1], frames, 1, &e.dry, &e.depth,
                         &e.brightness);
  }
  EXPECT_EQ(out[0], 3.0f);
  EXPECT_EQ(out[1], 4.0f);
  EXPECT_EQ(e.dry.ticksSinceChange(), 0);
  EXPECT_EQ(e.depth.ticksSinceChange(), 0);
}

TEST(Revmodel, RecoversFromInputLoudEnoughToOverflowTheLines) {
  Engine e;
  revmodel& r = *e.reverb;
  r.setwet(1.0f);
  r.setroomsize(1.0001f);  // the longest-ringing room, widest gains
  r.setwidth(-25.0f);
  r.setcompthreshold(0.00001f);
  r.setcompceiling(0.1f);
  const Channels loud = {std::vector<float>(88200, FLT_MAX), std::vector<float>(88200, FLT_MAX)};
  Channels out = e.mix(loud);
  for (const auto& channel : out) {
    for (float s : channel) ASSERT_TRUE(std::isfinite(s));
  }
  out = e.mix(stereoNoise(88200, 0.5f, 10));
  for (const auto& channel : out) {
    for (float s : channel) ASSERT_TRUE(std::isfinite(s));
  }
  // Lines left holding infinities would make every wet sum non-finite and
  // so silent for ever; cleared, the room still rings.
  EXPECT_GT(rms(out[0], 44100, 44100), 0.0);
  EXPECT_GT(rms(out[1], 44100, 44100), 0.0);
}

}  // namespace
}  // namespace kqfx

namespace kqfx {
namespace {

// Renders blocks of assorted lengths through both process operations, with
// glides of all three controls and long steady stretches, a room change,
// freeze and an overflowing burst, and answers every output sample.
std::vector<float> renderAssortedBlocks(Engine& engine) {
  std::vector<float> all;
  const Channels input = stereoNoise(150000, 0.8f, 21);
  std::size_t start = 0;
  std::size_t block = 3;
  int step = 0;
  while (start + block <= input[0].size()) {
    Channels part = {std::vector<float>(input[0].begin() + static_cast<long>(start),
                                        input[0].begin() + static_cast<long>(start + block)),
                     std::vector<float>(input[1].begin() + static_cast<long>(start),
                                        input[1].begin() + static_cast<long>(start + block))};
    switch (step++) {
      case 1: engine.brightness.setTargetValue(0.9f); break;
      case 3: engine.dry.setTargetValue(0.2f); break;
      case 40: engine.reverb->setroomsize(0.98f); engine.reverb->setwidth(-0.5f); break;
      case 50: engine.depth.setTargetValue(0.3f); break;
      case 150: part[0][0] = FLT_MAX; part[1][0] = -FLT_MAX; break;
      case 200: engine.reverb->setmode(1.0f); break;
      case 260: engine.reverb->setmode(0.0f); break;
      default: break;
    }
    const Channels out = step % 3 == 0 ? engine.mix(part, part) : engine.replace(part);
    all.insert(all.end(), out[0].begin(), out[0].end());
    all.insert(all.end(), out[1].begin(), out[1].end());
    start += block;
    block = block * 5 % 1021 + 1;
  }
  return all;
}

TEST(RevmodelLanePaths, GiveTheScalarOutputBitForBit) {
  Engine scalar;
  scalar.reverb->setLanePath(LanePath::kScalar);
  const std::vector<float> a = renderAssortedBlocks(scalar);
  // The comparison means something only if the reverb sounded.
  EXPECT_GT(rms(a, a.size() / 2, a.size() / 4), 1e-3);
  for (LanePath path : {LanePath::kBaseline, LanePath::kWide}) {
    Engine engine;
    engine.reverb->setLanePath(path);
    if (engine.reverb->lanePath() != path) {
      GTEST_LOG_(INFO) << "the processor has no wide path";
      continue;
    }
    const std::vector<float> b = renderAssortedBlocks(engine);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      ASSERT_EQ(std::bit_cast<uint32_t>(a[i]), std::bit_cast<uint32_t>(b[i]))
          << "path " << static_cast<int>(path) << " sample " << i;
    }
  }
}

}  // namespace
}  // namespace kqfx
