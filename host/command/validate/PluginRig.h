#pragma once
// One plug-in instance on the validator's bench, whatever its format:
// created at a sample rate and block size, with input and output buffers
// for every channel it declares, driven one process call at a time and
// watched for allocations inside those calls. The format's rig (Vst2Rig,
// Lv2Rig) says how the instance is made, set and run; openRig makes the
// one the plug-in under test needs.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AllocationWatch.h"
#include "SampleScan.h"

namespace kqfx::command::validate {

struct CheckContext;

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
  virtual ~PluginRig() = default;
  PluginRig(const PluginRig&) = delete;
  PluginRig& operator=(const PluginRig&) = delete;

  int32_t maxBlock() const { return maxBlock_; }

  // Parameters by their position in their range: 0 is the lowest value, 1
  // the highest; values outside 0..1 (and NaN) go past the range as far.
  virtual int32_t numParams() = 0;
  virtual void setParameter(int32_t index, float position) = 0;
  virtual std::string parameterName(int32_t index) = 0;
  // False for a parameter hosts set but do not move while audio runs (an
  // LV2 port declared costly to change or not meant for automation).
  virtual bool automatable(int32_t /*index*/) { return true; }
  // True for a parameter that takes only positions in 0..1 (an LV2 port
  // declared to take only values in its range): setParameter clamps there,
  // as hosts do, and leaves the value as it was for a NaN.
  virtual bool strictBounds(int32_t /*index*/) { return false; }
  // Reads back what the plug-in shows for a parameter, where the format
  // has a call for it (the value and its text in VST 2).
  virtual void readParameter(int32_t /*index*/) {}

  virtual void resume() = 0;
  virtual void suspend() = 0;
  // Suspends if needed, then changes the rate and block size and resumes.
  virtual void restart(float sampleRate, int32_t maxBlock) = 0;

  // Whether the plug-in may be handed the same buffers for input and output.
  virtual bool canProcessInPlace() = 0;
  // Frames the plug-in says it keeps ringing after its input ends (0: it
  // does not say).
  virtual int64_t declaredTail() { return 0; }

  // The two channels of input the validator fills (any further inputs the
  // plug-in declares get the same as the left channel).
  float* input(int channel) { return sets_[0].inputs[static_cast<std::size_t>(channel)].data(); }
  // The first two outputs (a one-output plug-in's one output twice).
  const float* output(int channel) const;
  void fillNoise(Noise& noise, int32_t frames, float amplitude);
  void fillValue(float value, int32_t frames);

  // One process call of `frames` frames (at most the block size). In place
  // hands the plug-in the same buffers for input and output (only when it
  // may be). With `otherBuffers`, the call gets a second set of buffers,
  // holding the same input, instead of the usual ones.
  void process(int32_t frames, bool inPlace = false, bool otherBuffers = false);
  // Adds the block just processed to `counts`, counting frames from `at`.
  void scan(SampleCounts& counts, int32_t frames, int64_t at) const;

  const AllocationCounts& allocations() const { return allocations_; }

 protected:
  // Throws HostError when the channel counts are absurd or there is no output.
  PluginRig(int32_t maxBlock, int32_t inputCount, int32_t outputCount);
  // Sizes the buffers for a new block size.
  void resizeBuffers(int32_t maxBlock);
  // The format's process call, watched for allocations by process().
  virtual void run(float** inputs, float** outputs, int32_t frames, bool otherBuffers) = 0;
  // Whether run() adds into the outputs rather than replacing them (they
  // are then cleared first).
  virtual bool accumulates() { return false; }

 private:
  struct Buffers {
    std::vector<std::vector<float>> inputs;
    std::vector<std::vector<float>> outputs;
  };
  int32_t maxBlock_;
  int32_t inputCount_;
  int32_t outputCount_;
  // The usual buffers, and the second set for calls with otherBuffers.
  Buffers sets_[2];
  int current_ = 0;  // the set the last call used
  std::vector<float*> inputPointers_;
  std::vector<float*> outputPointers_;
  AllocationCounts allocations_;
};

// The rig for the plug-in under test, suspended.
std::unique_ptr<PluginRig> openRig(const CheckContext& context, float sampleRate, int32_t maxBlock);

}  // namespace kqfx::command::validate
