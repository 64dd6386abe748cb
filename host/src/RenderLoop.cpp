#include "kqfx/host/RenderLoop.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "kqfx/host/HostError.h"
#include "kqfx/host/Vst2Plugin.h"

namespace kqfx::host {
namespace {

int32_t checkedChannels(int32_t declared, const char* what) {
  if (declared < 0 || declared > kMaxPluginChannels) {
    throw HostError("the plug-in declares " + std::to_string(declared) + " " + what +
                    "; at most " + std::to_string(kMaxPluginChannels) + " can be run");
  }
  return declared;
}

int32_t checkedBlockSize(int32_t blockSize) {
  if (blockSize <= 0) throw HostError("the block size must be positive");
  return blockSize;
}

// Switches the plug-in off when a run ends, however it ends.
class ResumedPlugin {
 public:
  explicit ResumedPlugin(Plugin& plugin) : plugin_(plugin) { plugin_.activate(); }
  ~ResumedPlugin() { plugin_.deactivate(); }
  ResumedPlugin(const ResumedPlugin&) = delete;
  ResumedPlugin& operator=(const ResumedPlugin&) = delete;

 private:
  Plugin& plugin_;
};

// Opens a fresh VST 2 instance for a loop, once its counts are checked.
std::unique_ptr<Plugin> openedVst2(PluginInstance& instance, float sampleRate, int32_t blockSize) {
  checkedBlockSize(blockSize);
  checkedChannels(instance.record().numInputs, "inputs");
  if (checkedChannels(instance.record().numOutputs, "outputs") == 0) {
    throw HostError("the plug-in has no audio outputs");
  }
  if (!(sampleRate > 0.0f)) throw HostError("the sample rate must be positive");
  return std::make_unique<Vst2Plugin>(instance, sampleRate, blockSize);
}

}  // namespace

ChannelMap defaultChannelMap(int32_t inputs, int32_t outputs) {
  ChannelMap map;
  if (inputs == 1) {
    map.inputs = {InputFeed::mid};
  } else {
    for (int32_t i = 0; i < inputs; ++i) {
      map.inputs.push_back(i == 0 ? InputFeed::left : i == 1 ? InputFeed::right : InputFeed::silence);
    }
  }
  map.outputs = {0, outputs >= 2 ? 1 : 0};
  return map;
}

std::string channelMapText(const ChannelMap& map) {
  static const char* const kFeeds[] = {"left", "right", "mid", "silence"};
  std::string text = "plug-in inputs:";
  if (map.inputs.empty()) text += " none";
  for (std::size_t i = 0; i < map.inputs.size(); ++i) {
    text += (i == 0 ? " " : ", ") + std::to_string(i + 1) + " <- " +
            kFeeds[static_cast<int>(map.inputs[i])];
  }
  text += "; written: left <- output " + std::to_string(map.outputs[0] + 1) +
          ", right <- output " + std::to_string(map.outputs[1] + 1);
  return text;
}

RenderLoop::ChannelBuffers::ChannelBuffers(int32_t channels, int32_t frames)
    : samples_(static_cast<std::size_t>(std::max(channels, 2)),
               std::vector<float>(static_cast<std::size_t>(frames))),
      pointers_(samples_.size()) {}

float** RenderLoop::ChannelBuffers::pointers() {
  for (std::size_t i = 0; i < samples_.size(); ++i) pointers_[i] = samples_[i].data();
  return pointers_.data();
}

void RenderLoop::ChannelBuffers::clear() {
  for (std::vector<float>& channel : samples_) std::fill(channel.begin(), channel.end(), 0.0f);
}

RenderLoop::RenderLoop(PluginInstance& plugin, float sampleRate, int32_t blockSize)
    : opened_(openedVst2(plugin, sampleRate, blockSize)),
      plugin_(*opened_),
      blockSize_(blockSize),
      inputs_(plugin_.inputs()),
      outputs_(plugin_.outputs()),
      map_(defaultChannelMap(inputs_, outputs_)),
      file_(2, blockSize_),
      in_(inputs_, blockSize_),
      out_(outputs_, blockSize_) {}

RenderLoop::RenderLoop(Plugin& plugin)
    : plugin_(plugin),
      blockSize_(checkedBlockSize(plugin.maxBlockSize())),
      inputs_(checkedChannels(plugin.inputs(), "inputs")),
      outputs_(checkedChannels(plugin.outputs(), "outputs")),
      map_(defaultChannelMap(inputs_, outputs_)),
      file_(2, blockSize_),
      in_(inputs_, blockSize_),
      out_(outputs_, blockSize_) {
  if (outputs_ == 0) throw HostError("the plug-in has no audio outputs");
}

RenderLoop::~RenderLoop() = default;

void RenderLoop::setChannelMap(const ChannelMap& map) {
  if (map.inputs.size() != static_cast<std::size_t>(inputs_)) {
    throw HostError("the plug-in has " + std::to_string(inputs_) + " inputs, not " +
                    std::to_string(map.inputs.size()));
  }
  for (int32_t output : map.outputs) {
    if (output < 0 || output >= outputs_) {
      throw HostError("the plug-in has no output " + std::to_string(output + 1) + "; it has " +
                      std::to_string(outputs_));
    }
  }
  map_ = map;
}

void RenderLoop::processBlock(int32_t frames) {
  const float* left = file_.channel(0);
  const float* right = file_.channel(1);
  for (std::size_t c = 0; c < map_.inputs.size(); ++c) {
    float* to = in_.channel(c);
    switch (map_.inputs[c]) {
      case InputFeed::left:
        std::copy_n(left, frames, to);
        break;
      case InputFeed::right:
        std::copy_n(right, frames, to);
        break;
      case InputFeed::mid:
        for (int32_t i = 0; i < frames; ++i) {
          to[i] = static_cast<float>((static_cast<double>(left[i]) + right[i]) * 0.5);
        }
        break;
      case InputFeed::silence:
        std::fill_n(to, frames, 0.0f);
        break;
    }
  }
  plugin_.process(in_.pointers(), out_.pointers(), frames);
}

bool RenderLoop::settle(int64_t frames, RenderObserver* observer) {
  ResumedPlugin resumed(plugin_);
  latency_ = plugin_.latency();
  while (frames > 0) {
    if (observer && observer->stopRequested()) return false;
    const auto n = static_cast<int32_t>(std::min<int64_t>(frames, blockSize_));
    file_.clear();
    processBlock(n);
    frames -= n;
  }
  // Plug-ins that announce their delay once processing report it by now.
  latency_ = plugin_.latency();
  return true;
}

RenderOutcome RenderLoop::run(AudioSource& source, AudioSink& sink, int64_t tailFrames,
                              RenderObserver* observer, bool compensateLatency) {
  tailFrames = std::max<int64_t>(tailFrames, 0);
  ResumedPlugin resumed(plugin_);
  // The delay is known once the first block is processed (many plug-ins
  // work it out only then), before anything is written.
  int64_t skip = -1;  // frames still to drop from the front of the output
  const int64_t sourceFrames = source.remainingFrames();
  int64_t total = -1;
  int64_t done = 0;
  int64_t quietRun = 0;  // frames of the tail below the quiet threshold so far
  bool sourceEnded = false;
  while (true) {
    if (observer && observer->stopRequested()) return RenderOutcome::stopped;
    file_.clear();
    int32_t frames = 0;
    if (!sourceEnded) {
      frames = std::clamp(source.read(file_.channel(0), file_.channel(1), blockSize_), 0, blockSize_);
      sourceEnded = frames == 0;
    }
    const bool inTail = frames == 0;
    if (inTail) {
      if (tailFrames == 0) break;
      frames = static_cast<int32_t>(std::min<int64_t>(tailFrames, blockSize_));
      tailFrames -= frames;
    }
    processBlock(frames);
    if (skip < 0) {
      latency_ = std::max(plugin_.latency(), latency_);
      skip = compensateLatency ? latency_ : 0;
      tailFrames += skip;
      total = sourceFrames < 0 ? -1 : sourceFrames + tailFrames + (inTail ? frames : 0) - skip;
    }
    if (inTail && quietFramesToEnd_ > 0) {
      const float* left = out_.channel(static_cast<std::size_t>(map_.outputs[0]));
      const float* right = out_.channel(static_cast<std::size_t>(map_.outputs[1]));
      for (int32_t i = 0; i < frames; ++i) {
        const bool quiet = std::abs(left[i]) < quietThreshold_ && std::abs(right[i]) < quietThreshold_;
        quietRun = quiet ? quietRun + 1 : 0;
      }
      if (quietRun >= quietFramesToEnd_) tailFrames = 0;
    }
    const auto dropped = static_cast<int32_t>(std::min<int64_t>(skip, frames));
    skip -= dropped;
    if (frames > dropped) {
      sink.write(out_.channel(static_cast<std::size_t>(map_.outputs[0])) + dropped,
                 out_.channel(static_cast<std::size_t>(map_.outputs[1])) + dropped, frames - dropped);
      done += frames - dropped;
    }
    if (observer) observer->progress(done, total);
  }
  return RenderOutcome::finished;
}

}  // namespace kqfx::host
