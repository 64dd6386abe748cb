// Four allpasses in series: an impulse's first answers in closed form,
// the flush of tiny values, mute, and the same bits as plain filters on
// every lane family, four frames at a time or one frame of two banks side
// by side.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "kqfx/dsp/AllpassBank.h"

namespace kqfx {
namespace {

struct PlainAllpass {
  std::vector<float> line;
  std::size_t position = 0;
  float process(float input, float feedback) {
    float delayed = line[position];
    if ((std::bit_cast<uint32_t>(delayed) & 0x7F800000u) == 0) delayed = 0.0f;
    line[position] = static_cast<float>(static_cast<double>(input) + static_cast<double>(delayed) * feedback);
    position = (position + 1) % line.size();
    return delayed - input;
  }
};

struct Bank {
  explicit Bank(std::array<int32_t, AllpassBank::kAllpasses> lengths, float feedback = 0.5f) {
    for (int32_t i = 0; i < AllpassBank::kAllpasses; ++i) {
      // 3 floats more: partial fours read and write back past a line's end.
      memory[static_cast<std::size_t>(i)].assign(static_cast<std::size_t>(lengths[static_cast<std::size_t>(i)]) + 3, 0.0f);
      bank.setbuffer(i, memory[static_cast<std::size_t>(i)].data(), lengths[static_cast<std::size_t>(i)]);
      bank[i].setfeedback(feedback);
    }
  }
  std::array<std::vector<float>, AllpassBank::kAllpasses> memory;
  AllpassBank bank;
};

// Runs two banks over two signals: four frames of each bank at a time
// where four fit before a wrap of either, else one frame of both at once
// or, when `partial`, the frames left as a partial four of each.
template <class Lanes>
void runPair(Bank& a, Bank& b, const std::vector<float>& inA, const std::vector<float>& inB,
             std::vector<float>& outA, std::vector<float>& outB, bool partial = false) {
  std::size_t done = 0;
  while (done < inA.size()) {
    const int32_t length = std::min({a.bank.framesToWrap(), b.bank.framesToWrap(),
                                     static_cast<int32_t>(inA.size() - done)});
    typename AllpassBank::Run<Lanes> runA(a.bank);
    typename AllpassBank::Run<Lanes> runB(b.bank);
    int32_t k = 0;
    for (; k + 4 <= length; k += 4) {
      const std::size_t at = done + static_cast<std::size_t>(k);
      const auto fourA = runA.processFour(Lanes::load(&inA[at]), k);
      const auto fourB = runB.processFour(Lanes::load(&inB[at]), k);
      for (int t = 0; t < 4; ++t) {
        outA.push_back(Lanes::lane(fourA, t));
        outB.push_back(Lanes::lane(fourB, t));
      }
    }
    if (partial && k < length) {
      const int32_t left = length - k;
      float someA[4] = {};
      float someB[4] = {};
      for (int32_t t = 0; t < left; ++t) {
        someA[t] = inA[done + static_cast<std::size_t>(k + t)];
        someB[t] = inB[done + static_cast<std::size_t>(k + t)];
      }
      const auto partA = runA.processFour(Lanes::load(someA), k, left);
      const auto partB = runB.processFour(Lanes::load(someB), k, left);
      for (int t = 0; t < left; ++t) {
        outA.push_back(Lanes::lane(partA, t));
        outB.push_back(Lanes::lane(partB, t));
      }
      k = length;
    }
    for (; k < length; ++k) {
      const std::size_t at = done + static_cast<std::size_t>(k);
      const auto pair = AllpassBank::Run<Lanes>::processPair(
          runA, runB, Lanes::setFloats(inA[at], inB[at], 0.0f, 0.0f), k);
      outA.push_back(Lanes::lane(pair, 0));
      outB.push_back(Lanes::lane(pair, 1));
    }
    a.bank.advance(length);
    b.bank.advance(length);
    done += static_cast<std::size_t>(length);
  }
}

template <class Lanes>
class AllpassBankLanes : public ::testing::Test {};
using Families = ::testing::Types<ScalarLanes, BaselineLanes>;
TYPED_TEST_SUITE(AllpassBankLanes, Families);

TYPED_TEST(AllpassBankLanes, AnImpulseComesThroughAtOnceThenAtEachLength) {
  // Each filter answers delayed - input: the impulse passes the four
  // with its sign flipped four times, then each line gives it back after
  // its length, and the lines behind pass that on with a flipped sign.
  Bank a({5, 7, 11, 13});
  Bank b({6, 8, 9, 10});
  std::vector<float> in(5, 0.0f);
  in[0] = 1.0f;
  std::vector<float> outA, outB;
  runPair<TypeParam>(a, b, in, std::vector<float>(5, 0.0f), outA, outB);
  EXPECT_EQ(outA, (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(outB, std::vector<float>(5, 0.0f));
  // Frame 5: the first line gives the impulse back (1 - 0), and the three
  // behind flip it three times.
  runPair<TypeParam>(a, b, std::vector<float>(1, 0.0f), std::vector<float>(1, 0.0f), outA, outB);
  EXPECT_EQ(outA.back(), -1.0f);
}

TYPED_TEST(AllpassBankLanes, FlushesTinyDelayedSamplesAndMuteClearsEveryLine) {
  Bank a({5, 6, 7, 8}, 1.0f);
  Bank b({5, 6, 7, 8}, 1.0f);
  std::vector<float> outA, outB;
  std::vector<float> tiny(9, 0.0f);
  tiny[0] = 1e-40f;
  runPair<TypeParam>(a, b, tiny, std::vector<float>(9, 0.0f), outA, outB);
  // Only the input's own pass-through is heard; every delayed copy flushed.
  for (std::size_t t = 1; t < outA.size(); ++t) EXPECT_EQ(std::bit_cast<uint32_t>(outA[t]), 0u) << t;
  runPair<TypeParam>(a, b, {0.5f, 2.0f, 3.0f}, {1.0f, 1.0f, 1.0f}, outA, outB);
  a.bank.mute();
  for (const auto& line : a.memory) {
    for (float cell : line) EXPECT_EQ(cell, 0.0f);
  }
}

TYPED_TEST(AllpassBankLanes, AnswerPlainFiltersBitForBit) {
  constexpr std::array<int32_t, 4> kLeft{556, 441, 341, 225};
  constexpr std::array<int32_t, 4> kRight{579, 464, 364, 248};
  for (const bool partial : {false, true}) {
    Bank a(kLeft);
    Bank b(kRight);
    std::array<std::array<PlainAllpass, 4>, 2> plain;
    for (std::size_t i = 0; i < 4; ++i) {
      plain[0][i].line.assign(static_cast<std::size_t>(kLeft[i]), 0.0f);
      plain[1][i].line.assign(static_cast<std::size_t>(kRight[i]), 0.0f);
    }
    std::array<std::vector<float>, 2> in;
    uint32_t seed = 99;
    for (int i = 0; i < 5000; ++i) {
      for (auto& channel : in) {
        seed = seed * 1664525u + 1013904223u;
        channel.push_back(i % 700 == 3 ? 1e-39f : static_cast<float>(static_cast<int32_t>(seed)) * 0x1p-31f);
      }
    }
    std::vector<float> outA, outB;
    runPair<TypeParam>(a, b, in[0], in[1], outA, outB, partial);
    for (std::size_t t = 0; t < in[0].size(); ++t) {
      float expected[2] = {in[0][t], in[1][t]};
      for (std::size_t ch = 0; ch < 2; ++ch) {
        for (PlainAllpass& f : plain[ch]) expected[ch] = f.process(expected[ch], 0.5f);
      }
      ASSERT_EQ(std::bit_cast<uint32_t>(outA[t]), std::bit_cast<uint32_t>(expected[0])) << t;
      ASSERT_EQ(std::bit_cast<uint32_t>(outB[t]), std::bit_cast<uint32_t>(expected[1])) << t;
    }
    // Past each line's end the cells were written back as they were.
    for (const auto& line : a.memory) EXPECT_EQ(line[line.size() - 1], 0.0f);
  }
}

}  // namespace
}  // namespace kqfx
