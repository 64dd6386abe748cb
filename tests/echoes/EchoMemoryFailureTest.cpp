// Both beat echoes when their delay memory cannot be had: no effect at
// construction (the entry answers null and nothing is left behind), and
// the old memory going on after a suspend that could not make new memory.

#include <gtest/gtest.h>

#include <vector>

#include "Morvane.h"
#include "ScarceMemory.h"
#include "Tallisk.h"
#include "kqfx/framework/PluginEntry.h"

namespace kqfx {
namespace {

using test::ScarceMemory;

intptr_t versionOnly(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == cbVersion ? 2400 : 0;
}

template <class Echo>
struct OnScarceMemory : Echo {
  explicit OnScarceMemory(HostCallback callback) : Echo(callback, ScarceMemory::allocator()) {}
};

// The frames at which the echoes of a unit impulse begin (after the direct
// signal), and whether the right one is the quieter.
struct Echo {
  int64_t frame;
  bool rightQuieter;
  bool operator==(const Echo&) const = default;
};

std::vector<Echo> echoesOfAnImpulse(AEffect* e, int64_t frames) {
  std::vector<Echo> echoes;
  std::vector<float> inL(1024), inR(1024), outL(1024), outR(1024);
  bool silentBefore = true;
  for (int64_t start = 0; start < frames; start += 1024) {
    std::fill(inL.begin(), inL.end(), 0.0f);
    std::fill(inR.begin(), inR.end(), 0.0f);
    if (start == 0) inL[0] = inR[0] = 1.0f;
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    e->processReplacing(e, inputs, outputs, 1024);
    for (std::size_t i = 0; i < 1024; ++i) {
      const int64_t frame = start + static_cast<int64_t>(i);
      const bool silent = outL[i] == 0.0f && outR[i] == 0.0f;
      if (frame >= 2000 && !silent && silentBefore) echoes.push_back({frame, outR[i] < outL[i]});
      silentBefore = silent;
    }
  }
  return echoes;
}

template <class Effect>
class EchoMemoryFailure : public ::testing::Test {};

using Echoes = ::testing::Types<Morvane, Tallisk>;
TYPED_TEST_SUITE(EchoMemoryFailure, Echoes);

TYPED_TEST(EchoMemoryFailure, WithoutMemoryThereIsNoEffectAndNothingLeaks) {
  for (int budget : {0, 1}) {
    ScarceMemory::reset(budget);
    bool outOfMemory = false;
    EXPECT_EQ(createEffect<OnScarceMemory<TypeParam>>(versionOnly, outOfMemory), nullptr);
    EXPECT_EQ(ScarceMemory::made, budget);
    EXPECT_EQ(ScarceMemory::live, 0);
  }
  ScarceMemory::reset(2);
  bool outOfMemory = false;
  AEffect* e = createEffect<OnScarceMemory<TypeParam>>(versionOnly, outOfMemory);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(ScarceMemory::live, 2);
  e->dispatcher(e, opClose, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(ScarceMemory::live, 0);
}

TYPED_TEST(EchoMemoryFailure, ASuspendWithoutNewMemoryGoesOnWithTheOldSilenced) {
  ScarceMemory::reset(2);
  bool outOfMemory = false;
  AEffect* e = createEffect<OnScarceMemory<TypeParam>>(versionOnly, outOfMemory);
  ASSERT_NE(e, nullptr);
  // An impulse goes into the lines, then the rate changes and the new
  // memory cannot be had.
  echoesOfAnImpulse(e, 1024);
  e->dispatcher(e, opSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, opSuspendResume, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, opSuspendResume, 0, 1, nullptr, 0.0f);
  EXPECT_EQ(ScarceMemory::made, 2);
  EXPECT_EQ(ScarceMemory::live, 2);
  // The old impulse is gone; a new one comes back after one beat of the
  // old memory (26460 frames) while the side keeps the new rate's beat, so
  // the right echo is still the quiet one.
  EXPECT_EQ(echoesOfAnImpulse(e, 30000), (std::vector<Echo>{{26460, true}}));
  // With memory again, the next suspend makes it for 48000 Hz.
  ScarceMemory::budget = 2;
  e->dispatcher(e, opSuspendResume, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(ScarceMemory::live, 2);
  EXPECT_EQ(ScarceMemory::made, 4);
  const auto echoes = echoesOfAnImpulse(e, 30000);
  ASSERT_EQ(echoes.size(), 1u);
  EXPECT_EQ(echoes[0].frame, 28800);
  e->dispatcher(e, opClose, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(ScarceMemory::live, 0);
}

}  // namespace
}  // namespace kqfx
