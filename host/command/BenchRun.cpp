#include "BenchRun.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "CommandErrors.h"
#include "Interruption.h"
#include "ParameterValue.h"
#include "PluginLoading.h"
#include "PluginSearch.h"
#include "kqfx/host/Plugin.h"

namespace kqfx::command {
namespace {

constexpr float kNoisePeak = 0.25118864f;  // -12 dBFS
constexpr float kLoudPeak = 1.0f;

double cpuNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// One second of deterministic uniform noise per channel.
std::vector<float> noise(std::size_t frames, float peak, uint32_t seed) {
  std::vector<float> samples(frames);
  uint32_t state = seed * 2654435761u + 1u;
  for (float& s : samples) {
    state = state * 1664525u + 1013904223u;
    s = peak * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
  }
  return samples;
}

// The buffers of one subject: at least two inputs and outputs, more when
// the plug-in declares more (the extra inputs stay silent).
class Buffers {
 public:
  Buffers(int32_t inputs, int32_t outputs, int32_t block)
      : in_(static_cast<std::size_t>(std::max(inputs, 2)), std::vector<float>(static_cast<std::size_t>(block))),
        out_(static_cast<std::size_t>(std::max(outputs, 2)), std::vector<float>(static_cast<std::size_t>(block))) {
    for (auto& channel : in_) inPointers_.push_back(channel.data());
    for (auto& channel : out_) outPointers_.push_back(channel.data());
  }
  // The next block of the source signal, `frames` long, at `offset`.
  void load(const std::vector<float>& left, const std::vector<float>& right, std::size_t offset,
            int32_t frames) {
    const auto n = static_cast<std::size_t>(frames);
    std::memcpy(in_[0].data(), left.data() + offset, n * sizeof(float));
    std::memcpy(in_[1].data(), right.data() + offset, n * sizeof(float));
  }
  float** inputs() {
    for (std::size_t i = 0; i < in_.size(); ++i) inPointers_[i] = in_[i].data();
    return inPointers_.data();
  }
  float** outputs() {
    for (std::size_t i = 0; i < out_.size(); ++i) outPointers_[i] = out_[i].data();
    return outPointers_.data();
  }
  void copyThrough(int32_t frames) {
    const auto n = static_cast<std::size_t>(frames);
    std::memcpy(out_[0].data(), in_[0].data(), n * sizeof(float));
    std::memcpy(out_[1].data(), in_[1].data(), n * sizeof(float));
  }

 private:
  std::vector<std::vector<float>> in_;
  std::vector<std::vector<float>> out_;
  std::vector<float*> inPointers_;
  std::vector<float*> outPointers_;
};

// A loaded subject, ready to process blocks.
class Runner {
 public:
  Runner(BenchSubject& subject, const BenchSettings& settings)
      : subject_(subject), settings_(settings) {
    if (!subject.plugin.empty()) {
      const ChosenPlugin chosen =
          subject.choice ? *subject.choice
                         : ChosenPlugin{host::PluginFormat::vst2, pluginName(subject.plugin),
                                        subject.plugin, {}};
      activity_ = chosen.name + ": benchmarking at " +
                  std::to_string(std::lround(settings.sampleRate)) + " Hz in blocks of " +
                  std::to_string(settings.blockSize);
      setActivity(chosen.name + ": loading and opening");
      plugin_ = instantiatePlugin(chosen, SearchEnvironment::fromProcess(),
                                  static_cast<float>(settings.sampleRate), settings.blockSize);
      plugin_->activate();
      for (const ParameterArgument& p : subject.parameters) {
        try {
          const int32_t index = resolvePluginParameter(*plugin_, p.key, "bench");
          setParameterValue(*plugin_, index, p, "bench");
          if (glideIndex_ < 0) glideIndex_ = index;
        } catch (const UsageError& error) {
          // Several plug-ins may be benched: say which one lacks it.
          throw UsageError("bench", chosen.name + ": " + error.what());
        }
      }
      if (glideIndex_ < 0 && plugin_->parameterCount() > 0) glideIndex_ = 0;
      if (glideIndex_ >= 0) {
        // A quarter of the range away, towards its middle.
        const host::ParameterInfo& info = plugin_->parameterInfo(glideIndex_);
        const float span = std::isfinite(info.maximum - info.minimum) ? info.maximum - info.minimum : 1.0f;
        glideFrom_ = plugin_->parameterValue(glideIndex_);
        glideTo_ = glideFrom_ - info.minimum >= span / 2 ? glideFrom_ - span / 4 : glideFrom_ + span / 4;
        subject.glideParameter = info.name;
      }
      buffers_ = std::make_unique<Buffers>(plugin_->inputs(), plugin_->outputs(), settings.blockSize);
    } else {
      buffers_ = std::make_unique<Buffers>(2, 2, settings.blockSize);
    }
  }

