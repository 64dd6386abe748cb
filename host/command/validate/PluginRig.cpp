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

PluginRig::PluginRig(int32_t maxBlock, int32_t inputCount, int32_t outputCount)
    : maxBlock_(maxBlock),
      inputCount_(checkedChannels(inputCount, "inputs")),
      outputCount_(checkedChannels(outputCount, "outputs")) {
  if (outputCount_ == 0) throw host::HostError("the plug-in has no audio outputs");
  resizeBuffers(maxBlock);
}

void PluginRig::resizeBuffers(int32_t maxBlock) {
  maxBlock_ = maxBlock;
  const std::size_t size = static_cast<std::size_t>(maxBlock_);
  for (Buffers& set : sets_) {
    set.inputs.assign(static_cast<std::size_t>(std::max(inputCount_, 2)), std::vector<float>(size));
    set.outputs.assign(static_cast<std::size_t>(std::max(outputCount_, 2)), std::vector<float>(size));
  }
  inputPointers_.resize(sets_[0].inputs.size());
  outputPointers_.resize(sets_[0].outputs.size());
  current_ = 0;
}

const float* PluginRig::output(int channel) const {
  return sets_[current_].outputs[outputCount_ == 1 ? 0 : static_cast<std::size_t>(channel)].data();
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

void PluginRig::process(int32_t frames, bool inPlace, bool otherBuffers) {
  frames = std::clamp(frames, 0, maxBlock_);
  std::vector<std::vector<float>>& filled = sets_[0].inputs;
  for (std::size_t c = 2; c < filled.size(); ++c) {
    std::copy(filled[0].begin(), filled[0].begin() + frames, filled[c].begin());
  }
  current_ = otherBuffers ? 1 : 0;
  Buffers& set = sets_[current_];
  if (otherBuffers) {
    for (std::size_t c = 0; c < filled.size(); ++c) {
      std::copy(filled[c].begin(), filled[c].begin() + frames, set.inputs[c].begin());
    }
  }
  for (std::size_t c = 0; c < set.inputs.size(); ++c) inputPointers_[c] = set.inputs[c].data();
  for (std::size_t c = 0; c < set.outputs.size(); ++c) outputPointers_[c] = set.outputs[c].data();
  if (accumulates()) {
    for (std::vector<float>& channel : set.outputs) std::fill(channel.begin(), channel.end(), 0.0f);
    AllocationWatch watch(allocations_);
    run(inputPointers_.data(), outputPointers_.data(), frames, otherBuffers);
    return;
  }
  float** in = inputPointers_.data();
  if (inPlace && set.inputs.size() == set.outputs.size()) {
    for (std::size_t c = 0; c < set.inputs.size(); ++c) {
      std::copy(set.inputs[c].begin(), set.inputs[c].begin() + frames, set.outputs[c].begin());
    }
    in = outputPointers_.data();
  }
  AllocationWatch watch(allocations_);
  run(in, outputPointers_.data(), frames, otherBuffers);
}

void PluginRig::scan(SampleCounts& counts, int32_t frames, int64_t at) const {
  const std::vector<std::vector<float>>& outputs = sets_[current_].outputs;
  for (std::size_t c = 0; c < std::min<std::size_t>(outputs.size(), static_cast<std::size_t>(outputCount_)); ++c) {
    counts.add(outputs[c].data(), frames, at);
  }
}

}  // namespace kqfx::command::validate
