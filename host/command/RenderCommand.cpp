#include <cmath>
#include <cstdio>
#include <memory>

#include "AudioFileReader.h"
#include "CommandErrors.h"
#include "Commands.h"
#include "DemoSignal.h"
#include "Interruption.h"
#include "PluginSearch.h"
#include "RenderJob.h"
#include "StandardOutput.h"

namespace kqfx::command {
namespace {

std::string secondsText(int64_t frames, int sampleRate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(frames) / sampleRate);
  return text;
}

}  // namespace

int runRender(const RenderRequest& request) {
  // What needs nothing loaded is checked first.
  RenderJob job;
  job.output = request.output;
  const std::optional<OutputFormat> format = outputFormatFor(job.output);
  if (!format) {
    throw UsageError("render", "cannot tell the format of '" + request.output +
                                   "' from its extension; use one of " +
                                   knownOutputExtensions());
  }
  job.format = *format;
  for (const std::string& text : request.parameters) {
    job.parameters.push_back(parseParameterArgument(text));
  }
  job.plugin = resolvePlugin(request.plugin, SearchEnvironment::fromProcess());

  std::unique_ptr<host::AudioSource> source;
  StereoSamples demo;
  if (request.input) {
    auto reader = std::make_unique<AudioFileReader>(*request.input);
    job.sampleRate = reader->sampleRate();
    source = std::move(reader);
  } else {
    job.sampleRate = request.sampleRate.value_or(kDemoDefaultRate);
    demo = demoSignal(job.sampleRate);
    source = std::make_unique<BufferSource>(demo);
  }
  job.blockSize = request.blockSize;
  job.tailFrames = std::llround(request.tailSeconds * job.sampleRate);
  job.showProgress = !request.quiet;

  InterruptionGuard guard;
  const RenderReport report = runRenderJob(job, *source);
  if (report.interrupted) {
    printError("kqfx: interrupted; '" + request.output + "' was not written\n");
    InterruptionGuard::endBySignalReceived();
  }
  if (!request.quiet) {
    printOut("wrote " + request.output + " (" + secondsText(report.frames, job.sampleRate) +
             " at " + std::to_string(job.sampleRate) + " Hz, " + job.format.description + ")\n");
  }
  return 0;
}

}  // namespace kqfx::command
