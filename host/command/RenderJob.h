#pragma once
// One render from a source through a plug-in into an output file, as
// `kqfx render` and `kqfx demo` do it: the file appears only when the
// render is complete, a progress bar runs on a terminal, and an
// interruption signal stops the render between blocks.

#include <filesystem>
#include <string>
#include <vector>

#include "OutputFormat.h"
#include "ParameterArgument.h"
#include "kqfx/host/AudioStream.h"

namespace kqfx::command {

struct RenderJob {
  std::filesystem::path plugin;  // the shared object
  std::vector<ParameterArgument> parameters;
  int sampleRate = 44100;
  int32_t blockSize = 512;
  int64_t tailFrames = 0;
  std::filesystem::path output;
  OutputFormat format{};
  bool showProgress = false;
};

struct RenderReport {
  bool interrupted = false;
  int64_t frames = 0;                 // frames written
  std::vector<std::string> settings;  // "Input Gain = 2.400000 dB" for each parameter set
};

// Throws UsageError for parameters the plug-in does not have, and
// CommandFailure or HostError when the render fails; the output file is
// then left as it was.
RenderReport runRenderJob(const RenderJob& job, host::AudioSource& source);

}  // namespace kqfx::command
