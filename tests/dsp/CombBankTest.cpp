// The eight-comb bank: echoes at each line's length scaled by the
// feedback, the lowpass damping, the flush of tiny values, mute against
// clear, and the same bits as eight plain combs on every lane family,
// however the frames are split into runs of one and four.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kqfx/dsp/CombBank.h"

namespace kqfx {
namespace {

// One comb as plain arithmetic, the bank's lanes' definition.
struct PlainComb {
  std::vector<float> line;
  std::size_t position = 0;
  float state = 0.0f;
  static float flush(float x) { return (std::bit_cast<uint32_t>(x) & 0x7F800000u) == 0 ? 0.0f : x; }
  float process(float input, float feedback, float damp) {
    const float delayed = flush(line[position]);
    const double complement = static_cast<float>(1.0 - static_cast<double>(damp));
    state = flush(static_cast<float>(delayed * complement + static_cast<double>(state) * damp));
    line[position] = static_cast<float>(static_cast<double>(input) + static_cast<double>(state) * feedback);
    position = (position + 1) % line.size();
    return delayed;
  }
};

class Bank {
 public:
  explicit Bank(std::array<int32_t, CombBank::kCombs> lengths) {
    for (std::size_t i = 0; i < CombBank::kCombs; ++i) {
      // 3 floats more: partial fours read and write back past a line's end.
      memory[i].assign(static_cast<std::size_t>(lengths[i]) + 3, 0.0f);
      bank.setbuffer(static_cast<int32_t>(i), memory[i].data(), lengths[i]);
    }
  }

  // Runs `input` in runs of at most `longest` frames, four at a time
  // where four fit, the rest one by one or, with an even `longest`, as a
  // partial four; answers the sums.
  template <class Lanes>
  std::vector<float> run(const std::vector<float>& input, int32_t longest) {
    std::vector<float> out;
    std::size_t done = 0;
    while (done < input.size()) {
      const int32_t length = std::min({longest, bank.framesToWrap(),
                                       static_cast<int32_t>(input.size() - done)});
      CombBank::Run<Lanes> run(bank);
      int32_t k = 0;
      for (; k + 4 <= length; k += 4) {
        const auto four = run.processFour(Lanes::load(&input[done + static_cast<std::size_t>(k)]),
                                          k, [](std::size_t) {});
        for (int t = 0; t < 4; ++t) out.push_back(Lanes::lane(four, t));
      }
      if (k < length && longest % 2 == 0) {
        const int32_t left = length - k;
        float some[4] = {};
        for (int32_t t = 0; t < left; ++t) some[t] = input[done + static_cast<std::size_t>(k + t)];
        const auto part = run.processFour(Lanes::load(some), k, [](std::size_t) {}, left);
        for (int t = 0; t < left; ++t) out.push_back(Lanes::lane(part, t));
        k = length;
      }
      for (; k < length; ++k) out.push_back(run.process(input[done + static_cast<std::size_t>(k)], k));
      run.finish();
      bank.advance(length);
      done += static_cast<std::size_t>(length);
    }
    return out;
  }

