#include "kqfx/host/Vst2Plugin.h"

#include <algorithm>
#include <cctype>

#include "kqfx/host/HostError.h"
#include "kqfx/host/RenderLoop.h"

namespace kqfx::host {
namespace {

std::string withoutBlanksAround(const std::string& text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  const auto begin = std::find_if_not(text.begin(), text.end(), blank);
  const auto end = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return begin < end ? std::string(begin, end) : std::string();
}

int32_t checkedChannels(int32_t declared, const char* what) {
  if (declared < 0 || declared > kMaxPluginChannels) {
    throw HostError("the plug-in declares " + std::to_string(declared) + " " + what +
                    "; at most " + std::to_string(kMaxPluginChannels) + " can be run");
  }
  return declared;
}

PluginInstance& opened(PluginInstance& instance, float sampleRate, int32_t maxBlockSize) {
  if (maxBlockSize <= 0) throw HostError("the block size must be positive");
  if (!(sampleRate > 0.0f)) throw HostError("the sample rate must be positive");
  checkedChannels(instance.record().numInputs, "inputs");
  checkedChannels(instance.record().numOutputs, "outputs");
  instance.dispatch(opOpen);
  instance.dispatch(opSetSampleRate, 0, 0, nullptr, sampleRate);
  instance.dispatch(opSetBlockSize, 0, maxBlockSize);
  return instance;
}

}  // namespace

const char* formatName(PluginFormat format) {
  return format == PluginFormat::vst2 ? "vst2" : "lv2";
}

Vst2Plugin::Vst2Plugin(PluginInstance& instance, float sampleRate, int32_t maxBlockSize)
    : instance_(opened(instance, sampleRate, maxBlockSize)),
      sampleRate_(sampleRate),
      maxBlockSize_(maxBlockSize),
      inputs_(instance.record().numInputs),
      outputs_(instance.record().numOutputs) {
  for (int32_t index = 0; index < instance_.numParams(); ++index) {
    ParameterInfo info;
    info.name = withoutBlanksAround(instance_.parameterName(index));
    info.unit = withoutBlanksAround(instance_.parameterLabel(index));
    info.defaultValue = instance_.getParameter(index);
    parameters_.push_back(std::move(info));
  }
  // At least two of each, as hosts hand stereo buffers even to plug-ins
  // that declare fewer; the ones beyond the plug-in's count are scratch.
  inputCopies_.assign(static_cast<std::size_t>(std::max(inputs_, 2)),
                      std::vector<float>(static_cast<std::size_t>(maxBlockSize)));
  inputPointers_.resize(inputCopies_.size());
  outputPointers_.resize(static_cast<std::size_t>(std::max(outputs_, 2)));
  outputScratch_.assign(outputPointers_.size() - static_cast<std::size_t>(outputs_),
                        std::vector<float>(static_cast<std::size_t>(maxBlockSize)));
}

Vst2Plugin::Vst2Plugin(std::unique_ptr<PluginLibrary> library,
                       std::unique_ptr<PluginInstance> instance, float sampleRate,
                       int32_t maxBlockSize)
    : Vst2Plugin(*instance, sampleRate, maxBlockSize) {
  ownLibrary_ = std::move(library);
  ownInstance_ = std::move(instance);
}

std::unique_ptr<Vst2Plugin> Vst2Plugin::load(const std::string& path, float sampleRate,
                                             int32_t maxBlockSize) {
  return create(std::make_unique<PluginLibrary>(path), sampleRate, maxBlockSize);
}

std::unique_ptr<Vst2Plugin> Vst2Plugin::create(std::unique_ptr<PluginLibrary> library,
                                               float sampleRate, int32_t maxBlockSize) {
  auto instance = std::make_unique<PluginInstance>(*library);
  return std::unique_ptr<Vst2Plugin>(
      new Vst2Plugin(std::move(library), std::move(instance), sampleRate, maxBlockSize));
}

Vst2Plugin::~Vst2Plugin() {
  if (instance_.isOpen() && active_) instance_.suspend();
  instance_.close();
}

const ParameterInfo& Vst2Plugin::parameterInfo(int32_t index) const {
  return parameters_.at(static_cast<std::size_t>(index));
}

std::string Vst2Plugin::parameterText(int32_t index) {
  return withoutBlanksAround(instance_.parameterDisplay(index));
}

void Vst2Plugin::activate() {
  instance_.resume();
  active_ = true;
}

void Vst2Plugin::deactivate() {
  instance_.suspend();
  active_ = false;
}

int32_t Vst2Plugin::latency() { return std::max(instance_.record().initialDelay, 0); }

void Vst2Plugin::process(const float* const* inputs, float* const* outputs, int32_t frames) {
  const auto n = static_cast<std::size_t>(frames);
  const bool replaces = instance_.canReplace();
  for (std::size_t i = 0; i < inputPointers_.size(); ++i) {
    float* scratch = inputCopies_[i].data();
    if (i >= static_cast<std::size_t>(inputs_)) {
      std::fill_n(scratch, n, 0.0f);
      inputPointers_[i] = scratch;
    } else if (replaces) {
      inputPointers_[i] = const_cast<float*>(inputs[i]);
    } else {
      // Outputs are cleared before an accumulating call: an input that is
      // also an output must be read from a copy.
      std::copy_n(inputs[i], n, scratch);
      inputPointers_[i] = scratch;
    }
  }
  for (std::size_t i = 0; i < outputPointers_.size(); ++i) {
    outputPointers_[i] = i < static_cast<std::size_t>(outputs_)
                             ? outputs[i]
                             : outputScratch_[i - static_cast<std::size_t>(outputs_)].data();
  }
  if (replaces) {
    instance_.processReplacing(inputPointers_.data(), outputPointers_.data(), frames);
  } else {
    for (float* output : outputPointers_) std::fill_n(output, n, 0.0f);
    instance_.process(inputPointers_.data(), outputPointers_.data(), frames);
  }
}

}  // namespace kqfx::host
