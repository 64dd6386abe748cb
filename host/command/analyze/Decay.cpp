#include "analyze/Decay.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "analyze/Fourier.h"

namespace kqfx::command::analyze {
namespace {

// Seconds per 60 dB from the least-squares line through the curve between
// `from` and `to` dB (measured from where it first drops below `from`).
std::optional<double> fitDecay(const std::vector<double>& curve, int sampleRate, double from,
                               double to) {
  const auto begin = std::find_if(curve.begin(), curve.end(), [&](double v) { return v <= from; });
  const auto below = std::find_if(begin, curve.end(), [&](double v) { return v < to; });
  if (below == curve.end() || !std::isfinite(*below)) return std::nullopt;
  // The first point past `to` is in the fit too, so a curve that drops
  // there in one step still gives a line.
  const auto end = below + 1;
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (auto it = begin; it != end; ++it) {
    const double x = static_cast<double>(it - curve.begin()) / sampleRate;
    n += 1;
    sx += x;
    sy += *it;
    sxx += x * x;
    sxy += x * *it;
  }
  const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  if (!(slope < 0.0)) return std::nullopt;
  return -60.0 / slope;
}

double amplitudeDb(double value) { return 20.0 * std::log10(std::max(std::abs(value), 1e-30)); }

}  // namespace

std::vector<double> energyDecayCurve(const std::vector<double>& impulse) {
  std::vector<double> remaining(impulse.size());
  double sum = 0.0;
  for (std::size_t i = impulse.size(); i-- > 0;) {
    sum += impulse[i] * impulse[i];
    remaining[i] = sum;
  }
  const double total = sum;
  for (double& value : remaining) {
    value = value > 0.0 && total > 0.0 ? 10.0 * std::log10(value / total)
                                       : -std::numeric_limits<double>::infinity();
  }
  return remaining;
}

DecayTimes decayTimes(const std::vector<double>& decayCurveDb, int sampleRate) {
  return {fitDecay(decayCurveDb, sampleRate, -5.0, -25.0),
          fitDecay(decayCurveDb, sampleRate, -5.0, -35.0),
          fitDecay(decayCurveDb, sampleRate, 0.0, -10.0)};
}

std::vector<double> octaveCentres(int sampleRate) {
  std::vector<double> centres;
  for (double centre = 125.0; centre <= 8000.0; centre *= 2.0) {
    if (centre * std::numbers::sqrt2 < sampleRate / 2.0) centres.push_back(centre);
  }
  return centres;
}

std::vector<double> octaveBand(const std::vector<double>& impulse, int sampleRate, double centreHz) {
  // Zero-padded to twice the length so the filter's ringing does not wrap
  // around onto the start.
  const std::size_t n = goodTransformLength(2 * impulse.size());
  Spectrum spectrum = forwardTransform(impulse, n);
  const double halfEdge = 1.0 / 12.0;  // octaves: the edge spans a sixth
  for (std::size_t k = 0; k < spectrum.size(); ++k) {
    const double hz = static_cast<double>(k) * sampleRate / static_cast<double>(n);
    double gain = 0.0;
    if (hz > 0.0) {
      const double distance = std::abs(std::log2(hz / centreHz));  // octaves from the centre
      if (distance <= 0.5 - halfEdge) {
        gain = 1.0;
      } else if (distance < 0.5 + halfEdge) {
        gain = 0.5 + 0.5 * std::cos(std::numbers::pi * (distance - (0.5 - halfEdge)) / (2 * halfEdge));
      }
    }
    spectrum[k] *= gain;
  }
  std::vector<double> band = inverseTransform(spectrum, n);
  band.resize(impulse.size());
  return band;
}

Arrivals findArrivals(const std::vector<double>& impulse, int sampleRate, std::size_t most) {
  Arrivals arrivals;
  if (impulse.empty()) return arrivals;
  double loudest = 0.0;
  for (const double v : impulse) loudest = std::max(loudest, std::abs(v));
  if (loudest <= 0.0) return arrivals;
  auto arrivalAt = [&](std::size_t i) {
    return Arrival{static_cast<int64_t>(i), static_cast<double>(i) / sampleRate,
                   amplitudeDb(impulse[i])};
  };
  std::size_t first = 0;
  while (std::abs(impulse[first]) < loudest * 0.1) ++first;
  // The peak of the direct sound: the largest sample in the next millisecond.
  const auto ms = static_cast<std::size_t>(std::max(1, sampleRate / 1000));
  const auto peakOf = [&](std::size_t from, std::size_t span) {
    std::size_t best = from;
    for (std::size_t i = from; i < std::min(impulse.size(), from + span); ++i) {
      if (std::abs(impulse[i]) > std::abs(impulse[best])) best = i;
    }
    return best;
  };
  const std::size_t direct = peakOf(first, ms);
  arrivals.first = arrivalAt(direct);

  const double floor = loudest * 1e-4;  // -80 dB
  // Prefix sums of energy for the surroundings of each candidate.
  std::vector<double> energy(impulse.size() + 1, 0.0);
  for (std::size_t i = 0; i < impulse.size(); ++i) energy[i + 1] = energy[i] + impulse[i] * impulse[i];
  const std::size_t around = 20 * ms, gap = ms;
  std::size_t i = direct + 2 * ms;
  while (i < impulse.size() && arrivals.echoes.size() < most) {
    const double v = std::abs(impulse[i]);
    if (v < floor) {
      ++i;
      continue;
    }
    const std::size_t peak = peakOf(i > ms ? i - ms : 0, 2 * ms);
    if (peak != i) {
      ++i;
      continue;
    }
    const std::size_t lo = i > around ? i - around : 0, hi = std::min(impulse.size(), i + around);
    const std::size_t innerLo = i > gap ? i - gap : 0, innerHi = std::min(impulse.size(), i + gap);
    const double outside = (energy[hi] - energy[lo]) - (energy[innerHi] - energy[innerLo]);
    const double count = static_cast<double>((hi - lo) - (innerHi - innerLo));
    const double rms = count > 0 ? std::sqrt(outside / count) : 0.0;
    if (v > 10.0 * rms) {
      arrivals.echoes.push_back(arrivalAt(i));
      i += 2 * ms;
    } else {
      ++i;
    }
  }
  return arrivals;
}

}  // namespace kqfx::command::analyze
