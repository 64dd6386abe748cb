// The two filters of the reverb network on their own: delay, feedback,
// lowpass damping, the flush of tiny values, mute and clear.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "allpass.h"
#include "comb.h"

namespace kqfx {
namespace {

constexpr int32_t kLength = 5;

// Runs `input` through the filter, then silence, for `frames` frames.
template <class Filter>
std::vector<float> respond(Filter& filter, std::vector<float> input, std::size_t frames) {
  input.resize(frames, 0.0f);
  std::vector<float> output;
  for (float x : input) output.push_back(filter.process(x));
  return output;
}

float f(double value) { return static_cast<float>(value); }

class CombTest : public ::testing::Test {
 protected:
  CombTest() : memory(kLength, 0.0f) { filter.setbuffer(memory.data(), kLength); }
  std::vector<float> memory;
  comb filter;
};

TEST_F(CombTest, WithoutDampingEchoesTheImpulseEveryLengthScaledByTheFeedback) {
  filter.setfeedback(0.75f);
  filter.setdamp(0.0f);
  const std::vector<float> out = respond(filter, {1.0f}, 4 * kLength);
  for (std::size_t t = 0; t < out.size(); ++t) {
    const float expected = t == 5 ? 1.0f : t == 10 ? 0.75f : t == 15 ? 0.5625f : 0.0f;
    EXPECT_EQ(out[t], expected) << t;
  }
}

TEST_F(CombTest, DampingSmearsEachEchoThroughTheLowpass) {
  filter.setfeedback(0.5f);
  filter.setdamp(0.4f);
  EXPECT_EQ(filter.getdamp(), 0.4f);
  const float complement = f(1.0 - static_cast<double>(0.4f));
  const std::vector<float> out = respond(filter, {1.0f}, 3 * kLength);
  // Frame 5 reads the impulse; the lowpass holds complement, then decays
  // by 0.4 per frame, and each value returns five frames later at half size.
  EXPECT_EQ(out[5], 1.0f);
  float state = complement;
  EXPECT_EQ(out[10], f(state * 0.5));
  for (std::size_t t = 11; t < 15; ++t) {
    state = f(static_cast<double>(state) * 0.4f);
    EXPECT_EQ(out[t], f(static_cast<double>(state) * 0.5)) << t;
  }
  EXPECT_EQ(out[4], 0.0f);
}

TEST_F(CombTest, FlushesSubnormalDelayedSamplesToPositiveZero) {
  filter.setfeedback(1.0f);
  filter.setdamp(0.0f);
  const std::vector<float> out = respond(filter, {1e-40f, -1e-40f}, 2 * kLength);
  EXPECT_EQ(out[5], 0.0f);
  EXPECT_FALSE(std::signbit(out[6]));
  EXPECT_EQ(out[6], 0.0f);
}

TEST_F(CombTest, FlushesTheLowpassStateOnceItTurnsSubnormal) {
  // A huge feedback makes the lowpass state visible in the line. From frame
  // 5 on the state halves every frame: 5e-38, 2.5e-38, 1.25e-38, and then
  // it would be subnormal, so it becomes 0.
  filter.setfeedback(1e20f);
  filter.setdamp(0.5f);
  const std::vector<float> out = respond(filter, {1e-37f}, 3 * kLength);
  float state = f(static_cast<double>(1e-37f) * 0.5);
  for (std::size_t t = 10; t < 13; ++t) {
    EXPECT_EQ(out[t], f(static_cast<double>(state) * 1e20f)) << t;
    state = f(static_cast<double>(state) * 0.5);
  }
  EXPECT_EQ(out[13], 0.0f);
  EXPECT_EQ(out[14], 0.0f);
}

TEST_F(CombTest, MuteKeepsTheLowpassStateAndClearForgetsIt) {
  filter.setfeedback(0.5f);
  filter.setdamp(0.5f);
  respond(filter, {1.0f}, 6);  // frame 5 read the impulse: the state is 0.5
  filter.mute();
  std::vector<float> out = respond(filter, {}, 6);
  // The next frame decays the surviving state to 0.25 and writes 0.125.
  EXPECT_EQ(out[5], 0.125f);

  filter.clear();
  out = respond(filter, {}, 3 * kLength);
  for (float s : out) EXPECT_EQ(s, 0.0f);
}

TEST(Allpass, AnswersTheDelayedSampleMinusTheInput) {
  std::vector<float> memory(kLength, 0.0f);
  allpass filter;
  filter.setbuffer(memory.data(), kLength);
  filter.setfeedback(0.5f);
  EXPECT_EQ(filter.getfeedback(), 0.5f);
  const std::vector<float> out = respond(filter, {1.0f}, 3 * kLength + 1);
  for (std::size_t t = 0; t < out.size(); ++t) {
    const float expected = t == 0 ? -1.0f : t == 5 ? 1.0f : t == 10 ? 0.5f : t == 15 ? 0.25f : 0.0f;
    EXPECT_EQ(out[t], expected) << t;
  }
}

TEST(Allpass, FlushesSubnormalDelayedSamplesAndMuteClearsTheLine) {
  std::vector<float> memory(kLength, 0.0f);
  allpass filter;
  filter.setbuffer(memory.data(), kLength);
  filter.setfeedback(0.5f);
  std::vector<float> out = respond(filter, {1e-40f}, kLength + 1);
  EXPECT_EQ(out[5], 0.0f);
  respond(filter, {0.0f, 2.0f, 3.0f}, 3);
  filter.mute();
  out = respond(filter, {}, 2 * kLength);
  for (float s : out) EXPECT_EQ(s, 0.0f);
}

}  // namespace
}  // namespace kqfx
