#include "analyze/AnalysisFigures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kqfx::command::analyze {
namespace {


Axis frequencyAxis(int sampleRate) { return {"Frequency (Hz)", 20.0, sampleRate / 2.0, true}; }

// A dB range that shows every curve's top and up to `span` dB below it.
Axis levelAxis(std::string label, const std::vector<const std::vector<double>*>& levels, double span) {
  double top = -1e300, bottom = 1e300;
  for (const auto* curve : levels) {
    for (const double v : *curve) {
      if (std::isfinite(v)) {
        top = std::max(top, v);
        bottom = std::min(bottom, v);
      }
    }
  }
  if (top < bottom) return {std::move(label), -60.0, 6.0, false};
  const double hi = std::ceil((top + 1.0) / 6.0) * 6.0;
  const double lo = std::max(std::floor((bottom - 1.0) / 6.0) * 6.0, hi - span);
  return {std::move(label), std::min(lo, hi - 12.0), hi, false};
}

Figure responseFigure(const std::vector<AnalysisCurve>& curves, int rate) {
  Panel magnitude{frequencyAxis(rate), {}, {}, {}};
  Panel phase{frequencyAxis(rate), {"Phase (degrees)", -180.0, 180.0, false, 90.0}, {}, {}};
  std::vector<const std::vector<double>*> levels;
  for (const AnalysisCurve& v : curves) {
    magnitude.series.push_back({v.label, v.response->curve.frequencyHz, v.response->curve.magnitudeDb});
    // Where the level is 100 dB below the peak the phase is only noise: left out.
    std::vector<double> phaseShown = v.response->curve.phaseDegrees;
    for (std::size_t i = 0; i < phaseShown.size(); ++i) {
      if (v.response->curve.magnitudeDb[i] < v.response->figures.peakDb - 100.0) {
        phaseShown[i] = std::numeric_limits<double>::quiet_NaN();
      }
    }
    phase.series.push_back({v.label, v.response->curve.frequencyHz, std::move(phaseShown)});
    levels.push_back(&v.response->curve.magnitudeDb);
  }
  magnitude.y = levelAxis("Magnitude (dB)", levels, 72.0);
  return {"", "", {magnitude, phase}};
}

Figure decayFigure(const std::vector<AnalysisCurve>& curves, int rate) {
  const double seconds = static_cast<double>(curves.front().impulse.size()) / rate;
  Panel impulse{{"Time (s)", 0.0, seconds, false}, {"Amplitude", -1.0, 1.0, false}, {}, {}};
  Panel energy{{"Time (s)", 0.0, seconds, false}, {"Energy left (dB)", -90.0, 0.0, false}, {}, {}};
  Panel bands{{"Octave band (Hz)", 88.0, 11314.0, true}, {"T30 (s)", 0.0, 1.0, false}, {}, {}};
  bands.x.ticks = octaveCentres(rate);
  double loudest = 0.0, longest = 0.0;
  for (const AnalysisCurve& v : curves) {
    // Every fourth sample keeps the files small; the peaks stay visible.
    Series samples{v.label, {}, {}};
    for (std::size_t i = 0; i < v.impulse.size(); i += 4) {
      std::size_t best = i;
      for (std::size_t j = i; j < std::min(i + 4, v.impulse.size()); ++j) {
        if (std::abs(v.impulse[j]) > std::abs(v.impulse[best])) best = j;
      }
      samples.x.push_back(static_cast<double>(best) / rate);
      samples.y.push_back(v.impulse[best]);
      loudest = std::max(loudest, std::abs(v.impulse[best]));
    }
    impulse.series.push_back(std::move(samples));
    const auto decimate = [&](const std::vector<double>& curve, const std::string& label) {
      Series s{label, {}, {}};
      for (std::size_t i = 0; i < curve.size(); i += 16) {
        s.x.push_back(static_cast<double>(i) / rate);
        s.y.push_back(curve[i]);
      }
      return s;
    };
    if (curves.size() == 1) {
      energy.series.push_back(decimate(v.decay->curveDb, "broadband"));
      for (const BandDecay& band : v.decay->bands) {
        energy.series.push_back(decimate(band.curveDb, tickText(band.centreHz) + " Hz"));
      }
    } else {
      energy.series.push_back(decimate(v.decay->curveDb, v.label));
    }
    Series times{v.label, {}, {}};
    times.colour = static_cast<int>(&v - curves.data());
    for (const BandDecay& band : v.decay->bands) {
      const std::optional<double> t = band.times.t30 ? band.times.t30 : band.times.t20;
      if (!t) continue;
      times.x.push_back(band.centreHz);
      times.y.push_back(*t);
      longest = std::max(longest, *t);
    }
    bands.series.push_back(times);
    times.points = true;
    times.label.clear();
    bands.series.push_back(std::move(times));
  }
  // The dots repeat the lines' colours only when each line has one; keep
  // lines alone otherwise.
  if (curves.size() > 1) {
    std::erase_if(bands.series, [](const Series& s) { return s.points; });
  }
  const double peak = loudest > 0.0 ? loudest * 1.1 : 1.0;
  impulse.y = {"Amplitude", -peak, peak, false};
  // The impulse response up to where every curve has lost 60 dB, so its
  // detail shows.
  std::size_t ringing = 0;
  for (const AnalysisCurve& v : curves) {
    const auto quiet = std::find_if(v.decay->curveDb.begin(), v.decay->curveDb.end(),
                                    [](double db) { return db < -60.0; });
    ringing = std::max<std::size_t>(ringing, static_cast<std::size_t>(quiet - v.decay->curveDb.begin()));
  }
  impulse.x.max = std::clamp(static_cast<double>(ringing) * 1.2 / rate, 0.05, seconds);
  bands.y = {"T30 (s)", 0.0, longest > 0.0 ? longest * 1.2 : 1.0, false};
  return {"", "", {impulse, energy, bands}};
}

Figure harmonicsFigure(const std::vector<AnalysisCurve>& curves, int rate) {
  Panel spectrum{frequencyAxis(rate), {"Level (dBFS)", -140.0, 12.0, false}, {}, {}};
  Panel thd{{"Input level (dBFS)", -40.0, 6.0, false}, {"Distortion (%)", 0.001, 100.0, true}, {}, {}};
  double highest = 1.0, lowest = 100.0;
  for (std::size_t index = 0; index < curves.size(); ++index) {
    const AnalysisCurve& v = curves[index];
    spectrum.series.push_back({v.label, v.harmonics->spectrum.frequencyHz, v.harmonics->spectrum.levelDb});
    // THD solid and THD+N dashed, in the colour of their settings.
    Series distortion{(v.label.empty() ? "" : v.label + ": ") + "THD", {}, {}};
    Series noise{(v.label.empty() ? "" : v.label + ": ") + "THD+N", {}, {}};
    distortion.colour = noise.colour = static_cast<int>(index);
    noise.dashed = true;
    for (const LevelPoint& point : v.harmonics->levels) {
      distortion.x.push_back(point.inputDbfs);
      distortion.y.push_back(std::max(point.distortion.thdPercent, 1e-6));
      noise.x.push_back(point.inputDbfs);
      noise.y.push_back(std::max(point.distortion.thdPlusNoisePercent, 1e-6));
      highest = std::max({highest, point.distortion.thdPercent, point.distortion.thdPlusNoisePercent});
      lowest = std::min({lowest, point.distortion.thdPercent, point.distortion.thdPlusNoisePercent});
    }
    thd.series.push_back(std::move(distortion));
    thd.series.push_back(std::move(noise));
  }
  // Room above the highest curve, so one at 100 % stays in sight.
  thd.y.max = highest > 50.0 ? 200.0 : std::pow(10.0, std::ceil(std::log10(highest * 1.2)));
  thd.y.min = std::max(1e-5, std::pow(10.0, std::floor(std::log10(std::max(lowest, 1e-6)))));
  return {"", "", {spectrum, thd}};
}

Figure transferFigure(const std::vector<AnalysisCurve>& curves) {
  double peak = kTransferPeak;
  Panel curve{{"Input (sample value)", -kTransferPeak, kTransferPeak, false}, {}, {}, {}};
  for (const AnalysisCurve& v : curves) {
    curve.series.push_back({v.label, v.transfer->input, v.transfer->output});
    for (const double y : v.transfer->output) peak = std::max(peak, std::abs(y));
  }
  curve.y = {"Output (sample value)", -peak, peak, false};
  return {"", "", {curve}};
}

Figure sweepFigure(const std::vector<AnalysisCurve>& curves, int rate) {
  Figure figure;
  for (const AnalysisCurve& v : curves) {
    const Spectrogram& s = *v.sweep;
    Panel panel{{v.label.empty() ? "Time (s)" : "Time (s) - " + v.label, 0.0,
                 static_cast<double>(s.levelDb.size()) * s.secondsPerColumn, false},
                frequencyAxis(rate), {}, {}};
    panel.y.label = "Frequency (Hz)";
    HeatMap heat{s.secondsPerColumn / 2, s.secondsPerColumn, 0.0, s.hzPerRow, s.levelDb, -110.0, -20.0};
    double top = -200.0;
    for (const auto& column : s.levelDb) {
      for (const double level : column) top = std::max(top, level);
    }
    heat.topDb = top;
    heat.floorDb = top - 90.0;
    panel.heat.push_back(std::move(heat));
    figure.panels.push_back(std::move(panel));
  }
  return figure;
}

}  // namespace

Figure figureOf(const std::string& kind, const std::vector<AnalysisCurve>& curves, int sampleRate) {
  if (kind == "response") return responseFigure(curves, sampleRate);
  if (kind == "decay") return decayFigure(curves, sampleRate);
  if (kind == "harmonics") return harmonicsFigure(curves, sampleRate);
  if (kind == "transfer") return transferFigure(curves);
  return sweepFigure(curves, sampleRate);
}

const char* kindTitle(const std::string& kind) {
  if (kind == "response") return "frequency response";
  if (kind == "decay") return "impulse response and decay (T30 per octave band)";
  if (kind == "harmonics") return "harmonic distortion of a 1 kHz sine (spectrum at -6 dBFS)";
  if (kind == "transfer") return "transfer curve of a 47 Hz sine";
  return "spectrogram of white noise";
}

}  // namespace kqfx::command::analyze
