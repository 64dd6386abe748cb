#include "Lv2Report.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "JsonText.h"
#include "ReportText.h"
#include "ParameterValue.h"
#include "kqfx/host/HostError.h"
#include "kqfx/host/Lv2Plugin.h"

namespace kqfx::command {
namespace {

constexpr float kInspectionRate = 44100.0f;
constexpr int32_t kInspectionBlock = 512;

// "integer", "toggled", ... for the properties kqfx reads.
std::vector<std::string> propertyNames(const host::Lv2PortDescription& port) {
  std::vector<std::string> names;
  if (port.integer) names.emplace_back("integer");
  if (port.toggled) names.emplace_back("toggled");
  if (port.enumeration) names.emplace_back("enumeration");
  if (port.logarithmic) names.emplace_back("logarithmic");
  if (port.expensive) names.emplace_back("expensive");
  if (port.notAutomatic) names.emplace_back("not-automatic");
  if (port.strictBounds) names.emplace_back("strict-bounds");
  if (port.connectionOptional) names.emplace_back("connection-optional");
  if (port.reportsLatency) names.emplace_back("reports-latency");
  if (port.sampleRateRelative) names.emplace_back("sample-rate");
  return names;
}

bool isControl(const host::Lv2PortDescription& port) {
  return port.kind == host::Lv2PortKind::control;
}

std::string portTable(const Lv2Report& r) {
  using Row = std::array<std::string, 9>;
  std::vector<Row> rows = {{"index", "symbol", "name", "type", "value", "range", "default", "unit",
                            "scale points"}};
  for (const host::Lv2PortDescription& port : r.description.ports) {
    Row row{std::to_string(port.index), port.symbol, port.name,
            std::string(host::portKindName(port.kind)) + (port.input ? " in" : " out")};
    if (isControl(port)) {
      if (port.index < r.portValues.size()) row[4] = shortest(r.portValues[port.index]);
      row[5] = (port.hasMinimum ? shortest(port.minimum) : "?") + ".." +
               (port.hasMaximum ? shortest(port.maximum) : "?");
      row[6] = port.hasDefault ? shortest(port.defaultValue) : "";
      row[7] = port.unit;
      std::vector<std::string> points;
      for (const host::ScalePoint& point : port.scalePoints) {
        points.push_back(shortest(point.value) + " = " + point.label);
      }
      row[8] = joined(points, ", ");
    }
    rows.push_back(row);
  }
  std::array<std::size_t, 9> widths{};
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string table;
  for (const Row& row : rows) {
    std::string line = "  " + paddedLeft(row[0], widths[0]);
    for (std::size_t c = 1; c < row.size(); ++c) {
      line += "  " + (c == 4 ? paddedLeft(row[c], widths[c]) : padded(row[c], widths[c]));
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    table += line + "\n";
  }
  return table;
}

std::string jsonList(const std::vector<std::string>& texts) {
  std::vector<std::string> quoted;
  for (const std::string& text : texts) quoted.push_back(jsonString(text));
  return "[" + joined(quoted, ", ") + "]";
}

std::string jsonOptionalNumber(bool given, float value) {
  return given ? jsonNumber(value) : "null";
}

}  // namespace

Lv2Report inspectLv2Plugin(host::Lv2World& world, const std::string& uri,
                           const std::vector<ParameterArgument>& preview) {
  Lv2Report report;
  report.description = world.describe(uri);
  report.name = report.description.name.empty() ? uri : report.description.name;
  report.missingFeatures = host::Lv2Plugin::missingFeatures(report.description);
  std::unique_ptr<host::Lv2Plugin> plugin;
  try {
    plugin = std::make_unique<host::Lv2Plugin>(world, uri, kInspectionRate, kInspectionBlock);
  } catch (const host::HostError& error) {
    // The description is still worth showing; a preview needs the instance.
    if (!preview.empty()) throw;
    report.problem = error.what();
    return report;
  }
  // Many plug-ins work their delay out only once they process.
  plugin->activate();
  plugin->run(kInspectionBlock);
  report.latency = plugin->latency();
  plugin->deactivate();
  for (const ParameterArgument& argument : preview) {
    const int32_t index = resolvePluginParameter(*plugin, argument.key, "info");
    report.settings.push_back(setParameterValue(*plugin, index, argument, "info"));
  }
  for (const host::Lv2PortDescription& port : report.description.ports) {
    const float* value = plugin->controlValue(port.index);
    report.portValues.push_back(value ? *value : 0.0f);
  }
  for (int32_t index = 0; index < plugin->parameterCount(); ++index) {
    const host::ParameterInfo& info = plugin->parameterInfo(index);
    report.parameters.push_back({info.port, info.name, plugin->parameterValue(index),
                                 plugin->parameterText(index), info.unit});
  }
  return report;
}

std::string lv2ReportText(const Lv2Report& r) {
  const host::Lv2PluginDescription& d = r.description;
  std::string text = r.name + "  " + d.uri + "\n";
  const auto field = [&](const char* label, const std::string& value) {
    text += "  " + padded(label, 12) + value + "\n";
  };
  field("format", "lv2");
  field("bundle", d.bundlePath);
  field("library", d.libraryPath);
  field("class", d.className.empty() ? "none stated" : d.className + " (" + d.classUri + ")");
  if (!d.author.empty()) field("author", d.author);
  field("required", d.requiredFeatures.empty() ? "none" : joined(d.requiredFeatures, ", "));
  field("optional", d.optionalFeatures.empty() ? "none" : joined(d.optionalFeatures, ", "));
  if (!r.missingFeatures.empty()) field("not given", joined(r.missingFeatures, ", "));
  field("inputs", std::to_string(d.audioInputs));
  field("outputs", std::to_string(d.audioOutputs));
  const std::string latencyPort =
      d.latencyPort < 0 ? " (no latency port)"
                        : " (port " + std::to_string(d.latencyPort) + ", " +
                              d.ports[static_cast<std::size_t>(d.latencyPort)].symbol + ")";
  field("latency", r.problem.empty() ? std::to_string(r.latency) + " frames" + latencyPort
                                     : "unknown" + latencyPort);
  if (!r.problem.empty()) field("instance", "none: " + r.problem);
  field("ports", std::to_string(d.ports.size()));
  if (!d.ports.empty()) text += "\n" + portTable(r);
  if (!r.settings.empty()) text += "\npreviewed (nothing rendered): " + joined(r.settings, ", ") + "\n";
  return text;
}

std::string lv2ReportJson(const Lv2Report& r) {
  const host::Lv2PluginDescription& d = r.description;
  std::string json = "{\n";
  const auto member = [&](const char* key, const std::string& value, bool last = false) {
    json += "  " + jsonString(key) + ": " + value + (last ? "\n" : ",\n");
  };
  member("name", jsonString(r.name));
  member("format", jsonString("lv2"));
  member("uri", jsonString(d.uri));
  member("path", jsonString(d.bundlePath));
  member("library", jsonString(d.libraryPath));
  member("class", jsonString(d.className));
  member("classUri", jsonString(d.classUri));
  member("author", jsonString(d.author));
  member("requiredFeatures", jsonList(d.requiredFeatures));
  member("optionalFeatures", jsonList(d.optionalFeatures));
  member("missingFeatures", jsonList(r.missingFeatures));
  member("problem", jsonString(r.problem));
  member("inputs", std::to_string(d.audioInputs));
  member("outputs", std::to_string(d.audioOutputs));
  member("initialDelay", std::to_string(r.latency));
  member("latencyPort", d.latencyPort < 0 ? "null" : std::to_string(d.latencyPort));
  if (!r.settings.empty()) member("settings", jsonList(r.settings));
  std::string ports = "[";
  for (const host::Lv2PortDescription& p : d.ports) {
    ports += std::string(p.index == 0 ? "" : ",") + "\n    {\"index\": " + std::to_string(p.index) +
             ", \"symbol\": " + jsonString(p.symbol) + ", \"name\": " + jsonString(p.name) +
             ", \"type\": " + jsonString(host::portKindName(p.kind)) +
             ", \"direction\": " + jsonString(p.input ? "input" : "output");
    if (isControl(p)) {
      const float value = p.index < r.portValues.size() ? r.portValues[p.index] : 0.0f;
      ports += ", \"value\": " + (r.problem.empty() ? jsonNumber(value) : std::string("null")) +
               ", \"minimum\": " + jsonOptionalNumber(p.hasMinimum, p.minimum) +
               ", \"maximum\": " + jsonOptionalNumber(p.hasMaximum, p.maximum) +
               ", \"default\": " + jsonOptionalNumber(p.hasDefault, p.defaultValue) +
               ", \"unit\": " + jsonString(p.unit) + ", \"scalePoints\": [";
      for (std::size_t i = 0; i < p.scalePoints.size(); ++i) {
        ports += std::string(i == 0 ? "" : ", ") + "{\"value\": " + jsonNumber(p.scalePoints[i].value) +
                 ", \"label\": " + jsonString(p.scalePoints[i].label) + "}";
      }
      ports += "]";
    }
    ports += ", \"properties\": " + jsonList(propertyNames(p)) + "}";
  }
  ports += d.ports.empty() ? "]" : "\n  ]";
  member("ports", ports);
  std::string parameters = "[";
  for (std::size_t i = 0; i < r.parameters.size(); ++i) {
    const ParameterReport& p = r.parameters[i];
    parameters += std::string(i == 0 ? "" : ",") + "\n    {\"index\": " + std::to_string(p.index) +
                  ", \"name\": " + jsonString(p.name) + ", \"value\": " + jsonNumber(p.value) +
                  ", \"text\": " + jsonString(p.text) + ", \"label\": " + jsonString(p.label) + "}";
  }
  parameters += r.parameters.empty() ? "]" : "\n  ]";
  member("parameters", parameters, true);
  json += "}\n";
  return json;
}

}  // namespace kqfx::command
