// kqfx analyze: runs the measurements for every combination of stepped
// parameter values, draws one image per measurement with a curve per
// combination, and prints the figures.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "CommandErrors.h"
#include "Commands.h"
#include "Interruption.h"
#include "JsonText.h"
#include "PluginChoice.h"
#include "PluginSearch.h"
#include "StandardOutput.h"
#include "analyze/AnalysisFigures.h"
#include "analyze/AnalysisReport.h"

namespace kqfx::command {
namespace {

using namespace analyze;

constexpr std::size_t kMostCurves = 12;

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

}  // namespace

int runAnalyze(const AnalyzeRequest& request) {
  const auto steps = parameterSteps(request.parameters);
  const ChosenPlugin plugin = choosePlugin(request.plugin, SearchEnvironment::fromProcess());
  const ImageFormat format = request.format == "svg" ? ImageFormat::svg : ImageFormat::png;

  std::vector<AnalysisCurve> curves;
  std::vector<std::vector<std::string>> settings;
  PluginDescription description;
  for (const auto& parameters : steps) {
    AnalysisCurve v;
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
    curves.push_back(std::move(v));
  }
  std::vector<std::string> fixed;
  for (std::size_t i = 0; i < request.parameters.size(); ++i) {
    if (request.parameters[i].find(',') == std::string::npos && i < description.settings.size()) {
      fixed.push_back(description.settings[i]);
    }
  }
  const std::string subtitle =
      (fixed.empty() ? std::string(curves.size() > 1 ? "other parameters at their defaults"
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
    for (AnalysisCurve& v : curves) {
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

  // Images are named after the VST 2 file, or the LV2 plug-in's name.
  std::string stem = plugin.format == host::PluginFormat::vst2 ? plugin.path.stem().string() : plugin.name;
  std::replace(stem.begin(), stem.end(), '/', '-');
  // Whether drawing ends well or not.
  struct ReleaseDrawingCaches {
    ~ReleaseDrawingCaches() { releaseDrawingCaches(); }
  } release;
  for (const std::string& kind : request.what) {
    Figure figure = figureOf(kind, curves, request.sampleRate);
    figure.title = description.name + ": " + kindTitle(kind);
    figure.subtitle = subtitle;
    const std::filesystem::path path =
        std::filesystem::path(request.directory) / (stem + "-" + kind + "." + request.format);
    drawFigure(figure, path, format);
    written.push_back(path.string());
  }

  if (request.json) {
    std::string json = "{\"plugin\": " + jsonString(description.name) + ", \"path\": " +
                       jsonString(plugin.path.string()) + ", \"sampleRate\": " +
                       std::to_string(request.sampleRate) + ", \"curves\": [";
    for (std::size_t i = 0; i < curves.size(); ++i) {
      json += (i ? ", " : "") + curveJson(curves[i], settings[i]);
    }
    json += "], \"images\": [";
    for (std::size_t i = 0; i < written.size(); ++i) json += (i ? ", " : "") + jsonString(written[i]);
    printOut(json + "]}\n");
  } else {
    std::string text = description.name + " (" + subtitle + ")\n";
    for (const AnalysisCurve& v : curves) text += curveText(v);
    for (const std::string& path : written) text += "wrote " + path + "\n";
    printOut(text);
  }
  return 0;
}

}  // namespace kqfx::command
