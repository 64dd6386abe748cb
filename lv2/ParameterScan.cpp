#include "ParameterScan.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "PortLaw.h"

namespace kqfx::lv2 {
namespace {

// More distinct texts than this over the grid: a continuous parameter.
constexpr std::size_t kMostSteps = 1024;

std::string symbolOf(const std::string& name) {
  std::string symbol;
  bool gap = false;
  for (char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      if (gap && !symbol.empty()) symbol += '_';
      symbol += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      gap = false;
    } else {
      gap = true;
    }
  }
  if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol[0]))) symbol = "p_" + symbol;
  return symbol;
}

std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", value);
  return text;
}

float gridValue(int32_t k) { return static_cast<float>(k) / static_cast<float>(kScanSteps); }

// The texts over the grid, and for each distinct text its widest run of
// neighbouring grid values.
struct Run {
  int32_t first;
  int32_t last;
};

struct TextScan {
  std::vector<std::string> texts;  // one per grid value
  std::map<std::string, Run> widest;
};

TextScan scanTexts(host::PluginInstance& effect, int32_t index) {
  TextScan scan;
  scan.texts.reserve(kScanSteps + 1);
  for (int32_t k = 0; k <= kScanSteps; ++k) {
    effect.setParameter(index, gridValue(k));
    scan.texts.push_back(trimmed(effect.parameterDisplay(index)));
  }
  for (int32_t k = 0; k <= kScanSteps;) {
    int32_t end = k;
    while (end < kScanSteps && scan.texts[end + 1] == scan.texts[k]) ++end;
    auto [it, fresh] = scan.widest.try_emplace(scan.texts[k], Run{k, end});
    if (!fresh && end - k > it->second.last - it->second.first) it->second = Run{k, end};
    k = end + 1;
  }
  return scan;
}

// The decimals a numeric text shows: the width of its last digit.
double lastDigit(const std::string& text) {
  const std::size_t point = text.find('.');
  if (point == std::string::npos) return 1.0;
  return std::pow(10.0, -static_cast<double>(text.size() - point - 1));
}

void fail(const ScannedPort& port, const std::string& why) {
  throw std::runtime_error("parameter \"" + port.name + "\": " + why);
}

void deriveSteps(ScannedPort& port, const TextScan& scan, const std::string& initialText) {
  port.stepped = true;
  bool numeric = true;
  for (const auto& [text, run] : scan.widest) {
    double value = 0.0;
    numeric = numeric && parseShown(text, value);
  }
  std::vector<std::pair<std::string, Run>> runs(scan.widest.begin(), scan.widest.end());
  const auto middle = [](const Run& run) {
    return static_cast<float>((static_cast<double>(gridValue(run.first)) + gridValue(run.last)) / 2.0);
  };
  if (numeric) {
    double low = 0.0;
    double high = 0.0;
    parseShown(scan.texts.front(), low);
    parseShown(scan.texts.back(), high);
    for (const auto& [text, run] : runs) {
      double value = 0.0;
      parseShown(text, value);
      // Texts beyond the parameter's ends are not steps a user can choose.
      if (value < low || value > high) continue;
      port.steps.push_back({value, middle(run), numberText(value) + (port.unit.empty() ? "" : " " + port.unit)});
    }
    std::sort(port.steps.begin(), port.steps.end(),
              [](const ScannedStep& a, const ScannedStep& b) { return a.shown < b.shown; });
    bool wholeNumbers = true;
    for (std::size_t i = 0; i < port.steps.size(); ++i) {
      wholeNumbers = wholeNumbers && port.steps[i].shown == port.steps[0].shown + static_cast<double>(i);
    }
    port.integer = wholeNumbers;
    port.enumeration = !wholeNumbers;
  } else {
    // Choices by name, numbered in the order the 0..1 range reaches them.
    std::sort(runs.begin(), runs.end(),
              [](const auto& a, const auto& b) { return a.second.first < b.second.first; });
    for (std::size_t i = 0; i < runs.size(); ++i) {
      port.steps.push_back({static_cast<double>(i), middle(runs[i].second), runs[i].first});
    }
    port.integer = true;
    port.enumeration = true;
    port.named = true;
  }
  if (port.steps.empty()) fail(port, "no step within the parameter's ends");
  port.minimum = port.steps.front().shown;
  port.maximum = port.steps.back().shown;
  if (port.enumeration) {
    for (const ScannedStep& step : port.steps) port.scalePoints.push_back({step.shown, step.label});
  }
  port.defaultValue = port.minimum;
  bool found = false;
  for (const ScannedStep& step : port.steps) {
    double value = 0.0;
    if (port.named ? step.label == initialText : parseShown(initialText, value) && value == step.shown) {
      port.defaultValue = step.shown;
      found = true;
    }
  }
  if (!found) fail(port, "the initial value's text \"" + initialText + "\" is no step");
}

