// The text and JSON forms of a PluginReport.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "JsonText.h"
#include "ReportText.h"
#include "PluginReport.h"

namespace kqfx::command {
namespace {

std::string hex(int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(value));
  return text;
}

std::string parameterTable(const std::vector<ParameterReport>& parameters) {
  std::vector<std::array<std::string, 5>> rows = {{"index", "name", "value", "text", "label"}};
  for (const ParameterReport& p : parameters) {
    rows.push_back({std::to_string(p.index), p.name, shortest(p.value), p.text, p.label});
  }
  std::array<std::size_t, 5> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string table;
  for (const auto& row : rows) {
    std::string line = "  " + paddedLeft(row[0], widths[0]);
    for (std::size_t c = 1; c < row.size(); ++c) {
      line += "  " + (c + 1 < row.size() ? padded(row[c], widths[c]) : row[c]);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    table += line + "\n";
  }
  return table;
}

}  // namespace

std::string reportText(const PluginReport& r) {
  std::string text = r.name + "  " + r.path + "\n";
  const auto field = [&](const char* label, const std::string& value) {
    text += "  " + padded(label, 12) + value + "\n";
  };
  field("identifier", fourCharText(r.uniqueId) + " (" + hex(r.uniqueId) + ")");
  field("version", std::to_string(r.version));
  if (!r.effectName.empty()) field("effect name", r.effectName);
  if (!r.vendor.empty()) field("vendor", r.vendor);
  if (!r.product.empty()) field("product", r.product);
  field("entry", r.entry);
  const std::vector<std::string> flags = flagNames(r.flags);
  field("flags", (flags.empty() ? std::string("none") : joined(flags, ", ")) + " (" +
                     hex(r.flags) + ")");
  field("inputs", std::to_string(r.inputs));
  field("outputs", std::to_string(r.outputs));
  field("latency", std::to_string(r.initialDelay) + " frames");
  field("programs", std::to_string(r.programs) + " (current: " + std::to_string(r.currentProgram) +
                        " \"" + r.programName + "\")");
  field("parameters", std::to_string(r.parameters.size()));
  if (!r.parameters.empty()) text += "\n" + parameterTable(r.parameters);
  if (!r.settings.empty()) text += "\npreviewed (nothing rendered): " + joined(r.settings, ", ") + "\n";
  return text;
}

std::string reportJson(const PluginReport& r) {
  std::string json = "{\n";
  const auto member = [&](const char* key, const std::string& value, bool last = false) {
    json += "  " + jsonString(key) + ": " + value + (last ? "\n" : ",\n");
  };
  member("name", jsonString(r.name));
  member("format", jsonString("vst2"));
  member("path", jsonString(r.path));
  member("entry", jsonString(r.entry));
  member("uniqueId", jsonString(fourCharText(r.uniqueId)));
  member("uniqueIdNumber", std::to_string(r.uniqueId));
  member("version", std::to_string(r.version));
  member("effectName", jsonString(r.effectName));
  member("vendor", jsonString(r.vendor));
  member("product", jsonString(r.product));
  std::vector<std::string> flags;
  for (const std::string& flag : flagNames(r.flags)) flags.push_back(jsonString(flag));
  member("flags", "[" + joined(flags, ", ") + "]");
  member("flagsNumber", std::to_string(r.flags));
  member("inputs", std::to_string(r.inputs));
  member("outputs", std::to_string(r.outputs));
  member("initialDelay", std::to_string(r.initialDelay));
  member("programs", std::to_string(r.programs));
  member("currentProgram", std::to_string(r.currentProgram));
  member("programName", jsonString(r.programName));
  if (!r.settings.empty()) {
    std::vector<std::string> settings;
    for (const std::string& setting : r.settings) settings.push_back(jsonString(setting));
    member("settings", "[" + joined(settings, ", ") + "]");
  }
  std::string parameters = "[";
  for (const ParameterReport& p : r.parameters) {
    parameters += std::string(p.index == 0 ? "" : ",") + "\n    {\"index\": " +
                  std::to_string(p.index) + ", \"name\": " + jsonString(p.name) +
                  ", \"value\": " + jsonNumber(p.value) + ", \"text\": " + jsonString(p.text) +
                  ", \"label\": " + jsonString(p.label) + "}";
  }
  parameters += r.parameters.empty() ? "]" : "\n  ]";
  member("parameters", parameters, true);
  json += "}\n";
  return json;
}

}  // namespace kqfx::command
