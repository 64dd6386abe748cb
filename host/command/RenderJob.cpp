#include "RenderJob.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include "AudioFileWriter.h"
#include "ChannelMapArgument.h"
#include "Interruption.h"
#include "PendingOutput.h"
#include "ParameterValue.h"
#include "PluginLoading.h"
#include "PluginSearch.h"
#include "ProgressBar.h"
#include "ResamplingSink.h"
#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/RenderLoop.h"
#include "kqfx/host/Vst2Plugin.h"

namespace kqfx::command {
namespace {

// The most latency changes told one by one.
constexpr std::size_t kLatencyChangesTold = 8;

// A plug-in may say its delay has changed (the I/O-changed call) while the
// render runs; the delay is read after every block anyway, so the call is
// answered as heard.
intptr_t renderHostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                            void* ptr, float opt) {
  if (opcode == cbIoChanged) return 1;
  return host::defaultHostCallback(effect, opcode, index, value, ptr, opt);
}

// Render thread.
class JobObserver final : public host::RenderObserver {
 public:
  JobObserver(std::optional<ProgressBar>& bar, host::Plugin& plugin, RenderReport& report)
      : bar_(bar), plugin_(plugin), report_(report) {}
  void progress(int64_t framesDone, int64_t framesTotal) override {
    frames = framesDone;
    setActivityBlock(++blocks);
    noticeLatencyChange(framesDone);
    if (bar_) bar_->update(framesDone, framesTotal);
  }
  bool stopRequested() override { return InterruptionGuard::receivedSignal() != 0; }

  int64_t frames = 0;
  int64_t blocks = 0;

 private:
  // The delay compensated is the one read after the first block; a later
  // one is told, not followed: moving the output mid-file would cut or
  // repeat audio.
  void noticeLatencyChange(int64_t framesDone) {
    const int32_t latency = std::max(plugin_.latency(), 0);
    if (blocks == 1) latency_ = latency;
    if (latency == latency_) return;
    if (report_.latencyChanges.size() < kLatencyChangesTold) {
      report_.latencyChanges.push_back("from " + std::to_string(latency_) + " to " +
                                       std::to_string(latency) + " frames at frame " +
                                       std::to_string(framesDone) + " of the output");
    } else {
      ++report_.moreLatencyChanges;
    }
    latency_ = latency;
  }

  std::optional<ProgressBar>& bar_;
  host::Plugin& plugin_;
  RenderReport& report_;
  int32_t latency_ = 0;
};

// Long enough for any of our parameters' glides, and for most hosts'
// smoothing: at least a second.
int64_t settleFrames(int sampleRate) { return std::max<int64_t>(65536, sampleRate); }

// --tail auto ends once the output has stayed below -96 dBFS for a second.
constexpr float kQuietLevel = 1.5848932e-5f;  // -96 dBFS

}  // namespace

RenderReport runRenderJob(const RenderJob& job, host::AudioSource& source) {
  const ChosenPlugin chosen =
      job.choice ? *job.choice
                 : ChosenPlugin{host::PluginFormat::vst2, pluginName(job.plugin), job.plugin, {}};
  const std::string& name = chosen.name;
  const std::string running = " at " + std::to_string(job.sampleRate) + " Hz in blocks of " +
                              std::to_string(job.blockSize);
  const auto rate = static_cast<float>(job.sampleRate);
  std::unique_ptr<host::PluginLibrary> library;
  std::unique_ptr<host::PluginInstance> instance;
  std::unique_ptr<host::Plugin> plugin;
  if (chosen.format == host::PluginFormat::vst2) {
    setActivity(name + ": loading");
    library = openPlugin(chosen.path);
    setActivity(name + ": creating the instance (entry function)");
    instance = std::make_unique<host::PluginInstance>(*library, renderHostCallback);
    setActivity(name + ": opening" + running);
    plugin = std::make_unique<host::Vst2Plugin>(*instance, rate, job.blockSize);
  } else {
    setActivity(name + ": loading and instantiating" + running);
    plugin = instantiatePlugin(chosen, SearchEnvironment::fromProcess(), rate, job.blockSize);
  }
  host::RenderLoop loop(*plugin);

  RenderReport report;
  if (job.tailAuto) loop.endTailWhenQuiet(job.sampleRate, kQuietLevel);
  loop.setChannelMap(channelMapFor(loop.inputs(), loop.outputs(), job.inputMap, job.outputMap));
  if (loop.inputs() != 2 || loop.outputs() != 2 || job.inputMap || job.outputMap) {
    report.channels = host::channelMapText(loop.channelMap());
  }
  PendingOutput pending(job.output);
  const int writtenRate = job.outputRate > 0 ? job.outputRate : job.sampleRate;
  AudioFileWriter writer(pending.fd(), job.format, writtenRate, job.output.string(), job.channels);
  std::optional<ResamplingSink> resampler;
  if (writtenRate != job.sampleRate) resampler.emplace(writer, job.sampleRate, writtenRate);
  host::AudioSink& sink = resampler ? static_cast<host::AudioSink&>(*resampler) : writer;
  std::optional<ProgressBar> bar;
  if (job.showProgress && ::isatty(STDERR_FILENO)) {
    bar.emplace(job.output.filename().string(), job.sampleRate, writeToStandardError,
                steadySeconds);
    bar->setColumns(terminalColumns());
  }
  JobObserver observer(bar, *plugin, report);

  // With values given, the plug-in runs on silence until they have
  // settled, and is switched off and on again so that the render starts
  // clean with them in place; with --glide they glide in as in a host.
  const bool settleValues = !job.parameters.empty() && !job.glide;
  bool stopped = false;

  setActivity(name + ": setting parameters");
  for (const ParameterArgument& argument : job.parameters) {
    const int32_t index = resolvePluginParameter(*plugin, argument.key, "render");
    report.settings.push_back(setParameterValue(*plugin, index, argument, "render"));
  }
  if (settleValues) {
    setActivity(name + ": settling on silence" + running);
    stopped = !loop.settle(settleFrames(job.sampleRate), &observer);
  }
  host::RenderOutcome outcome = host::RenderOutcome::stopped;
  if (!stopped) {
    setActivity(name + ": rendering" + running);
    setActivityBlock(0);
    outcome = loop.run(source, sink, job.tailFrames, &observer, job.compensateLatency);
    if (outcome == host::RenderOutcome::finished && resampler) resampler->finish();
  }
  setActivity(name + ": closing");
  if (bar) bar->finish();
  report.frames = observer.frames;
  report.latency = loop.latency();
  report.clippedSamples = writer.clippedSamples();

  SignalsHeldBack held;
  if (outcome == host::RenderOutcome::stopped || InterruptionGuard::receivedSignal() != 0) {
    report.interrupted = true;
    return report;
  }
  writer.finish();
  pending.commit();
  return report;
}

}  // namespace kqfx::command