// The shown value of a 0..1 value on the port's line or logarithm.
double onCurve(const ScannedPort& port, double x) {
  return port.logarithmic ? port.offset + port.scale * std::log10(x) : port.offset + x * port.scale;
}

// The shortest decimal port value that the adapter turns back into exactly
// `x`, so that presets and defaults read as a user would type them.
double shortestShown(const ScannedPort& port, float x) {
  const PortLaw law{port.logarithmic ? PortShape::logarithmic : PortShape::linear,
                    port.offset, port.scale, port.minimum, nullptr, 0};
  const double exact = onCurve(port, x);
  for (int digits = 1; digits < 17; ++digits) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, exact);
    const double candidate = std::strtod(text, nullptr);
    if (law.normalizedOf(static_cast<float>(candidate)) == x) return candidate;
  }
  return exact;
}

// Whether every text lies on the port's curve to its last digit; a text
// that is no number is allowed at 0 only, and becomes a scale point.
bool textsOnCurve(ScannedPort& port, const TextScan& scan) {
  port.scalePoints.clear();
  for (int32_t k = 0; k <= kScanSteps; ++k) {
    const std::string& text = scan.texts[k];
    double value = 0.0;
    if (!parseShown(text, value)) {
      if (k != 0) return false;
      port.scalePoints.push_back({0.0, text});
      continue;
    }
    if (k == 0 && port.logarithmic) return false;
    const double expected = onCurve(port, gridValue(k));
    const double tolerance = 2.0 * lastDigit(text) + 1e-6 * std::fabs(expected);
    if (!(std::fabs(value - expected) <= tolerance)) return false;
  }
  return true;
}

// A continuous parameter's texts lie on a line or a logarithm whose
// offset and slope are whole numbers of its unit in every effect of ours:
// rounding them keeps them exact whatever the last digit of a text says.
void deriveCurve(ScannedPort& port, const TextScan& scan, float initial) {
  double a = 0.0;
  double b = 0.0;
  if (!parseShown(scan.texts[kScanSteps / 4], a) || !parseShown(scan.texts[3 * kScanSteps / 4], b)) {
    fail(port, "texts are not numbers");
  }
  port.scale = std::round(2.0 * (b - a));
  port.offset = std::round(a - 0.25 * port.scale);
  bool fits = port.scale != 0.0 && textsOnCurve(port, scan);
  if (!fits) {
    port.logarithmic = true;
    port.scale = std::round((b - a) / std::log10(3.0));
    port.offset = std::round(a - port.scale * std::log10(0.25));
    fits = port.scale != 0.0 && textsOnCurve(port, scan);
  }
  if (!fits) fail(port, "texts lie on no line or logarithm");
  // A logarithm's lowest port value is that of the smallest grid step,
  // rounded; it stands for 0 itself.
  port.minimum = port.logarithmic ? std::round(onCurve(port, gridValue(1))) : port.offset;
  port.maximum = onCurve(port, 1.0);
  for (ScalePoint& point : port.scalePoints) point.value = port.minimum;
  port.defaultValue = initial > 0.0f || !port.logarithmic ? shortestShown(port, initial) : port.minimum;
}

}  // namespace

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool parseShown(const std::string& text, double& value) {
  const std::string t = trimmed(text);
  if (t.empty() || !(std::isdigit(static_cast<unsigned char>(t.back())) || t.back() == '.')) return false;
  char* end = nullptr;
  value = std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size() && std::isfinite(value);
}

double portValueOf(host::PluginInstance& effect, int32_t index, const ScannedPort& port,
                   float normalized) {
  effect.setParameter(index, normalized);
  if (!port.stepped) {
    if (port.logarithmic && !(normalized > 0.0f)) return port.minimum;
    return shortestShown(port, normalized);
  }
  const std::string text = trimmed(effect.parameterDisplay(index));
  for (const ScannedStep& step : port.steps) {
    double value = 0.0;
    if (port.named ? step.label == text : parseShown(text, value) && value == step.shown) {
      return step.shown;
    }
  }
  throw std::runtime_error("parameter \"" + port.name + "\": text \"" + text + "\" is no step");
}

ScannedPort scanParameter(host::PluginInstance& effect, int32_t index) {
  ScannedPort port;
  port.name = effect.parameterName(index);
  port.symbol = symbolOf(port.name);
  port.unit = trimmed(effect.parameterLabel(index));
  const float initial = effect.getParameter(index);
  const std::string initialText = trimmed(effect.parameterDisplay(index));
  const TextScan scan = scanTexts(effect, index);
  effect.setParameter(index, initial);
  if (scan.widest.size() <= kMostSteps) {
    deriveSteps(port, scan, initialText);
  } else {
    deriveCurve(port, scan, initial);
  }
  return port;
}

}  // namespace kqfx::lv2
