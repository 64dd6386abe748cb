#pragma once
// Timing plug-ins through their real boundary for `kqfx bench`: each
// subject in turn, round-robin over several repetitions, on deterministic
// stereo noise at -12 dBFS, measured in the thread's CPU time so that time
// the machine gives to other work does not count.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ParameterArgument.h"
#include "PluginChoice.h"

namespace kqfx::command {

struct BenchSettings {
  double sampleRate = 44100.0;
  int32_t blockSize = 512;
  double seconds = 1.0;  // audio timed per repetition and run
  int32_t repetitions = 7;
};

// What one subject's runs measured, in nanoseconds of CPU per stereo frame,
// one value per repetition.
struct BenchTimes {
  std::vector<double> settled;
  std::vector<double> gliding;   // empty for the copy floor
  std::vector<double> silence;   // after a loud second; empty for the floor
};

struct BenchSubject {
  std::string name;
  std::filesystem::path plugin;  // empty: the plain copy floor
  std::vector<ParameterArgument> parameters;
  BenchTimes times;
  std::string glideParameter;  // the name of the parameter the gliding run writes
  std::optional<ChosenPlugin> choice;  // a plug-in of either format (else `plugin`, VST 2)
};

// Runs every subject: loads each plug-in, applies its parameters, and
// times the settled, gliding and silence-after-sound runs, interleaving
// the subjects repetition by repetition. Throws HostError or UsageError
// (an unknown parameter).
void runBench(std::vector<BenchSubject>& subjects, const BenchSettings& settings);

double median(std::vector<double> values);
double minimum(const std::vector<double>& values);

}  // namespace kqfx::command
