#include "BenchReport.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "JsonText.h"

namespace kqfx::command {
namespace {

// What one subject's figures mean at the bench's sample rate.
struct Figures {
  double median = 0.0;
  double minimum = 0.0;
  double realtimeFactor = 0.0;  // seconds of audio per second of CPU
  double corePercent = 0.0;     // of one core, running in real time
  double instancesPerCore = 0.0;
  double gliding = 0.0;
  double silence = 0.0;
};

Figures figuresOf(const BenchSubject& subject, const BenchSettings& settings) {
  Figures f;
  f.median = median(subject.times.settled);
  f.minimum = minimum(subject.times.settled);
  const double nsPerSecond = f.median * settings.sampleRate;
  f.realtimeFactor = nsPerSecond > 0.0 ? 1e9 / nsPerSecond : INFINITY;
  f.corePercent = nsPerSecond / 1e9 * 100.0;
  f.instancesPerCore = std::floor(f.realtimeFactor);
  f.gliding = median(subject.times.gliding);
  f.silence = median(subject.times.silence);
  return f;
}

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string cell(double value, double reference) {
  if (std::isnan(value)) return "-";
  return formatted("%.2f", value) + formatted(" (%.2fx)", value / reference);
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// Four significant digits, written as a plain number: 44100, not 4.41e+04.
std::string jsonDouble(double value) {
  if (!std::isfinite(value)) return "null";
  const double rounded = std::strtod(formatted("%.4g", value).c_str(), nullptr);
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed);
  return std::string(text, result.ptr);
}

}  // namespace

std::string machineDescription() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) {
      const std::size_t colon = line.find(':');
      if (colon != std::string::npos && colon + 2 <= line.size()) return line.substr(colon + 2);
    }
  }
  return "unknown";
}

std::string benchTable(const std::vector<BenchSubject>& subjects, const BenchSettings& settings) {
  std::size_t nameWidth = 12;
  for (const BenchSubject& s : subjects) nameWidth = std::max(nameWidth, s.name.size() + 2);
  std::string text = "machine: " + machineDescription() + ", " +
                     std::to_string(std::thread::hardware_concurrency()) + " CPUs\n" +
                     formatted("%.0f Hz, ", settings.sampleRate) +
                     std::to_string(settings.blockSize) + "-frame blocks, " +
                     std::to_string(settings.repetitions) + " repetitions of " +
                     formatted("%g s", settings.seconds) +
                     " each, CPU time in ns per stereo frame\n\n";
  text += padded("plug-in", nameWidth) + padded("median", 9) + padded("min", 9) +
          padded("realtime", 11) + padded("% core", 9) + padded("per core", 10) +
          padded("gliding (x settled)", 22) + "silence after sound (x sound)\n";
  for (const BenchSubject& s : subjects) {
    const Figures f = figuresOf(s, settings);
    text += padded(s.name, nameWidth) + padded(formatted("%.2f", f.median), 9) +
            padded(formatted("%.2f", f.minimum), 9) +
            padded(formatted("%.0fx", f.realtimeFactor), 11) +
            padded(formatted("%.3f", f.corePercent), 9) +
            padded(formatted("%.0f", f.instancesPerCore), 10) + padded(cell(f.gliding, f.median), 22) +
            cell(f.silence, f.median) + "\n";
  }
  return text;
}

std::string benchJson(const std::vector<BenchSubject>& subjects, const BenchSettings& settings) {
  std::string text = "{\"machine\": " + jsonString(machineDescription()) +
                     ", \"sampleRate\": " + jsonDouble(settings.sampleRate) +
                     ", \"block\": " + std::to_string(settings.blockSize) +
                     ", \"seconds\": " + jsonDouble(settings.seconds) +
                     ", \"repetitions\": " + std::to_string(settings.repetitions) +
                     ", \"unit\": \"ns per stereo frame, CPU time\", \"results\": [";
  for (std::size_t i = 0; i < subjects.size(); ++i) {
    const BenchSubject& s = subjects[i];
    const Figures f = figuresOf(s, settings);
    text += std::string(i ? ", " : "") + "{\"name\": " + jsonString(s.name) +
            ", \"path\": " + (s.plugin.empty() ? "null" : jsonString(s.plugin.string())) +
            ", \"median\": " + jsonDouble(f.median) + ", \"min\": " + jsonDouble(f.minimum) +
            ", \"realtimeFactor\": " + jsonDouble(f.realtimeFactor) +
            ", \"corePercent\": " + jsonDouble(f.corePercent) +
            ", \"instancesPerCore\": " + jsonDouble(f.instancesPerCore) +
            ", \"glidingMedian\": " + jsonDouble(f.gliding) +
            ", \"glideParameter\": " +
            (s.glideParameter.empty() ? "null" : jsonString(s.glideParameter)) +
            ", \"silenceAfterSoundMedian\": " + jsonDouble(f.silence) + "}";
  }
  return text + "]}\n";
}

}  // namespace kqfx::command
