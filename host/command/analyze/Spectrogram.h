#pragma once
// Level over time and frequency, for effects that move by themselves.

#include <cstdint>
#include <vector>

namespace kqfx::command::analyze {

// White noise, evenly spread in -amplitude..amplitude, the same for a seed.
std::vector<float> whiteNoise(std::size_t frames, double amplitude, uint64_t seed);

struct Spectrogram {
  double secondsPerColumn = 0.0;
  double hzPerRow = 0.0;
  std::vector<std::vector<double>> levelDb;  // [column][row], row 0 at 0 Hz
  // Spectral centroid of each column, in Hz: how far up the energy sits.
  std::vector<double> centroidHz;
};

// Hann-windowed frames of `frameSize` every `hop` samples.
Spectrogram spectrogram(const std::vector<double>& signal, int sampleRate,
                        std::size_t frameSize = 2048, std::size_t hop = 512);

}  // namespace kqfx::command::analyze