  bool isFloor() const { return plugin_ == nullptr; }
  // Outside the timed runs: it holds signals back for a moment.
  void tellActivity() const {
    if (!isFloor()) setActivity(activity_);
  }
  bool canGlide() const { return glideIndex_ >= 0; }

  // Processes `frames` frames of the signal and answers the CPU time per
  // frame. `glide` writes the glide parameter before every block.
  double run(const std::vector<float>& left, const std::vector<float>& right, int64_t frames,
             bool glide) {
    const double start = cpuNanoseconds();
    int64_t done = 0;
    std::size_t offset = 0;
    while (done < frames) {
      const auto n = static_cast<int32_t>(
          std::min<int64_t>({settings_.blockSize, frames - done,
                             static_cast<int64_t>(left.size() - offset)}));
      buffers_->load(left, right, offset, n);
      if (isFloor()) {
        buffers_->copyThrough(n);
      } else {
        if (glide) {
          plugin_->setParameterValue(glideIndex_, flip_ ? glideTo_ : glideFrom_);
          flip_ = !flip_;
        }
        plugin_->process(buffers_->inputs(), buffers_->outputs(), n);
      }
      done += n;
      offset += static_cast<std::size_t>(n);
      if (offset >= left.size()) offset = 0;
    }
    if (glide) {
      // Leave the parameter where it was set.
      plugin_->setParameterValue(glideIndex_, glideFrom_);
      flip_ = false;
    }
    return (cpuNanoseconds() - start) / static_cast<double>(frames);
  }

 private:
  BenchSubject& subject_;
  const BenchSettings& settings_;
  std::unique_ptr<host::Plugin> plugin_;
  std::string activity_;  // for the message should the plug-in crash
  std::unique_ptr<Buffers> buffers_;
  int32_t glideIndex_ = -1;
  float glideFrom_ = 0.0f;
  float glideTo_ = 0.0f;
  bool flip_ = false;
};

}  // namespace

double median(std::vector<double> values) {
  if (values.empty()) return std::nan("");
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

double minimum(const std::vector<double>& values) {
  return values.empty() ? std::nan("") : *std::min_element(values.begin(), values.end());
}

void runBench(std::vector<BenchSubject>& subjects, const BenchSettings& settings) {
  const auto second = static_cast<std::size_t>(std::llround(settings.sampleRate));
  const std::vector<float> left = noise(second, kNoisePeak, 1);
  const std::vector<float> right = noise(second, kNoisePeak, 2);
  const std::vector<float> loudLeft = noise(second, kLoudPeak, 3);
  const std::vector<float> loudRight = noise(second, kLoudPeak, 4);
  const std::vector<float> silence(second, 0.0f);
  const auto timed = std::max<int64_t>(std::llround(settings.seconds * settings.sampleRate), 1);
  // The silence runs long enough for tails to decay towards denormals.
  const int64_t silent = timed * 5;

  std::vector<std::unique_ptr<Runner>> runners;
  for (BenchSubject& subject : subjects) {
    runners.push_back(std::make_unique<Runner>(subject, settings));
    runners.back()->tellActivity();
    // Let glides from the settings finish and caches warm up.
    runners.back()->run(left, right, static_cast<int64_t>(second), false);
  }
  for (int32_t rep = 0; rep < settings.repetitions; ++rep) {
    for (std::size_t i = 0; i < runners.size(); ++i) {
      Runner& runner = *runners[i];
      runner.tellActivity();
      BenchTimes& times = subjects[i].times;
      times.settled.push_back(runner.run(left, right, timed, false));
      if (runner.isFloor()) continue;
      if (runner.canGlide()) times.gliding.push_back(runner.run(left, right, timed, true));
      runner.run(loudLeft, loudRight, static_cast<int64_t>(second), false);
      times.silence.push_back(runner.run(silence, silence, silent, false));
      // Sound again, so the next settled run starts from a live state.
      runner.run(left, right, static_cast<int64_t>(second), false);
    }
  }
}

}  // namespace kqfx::command
