#include "analyze/Response.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "analyze/Fourier.h"

namespace kqfx::command::analyze {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kLowestPlottedHz = 20.0;

double decibels(double magnitude) { return 20.0 * std::log10(std::max(magnitude, 1e-15)); }

std::complex<double> responseAt(const std::vector<double>& impulse, int sampleRate, double hz) {
  // Sum of h[n] e^{-iwn} by a rotating phasor, renormalised now and then
  // so rounding cannot make it drift.
  const double w = 2.0 * kPi * hz / sampleRate;
  const std::complex<double> step = std::polar(1.0, -w);
  std::complex<double> phasor = 1.0, sum = 0.0;
  for (std::size_t n = 0; n < impulse.size(); ++n) {
    sum += impulse[n] * phasor;
    phasor *= step;
    if ((n & 1023) == 1023) phasor = std::polar(1.0, -w * static_cast<double>(n + 1));
  }
  return sum;
}

// Linear interpolation over log frequency of the first crossing of
// `level`, walking from index `from` by `direction`.
std::optional<double> crossing(const FrequencyResponse& r, std::ptrdiff_t from, int direction,
                               double level) {
  const auto size = static_cast<std::ptrdiff_t>(r.frequencyHz.size());
  for (std::ptrdiff_t i = from; i + direction >= 0 && i + direction < size; i += direction) {
    const double a = r.magnitudeDb[static_cast<std::size_t>(i)];
    const double b = r.magnitudeDb[static_cast<std::size_t>(i + direction)];
    if (a >= level && b < level) {
      const double t = (a - level) / (a - b);
      const double la = std::log(r.frequencyHz[static_cast<std::size_t>(i)]);
      const double lb = std::log(r.frequencyHz[static_cast<std::size_t>(i + direction)]);
      return std::exp(la + t * (lb - la));
    }
  }
  return std::nullopt;
}

// Level change per octave from one to two octaves away from the cutoff
// (towards `direction`), when that stays inside 20 Hz .. Nyquist.
std::optional<double> slopeBeyond(const std::vector<double>& impulse, int sampleRate,
                                  double cutoffHz, int direction) {
  const double near = cutoffHz * std::pow(2.0, direction);
  const double far = cutoffHz * std::pow(4.0, direction);
  const double nyquist = sampleRate / 2.0;
  if (std::max(near, far) > nyquist * 0.95 || std::min(near, far) < kLowestPlottedHz) {
    return std::nullopt;
  }
  return magnitudeDbAt(impulse, sampleRate, far) - magnitudeDbAt(impulse, sampleRate, near);
}

}  // namespace

std::vector<float> exponentialSweep(const Sweep& sweep, int sampleRate) {
  const double endHz = sampleRate / 2.0;
  const auto frames = static_cast<std::size_t>(std::llround(sweep.seconds * sampleRate));
  const double rate = std::log(endHz / sweep.startHz);
  const double scale = 2.0 * kPi * sweep.startHz * sweep.seconds / rate;
  const double fadeIn = 1.0 / sweep.startHz / 4.0;  // a quarter of the first period
  const double fadeOut = 0.005;
  std::vector<float> signal(frames);
  for (std::size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / sampleRate;
    double gain = sweep.amplitude;
    if (t < fadeIn) gain *= 0.5 - 0.5 * std::cos(kPi * t / fadeIn);
    const double left = sweep.seconds - t;
    if (left < fadeOut) gain *= 0.5 - 0.5 * std::cos(kPi * left / fadeOut);
    signal[n] = static_cast<float>(gain *
                                   std::sin(scale * (std::exp(t / sweep.seconds * rate) - 1.0)));
  }
  return signal;
}

