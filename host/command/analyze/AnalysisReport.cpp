#include "analyze/AnalysisReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "JsonText.h"

namespace kqfx::command::analyze {
namespace {

std::string number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[40];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}
std::string number(const std::optional<double>& value) { return value ? number(*value) : "null"; }

std::string arrivalJson(const Arrival& arrival) {
  return "{\"sample\": " + std::to_string(arrival.sample) + ", \"seconds\": " +
         number(arrival.seconds) + ", \"levelDb\": " + number(arrival.levelDb) + "}";
}

std::string timesJson(const DecayTimes& times) {
  return "\"t20\": " + number(times.t20) + ", \"t30\": " + number(times.t30) +
         ", \"edt\": " + number(times.earlyDecayTime);
}

std::string optionalText(const std::optional<double>& value, const char* format) {
  if (!value) return "none";
  char text[48];
  std::snprintf(text, sizeof text, format, *value);
  return text;
}

}  // namespace

std::string curveJson(const AnalysisCurve& v, const std::vector<std::string>& settings) {
  std::string json = "{\"settings\": [";
  for (std::size_t i = 0; i < settings.size(); ++i) json += (i ? ", " : "") + jsonString(settings[i]);
  json += "]";
  if (v.response) {
    const ResponseFigures& f = v.response->figures;
    json += ", \"response\": {\"gainAt1kHzDb\": " + number(f.gainAt1kHzDb) +
            ", \"passbandDb\": " + number(f.passbandDb) + ", \"lowerCutoffHz\": " +
            number(f.lowerCutoffHz) + ", \"upperCutoffHz\": " + number(f.upperCutoffHz) +
            ", \"lowerSlopeDbPerOctave\": " + number(f.lowerSlopeDbPerOctave) +
            ", \"upperSlopeDbPerOctave\": " + number(f.upperSlopeDbPerOctave) +
            ", \"peakDb\": " + number(f.peakDb) + ", \"peakHz\": " + number(f.peakHz) + "}";
  }
  if (v.decay) {
    const DecayResult& d = *v.decay;
    json += ", \"decay\": {" + timesJson(d.times) + ", \"firstArrival\": " +
            (d.arrivals.first ? arrivalJson(*d.arrivals.first) : "null") + ", \"echoes\": [";
    for (std::size_t i = 0; i < d.arrivals.echoes.size(); ++i) {
      json += (i ? ", " : "") + arrivalJson(d.arrivals.echoes[i]);
    }
    json += "], \"bands\": [";
    for (std::size_t i = 0; i < d.bands.size(); ++i) {
      json += std::string(i ? ", " : "") + "{\"centreHz\": " + number(d.bands[i].centreHz) + ", " +
              timesJson(d.bands[i].times) + "}";
    }
    json += "]}";
  }
  if (v.harmonics) {
    json += ", \"harmonics\": [";
    for (std::size_t i = 0; i < v.harmonics->levels.size(); ++i) {
      const LevelPoint& p = v.harmonics->levels[i];
      json += std::string(i ? ", " : "") + "{\"inputDbfs\": " + number(p.inputDbfs) +
              ", \"fundamentalDbfs\": " + number(p.distortion.fundamentalDb) +
              ", \"thdPercent\": " + number(p.distortion.thdPercent) +
              ", \"thdPlusNoisePercent\": " + number(p.distortion.thdPlusNoisePercent) + "}";
    }
    json += "]";
  }
  if (v.transfer) {
    // The curve at every tenth point: enough to read it back.
    json += ", \"transfer\": [";
    for (std::size_t i = 0; i < v.transfer->input.size(); i += 10) {
      json += std::string(i ? ", " : "") + "[" + number(v.transfer->input[i]) + ", " +
              number(v.transfer->output[i]) + "]";
    }
    json += "]";
  }
  if (v.sweep && !v.sweep->centroidHz.empty()) {
    const auto [low, high] = std::minmax_element(v.sweep->centroidHz.begin(), v.sweep->centroidHz.end());
    json += ", \"sweep\": {\"centroidLowestHz\": " + number(*low) +
            ", \"centroidHighestHz\": " + number(*high) + "}";
  }
  return json + "}";
}

std::string curveText(const AnalysisCurve& v) {
  std::string text = v.label.empty() ? "" : v.label + "\n";
  char line[256];
  if (v.response) {
    const ResponseFigures& f = v.response->figures;
    std::snprintf(line, sizeof line,
                  "  response: %.2f dB at 1 kHz; -3 dB at %s (low) and %s (high); slopes %s and "
                  "%s; peak %.2f dB at %.0f Hz\n",
                  f.gainAt1kHzDb, optionalText(f.lowerCutoffHz, "%.1f Hz").c_str(),
                  optionalText(f.upperCutoffHz, "%.1f Hz").c_str(),
                  optionalText(f.lowerSlopeDbPerOctave, "%.1f dB/oct").c_str(),
                  optionalText(f.upperSlopeDbPerOctave, "%.1f dB/oct").c_str(), f.peakDb, f.peakHz);
    text += line;
  }
  if (v.decay) {
    const DecayResult& d = *v.decay;
    std::snprintf(line, sizeof line, "  decay: T20 %s, T30 %s, EDT %s; first arrival %s\n",
                  optionalText(d.times.t20, "%.3f s").c_str(),
                  optionalText(d.times.t30, "%.3f s").c_str(),
                  optionalText(d.times.earlyDecayTime, "%.3f s").c_str(),
                  d.arrivals.first ? optionalText(d.arrivals.first->seconds * 1000.0, "%.2f ms").c_str()
                                   : "none");
    text += line;
    for (const Arrival& echo : d.arrivals.echoes) {
      std::snprintf(line, sizeof line, "    echo at %.2f ms, %.2f dB\n", echo.seconds * 1000.0,
                    echo.levelDb);
      text += line;
    }
    for (const BandDecay& band : d.bands) {
      std::snprintf(line, sizeof line, "    %5.0f Hz: T30 %s\n", band.centreHz,
                    optionalText(band.times.t30, "%.3f s").c_str());
      text += line;
    }
  }
  if (v.harmonics) {
    for (const LevelPoint& p : v.harmonics->levels) {
      if (static_cast<int>(p.inputDbfs) % 6 != 0) continue;
      std::snprintf(line, sizeof line, "  harmonics at %+3.0f dBFS: THD %.4f %%, THD+N %.4f %%\n",
                    p.inputDbfs, p.distortion.thdPercent, p.distortion.thdPlusNoisePercent);
      text += line;
    }
  }
  return text;
}

}  // namespace kqfx::command::analyze
