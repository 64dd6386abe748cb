#pragma once
// One plug-in instance on the validator's bench: created through the entry
// function, opened at a sample rate and block size, with input and output
// buffers for every channel it declares, driven one process call at a time
// and watched for allocations inside those calls.

#include <cstdint>
#include <memory>
#include <vector>

#include "AllocationWatch.h"
#include "SampleScan.h"
#include "TracedPlugin.h"

namespace kqfx::command::validate {

// Reproducible white noise in [-1, 1).
class Noise {
 public:
  explicit Noise(uint64_t seed) : state_(seed * 2 + 1) {}
  float next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<float>(static_cast<double>(state_ >> 40) / 8388608.0 - 1.0);
  }

 private:
  uint64_t state_;
};

class PluginRig {
 public:
  // Creates, opens and configures the instance; it is left suspended.
  // Throws HostError when the plug-in refuses or declares absurd channels.
  PluginRig(const host::PluginLibrary& library, float sampleRate, int32_t maxBlock);
  ~PluginRig();
  PluginRig(const PluginRig&) = delete;
  PluginRig& operator=(const PluginRig&) = delete;

  TracedPlugin& plugin() { return *plugin_; }
  int32_t maxBlock() const { return maxBlock_; }
  int32_t numParams() const { return plugin_->numParams(); }

  void resume();
  void suspend();
  // Suspends if needed, then changes the rate and block size and resumes.
  void restart(float sampleRate, int32_t maxBlock);

  // The two channels of input the validator fills (any further inputs the
  // plug-in declares get the same as the left channel).
  float* input(int channel) { return inputs_[static_cast<std::size_t>(channel)].data(); }
  // The first two outputs (a one-output plug-in's one output twice).
  const float* output(int channel) const;
  void fillNoise(Noise& noise, int32_t frames, float amplitude);
  void fillValue(float value, int32_t frames);

  // One process call of `frames` frames (at most the block size): with
  // processReplacing when the plug-in has it, else process into cleared
  // outputs. In place hands the plug-in the same buffers for input and
  // output (replacing plug-ins only).
  void process(int32_t frames, bool inPlace = false);
  // Adds the block just processed to `counts`, counting frames from `at`.
  void scan(SampleCounts& counts, int32_t frames, int64_t at) const;

  const AllocationCounts& allocations() const { return allocations_; }
  bool canReplace() const { return plugin_->canReplace(); }

 private:
  std::unique_ptr<TracedPlugin> plugin_;
  int32_t maxBlock_;
  int32_t inputCount_;
  int32_t outputCount_;
  bool resumed_ = false;
  std::vector<std::vector<float>> inputs_;
  std::vector<std::vector<float>> outputs_;
  std::vector<float*> inputPointers_;
  std::vector<float*> outputPointers_;
  AllocationCounts allocations_;

  void allocateBuffers();
};

}  // namespace kqfx::command::validate
