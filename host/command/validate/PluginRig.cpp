#include "PluginRig.h"

#include <algorithm>
#include <string>

#include "kqfx/host/HostError.h"
#include "kqfx/host/RenderLoop.h"

namespace kqfx::command::validate {
namespace {

int32_t checkedChannels(int32_t declared, const char* what) {
  if (declared < 0 || declared > host::kMaxPluginChannels) {
    throw host::HostError("the plug-in declares " + std::to_string(declared) + " " + what);
  }
  return declared;
}

}  // namespace

PluginRig::PluginRig(const host::PluginLibrary& library, float sampleRate, int32_t maxBlock)
    : plugin_(std::make_unique<TracedPlugin>(library)),
      maxBlock_(maxBlock),
      inputCount_(checkedChannels(plugin_->record().numInputs, "inputs")),
      outputCount_(checkedChannels(plugin_->record().numOutputs, "outputs")) {
  if (outputCount_ == 0) throw host::HostError("the plug-in has no audio outputs");
  allocateBuffers();
  plugin_->dispatch(opOpen);
  plugin_->dispatch(opSetSampleRate, 0, 0, nullptr, sampleRate);
  plugin_->dispatch(opSetBlockSize, 0, maxBlock_);
}

PluginRig::~PluginRig() {
  if (resumed_) suspend();
}

void PluginRig::allocateBuffers() {
  const std::size_t size = static_cast<std::size_t>(maxBlock_);
  inputs_.assign(static_cast<std::size_t>(std::max(inputCount_, 2)), std::vector<float>(size));
  outputs_.assign(static_cast<std::size_t>(std::max(outputCount_, 2)), std::vector<float>(size));
  inputPointers_.resize(inputs_.size());
  outputPointers_.resize(outputs_.size());
}

void PluginRig::resume() {
  plugin_->resume();
  resumed_ = true;
}

void PluginRig::suspend() {
  plugin_->suspend();
  resumed_ = false;
}

void PluginRig::restart(float sampleRate, int32_t maxBlock) {
  if (resumed_) suspend();
  maxBlock_ = maxBlock;
  allocateBuffers();
  plugin_->dispatch(opSetSampleRate, 0, 0, nullptr, sampleRate);
  plugin_->dispatch(opSetBlockSize, 0, maxBlock_);
  resume();
}

const float* PluginRig::output(int channel) const {
  return outputs_[outputCount_ == 1 ? 0 : static_cast<std::size_t>(channel)].data();
}

void PluginRig::fillNoise(Noise& noise, int32_t frames, float amplitude) {
  // Frame by frame, so that the same stream comes out whatever the blocks.
  float* left = input(0);
  float* right = input(1);
  for (int32_t i = 0; i < frames; ++i) {
    left[i] = amplitude * noise.next();
    right[i] = amplitude * noise.next();
  }
}

void PluginRig::fillValue(float value, int32_t frames) {
  for (int c = 0; c < 2; ++c) std::fill(input(c), input(c) + frames, value);
}

void PluginRig::process(int32_t frames, bool inPlace) {
  frames = std::clamp(frames, 0, maxBlock_);
  for (std::size_t c = 2; c < inputs_.size(); ++c) {
    std::copy(inputs_[0].begin(), inputs_[0].begin() + frames, inputs_[c].begin());
  }
  for (std::size_t c = 0; c < inputs_.size(); ++c) inputPointers_[c] = inputs_[c].data();
  for (std::size_t c = 0; c < outputs_.size(); ++c) outputPointers_[c] = outputs_[c].data();
  if (plugin_->canReplace()) {
    float** in = inputPointers_.data();
    if (inPlace && inputs_.size() == outputs_.size()) {
      for (std::size_t c = 0; c < inputs_.size(); ++c) {
        std::copy(inputs_[c].begin(), inputs_[c].begin() + frames, outputs_[c].begin());
      }
      in = outputPointers_.data();
    }
    AllocationWatch watch(allocations_);
    plugin_->processReplacing(in, outputPointers_.data(), frames);
  } else {
    for (std::vector<float>& channel : outputs_) std::fill(channel.begin(), channel.end(), 0.0f);
    AllocationWatch watch(allocations_);
    plugin_->process(inputPointers_.data(), outputPointers_.data(), frames);
  }
}

void PluginRig::scan(SampleCounts& counts, int32_t frames, int64_t at) const {
  for (std::size_t c = 0; c < std::min<std::size_t>(outputs_.size(), static_cast<std::size_t>(outputCount_)); ++c) {
    counts.add(outputs_[c].data(), frames, at);
  }
}

}  // namespace kqfx::command::validate
