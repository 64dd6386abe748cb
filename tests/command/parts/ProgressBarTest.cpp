// The progress bar: silent for quick jobs, then redrawn at a bounded rate.
#include <gtest/gtest.h>

#include "ProgressBar.h"

namespace kqfx::command {
namespace {

struct Recorder {
  double now = 100.0;
  std::vector<std::string> drawn;
  ProgressBar bar(const std::string& label) {
    return ProgressBar(
        label, 1000.0, [this](const std::string& text) { drawn.push_back(text); },
        [this] { return now; });
  }
};

TEST(ProgressBar, QuickJobsDrawNothing) {
  Recorder r;
  ProgressBar bar = r.bar("out.wav");
  for (int i = 1; i <= 10; ++i) {
    r.now += 0.099;
    bar.update(i * 100, 1000);
  }
  bar.finish();
  EXPECT_TRUE(r.drawn.empty());
}

TEST(ProgressBar, LongJobsDrawAfterASecondAtMostTenTimesASecondAndEndTheLine) {
  Recorder r;
  ProgressBar bar = r.bar("out.wav");
  r.now += 0.5;
  bar.update(100, 4000);
  r.now += 0.5;
  bar.update(1000, 4000);
  ASSERT_EQ(r.drawn.size(), 1u);
  EXPECT_EQ(r.drawn[0], "\rout.wav [#######.......................]  25%  1.0 s of 4.0 s");
  r.now += 0.05;
  bar.update(1100, 4000);
  EXPECT_EQ(r.drawn.size(), 1u);
  r.now += 0.06;
  bar.update(2000, 4000);
  EXPECT_EQ(r.drawn.size(), 2u);
  r.now += 0.01;
  bar.update(4000, 4000);
  bar.finish();
  ASSERT_EQ(r.drawn.size(), 3u);
  EXPECT_EQ(r.drawn[2], "\rout.wav [##############################] 100%  4.0 s of 4.0 s\n");
  bar.finish();
  EXPECT_EQ(r.drawn.size(), 3u);
}

TEST(ProgressBar, LineWithoutAKnownTotalCountsSeconds) {
  EXPECT_EQ(ProgressBar::line("x", 2500, -1, 1000.0), "\rx  2.5 s");
  EXPECT_EQ(ProgressBar::line("x", 0, 10, 1000.0),
            "\rx [..............................]   0%  0.0 s of 0.0 s");
}

}  // namespace
}  // namespace kqfx::command
