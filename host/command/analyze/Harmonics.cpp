#include "analyze/Harmonics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analyze/Fourier.h"

namespace kqfx::command::analyze {
namespace {

std::vector<double> windowed(const std::vector<double>& signal, double& coherentGain) {
  const std::size_t n = signal.size();
  std::vector<double> out(n);
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double x = 2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
    const double w = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) -
                     0.01168 * std::cos(3 * x);
    out[i] = signal[i] * w;
    sum += w;
  }
  coherentGain = sum;
  return out;
}

// The window's main lobe is four bins either side.
constexpr std::size_t kLobe = 5;

}  // namespace

std::vector<float> sineTone(double hz, double dbfs, int sampleRate, std::size_t frames) {
  const double amplitude = std::pow(10.0, dbfs / 20.0);
  std::vector<float> tone(frames);
  for (std::size_t n = 0; n < frames; ++n) {
    tone[n] = static_cast<float>(
        amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / sampleRate));
  }
  return tone;
}

LevelSpectrum levelSpectrum(const std::vector<double>& signal, int sampleRate) {
  double gain = 1.0;
  const Spectrum bins = forwardTransform(windowed(signal, gain), signal.size());
  LevelSpectrum spectrum;
  for (std::size_t k = 1; k < bins.size(); ++k) {
    spectrum.frequencyHz.push_back(static_cast<double>(k) * sampleRate /
                                   static_cast<double>(signal.size()));
    spectrum.levelDb.push_back(20.0 * std::log10(std::max(2.0 * std::abs(bins[k]) / gain, 1e-12)));
  }
  return spectrum;
}

Distortion measureDistortion(const std::vector<double>& signal, int sampleRate, double fundamentalHz) {
  double gain = 1.0;
  const Spectrum bins = forwardTransform(windowed(signal, gain), signal.size());
  const double binHz = static_cast<double>(sampleRate) / static_cast<double>(signal.size());
  auto powerAround = [&](double hz) {
    const auto centre = static_cast<std::size_t>(std::llround(hz / binHz));
    double power = 0.0;
    for (std::size_t k = centre > kLobe ? centre - kLobe : 0; k <= centre + kLobe && k < bins.size(); ++k) {
      power += std::norm(bins[k]);
    }
    return power;
  };
  const double fundamental = powerAround(fundamentalHz);
  double harmonics = 0.0;
  for (double hz = 2 * fundamentalHz; hz + kLobe * binHz < sampleRate / 2.0; hz += fundamentalHz) {
    harmonics += powerAround(hz);
  }
  double total = 0.0;
  const auto lowest = static_cast<std::size_t>(std::ceil(10.0 / binHz)) + kLobe;
  for (std::size_t k = lowest; k < bins.size(); ++k) total += std::norm(bins[k]);
  Distortion result;
  double windowEnergy = 0.0;
  {
    double unused = 0.0;
    const std::vector<double> ones(signal.size(), 1.0);
    for (const double w : windowed(ones, unused)) windowEnergy += w * w;
  }
  // Parseval: the positive-frequency lobe holds N * A^2 / 4 * sum(w^2).
  const double amplitude =
      2.0 * std::sqrt(fundamental / (windowEnergy * static_cast<double>(signal.size())));
  result.fundamentalDb = 20.0 * std::log10(std::max(amplitude, 1e-12));
  if (total > 0.0) {
    result.thdPercent = 100.0 * std::sqrt(std::min(harmonics / total, 1.0));
    result.thdPlusNoisePercent = 100.0 * std::sqrt(std::clamp((total - fundamental) / total, 0.0, 1.0));
  }
  return result;
}

}  // namespace kqfx::command::analyze
