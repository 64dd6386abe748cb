#pragma once
// A VST 2 instance as a format-neutral Plugin: over a PluginInstance fresh
// from its entry function, which it opens and sets to the sample rate and
// block size, and closes when destroyed.

#include <memory>
#include <vector>

#include "kqfx/host/Plugin.h"
#include "kqfx/host/PluginInstance.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::host {

class Vst2Plugin final : public Plugin {
 public:
  // Opens `instance` (open, sample rate, block size). Throws HostError when
  // the rate or block size is not positive, leaving it unopened.
  Vst2Plugin(PluginInstance& instance, float sampleRate, int32_t maxBlockSize);
  // Loads the shared object and creates its own instance.
  static std::unique_ptr<Vst2Plugin> load(const std::string& path, float sampleRate,
                                          int32_t maxBlockSize);
  // Creates its own instance of a library already loaded, and keeps both.
  static std::unique_ptr<Vst2Plugin> create(std::unique_ptr<PluginLibrary> library,
                                            float sampleRate, int32_t maxBlockSize);
  ~Vst2Plugin() override;
  Vst2Plugin(const Vst2Plugin&) = delete;
  Vst2Plugin& operator=(const Vst2Plugin&) = delete;

  PluginInstance& instance() { return instance_; }

  PluginFormat format() const override { return PluginFormat::vst2; }
  int32_t inputs() const override { return inputs_; }
  int32_t outputs() const override { return outputs_; }
  float sampleRate() const override { return sampleRate_; }
  int32_t maxBlockSize() const override { return maxBlockSize_; }

  int32_t parameterCount() const override { return static_cast<int32_t>(parameters_.size()); }
  const ParameterInfo& parameterInfo(int32_t index) const override;
  float parameterValue(int32_t index) override { return instance_.getParameter(index); }
  void setParameterValue(int32_t index, float value) override {
    instance_.setParameter(index, value);
  }
  std::string parameterText(int32_t index) override;

  void activate() override;
  void deactivate() override;
  bool isActive() const override { return active_; }
  void process(const float* const* inputs, float* const* outputs, int32_t frames) override;
  int32_t latency() override;

 private:
  Vst2Plugin(std::unique_ptr<PluginLibrary> library, std::unique_ptr<PluginInstance> instance,
             float sampleRate, int32_t maxBlockSize);

  std::unique_ptr<PluginLibrary> ownLibrary_;
  std::unique_ptr<PluginInstance> ownInstance_;
  PluginInstance& instance_;
  float sampleRate_;
  int32_t maxBlockSize_;
  int32_t inputs_;
  int32_t outputs_;
  bool active_ = false;
  std::vector<ParameterInfo> parameters_;
  // For a plug-in that only accumulates (no processReplacing): its inputs
  // copied aside when processing in place, and the pointer arrays handed
  // over (the record takes non-const pointers).
  std::vector<std::vector<float>> inputCopies_;
  std::vector<std::vector<float>> outputScratch_;  // outputs past the plug-in's count
  std::vector<float*> inputPointers_;
  std::vector<float*> outputPointers_;
};

}  // namespace kqfx::host
