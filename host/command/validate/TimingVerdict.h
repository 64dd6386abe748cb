#pragma once
// Whether silence costs more than sound, judged from the time of each
// process call in a way a busy machine cannot fool: two instances run
// block for block in turn, one fed sound and one fed silence, so that any
// load on the machine slows both alike; their medians are compared one
// window at a time, so that single slow blocks do not count and a slowdown
// that only sets in as a tail decays is still seen.

#include <cstddef>
#include <string>
#include <vector>

namespace kqfx::command::validate {

struct TimingVerdict {
  bool acceptable = true;
  double soundMedian = 0.0;    // seconds per block in the window judged worst
  double silenceMedian = 0.0;  // the same window's silence
  std::size_t window = 0;      // which one (from 0)
  std::string describe() const;
};

// The median of some timings (0 for none).
double medianOf(std::vector<double> times);

// `soundTimes[i]` and `silenceTimes[i]` are the times of the i-th block of
// each instance. Silence is acceptable when, in every window of
// `windowBlocks` blocks, its median is at most `ratio` times the sound's
// median plus `slackSeconds` (the clock's own jitter on very cheap
// plug-ins). The verdict describes the window with the highest ratio.
TimingVerdict judgeTiming(const std::vector<double>& soundTimes,
                          const std::vector<double>& silenceTimes, std::size_t windowBlocks,
                          double ratio = 1.5, double slackSeconds = 2e-6);

}  // namespace kqfx::command::validate
