#include "kqfx/host/PluginInstance.h"

#include <array>

namespace kqfx::host {

intptr_t defaultHostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == cbVersion ? kHostVersion : 0;
}

PluginInstance::PluginInstance(const PluginLibrary& library, HostCallback callback) {
  AEffect* effect = library.entry()(callback);
  if (!effect) throw HostError("the plug-in '" + library.path() + "' refused to start");
  if (effect->magic != kEffectMagic) {
    throw HostError("'" + library.path() + "' answered a record that is not a VST 2 effect");
  }
  effect_ = effect;
}

PluginInstance::~PluginInstance() { close(); }

void PluginInstance::close() {
  if (!effect_) return;
  AEffect* effect = effect_;
  effect_ = nullptr;
  effect->dispatcher(effect, opClose, 0, 0, nullptr, 0.0f);
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginInstance::start(float sampleRate, int32_t blockSize) {
  dispatch(opOpen);
  dispatch(opSetSampleRate, 0, 0, nullptr, sampleRate);
  dispatch(opSetBlockSize, 0, blockSize);
  resume();
}

std::string PluginInstance::text(int32_t opcode, int32_t index) {
  // Generous, zeroed, and read only up to its first terminator or its end,
  // so a plug-in that writes an unterminated text cannot make us overrun.
  std::array<char, 256> buffer{};
  dispatch(opcode, index, 0, buffer.data());
  std::size_t length = 0;
  while (length < buffer.size() && buffer[length] != '\0') ++length;
  return std::string(buffer.data(), length);
}

std::string PluginInstance::parameterName(int32_t index) { return text(opGetParameterName, index); }
std::string PluginInstance::parameterLabel(int32_t index) {
  return text(opGetParameterLabel, index);
}
std::string PluginInstance::parameterDisplay(int32_t index) {
  return text(opGetParameterDisplay, index);
}
std::string PluginInstance::programName() { return text(opGetProgramName, 0); }

}  // namespace kqfx::host
