#pragma once
// One test signal through a fresh instance of a plug-in, by the same render
// loop as `kqfx render`: the parameters are set, silence runs until their
// smoothing has settled, then the signal (the same on both inputs) and a
// tail of silence. The analyser reads the left output.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ParameterArgument.h"
#include "PluginChoice.h"

namespace kqfx::command::analyze {

struct PluginSetup {
  ChosenPlugin plugin;  // either format
  std::vector<ParameterArgument> parameters;
  int sampleRate = 48000;
  int32_t blockSize = 512;
  bool showProgress = false;  // a progress bar on a terminal, as render draws
};

// Thrown when an interruption signal stopped the run.
struct RunInterrupted {};

// The left output from the first frame of `signal` on, `signal.size() +
// tailFrames` frames long. Throws UsageError for unknown parameters,
// HostError or CommandFailure when the plug-in fails, RunInterrupted.
std::vector<double> runThrough(const PluginSetup& setup, const std::vector<float>& signal,
                               int64_t tailFrames, const std::string& label);

// "Resonance = 0.50 %" for each parameter given, as the plug-in shows it,
// and the plug-in's name (a VST 2 plug-in's effect name, else its file
// name; an LV2 plug-in's name).
struct PluginDescription {
  std::string name;
  std::vector<std::string> settings;
};
PluginDescription describe(const PluginSetup& setup);

// Frames of silence before the signal: long enough for parameter glides.
int64_t settleFrames(int sampleRate);

}  // namespace kqfx::command::analyze
