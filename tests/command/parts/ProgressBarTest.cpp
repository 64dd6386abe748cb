// The progress bar: silent for quick jobs, at once for long ones, redrawn at
// a bounded rate, within the terminal's width.
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

TEST(ProgressBar, LongJobsDrawAtOnceAtMostTenTimesASecondAndEndTheLine) {
  Recorder r;
  ProgressBar bar = r.bar("out.wav");
  r.now += 0.01;
  bar.update(10, 4000);  // at this pace, four seconds: drawn at once
  ASSERT_EQ(r.drawn.size(), 1u);
  r.now += 0.99;
  bar.update(1000, 4000);
  ASSERT_EQ(r.drawn.size(), 2u);
  EXPECT_EQ(r.drawn[1], "\rout.wav [#######.......................]  25%  1.0 s of 4.0 s");
  r.now += 0.05;
  bar.update(1100, 4000);
  EXPECT_EQ(r.drawn.size(), 2u);
  r.now += 0.06;
  bar.update(2000, 4000);
  EXPECT_EQ(r.drawn.size(), 3u);
  r.now += 0.01;
  bar.update(4000, 4000);
  bar.finish();
  ASSERT_EQ(r.drawn.size(), 4u);
  EXPECT_EQ(r.drawn[3], "\rout.wav [##############################] 100%  4.0 s of 4.0 s\n");
  bar.finish();
  EXPECT_EQ(r.drawn.size(), 4u);
}

TEST(ProgressBar, FitsTheTerminalNarrowingTheBarThenTheLabel) {
  EXPECT_EQ(ProgressBar::line("out.wav", 1000, 4000, 1000.0, 50),
            "\rout.wav [####..............]  25%  1.0 s of 4.0 s");  // 49 columns
  EXPECT_EQ(ProgressBar::line("a-very-long-name.wav", 1000, 4000, 1000.0, 40),
            "\ra-ver [##........]  25%  1.0 s of 4.0 s");
}

TEST(ProgressBar, LineWithoutAKnownTotalCountsSeconds) {
  EXPECT_EQ(ProgressBar::line("x", 2500, -1, 1000.0), "\rx  2.5 s");
  EXPECT_EQ(ProgressBar::line("x", 0, 10, 1000.0),
            "\rx [..............................]   0%  0.0 s of 0.0 s");
}

}  // namespace
}  // namespace kqfx::command