  std::array<std::vector<float>, CombBank::kCombs> memory;
  CombBank bank;
};

std::vector<float> impulse(std::size_t frames, float height = 1.0f) {
  std::vector<float> signal(frames, 0.0f);
  signal[0] = height;
  return signal;
}

template <class Lanes>
class CombBankLanes : public ::testing::Test {};
using Families = ::testing::Types<ScalarLanes, BaselineLanes>;
TYPED_TEST_SUITE(CombBankLanes, Families);

TYPED_TEST(CombBankLanes, EachLineEchoesAtMultiplesOfItsLengthScaledByTheFeedback) {
  Bank b({5, 7, 11, 13, 17, 19, 23, 29});
  b.bank.setfeedback(0.5f);
  b.bank.setdamp(0.0f);
  const std::vector<float> out = b.run<TypeParam>(impulse(200), 9);
  for (std::size_t t = 0; t < out.size(); ++t) {
    double expected = 0.0;
    for (int length : {5, 7, 11, 13, 17, 19, 23, 29}) {
      if (t > 0 && t % length == 0) expected += std::ldexp(1.0, -static_cast<int>(t / length - 1));
    }
    EXPECT_EQ(out[t], static_cast<float>(expected)) << t;
  }
}

TYPED_TEST(CombBankLanes, DampingSmearsEachEchoAndTinyValuesFlushToPositiveZero) {
  // Only the first line comes round within the frames looked at.
  Bank b({5, 64, 64, 64, 64, 64, 64, 64});
  b.bank.setfeedback(0.5f);
  b.bank.setdamp(0.4f);
  EXPECT_EQ(b.bank.getdamp(), 0.4f);
  const float complement = static_cast<float>(1.0 - static_cast<double>(0.4f));
  EXPECT_EQ(b.bank.getdampcomplement(), complement);
  std::vector<float> out = b.run<TypeParam>(impulse(15), 100);
  // Frame 5 reads the impulse; the lowpass holds the complement, then
  // decays by 0.4 per frame, and each value returns five frames later at
  // half size.
  EXPECT_EQ(out[5], 1.0f);
  EXPECT_EQ(out[4], 0.0f);
  float state = complement;
  for (std::size_t t = 10; t < 15; ++t) {
    EXPECT_EQ(out[t], static_cast<float>(static_cast<double>(state) * 0.5)) << t;
    state = static_cast<float>(static_cast<double>(state) * static_cast<double>(0.4f));
  }

  Bank tiny({5, 5, 5, 5, 5, 5, 5, 5});
  tiny.bank.setfeedback(1.0f);
  tiny.bank.setdamp(0.0f);
  out = tiny.run<TypeParam>({1e-40f, -1e-40f, 0, 0, 0, 0, 0, 0, 0, 0}, 100);
  EXPECT_EQ(std::bit_cast<uint32_t>(out[5]), 0u);
  EXPECT_EQ(std::bit_cast<uint32_t>(out[6]), 0u);
}

TYPED_TEST(CombBankLanes, MuteKeepsTheLowpassStatesAndClearForgetsThem) {
  Bank b({5, 6, 7, 8, 9, 10, 11, 12});
  b.bank.setfeedback(0.5f);
  b.bank.setdamp(0.5f);
  b.run<TypeParam>(impulse(13), 100);  // every line has read the impulse
  b.bank.mute();
  for (const auto& line : b.memory) {
    for (float cell : line) EXPECT_EQ(cell, 0.0f);
  }
  // The surviving states keep writing: the sum is no longer silent.
  std::vector<float> out = b.run<TypeParam>(std::vector<float>(30, 0.0f), 100);
  EXPECT_NE(out[12], 0.0f);
  b.bank.clear();
  out = b.run<TypeParam>(std::vector<float>(60, 0.0f), 100);
  for (float s : out) EXPECT_EQ(s, 0.0f);
}

TYPED_TEST(CombBankLanes, AnswersTheSumOfEightPlainCombsBitForBitInAnyRuns) {
  constexpr std::array<int32_t, CombBank::kCombs> kLengths{7, 6, 11, 5, 13, 9, 17, 8};
  std::vector<float> signal;
  uint32_t seed = 12345;
  for (int i = 0; i < 400; ++i) {
    seed = seed * 1664525u + 1013904223u;
    signal.push_back(static_cast<float>(static_cast<int32_t>(seed)) * 0x1p-31f);
  }
  for (float tiny : {1e-39f, -3e-40f, 1.17549435e-38f, -0.0f}) signal.push_back(tiny);
  signal.resize(3000, 0.0f);
  // A feedback above 1 and a damping outside 0..1 as some rooms give.
  for (const auto& [feedback, damp] : {std::pair{0.84f, 0.2f}, std::pair{1.26f, -0.3f}}) {
    for (int32_t longest : {1, 4, 6, 1000}) {
      Bank b(kLengths);
      b.bank.setfeedback(feedback);
      b.bank.setdamp(damp);
      std::array<PlainComb, CombBank::kCombs> plain;
      for (std::size_t i = 0; i < plain.size(); ++i) plain[i].line.assign(static_cast<std::size_t>(kLengths[i]), 0.0f);
      const std::vector<float> out = b.run<TypeParam>(signal, longest);
      for (std::size_t t = 0; t < signal.size(); ++t) {
        float sum = 0.0f;
        for (PlainComb& c : plain) sum += c.process(signal[t], feedback, damp);
        ASSERT_EQ(std::bit_cast<uint32_t>(out[t]), std::bit_cast<uint32_t>(sum))
            << "frame " << t << " runs of " << longest;
      }
    }
  }
}

}  // namespace
}  // namespace kqfx
