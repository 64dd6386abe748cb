#include "analyze/PluginRun.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include "BufferSource.h"
#include "Interruption.h"
#include "ParameterValue.h"
#include "PluginLoading.h"
#include "PluginSearch.h"
#include "ProgressBar.h"
#include "kqfx/host/RenderLoop.h"
#include "kqfx/host/Vst2Plugin.h"

namespace kqfx::command::analyze {
namespace {

// Keeps the left channel, dropping the settling frames.
class LeftCapture final : public host::AudioSink {
 public:
  LeftCapture(int64_t skip, std::size_t expected) : skip_(skip) { left.reserve(expected); }
  void write(const float* leftIn, const float*, int32_t frames) override {
    for (int32_t i = 0; i < frames; ++i) {
      if (skip_ > 0) {
        --skip_;
      } else {
        left.push_back(leftIn[i]);
      }
    }
  }
  std::vector<double> left;

 private:
  int64_t skip_;
};

class RunObserver final : public host::RenderObserver {
 public:
  explicit RunObserver(std::optional<ProgressBar>& bar) : bar_(bar) {}
  void progress(int64_t framesDone, int64_t framesTotal) override {
    if (bar_) bar_->update(framesDone, framesTotal);
  }
  bool stopRequested() override { return InterruptionGuard::receivedSignal() != 0; }

 private:
  std::optional<ProgressBar>& bar_;
};

void applyParameters(host::Plugin& plugin, const std::vector<ParameterArgument>& parameters,
                     std::vector<int32_t>* indices = nullptr) {
  for (const ParameterArgument& argument : parameters) {
    const int32_t index = resolvePluginParameter(plugin, argument.key, "analyze");
    setParameterValue(plugin, index, argument, "analyze");
    if (indices) indices->push_back(index);
  }
}

std::unique_ptr<host::Plugin> instanceFor(const PluginSetup& setup) {
  return instantiatePlugin(setup.plugin, SearchEnvironment::fromProcess(),
                           static_cast<float>(setup.sampleRate), setup.blockSize);
}

}  // namespace

int64_t settleFrames(int sampleRate) { return 32768 + sampleRate / 4; }

std::vector<double> runThrough(const PluginSetup& setup, const std::vector<float>& signal,
                               int64_t tailFrames, const std::string& label) {
  setActivity(setup.plugin.name + ": analysing (" + label + ") at " +
              std::to_string(setup.sampleRate) + " Hz in blocks of " + std::to_string(setup.blockSize));
  const std::unique_ptr<host::Plugin> plugin = instanceFor(setup);
  host::RenderLoop loop(*plugin);
  applyParameters(*plugin, setup.parameters);

  const int64_t settle = settleFrames(setup.sampleRate);
  StereoSamples input;
  input[0].assign(static_cast<std::size_t>(settle), 0.0f);
  input[0].insert(input[0].end(), signal.begin(), signal.end());
  input[1] = input[0];
  BufferSource source(input);
  LeftCapture capture(settle, signal.size() + static_cast<std::size_t>(tailFrames));

  std::optional<ProgressBar> bar;
  if (setup.showProgress && ::isatty(STDERR_FILENO)) {
    bar.emplace(label, setup.sampleRate, writeToStandardError, steadySeconds);
  }
  RunObserver observer(bar);
  const host::RenderOutcome outcome = loop.run(source, capture, tailFrames, &observer);
  if (bar) bar->finish();
  if (outcome == host::RenderOutcome::stopped || InterruptionGuard::receivedSignal() != 0) {
    throw RunInterrupted{};
  }
  return std::move(capture.left);
}

PluginDescription describe(const PluginSetup& setup) {
  const std::unique_ptr<host::Plugin> plugin = instanceFor(setup);
  const host::RenderLoop opened(*plugin);
  std::vector<int32_t> indices;
  applyParameters(*plugin, setup.parameters, &indices);
  PluginDescription description;
  if (auto* vst2 = dynamic_cast<host::Vst2Plugin*>(plugin.get())) {
    description.name = vst2->instance().text(kqfx::opGetEffectName);
    if (description.name.empty()) description.name = setup.plugin.path.stem().string();
  } else {
    description.name = setup.plugin.name;
  }
  for (const int32_t index : indices) {
    const host::ParameterInfo& info = plugin->parameterInfo(index);
    std::string text = info.name + " = " + plugin->parameterText(index);
    if (!info.unit.empty()) text += " " + info.unit;
    description.settings.push_back(text);
  }
  return description;
}

}  // namespace kqfx::command::analyze
