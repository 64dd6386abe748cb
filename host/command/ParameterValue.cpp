#include "ParameterValue.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "CommandErrors.h"
#include "NumberText.h"
#include "kqfx/host/Vst2Plugin.h"

namespace kqfx::command {
namespace {

// Points of 0..1 whose texts are read; between two of them a number is
// then found by halving.
constexpr int kSearchSteps = 2048;
constexpr int kRefineSteps = 30;

std::string folded(const std::string& text) {
  std::string result;
  for (unsigned char c : trimmed(text)) {
    if (!std::isspace(c)) result += static_cast<char>(std::tolower(c));
  }
  return result;
}

struct ShownNumber {
  double number = 0.0;
  std::string unit;  // what follows the number, trimmed; may be empty
};

// "+6 dB", "120bpm", "-3.5": a number first (sign, digits, point), then at
// most a unit of letters and '%'.
std::optional<ShownNumber> shownNumber(const std::string& text) {
  const std::string t = trimmed(text);
  if (t.empty()) return std::nullopt;
  const unsigned char first = static_cast<unsigned char>(t[0]);
  if (!std::isdigit(first) && first != '+' && first != '-' && first != '.') return std::nullopt;
  char* end = nullptr;
  const double number = std::strtod(t.c_str(), &end);
  if (end == t.c_str() || !std::isfinite(number)) return std::nullopt;
  const std::string unit = trimmed(std::string(end));
  for (unsigned char c : unit) {
    if (!std::isalpha(c) && c != '%') return std::nullopt;
  }
  return ShownNumber{number, unit};
}

std::string shownAt(host::PluginInstance& plugin, int32_t index, float value) {
  plugin.setParameter(index, value);
  return trimmed(plugin.parameterDisplay(index));
}

std::optional<double> numberAt(host::PluginInstance& plugin, int32_t index, float value) {
  const std::optional<ShownNumber> shown = shownNumber(shownAt(plugin, index, value));
  return shown ? std::optional<double>(shown->number) : std::nullopt;
}

[[noreturn]] void noSuchValue(host::PluginInstance& plugin, int32_t index,
                              const ParameterArgument& argument, const std::string& command,
                              const std::string& why) {
  throw UsageError(command, "value '" + argument.shown + "' for parameter '" +
                                trimmed(plugin.parameterName(index)) + "': " + why);
}

// The middle of the first run of 0..1 values whose text is `wanted`.
std::optional<float> findName(host::PluginInstance& plugin, int32_t index,
                              const std::string& wanted) {
  int runStart = -1;
  for (int step = 0; step <= kSearchSteps; ++step) {
    const float value = static_cast<float>(step) / kSearchSteps;
    const bool match = folded(shownAt(plugin, index, value)) == wanted;
    if (match && runStart < 0) runStart = step;
    if (!match && runStart >= 0) return static_cast<float>(runStart + step - 1) / 2 / kSearchSteps;
  }
  if (runStart >= 0) return static_cast<float>(runStart + kSearchSteps) / 2 / kSearchSteps;
  return std::nullopt;
}

// The edge, between `inside` (which shows `target`) and `outside`, of the
// values that show `target`.
float edgeOfRun(host::PluginInstance& plugin, int32_t index, float inside, float outside,
                double target) {
  for (int i = 0; i < kRefineSteps; ++i) {
    const float middle = (inside + outside) / 2;
    if (numberAt(plugin, index, middle) == target) {
      inside = middle;
    } else {
      outside = middle;
    }
  }
  return inside;
}

// A shown number is usually rounded: of the values that show it, the one
// in the middle is the number itself for a plug-in whose scale is smooth
// (tempo=120 gives 120 BPM exactly, not 119.97).
float middleOfRun(host::PluginInstance& plugin, int32_t index, float found, double target) {
  constexpr float kReach = 1.0f / kSearchSteps;
  const float low = edgeOfRun(plugin, index, found, std::max(found - kReach, 0.0f), target);
  const float high = edgeOfRun(plugin, index, found, std::min(found + kReach, 1.0f), target);
  return (low + high) / 2;
}

// The 0..1 value whose shown number is nearest `target`: the nearest of
// the search points, then halving between two neighbours that enclose it.
std::optional<float> findNumber(host::PluginInstance& plugin, int32_t index, double target) {
  std::vector<std::optional<double>> numbers;
  numbers.reserve(kSearchSteps + 1);
  std::optional<float> best;
  double bestDistance = 0.0;
  for (int step = 0; step <= kSearchSteps; ++step) {
    const float value = static_cast<float>(step) / kSearchSteps;
    numbers.push_back(numberAt(plugin, index, value));
    if (!numbers.back()) continue;
    const double distance = std::abs(*numbers.back() - target);
    if (!best || distance < bestDistance) {
      best = value;
      bestDistance = distance;
    }
  }
  if (!best || bestDistance == 0.0) return best;
  for (int step = 0; step < kSearchSteps; ++step) {
    const std::optional<double> a = numbers[static_cast<std::size_t>(step)];
    const std::optional<double> b = numbers[static_cast<std::size_t>(step) + 1];
    if (!a || !b || (*a - target) * (*b - target) > 0.0) continue;
    float low = static_cast<float>(step) / kSearchSteps;
    float high = static_cast<float>(step + 1) / kSearchSteps;
    const bool rising = *a <= *b;
    for (int i = 0; i < kRefineSteps; ++i) {
      const float middle = (low + high) / 2;
      const std::optional<double> m = numberAt(plugin, index, middle);
      if (!m) break;
      const double distance = std::abs(*m - target);
      if (distance < bestDistance) {
        best = middle;
        bestDistance = distance;
      }
      if ((*m < target) == rising) {
        low = middle;
      } else {
        high = middle;
      }
    }
    if (bestDistance == 0.0) break;
  }
  if (bestDistance == 0.0) best = middleOfRun(plugin, index, *best, target);
  return best;
}

}  // namespace

std::string trimmed(const std::string& text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && blank(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && blank(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::string settingText(host::PluginInstance& plugin, int32_t index) {
  std::string text = trimmed(plugin.parameterName(index)) + " = " +
                     trimmed(plugin.parameterDisplay(index));
  const std::string label = trimmed(plugin.parameterLabel(index));
  if (!label.empty()) text += " " + label;
  return text;
}

std::string setParameterValue(host::PluginInstance& plugin, int32_t index,
                              const ParameterArgument& argument, const std::string& command) {
  if (argument.value) {
    plugin.setParameter(index, *argument.value);
    return settingText(plugin, index);
  }
  const float before = plugin.getParameter(index);
  std::optional<float> found;
  if (const std::optional<ShownNumber> number = shownNumber(argument.shown)) {
    const std::string label = folded(plugin.parameterLabel(index));
    if (!number->unit.empty() && folded(number->unit) != label) {
      plugin.setParameter(index, before);
      noSuchValue(plugin, index, argument, command,
                  label.empty() ? "the parameter has no unit"
                                : "the parameter is shown in " + trimmed(plugin.parameterLabel(index)));
    }
    found = findNumber(plugin, index, number->number);
    if (!found) {
      plugin.setParameter(index, before);
      noSuchValue(plugin, index, argument, command, "the parameter does not show numbers");
    }
  } else {
    found = findName(plugin, index, folded(argument.shown));
    if (!found) {
      plugin.setParameter(index, before);
      noSuchValue(plugin, index, argument, command,
                  "no setting shows that (a number from 0 to 1, or a value as 'kqfx info' shows it)");
    }
  }
  plugin.setParameter(index, *found);
  return settingText(plugin, index);
}

namespace {

std::string portNumber(float value) {
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", static_cast<double>(value));
  return text;
}

std::string rangeText(const host::ParameterInfo& info) {
  return portNumber(info.minimum) + " to " + portNumber(info.maximum) +
         (info.unit.empty() ? "" : " " + info.unit);
}

[[noreturn]] void noSuchPortValue(const host::ParameterInfo& info, const ParameterArgument& argument,
                                  const std::string& command, const std::string& why) {
  throw UsageError(command, "value '" + argument.shown + "' for parameter '" + info.name + "': " + why);
}

// The port value `argument` asks for, checked against the port.
float portValue(const host::ParameterInfo& info, const ParameterArgument& argument,
                const std::string& command) {
  const std::string wanted = folded(argument.shown);
  for (const host::ScalePoint& point : info.scalePoints) {
    if (folded(point.label) == wanted) return point.value;
  }
  const std::optional<ShownNumber> number = shownNumber(argument.shown);
  if (!number) {
    std::string labels;
    for (const host::ScalePoint& point : info.scalePoints) {
      labels += (labels.empty() ? "" : ", ") + ("'" + point.label + "'");
    }
    noSuchPortValue(info, argument, command,
                    labels.empty() ? "a number is needed (" + rangeText(info) + ")"
                                   : "a number (" + rangeText(info) + ") or one of " + labels +
                                         " is needed");
  }
  if (!number->unit.empty() && folded(number->unit) != folded(info.unit)) {
    noSuchPortValue(info, argument, command,
                    info.unit.empty() ? "the port has no unit" : "the port is in " + info.unit);
  }
  const auto value = static_cast<float>(number->number);
  if (!(value >= info.minimum && value <= info.maximum)) {
    noSuchPortValue(info, argument, command, "outside the port's range, " + rangeText(info));
  }
  if ((info.integer || info.toggled) && value != std::round(value)) {
    noSuchPortValue(info, argument, command, "the port takes whole numbers");
  }
  if (info.enumeration && !info.scalePoints.empty() &&
      std::none_of(info.scalePoints.begin(), info.scalePoints.end(),
                   [&](const host::ScalePoint& point) { return point.value == value; })) {
    std::string labels;
    for (const host::ScalePoint& point : info.scalePoints) {
      labels += (labels.empty() ? "" : ", ") + ("'" + point.label + "' (" + portNumber(point.value) + ")");
    }
    noSuchPortValue(info, argument, command, "the port takes one of " + labels);
  }
  return value;
}

}  // namespace

std::string settingText(host::Plugin& plugin, int32_t index) {
  if (auto* vst2 = dynamic_cast<host::Vst2Plugin*>(&plugin)) return settingText(vst2->instance(), index);
  const host::ParameterInfo& info = plugin.parameterInfo(index);
  return info.name + " = " + plugin.parameterText(index) + (info.unit.empty() ? "" : " " + info.unit);
}

std::string setParameterValue(host::Plugin& plugin, int32_t index,
                              const ParameterArgument& argument, const std::string& command) {
  if (auto* vst2 = dynamic_cast<host::Vst2Plugin*>(&plugin)) {
    return setParameterValue(vst2->instance(), index, argument, command);
  }
  plugin.setParameterValue(index, portValue(plugin.parameterInfo(index), argument, command));
  return settingText(plugin, index);
}

int32_t resolvePluginParameter(host::Plugin& plugin, const std::string& key,
                               const std::string& command) {
  std::vector<std::string> names;
  for (int32_t index = 0; index < plugin.parameterCount(); ++index) {
    names.push_back(plugin.parameterInfo(index).name);
  }
  if (plugin.format() == host::PluginFormat::vst2) return resolveParameter(key, names, command);
  for (int32_t index = 0; index < plugin.parameterCount(); ++index) {
    if (plugin.parameterInfo(index).symbol == key) return index;
  }
  if (const std::optional<long long> port = parseWholeNumber(key)) {
    for (int32_t index = 0; index < plugin.parameterCount(); ++index) {
      if (plugin.parameterInfo(index).port == *port) return index;
    }
    throw UsageError(command, "the plug-in has no control input port " + key +
                                  " ('kqfx info' lists its ports)");
  }
  return resolveParameter(key, names, command);
}

}  // namespace kqfx::command
