#include "RenderJob.h"

#include <unistd.h>

#include <optional>

#include "AudioFileWriter.h"
#include "Interruption.h"
#include "PendingOutput.h"
#include "PluginLoading.h"
#include "ProgressBar.h"
#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/RenderLoop.h"

namespace kqfx::command {
namespace {

class JobObserver final : public host::RenderObserver {
 public:
  explicit JobObserver(std::optional<ProgressBar>& bar) : bar_(bar) {}
  void progress(int64_t framesDone, int64_t framesTotal) override {
    frames = framesDone;
    if (bar_) bar_->update(framesDone, framesTotal);
  }
  bool stopRequested() override { return InterruptionGuard::receivedSignal() != 0; }

  int64_t frames = 0;

 private:
  std::optional<ProgressBar>& bar_;
};

std::string settingText(host::PluginInstance& plugin, int32_t index) {
  std::string text = plugin.parameterName(index) + " = " + plugin.parameterDisplay(index);
  const std::string label = plugin.parameterLabel(index);
  if (!label.empty()) text += " " + label;
  return text;
}

}  // namespace

RenderReport runRenderJob(const RenderJob& job, host::AudioSource& source) {
  const std::unique_ptr<host::PluginLibrary> library = openPlugin(job.plugin);
  host::PluginInstance plugin(*library);
  host::RenderLoop loop(plugin, static_cast<float>(job.sampleRate), job.blockSize);

  RenderReport report;
  std::vector<std::string> names;
  for (int32_t index = 0; index < plugin.numParams(); ++index) {
    names.push_back(plugin.parameterName(index));
  }
  for (const ParameterArgument& argument : job.parameters) {
    const int32_t index = resolveParameter(argument.key, names);
    plugin.setParameter(index, argument.value);
    report.settings.push_back(settingText(plugin, index));
  }

  PendingOutput pending(job.output);
  AudioFileWriter writer(pending.fd(), job.format, job.sampleRate, job.output.string());
  std::optional<ProgressBar> bar;
  if (job.showProgress && ::isatty(STDERR_FILENO)) {
    bar.emplace(job.output.filename().string(), job.sampleRate, writeToStandardError,
                steadySeconds);
  }
  JobObserver observer(bar);
  const host::RenderOutcome outcome = loop.run(source, writer, job.tailFrames, &observer);
  if (bar) bar->finish();
  report.frames = observer.frames;

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
