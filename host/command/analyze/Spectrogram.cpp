#include "analyze/Spectrogram.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "analyze/Fourier.h"

namespace kqfx::command::analyze {

std::vector<float> whiteNoise(std::size_t frames, double amplitude, uint64_t seed) {
  std::mt19937_64 generator(seed);
  std::vector<float> noise(frames);
  for (float& sample : noise) {
    // The top 53 bits as a fraction: the same on every platform.
    const double unit = static_cast<double>(generator() >> 11) * 0x1.0p-53;
    sample = static_cast<float>(amplitude * (2.0 * unit - 1.0));
  }
  return noise;
}

Spectrogram spectrogram(const std::vector<double>& signal, int sampleRate, std::size_t frameSize,
                        std::size_t hop) {
  Spectrogram result;
  result.secondsPerColumn = static_cast<double>(hop) / sampleRate;
  result.hzPerRow = static_cast<double>(sampleRate) / static_cast<double>(frameSize);
  std::vector<double> window(frameSize);
  double gain = 0.0;
  for (std::size_t i = 0; i < frameSize; ++i) {
    window[i] = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                     static_cast<double>(frameSize));
    gain += window[i];
  }
  std::vector<double> frame(frameSize);
  for (std::size_t start = 0; start + frameSize <= signal.size(); start += hop) {
    for (std::size_t i = 0; i < frameSize; ++i) frame[i] = signal[start + i] * window[i];
    const Spectrum bins = forwardTransform(frame, frameSize);
    std::vector<double> column(bins.size());
    double weighted = 0.0, total = 0.0;
    for (std::size_t k = 0; k < bins.size(); ++k) {
      const double magnitude = 2.0 * std::abs(bins[k]) / gain;
      column[k] = 20.0 * std::log10(std::max(magnitude, 1e-12));
      weighted += magnitude * magnitude * static_cast<double>(k) * result.hzPerRow;
      total += magnitude * magnitude;
    }
    result.levelDb.push_back(std::move(column));
    result.centroidHz.push_back(total > 0.0 ? weighted / total : 0.0);
  }
  return result;
}

}  // namespace kqfx::command::analyze