std::vector<double> deconvolve(const std::vector<float>& excitation,
                               const std::vector<double>& recorded, std::size_t length) {
  const std::size_t n = goodTransformLength(recorded.size() + excitation.size());
  const Spectrum x = forwardTransform(std::vector<double>(excitation.begin(), excitation.end()), n);
  const Spectrum y = forwardTransform(recorded, n);
  double strongest = 0.0;
  for (const auto& bin : x) strongest = std::max(strongest, std::norm(bin));
  // The inverse filter conj(X) / (|X|^2 + e): e keeps the bins the sweep
  // never reaches (below its start) from amplifying noise.
  const double regularisation = strongest * 1e-9;
  Spectrum h(x.size());
  for (std::size_t k = 0; k < x.size(); ++k) {
    h[k] = y[k] * std::conj(x[k]) / (std::norm(x[k]) + regularisation);
  }
  std::vector<double> impulse = inverseTransform(h, n);
  impulse.resize(std::min(length, impulse.size()));
  return impulse;
}

double magnitudeDbAt(const std::vector<double>& impulse, int sampleRate, double hz) {
  return decibels(std::abs(responseAt(impulse, sampleRate, hz)));
}

FrequencyResponse frequencyResponse(const std::vector<double>& impulse, int sampleRate,
                                    int pointsPerOctave) {
  FrequencyResponse response;
  const double nyquist = sampleRate / 2.0;
  for (int i = 0;; ++i) {
    const double hz = kLowestPlottedHz * std::pow(2.0, static_cast<double>(i) / pointsPerOctave);
    if (hz > nyquist) break;
    const std::complex<double> value = responseAt(impulse, sampleRate, hz);
    response.frequencyHz.push_back(hz);
    response.magnitudeDb.push_back(decibels(std::abs(value)));
    response.phaseDegrees.push_back(std::arg(value) * 180.0 / kPi);
  }
  return response;
}

ResponseFigures responseFigures(const FrequencyResponse& response,
                                const std::vector<double>& impulse, int sampleRate) {
  ResponseFigures figures;
  const auto& db = response.magnitudeDb;
  figures.gainAt1kHzDb = magnitudeDbAt(impulse, sampleRate, 1000.0);
  if (db.empty()) return figures;
  const auto peak = std::max_element(db.begin(), db.end());
  figures.peakDb = *peak;
  figures.peakHz = response.frequencyHz[static_cast<std::size_t>(peak - db.begin())];

  // Median of the lowest and of the highest octave.
  const std::size_t octave = std::min<std::size_t>(db.size(), 48);
  auto median = [](std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
  };
  const double low = median(std::vector<double>(db.begin(), db.begin() + static_cast<std::ptrdiff_t>(octave)));
  const double high = median(std::vector<double>(db.end() - static_cast<std::ptrdiff_t>(octave), db.end()));
  const auto last = static_cast<std::ptrdiff_t>(db.size()) - 1;
  const auto peakIndex = peak - db.begin();
  if (figures.peakDb - std::max(low, high) > 20.0) {
    figures.passbandDb = figures.peakDb;
    figures.lowerCutoffHz = crossing(response, peakIndex, -1, figures.peakDb - 3.0);
    figures.upperCutoffHz = crossing(response, peakIndex, +1, figures.peakDb - 3.0);
  } else if (low >= high) {
    figures.passbandDb = low;
    figures.upperCutoffHz = crossing(response, std::max<std::ptrdiff_t>(peakIndex, 0), +1, low - 3.0);
  } else {
    figures.passbandDb = high;
    figures.lowerCutoffHz = crossing(response, std::min(peakIndex, last), -1, high - 3.0);
  }
  if (figures.lowerCutoffHz) {
    figures.lowerSlopeDbPerOctave = slopeBeyond(impulse, sampleRate, *figures.lowerCutoffHz, -1);
  }
  if (figures.upperCutoffHz) {
    figures.upperSlopeDbPerOctave = slopeBeyond(impulse, sampleRate, *figures.upperCutoffHz, +1);
  }
  return figures;
}

}  // namespace kqfx::command::analyze
