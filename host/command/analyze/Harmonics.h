#pragma once
// Distortion of a sine: its spectrum, total harmonic distortion (THD) and
// THD plus noise, both relative to the whole output (not to the
// fundamental alone), so a shaper that turns the fundamental into
// harmonics reads near 100 % instead of growing without bound.

#include <vector>

namespace kqfx::command::analyze {

// A sine of `frames` frames at `hz` and `dbfs` (0 dBFS: amplitude 1).
std::vector<float> sineTone(double hz, double dbfs, int sampleRate, std::size_t frames);

struct LevelSpectrum {
  std::vector<double> frequencyHz;
  std::vector<double> levelDb;  // dBFS of a sine at that frequency
};

// The spectrum of `signal` under a four-term Blackman-Harris window,
// scaled so a full-scale sine reads 0 dB.
LevelSpectrum levelSpectrum(const std::vector<double>& signal, int sampleRate);

struct Distortion {
  double fundamentalDb = 0.0;  // level of the fundamental, dBFS
  double thdPercent = 0.0;     // harmonics 2, 3, ... up to the Nyquist frequency
  double thdPlusNoisePercent = 0.0;  // everything but the fundamental and DC (below 10 Hz)
};
Distortion measureDistortion(const std::vector<double>& signal, int sampleRate, double fundamentalHz);

}  // namespace kqfx::command::analyze
