// kqfx analyze: runs the measurements for every combination of stepped
// parameter values, draws one image per measurement with a curve per
// combination, and prints the figures.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

#include "CommandErrors.h"
#include "Commands.h"
#include "Interruption.h"
#include "JsonText.h"
#include "PluginSearch.h"
#include "StandardOutput.h"
#include "analyze/Measurements.h"
#include "analyze/Plot.h"

namespace kqfx::command {
namespace {

using namespace analyze;

constexpr std::size_t kMostCurves = 12;

struct Variant {
  PluginSetup setup;
  std::string label;  // the stepped settings, for the legend
  std::optional<ResponseResult> response;
  std::optional<DecayResult> decay;
  std::vector<double> impulse;
  std::optional<HarmonicsResult> harmonics;
  std::optional<TransferCurve> transfer;
  std::optional<Spectrogram> sweep;
};

// -p NAME=V1,V2 gives one list of arguments per value.
std::vector<std::vector<ParameterArgument>> parameterSteps(const std::vector<std::string>& texts) {
  std::vector<std::vector<ParameterArgument>> combinations(1);
  for (const std::string& text : texts) {
    const std::size_t equals = text.rfind('=');
    if (equals == std::string::npos) {
      throw UsageError("analyze", "-p needs NAME=VALUE, not '" + text + "'");
    }
    std::vector<ParameterArgument> values;
    std::size_t start = equals + 1;
    for (;;) {
      const std::size_t comma = text.find(',', start);
      values.push_back(parseParameterArgument(text.substr(0, equals + 1) +
                                              text.substr(start, comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    std::vector<std::vector<ParameterArgument>> next;
    for (const auto& combination : combinations) {
      for (const ParameterArgument& value : values) {
        next.push_back(combination);
        next.back().push_back(value);
      }
    }
    if (next.size() > kMostCurves) {
      throw UsageError("analyze", "at most " + std::to_string(kMostCurves) +
                                      " curves: step fewer values");
    }
    combinations = std::move(next);
  }
  return combinations;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

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

// ---- figures ----

Axis frequencyAxis(int sampleRate) { return {"Frequency (Hz)", 20.0, sampleRate / 2.0, true}; }

// A dB range that shows every curve's top and up to `span` dB below it.
Axis levelAxis(std::string label, const std::vector<const std::vector<double>*>& curves, double span) {
  double top = -1e300, bottom = 1e300;
  for (const auto* curve : curves) {
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

Figure responseFigure(const std::vector<Variant>& variants, int rate) {
  Panel magnitude{frequencyAxis(rate), {}, {}, {}};
  Panel phase{frequencyAxis(rate), {"Phase (degrees)", -180.0, 180.0, false, 90.0}, {}, {}};
  std::vector<const std::vector<double>*> curves;
  for (const Variant& v : variants) {
    magnitude.series.push_back({v.label, v.response->curve.frequencyHz, v.response->curve.magnitudeDb});
    // Where the level is 100 dB below the peak the phase is only noise: left out.
    std::vector<double> phaseShown = v.response->curve.phaseDegrees;
    for (std::size_t i = 0; i < phaseShown.size(); ++i) {
      if (v.response->curve.magnitudeDb[i] < v.response->figures.peakDb - 100.0) {
        phaseShown[i] = std::numeric_limits<double>::quiet_NaN();
      }
    }
    phase.series.push_back({v.label, v.response->curve.frequencyHz, std::move(phaseShown)});
    curves.push_back(&v.response->curve.magnitudeDb);
  }
  magnitude.y = levelAxis("Magnitude (dB)", curves, 72.0);
  return {"", "", {magnitude, phase}};
}

Figure decayFigure(const std::vector<Variant>& variants, int rate) {
  const double seconds = static_cast<double>(variants.front().impulse.size()) / rate;
  Panel impulse{{"Time (s)", 0.0, seconds, false}, {"Amplitude", -1.0, 1.0, false}, {}, {}};
  Panel energy{{"Time (s)", 0.0, seconds, false}, {"Energy left (dB)", -90.0, 0.0, false}, {}, {}};
  Panel bands{{"Octave band (Hz)", 88.0, 11314.0, true}, {"T30 (s)", 0.0, 1.0, false}, {}, {}};
  bands.x.ticks = octaveCentres(rate);
  double loudest = 0.0, longest = 0.0;
  for (const Variant& v : variants) {
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
    if (variants.size() == 1) {
      energy.series.push_back(decimate(v.decay->curveDb, "broadband"));
      for (const BandDecay& band : v.decay->bands) {
        energy.series.push_back(decimate(band.curveDb, tickText(band.centreHz) + " Hz"));
      }
    } else {
      energy.series.push_back(decimate(v.decay->curveDb, v.label));
    }
    Series times{v.label, {}, {}};
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
  if (variants.size() > 1) {
    std::erase_if(bands.series, [](const Series& s) { return s.points; });
  }
  const double peak = loudest > 0.0 ? loudest * 1.1 : 1.0;
  impulse.y = {"Amplitude", -peak, peak, false};
  // The impulse response up to where every curve has lost 60 dB, so its
  // detail shows.
  std::size_t ringing = 0;
  for (const Variant& v : variants) {
    const auto quiet = std::find_if(v.decay->curveDb.begin(), v.decay->curveDb.end(),
                                    [](double db) { return db < -60.0; });
    ringing = std::max<std::size_t>(ringing, static_cast<std::size_t>(quiet - v.decay->curveDb.begin()));
  }
  impulse.x.max = std::clamp(static_cast<double>(ringing) * 1.2 / rate, 0.05, seconds);
  bands.y = {"T30 (s)", 0.0, longest > 0.0 ? longest * 1.2 : 1.0, false};
  return {"", "", {impulse, energy, bands}};
}

Figure harmonicsFigure(const std::vector<Variant>& variants, int rate) {
  Panel spectrum{frequencyAxis(rate), {"Level (dBFS)", -140.0, 12.0, false}, {}, {}};
  Panel thd{{"Input level (dBFS)", -40.0, 6.0, false}, {"Distortion (%)", 0.001, 100.0, true}, {}, {}};
  double highest = 1.0, lowest = 100.0;
  for (std::size_t index = 0; index < variants.size(); ++index) {
    const Variant& v = variants[index];
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

Figure transferFigure(const std::vector<Variant>& variants) {
  double peak = kTransferPeak;
  Panel curve{{"Input (sample value)", -kTransferPeak, kTransferPeak, false}, {}, {}, {}};
  for (const Variant& v : variants) {
    curve.series.push_back({v.label, v.transfer->input, v.transfer->output});
    for (const double y : v.transfer->output) peak = std::max(peak, std::abs(y));
  }
  curve.y = {"Output (sample value)", -peak, peak, false};
  return {"", "", {curve}};
}

Figure sweepFigure(const std::vector<Variant>& variants, int rate) {
  Figure figure;
  for (const Variant& v : variants) {
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

const char* kindTitle(const std::string& kind) {
  if (kind == "response") return "frequency response";
  if (kind == "decay") return "impulse response and decay (T30 per octave band)";
  if (kind == "harmonics") return "harmonic distortion of a 1 kHz sine (spectrum at -6 dBFS)";
  if (kind == "transfer") return "transfer curve of a 47 Hz sine";
  return "spectrogram of white noise";
}

// ---- figures as text and JSON ----

std::string variantJson(const Variant& v, const std::vector<std::string>& settings) {
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

std::string optionalText(const std::optional<double>& value, const char* format) {
  if (!value) return "none";
  char text[48];
  std::snprintf(text, sizeof text, format, *value);
  return text;
}

std::string variantText(const Variant& v) {
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

}  // namespace

int runAnalyze(const AnalyzeRequest& request) {
  const auto steps = parameterSteps(request.parameters);
  const std::filesystem::path plugin = resolvePlugin(request.plugin, SearchEnvironment::fromProcess());
  const ImageFormat format = request.format == "svg" ? ImageFormat::svg : ImageFormat::png;

  std::vector<Variant> variants;
  std::vector<std::vector<std::string>> settings;
  PluginDescription description;
  for (const auto& parameters : steps) {
    Variant v;
    v.setup = {plugin, parameters, request.sampleRate, 512, true};
    description = describe(v.setup);
    // The legend names what differs between curves: the stepped values.
    std::vector<std::string> stepped;
    for (std::size_t i = 0; i < request.parameters.size(); ++i) {
      if (request.parameters[i].find(',') != std::string::npos && i < description.settings.size()) {
        stepped.push_back(description.settings[i]);
      }
    }
    v.label = joined(stepped);
    settings.push_back(description.settings);
    variants.push_back(std::move(v));
  }
  std::vector<std::string> fixed;
  for (std::size_t i = 0; i < request.parameters.size(); ++i) {
    if (request.parameters[i].find(',') == std::string::npos && i < description.settings.size()) {
      fixed.push_back(description.settings[i]);
    }
  }
  const std::string subtitle =
      (fixed.empty() ? std::string(variants.size() > 1 ? "other parameters at their defaults"
                                                        : "default settings")
                     : joined(fixed)) +
      ", " +
      std::to_string(request.sampleRate) + " Hz";

  std::error_code error;
  std::filesystem::create_directories(request.directory, error);
  if (error) {
    throw CommandFailure("cannot create '" + request.directory + "': " + error.message());
  }

  std::vector<std::string> written;
  const auto wants = [&](const char* kind) {
    return std::find(request.what.begin(), request.what.end(), kind) != request.what.end();
  };
  bool interrupted = false;
  try {
    const InterruptionGuard guard;
    for (Variant& v : variants) {
      const int rate = request.sampleRate;
      if (wants("response") || wants("decay")) {
        v.impulse = measureImpulse(v.setup, wants("decay") ? 8.0 : 2.0);
        if (wants("response")) {
          // The response needs no more than the first two seconds.
          const std::size_t keep = std::min<std::size_t>(v.impulse.size(), 2 * static_cast<std::size_t>(rate));
          v.response = readResponse(std::vector<double>(v.impulse.begin(), v.impulse.begin() + static_cast<std::ptrdiff_t>(keep)), rate);
        }
        if (wants("decay")) v.decay = readDecay(v.impulse, rate);
      }
      if (wants("harmonics")) v.harmonics = measureHarmonics(v.setup);
      if (wants("transfer")) v.transfer = measureTransfer(v.setup);
      if (wants("sweep")) v.sweep = measureSweep(v.setup);
    }
  } catch (const RunInterrupted&) {
    interrupted = true;
  }
  if (interrupted) {
    // The guard is gone: end by the signal, as shells expect.
    printError("kqfx: interrupted; no images were written\n");
    InterruptionGuard::endBySignalReceived();
    return 1;
  }

  const std::string stem = plugin.stem().string();
  for (const std::string& kind : request.what) {
    Figure figure;
    if (kind == "response") figure = responseFigure(variants, request.sampleRate);
    if (kind == "decay") figure = decayFigure(variants, request.sampleRate);
    if (kind == "harmonics") figure = harmonicsFigure(variants, request.sampleRate);
    if (kind == "transfer") figure = transferFigure(variants);
    if (kind == "sweep") figure = sweepFigure(variants, request.sampleRate);
    figure.title = description.name + ": " + kindTitle(kind);
    figure.subtitle = subtitle;
    const std::filesystem::path path =
        std::filesystem::path(request.directory) / (stem + "-" + kind + "." + request.format);
    drawFigure(figure, path, format);
    written.push_back(path.string());
  }

  if (request.json) {
    std::string json = "{\"plugin\": " + jsonString(description.name) + ", \"path\": " +
                       jsonString(plugin.string()) + ", \"sampleRate\": " +
                       std::to_string(request.sampleRate) + ", \"curves\": [";
    for (std::size_t i = 0; i < variants.size(); ++i) {
      json += (i ? ", " : "") + variantJson(variants[i], settings[i]);
    }
    json += "], \"images\": [";
    for (std::size_t i = 0; i < written.size(); ++i) json += (i ? ", " : "") + jsonString(written[i]);
    printOut(json + "]}\n");
  } else {
    std::string text = description.name + " (" + subtitle + ")\n";
    for (const Variant& v : variants) text += variantText(v);
    for (const std::string& path : written) text += "wrote " + path + "\n";
    printOut(text);
  }
  return 0;
}

}  // namespace kqfx::command
