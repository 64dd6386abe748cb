#include <cstdio>
#include <system_error>

#include "AudioFileWriter.h"
#include "CommandErrors.h"
#include "Commands.h"
#include "DemoPresets.h"
#include "DemoSignal.h"
#include "Interruption.h"
#include "PendingOutput.h"
#include "PluginSearch.h"
#include "RenderJob.h"
#include "StandardOutput.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

// Writes the signal as it is; false when interrupted.
bool writeDry(const fs::path& output, const StereoSamples& signal) {
  PendingOutput pending(output);
  AudioFileWriter writer(pending.fd(), *outputFormatFor(output), kDemoDefaultRate,
                         output.string());
  writer.write(signal[0].data(), signal[1].data(), static_cast<int32_t>(signal[0].size()));
  SignalsHeldBack held;
  if (InterruptionGuard::receivedSignal() != 0) return false;
  writer.finish();
  pending.commit();
  return true;
}

std::string seconds(int64_t frames) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(frames) / kDemoDefaultRate);
  return text;
}

RenderJob demoJob(const fs::path& plugin, const DemoPreset& preset, const fs::path& output,
                  bool quiet) {
  RenderJob job;
  job.plugin = plugin;
  for (const DemoSetting& setting : preset.settings) {
    job.parameters.push_back({setting.parameter, setting.value, {}});
  }
  job.sampleRate = kDemoDefaultRate;
  job.tailFrames = static_cast<int64_t>(preset.tailSeconds * kDemoDefaultRate);
  job.output = output;
  job.format = *outputFormatFor(output);
  job.showProgress = !quiet;
  return job;
}

[[noreturn]] void stopInterrupted(const fs::path& output) {
  printError("kqfx: interrupted; '" + output.string() + "' was not written\n");
  InterruptionGuard::endBySignalReceived();
  std::_Exit(1);
}

}  // namespace

int runDemo(const DemoRequest& request) {
  const fs::path directory(request.directory);
  std::error_code error;
  fs::create_directories(directory, error);
  if (error) {
    throw CommandFailure("cannot create '" + directory.string() + "': " + error.message());
  }
  const StereoSamples signal = demoSignal(kDemoDefaultRate);
  const std::vector<fs::path> folders = pluginFolders(SearchEnvironment::fromProcess());
  InterruptionGuard guard;
  const fs::path dry = directory / "dry.wav";
  if (!writeDry(dry, signal)) stopInterrupted(dry);
  printOut("wrote " + dry.string() + " (" + seconds(static_cast<int64_t>(signal[0].size())) +
           "; the demo signal)\n");
  int failures = 0;
  for (const DemoPreset& preset : demoPresets()) {
    const std::optional<fs::path> plugin = findPlugin(preset.plugin, folders);
    if (!plugin) {
      printError(std::string("kqfx: note: skipped ") + preset.plugin + ": plug-in not found\n");
      continue;
    }
    const fs::path output = directory / (std::string(preset.plugin) + ".wav");
    try {
      BufferSource source(signal);
      const RenderReport report =
          runRenderJob(demoJob(*plugin, preset, output, request.quiet), source);
      if (report.interrupted) stopInterrupted(output);
      std::string settings;
      for (const std::string& text : report.settings) settings += (settings.empty() ? "" : ", ") + text;
      printOut("wrote " + output.string() + " (" + seconds(report.frames) + "; " + settings + ")\n");
    } catch (const std::exception& failure) {
      printError(std::string("kqfx: ") + preset.plugin + ": " + failure.what() + "\n");
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace kqfx::command
