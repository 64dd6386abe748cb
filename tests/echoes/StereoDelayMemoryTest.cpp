// The delay memory of the beat echoes: silent when made, reused at the
// same length, kept when new memory cannot be had, and the cursor's wrap.

#include <gtest/gtest.h>

#include "ScarceMemory.h"
#include "kqfx/dsp/StereoDelayMemory.h"

namespace kqfx {
namespace {

using test::ScarceMemory;

// Fills both lines with distinct non-zero samples, cursor back at 0.
void fill(StereoDelayMemory& memory) {
  for (int32_t i = 0; i < memory.length(); ++i) {
    memory.left() = static_cast<float>(i + 1);
    memory.right() = -static_cast<float>(i + 1);
    memory.advance(memory.length());
  }
}

bool isSilent(StereoDelayMemory& memory) {
  bool silent = true;
  for (int32_t i = 0; i < memory.length(); ++i) {
    silent = silent && memory.left() == 0.0f && memory.right() == 0.0f;
    memory.advance(memory.length());
  }
  return silent;
}

TEST(StereoDelayMemory, MakesTwoSilentLinesAndReusesThemAtTheSameLength) {
  ScarceMemory::reset(10);
  {
    StereoDelayMemory memory(ScarceMemory::allocator());
    EXPECT_FALSE(memory.hasMemory());
    ASSERT_TRUE(memory.make(1000));
    EXPECT_EQ(memory.length(), 1000);
    EXPECT_EQ(ScarceMemory::live, 2);
    EXPECT_TRUE(isSilent(memory));
    fill(memory);
    memory.advance(1000);
    ASSERT_TRUE(memory.make(1000));
    EXPECT_EQ(ScarceMemory::made, 2);
    EXPECT_EQ(memory.cursor(), 0);
    EXPECT_TRUE(isSilent(memory));
    ASSERT_TRUE(memory.make(3000));
    EXPECT_EQ(memory.length(), 3000);
    EXPECT_EQ(ScarceMemory::live, 2);
    EXPECT_TRUE(isSilent(memory));
  }
  EXPECT_EQ(ScarceMemory::live, 0);
}

TEST(StereoDelayMemory, KeepsTheOldLinesSilencedWhenNewOnesCannotBeHad) {
  for (int budget : {2, 3}) {
    ScarceMemory::reset(budget);
    StereoDelayMemory memory(ScarceMemory::allocator());
    ASSERT_TRUE(memory.make(8));
    fill(memory);
    memory.advance(8);
    EXPECT_FALSE(memory.make(16)) << budget;
    EXPECT_EQ(ScarceMemory::live, 2) << budget;
    EXPECT_EQ(memory.length(), 8);
    EXPECT_EQ(memory.cursor(), 0);
    EXPECT_TRUE(isSilent(memory));
  }
}

TEST(StereoDelayMemory, WithoutAnyMemoryItSaysSo) {
  for (int budget : {0, 1}) {
    ScarceMemory::reset(budget);
    StereoDelayMemory memory(ScarceMemory::allocator());
    EXPECT_FALSE(memory.make(8));
    EXPECT_FALSE(memory.hasMemory());
    EXPECT_EQ(memory.length(), 0);
    EXPECT_EQ(ScarceMemory::live, 0) << budget;
  }
}

TEST(StereoDelayMemory, HoldsAtLeastOneSample) {
  StereoDelayMemory memory;
  for (int32_t length : {0, -5}) {
    ASSERT_TRUE(memory.make(length));
    EXPECT_EQ(memory.length(), 1);
    EXPECT_EQ(memory.left(), 0.0f);
  }
}

TEST(StereoDelayMemory, TheCursorReturnsToTheStartAtTheDelayLength) {
  StereoDelayMemory memory;
  ASSERT_TRUE(memory.make(8));
  std::vector<int32_t> cursors;
  for (int i = 0; i < 6; ++i) {
    memory.advance(5);
    cursors.push_back(memory.cursor());
  }
  EXPECT_EQ(cursors, (std::vector<int32_t>{1, 2, 3, 4, 0, 1}));
  // A delay that shortens below the cursor sends it back at its next step.
  for (int i = 0; i < 5; ++i) memory.advance(8);
  EXPECT_EQ(memory.cursor(), 6);
  memory.advance(3);
  EXPECT_EQ(memory.cursor(), 0);
  // A delay of nothing keeps the cursor on the first sample.
  memory.advance(0);
  EXPECT_EQ(memory.cursor(), 0);
}

TEST(StereoDelayMemory, TheSamplesUnderTheCursorAreEachLinesOwn) {
  StereoDelayMemory memory;
  ASSERT_TRUE(memory.make(3));
  memory.left() = 1.0f;
  memory.right() = 2.0f;
  memory.advance(3);
  memory.left() = 3.0f;
  memory.advance(3);
  memory.advance(3);
  EXPECT_EQ(memory.left(), 1.0f);
  EXPECT_EQ(memory.right(), 2.0f);
  memory.advance(3);
  EXPECT_EQ(memory.left(), 3.0f);
  EXPECT_EQ(memory.right(), 0.0f);
}

}  // namespace
}  // namespace kqfx
