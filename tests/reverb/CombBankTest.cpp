// The side-by-side comb bank against eight separate combs: the same
// samples bit for bit, whatever the lengths, settings and signal, however
// the frames are split into stretches, and after clear().

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "CombBank.h"
#include "comb.h"

namespace kqfx {
namespace {

constexpr std::array<int32_t, CombBank::kCombs> kLengths{7, 3, 11, 5, 13, 2, 17, 9};

class CombBankTest : public ::testing::Test {
 protected:
  CombBankTest() {
    for (std::size_t i = 0; i < CombBank::kCombs; ++i) {
      bankMemory[i].assign(static_cast<std::size_t>(kLengths[i]), 0.0f);
      combMemory[i].assign(static_cast<std::size_t>(kLengths[i]), 0.0f);
      bank.setbuffer(static_cast<int32_t>(i), bankMemory[i].data(), kLengths[i]);
      combs[i].setbuffer(combMemory[i].data(), kLengths[i]);
    }
    set(0.84f, 0.2f);
  }

  void set(float feedback, float damp) {
    bank.setfeedback(feedback);
    bank.setdamp(damp);
    for (comb& c : combs) {
      c.setfeedback(feedback);
      c.setdamp(damp);
    }
  }

  float separately(float input) {
    float sum = 0.0f;
    for (comb& c : combs) sum += c.process(input);
    return sum;
  }

  // Runs the bank over `input` in stretches of at most `longest` frames,
  // each ended early where a line wraps, and compares every frame.
  void expectSameAsSeparateCombs(const std::vector<float>& input, int32_t longest) {
    std::size_t done = 0;
    while (done < input.size()) {
      int32_t stretch = std::min<int32_t>(longest, bank.framesToWrap());
      stretch = std::min<int32_t>(stretch, static_cast<int32_t>(input.size() - done));
      CombBank::Stretch run(bank);
      for (int32_t k = 0; k < stretch; ++k) {
        const float x = input[done + static_cast<std::size_t>(k)];
        const float expected = separately(x);
        const float actual = run.process(x, k);
        ASSERT_EQ(std::bit_cast<uint32_t>(actual), std::bit_cast<uint32_t>(expected))
            << "frame " << done + static_cast<std::size_t>(k);
      }
      run.finish();
      bank.advance(stretch);
      done += static_cast<std::size_t>(stretch);
    }
  }

  std::array<std::vector<float>, CombBank::kCombs> bankMemory;
  std::array<std::vector<float>, CombBank::kCombs> combMemory;
  CombBank bank;
  std::array<comb, CombBank::kCombs> combs;
};

// Noise with values that round differently in float and double, tiny values
// that must be flushed, and silence so that the tails decay into subnormals.
std::vector<float> awkwardSignal() {
  std::vector<float> signal;
  uint32_t state = 12345;
  for (int i = 0; i < 400; ++i) {
    state = state * 1664525u + 1013904223u;
    signal.push_back(static_cast<float>(static_cast<int32_t>(state)) * 0x1p-31f);
  }
  for (float tiny : {1e-39f, -3e-40f, 1.17549435e-38f, -0.0f}) signal.push_back(tiny);
  signal.resize(4000, 0.0f);
  return signal;
}

TEST_F(CombBankTest, AnswersTheSumOfEightCombsBitForBitInAnyStretches) {
  const std::vector<float> signal = awkwardSignal();
  for (int32_t longest : {1, 4, 1000}) {
    expectSameAsSeparateCombs(signal, longest);
  }
  // A feedback above 1 and a damping outside 0..1 as some rooms give.
  set(1.26f, -0.3f);
  expectSameAsSeparateCombs(signal, 6);
  EXPECT_EQ(bank.getfeedback(), 1.26f);
  EXPECT_EQ(bank.getdamp(), -0.3f);
}

TEST_F(CombBankTest, ClearForgetsLinesAndLowpassMuteOnlyTheLines) {
  const std::vector<float> signal = awkwardSignal();
  expectSameAsSeparateCombs(std::vector<float>(signal.begin(), signal.begin() + 300), 1000);
  bank.mute();
  for (comb& c : combs) c.mute();
  expectSameAsSeparateCombs(std::vector<float>(40, 0.0f), 1000);
  expectSameAsSeparateCombs(std::vector<float>(signal.begin(), signal.begin() + 300), 1000);
  bank.clear();
  for (comb& c : combs) c.clear();
  for (const auto& line : bankMemory) {
    for (float cell : line) EXPECT_EQ(cell, 0.0f);
  }
  const std::vector<float> silence(40, 0.0f);
  expectSameAsSeparateCombs(silence, 1000);
  CombBank::Stretch run(bank);
  EXPECT_EQ(run.process(0.0f, 0), 0.0f);
  run.finish();
}

}  // namespace
}  // namespace kqfx
