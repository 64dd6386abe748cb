#include "TimingVerdict.h"

#include <algorithm>
#include <cstdio>

namespace kqfx::command::validate {
namespace {

std::vector<double> slice(const std::vector<double>& times, std::size_t start, std::size_t end) {
  return std::vector<double>(times.begin() + static_cast<std::ptrdiff_t>(start),
                             times.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace

double medianOf(std::vector<double> times) {
  if (times.empty()) return 0.0;
  const std::size_t middle = times.size() / 2;
  std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(middle), times.end());
  return times[middle];
}

TimingVerdict judgeTiming(const std::vector<double>& soundTimes,
                          const std::vector<double>& silenceTimes, std::size_t windowBlocks,
                          double ratio, double slackSeconds) {
  TimingVerdict verdict;
  windowBlocks = std::max<std::size_t>(windowBlocks, 1);
  const std::size_t blocks = std::min(soundTimes.size(), silenceTimes.size());
  double worstExcess = -1.0;
  for (std::size_t start = 0, window = 0; start < blocks; start += windowBlocks, ++window) {
    const std::size_t end = std::min(start + windowBlocks, blocks);
    const double sound = medianOf(slice(soundTimes, start, end));
    const double silence = medianOf(slice(silenceTimes, start, end));
    const double allowed = sound * ratio + slackSeconds;
    const double excess = silence / allowed;
    if (excess > worstExcess) {
      worstExcess = excess;
      verdict.soundMedian = sound;
      verdict.silenceMedian = silence;
      verdict.window = window;
      verdict.acceptable = silence <= allowed;
    }
  }
  return verdict;
}

std::string TimingVerdict::describe() const {
  char text[160];
  std::snprintf(text, sizeof text,
                "%.2f us per block in silence against %.2f us in sound (%.2fx, window %zu)",
                silenceMedian * 1e6, soundMedian * 1e6,
                soundMedian > 0.0 ? silenceMedian / soundMedian : 0.0, window + 1);
  return text;
}

}  // namespace kqfx::command::validate
