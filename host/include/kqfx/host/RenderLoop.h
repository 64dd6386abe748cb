#pragma once
// Runs audio through one plug-in instance of either format the way hosts
// do: an instance set to its rate and block size, then the caller's
// parameter writes, then activate, blocks of process, deactivate (run).
// For VST 2 that is open, sample rate, block size (construction from a
// PluginInstance), resume, blocks of processReplacing (or of process into
// zeroed outputs when the plug-in cannot replace), suspend, and close
// (destruction).
//
// Plug-ins with other channel counts than two are served too, by a
// channel map: by default a plug-in with one input gets the mid (L+R)/2,
// extra inputs (a side-chain) get silence, and the output of a one-output
// plug-in goes to both channels.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kqfx/host/AudioStream.h"
#include "kqfx/host/Plugin.h"
#include "kqfx/host/PluginInstance.h"

namespace kqfx::host {

// Watches a render from the render's own thread.
class RenderObserver {
 public:
  virtual ~RenderObserver() = default;
  // After every block: frames written so far and in all (-1 if unknown).
  virtual void progress(int64_t framesDone, int64_t framesTotal) = 0;
  // Asked before every block; true ends the render early.
  virtual bool stopRequested() = 0;
};

enum class RenderOutcome { finished, stopped };

// What feeds each plug-in input, and which plug-in outputs become the
// left and right channels written.
enum class InputFeed { left, right, mid, silence };
struct ChannelMap {
  std::vector<InputFeed> inputs;  // one per plug-in input
  std::array<int32_t, 2> outputs{0, 1};  // plug-in output indices, from 0
};

// The map used unless another is asked for (see the file comment).
ChannelMap defaultChannelMap(int32_t inputs, int32_t outputs);

// "1 input (mid) -> 1 output (both sides)"-like text for people: the
// inputs with what feeds them, the outputs written left and right.
std::string channelMapText(const ChannelMap& map);

// The most channels a plug-in may declare and still be run: beyond any
// real plug-in (LSP's 48-voice multisampler has 98 outputs), short of a
// count read from a broken record.
constexpr int32_t kMaxPluginChannels = 256;

class RenderLoop {
 public:
  // Opens the instance, which must be fresh from its entry function, and
  // sets the sample rate and block size. Throws HostError when the plug-in
  // cannot be run (no outputs, absurd channel counts) or the rate or block
  // size is not positive; the instance is then left unopened.
  RenderLoop(PluginInstance& plugin, float sampleRate, int32_t blockSize);
  // Runs an instance of either format, switched off, at its own rate in
  // blocks of its largest block size. Throws HostError when it cannot be
  // run (no outputs, absurd channel counts). The instance stays the
  // caller's.
  explicit RenderLoop(Plugin& plugin);
  // Closes the instance when the loop opened it.
  ~RenderLoop();
  RenderLoop(const RenderLoop&) = delete;
  RenderLoop& operator=(const RenderLoop&) = delete;

  // Replaces the default channel map; throws HostError when it names an
  // output the plug-in does not have or gives the wrong number of inputs.
  void setChannelMap(const ChannelMap& map);
  const ChannelMap& channelMap() const { return map_; }
  int32_t inputs() const { return inputs_; }
  int32_t outputs() const { return outputs_; }

  // Lets parameter changes made so far settle before a render: resumes,
  // processes `frames` frames of silence, and suspends, so that the render
  // starts from a clean state with every value in place. Answers false when
  // the observer asked to stop.
  bool settle(int64_t frames, RenderObserver* observer = nullptr);

  // Resumes, processes the whole source and then `tailFrames` frames of
  // silence (so reverbs and echoes ring out) in blocks of at most the block
  // size, and suspends, also when the sink throws. With `compensateLatency`
  // the delay the plug-in reports after its first block is taken off the front of
  // the output and added to the tail, so that the output lines up with the
  // input. Call once.
  RenderOutcome run(AudioSource& source, AudioSink& sink, int64_t tailFrames,
                    RenderObserver* observer = nullptr, bool compensateLatency = false);

  // Makes run() end its tail early, once the output has stayed below
  // `threshold` (absolute sample value) for `quietFrames` frames; the tail
  // given to run() is then the most it may take.
  void endTailWhenQuiet(int64_t quietFrames, float threshold) {
    quietFramesToEnd_ = quietFrames;
    quietThreshold_ = threshold;
  }

  // The delay in frames the plug-in reported when last resumed or after
  // settling (0 before).
  int32_t latency() const { return latency_; }

  // The instance driven.
  Plugin& plugin() { return plugin_; }

 private:
  // Planar buffers for every channel the plug-in declares, at least two,
  // with the pointer array handed to the plug-in.
  class ChannelBuffers {
   public:
    ChannelBuffers(int32_t channels, int32_t frames);
    float* channel(std::size_t index) { return samples_[index].data(); }
    // The pointer array, restored in case the plug-in wrote into it.
    float** pointers();
    void clear();

   private:
    std::vector<std::vector<float>> samples_;
    std::vector<float*> pointers_;
  };

  // Feeds the plug-in's inputs from the two file channels and processes.
  void processBlock(int32_t frames);

  std::unique_ptr<Plugin> opened_;  // the VST 2 instance the loop opened, if it did
  Plugin& plugin_;
  int32_t blockSize_;
  int32_t inputs_;
  int32_t outputs_;
  int32_t latency_ = 0;
  int64_t quietFramesToEnd_ = 0;  // 0: the tail runs its full length
  float quietThreshold_ = 0.0f;
  ChannelMap map_;
  ChannelBuffers file_;  // the two channels read from the source
  ChannelBuffers in_;
  ChannelBuffers out_;
};

}  // namespace kqfx::host
