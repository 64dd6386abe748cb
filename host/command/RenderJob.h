#pragma once
// One render from a source through a plug-in into an output file, as
// `kqfx render` and `kqfx demo` do it: the file appears only when the
// render is complete, a progress bar runs on a terminal, and an
// interruption signal stops the render between blocks.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "OutputFormat.h"
#include "ParameterArgument.h"
#include "PluginChoice.h"
#include "kqfx/host/AudioStream.h"

namespace kqfx::command {

struct RenderJob {
  std::filesystem::path plugin;  // the VST 2 shared object, unless `choice` is given
  std::optional<ChosenPlugin> choice;  // a plug-in of either format
  std::vector<ParameterArgument> parameters;
  int sampleRate = 44100;  // the rate the plug-in runs at
  int outputRate = 0;      // the rate written, when another (resampled)
  int32_t blockSize = 512;
  int64_t tailFrames = 0;  // with tailAuto, the most the tail may take
  bool tailAuto = false;    // end the tail once the output is quiet
  std::filesystem::path output;
  OutputFormat format{};
  int channels = 2;  // written: 1 for the mid
  bool showProgress = false;
  // Values given glide in from the defaults as in a host; otherwise the
  // plug-in settles on silence first and the render starts with them.
  bool glide = false;
  bool compensateLatency = true;
  std::optional<std::string> inputMap;   // --inputs
  std::optional<std::string> outputMap;  // --outputs
};

struct RenderReport {
  bool interrupted = false;
  int64_t frames = 0;                 // frames written
  std::vector<std::string> settings;  // "Input Gain = 2.4 dB" for each parameter set
  int32_t latency = 0;                // frames the plug-in delays its output by
  int64_t clippedSamples = 0;         // samples the output format clipped
  std::string channels;               // the channel map, when the plug-in is not 2 in, 2 out
  // The plug-in's delay changed after the render started: the first of
  // these, in order ("from 5 to 9 frames at frame 59 of the output"), and
  // how many more there were.
  std::vector<std::string> latencyChanges;
  int64_t moreLatencyChanges = 0;
};

// Throws UsageError for parameters the plug-in does not have, and
// CommandFailure or HostError when the render fails; the output file is
// then left as it was.
RenderReport runRenderJob(const RenderJob& job, host::AudioSource& source);

}  // namespace kqfx::command
