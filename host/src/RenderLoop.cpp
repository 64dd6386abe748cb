#include "kqfx/host/RenderLoop.h"

#include <algorithm>
#include <string>

#include "kqfx/host/HostError.h"

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

// Suspends the plug-in when a run ends, however it ends.
class ResumedPlugin {
 public:
  explicit ResumedPlugin(PluginInstance& plugin) : plugin_(plugin) { plugin_.resume(); }
  ~ResumedPlugin() { plugin_.suspend(); }
  ResumedPlugin(const ResumedPlugin&) = delete;
  ResumedPlugin& operator=(const ResumedPlugin&) = delete;

 private:
  PluginInstance& plugin_;
};

}  // namespace

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
    : plugin_(plugin),
      blockSize_(checkedBlockSize(blockSize)),
      inputs_(checkedChannels(plugin.record().numInputs, "inputs")),
      outputs_(checkedChannels(plugin.record().numOutputs, "outputs")),
      in_(inputs_, blockSize_),
      out_(outputs_, blockSize_) {
  if (outputs_ == 0) throw HostError("the plug-in has no audio outputs");
  if (!(sampleRate > 0.0f)) throw HostError("the sample rate must be positive");
  plugin_.dispatch(opOpen);
  plugin_.dispatch(opSetSampleRate, 0, 0, nullptr, sampleRate);
  plugin_.dispatch(opSetBlockSize, 0, blockSize_);
}

RenderLoop::~RenderLoop() { plugin_.close(); }

void RenderLoop::processBlock(int32_t frames) {
  if (inputs_ == 1) {
    float* left = in_.channel(0);
    const float* right = in_.channel(1);
    for (int32_t i = 0; i < frames; ++i) {
      left[i] = static_cast<float>((static_cast<double>(left[i]) + right[i]) * 0.5);
    }
  }
  if (plugin_.canReplace()) {
    plugin_.processReplacing(in_.pointers(), out_.pointers(), frames);
  } else {
    out_.clear();
    plugin_.process(in_.pointers(), out_.pointers(), frames);
  }
}

bool RenderLoop::settle(int64_t frames, RenderObserver* observer) {
  ResumedPlugin resumed(plugin_);
  latency_ = std::max(plugin_.record().initialDelay, 0);
  while (frames > 0) {
    if (observer && observer->stopRequested()) return false;
    const auto n = static_cast<int32_t>(std::min<int64_t>(frames, blockSize_));
    in_.clear();
    processBlock(n);
    frames -= n;
  }
  return true;
}

RenderOutcome RenderLoop::run(AudioSource& source, AudioSink& sink, int64_t tailFrames,
                              RenderObserver* observer, bool compensateLatency) {
  tailFrames = std::max<int64_t>(tailFrames, 0);
  ResumedPlugin resumed(plugin_);
  latency_ = std::max(plugin_.record().initialDelay, 0);
  // Frames still to drop from the front of the output.
  int64_t skip = compensateLatency ? latency_ : 0;
  tailFrames += skip;
  const int64_t sourceFrames = source.remainingFrames();
  const int64_t total = sourceFrames < 0 ? -1 : sourceFrames + tailFrames - skip;
  int64_t done = 0;
  bool sourceEnded = false;
  while (true) {
    if (observer && observer->stopRequested()) return RenderOutcome::stopped;
    in_.clear();
    int32_t frames = 0;
    if (!sourceEnded) {
      frames = std::clamp(source.read(in_.channel(0), in_.channel(1), blockSize_), 0, blockSize_);
      sourceEnded = frames == 0;
    }
    if (frames == 0) {
      if (tailFrames == 0) break;
      frames = static_cast<int32_t>(std::min<int64_t>(tailFrames, blockSize_));
      tailFrames -= frames;
    }
    processBlock(frames);
    const auto dropped = static_cast<int32_t>(std::min<int64_t>(skip, frames));
    skip -= dropped;
    if (frames > dropped) {
      sink.write(out_.channel(0) + dropped, out_.channel(outputs_ == 1 ? 0 : 1) + dropped,
                 frames - dropped);
      done += frames - dropped;
    }
    if (observer) observer->progress(done, total);
  }
  return RenderOutcome::finished;
}

}  // namespace kqfx::host
