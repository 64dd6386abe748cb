#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <system_error>

#include "AudioFileReader.h"
#include "CommandErrors.h"
#include "Commands.h"
#include "DemoSignal.h"
#include "Interruption.h"
#include "PluginChoice.h"
#include "PluginSearch.h"
#include "RenderJob.h"
#include "RenderSummary.h"
#include "StandardOutput.h"

namespace fs = std::filesystem;

namespace kqfx::command {
namespace {

std::string secondsText(int64_t frames, int sampleRate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(frames) / sampleRate);
  return text;
}

// A recording is never replaced by accident: not by naming it as OUTPUT
// (directly, or through a symlink or hard link to INPUT), and not without
// -y when OUTPUT exists.
void checkOutputIsSafe(const RenderRequest& request) {
  if (request.output == "-") return;
  std::error_code error;
  const fs::path output(request.output);
  if (request.input && fs::equivalent(*request.input, output, error)) {
    throw UsageError("render", "INPUT and OUTPUT are the same file");
  }
  if (!request.overwrite && fs::exists(output, error) && !fs::is_directory(output, error)) {
    throw CommandFailure("'" + request.output +
                         "' exists; kqfx replaces it only with -y (--overwrite)");
  }
}

// Standard output takes the finished file at the end: WAV needs its
// header completed after the samples, which a pipe cannot take back.
fs::path standardOutputStandIn() {
  return fs::temp_directory_path() / ("kqfx-standard-output-" + std::to_string(::getpid()) + ".wav");
}

void copyToStandardOutput(const fs::path& file) {
  registerTemporaryFile(file);
  std::ifstream in(file, std::ios::binary);
  std::string chunk(1 << 20, '\0');
  try {
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
      printOut(chunk.substr(0, static_cast<std::size_t>(in.gcount())));
    }
  } catch (...) {
    ::unlink(file.c_str());
    unregisterTemporaryFile();
    throw;
  }
  ::unlink(file.c_str());
  unregisterTemporaryFile();
}

}  // namespace

RenderSummary renderFile(const RenderRequest& request) {
  // What needs nothing loaded is checked first.
  RenderJob job;
  const bool toStandardOutput = request.output == "-";
  job.output = toStandardOutput ? standardOutputStandIn() : fs::path(request.output);
  const std::optional<OutputFormat> format = outputFormatFor(job.output);
  if (!format) {
    throw UsageError("render", "cannot tell the format of '" + request.output +
                                   "' from its extension; use one of " +
                                   knownOutputExtensions());
  }
  job.format = *format;
  if (request.bits) {
    const std::optional<OutputFormat> reduced = withBits(*format, *request.bits);
    if (!reduced) {
      throw UsageError("render", "'" + fs::path(request.output).extension().string() +
                                     "' files cannot hold " + std::to_string(*request.bits) +
                                     "-bit samples");
    }
    job.format = *reduced;
  }
  job.channels = request.channels;
  for (const std::string& text : request.parameters) {
    job.parameters.push_back(parseParameterArgument(text));
  }
  job.glide = request.glide;
  job.inputMap = request.inputMap;
  job.outputMap = request.outputMap;
  checkOutputIsSafe(request);
  job.choice = choosePlugin(request.plugin, SearchEnvironment::fromProcess(), request.format);
  job.plugin = job.choice->path;

  std::unique_ptr<host::AudioSource> source;
  AudioFileReader* reader = nullptr;
  StereoSamples demo;
  if (request.input) {
    auto file = std::make_unique<AudioFileReader>(*request.input);
    job.sampleRate = file->sampleRate();
    reader = file.get();
    source = std::move(file);
  } else {
    job.sampleRate = request.sampleRate.value_or(kDemoDefaultRate);
    demo = demoSignal(job.sampleRate);
    source = std::make_unique<BufferSource>(demo);
  }
  // Another rate is written when asked for (--rate with INPUT) or when the
  // output format cannot hold the render's.
  const int wantedRate = (request.input && request.sampleRate) ? *request.sampleRate : job.sampleRate;
  job.outputRate = writableRate(job.format, wantedRate, job.channels);
  job.blockSize = request.blockSize;
  job.tailFrames = std::llround(request.tailSeconds * job.sampleRate);
  job.tailAuto = request.tailAuto;
  job.showProgress = !request.quiet;

  InterruptionGuard guard;
  const RenderReport report = runRenderJob(job, *source);
  if (report.interrupted) {
    printError("kqfx: interrupted; '" + request.output + "' was not written\n");
    InterruptionGuard::endBySignalReceived();
  }
  if (toStandardOutput) copyToStandardOutput(job.output);

  RenderSummary summary;
  summary.input = request.input;
  summary.output = request.output;
  summary.frames = report.frames;
  summary.sampleRate = job.sampleRate;
  summary.outputSampleRate = job.outputRate;
  summary.channels = job.channels;
  summary.latencyCompensated = report.latency;
  summary.clippedSamples = report.clippedSamples;
  if (reader && reader->missingFrames() > 0) {
    summary.warnings.push_back(
        "'" + *request.input + "' ends early: its header promises " +
        secondsText(reader->framesRead() + reader->missingFrames(), job.sampleRate) + ", " +
        secondsText(reader->framesRead(), job.sampleRate) +
        " were there (the file may be truncated)");
  }
  if (report.clippedSamples > 0) {
    summary.warnings.push_back(std::to_string(report.clippedSamples) + " samples clipped writing '" +
                               request.output + "' (" + job.format.description +
                               " holds nothing beyond full scale)");
  }
  if (!report.latencyChanges.empty()) {
    std::string changes;
    for (const std::string& change : report.latencyChanges) {
      changes += (changes.empty() ? "" : ", ") + change;
    }
    if (report.moreLatencyChanges > 0) {
      changes += " and " + std::to_string(report.moreLatencyChanges) + " more times";
    }
    summary.warnings.push_back("the plug-in changed its latency during the render (" + changes +
                               "); the " + std::to_string(report.latency) +
                               " frames it reported at the start stay compensated");
  }
  for (const std::string& warning : summary.warnings) printError("kqfx: warning: " + warning + "\n");
  if (!request.quiet && !request.json) {
    // With the audio on standard output, what is said goes to standard error.
    const auto say = [&](const std::string& text) {
      toStandardOutput ? printError(text) : printOut(text);
    };
    if (!report.channels.empty()) say("channels: " + report.channels + "\n");
    for (const std::string& setting : report.settings) say("set " + setting + "\n");
    if (report.latency > 0) {
      say("compensated the plug-in's latency of " + std::to_string(report.latency) +
               " frames\n");
    }
    if (job.outputRate != job.sampleRate) {
      say("resampled from " + std::to_string(job.sampleRate) + " Hz to " +
               std::to_string(job.outputRate) + " Hz\n");
    }
    say("wrote " + request.output + " (" + secondsText(report.frames, job.sampleRate) +
             " at " + std::to_string(job.outputRate) + " Hz, " + job.format.description + ")\n");
  }
  return summary;
}

int runRender(const RenderRequest& request) {
  const RenderSummary summary = renderFile(request);
  if (request.json) {
    // With the audio on standard output, the summary goes to standard error.
    const std::string text = renderSummariesJson({renderSummaryJson(summary)}, {});
    request.output == "-" ? printError(text) : printOut(text);
  }
  return 0;
}

}  // namespace kqfx::command
