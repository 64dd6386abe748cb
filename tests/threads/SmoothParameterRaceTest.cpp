// A host thread writing targets while the audio thread glides: no data
// race (run under ThreadSanitizer), every value on some glide between the
// written targets, and the last write always wins.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "kqfx/dsp/SmoothParameter.h"

namespace kqfx {
namespace {

TEST(SmoothParameterRace, HostWritesWhileAudioTicks) {
  SmoothParameter p(64, 0.0f);
  std::atomic<bool> writing{true};
  std::thread host([&] {
    for (int i = 0; i < 20000; ++i) p.setTargetValue((i % 2) ? 1.0f : 0.25f);
    p.setTargetValue(0.5f);
    writing = false;
  });
  bool inRange = true;
  while (writing) {
    p.tick();
    const float v = p.getCurrentValue();
    inRange = inRange && v >= 0.0f && v <= 1.0f;
    (void)p.getTargetValue();
  }
  host.join();
  EXPECT_TRUE(inRange);
  for (int i = 0; i < 64; ++i) p.tick();
  EXPECT_EQ(p.getCurrentValue(), 0.5f);
  EXPECT_EQ(p.getTargetValue(), 0.5f);
}

TEST(SmoothParameterRace, TwoHostThreadsNeverLoseTheLastWord) {
  SmoothParameter p(0, 0.0f);
  std::thread a([&] {
    for (int i = 0; i < 10000; ++i) p.setTargetValue(0.1f);
  });
  std::thread b([&] {
    for (int i = 0; i < 10000; ++i) p.setTargetValue(0.2f);
  });
  for (int i = 0; i < 10000; ++i) p.tick();
  a.join();
  b.join();
  const float last = p.getTargetValue();
  EXPECT_TRUE(last == 0.1f || last == 0.2f);
  p.tick();
  EXPECT_EQ(p.getCurrentValue(), last);
}

}  // namespace
}  // namespace kqfx
