#pragma once
// One effect instance created through a plug-in's entry function and
// driven through its record, as a host does. Closes the effect (opcode 1)
// when destroyed.

#include <cstdint>
#include <string>

#include "kqfx/framework/AEffect.h"
#include "kqfx/host/PluginLibrary.h"

namespace kqfx::host {

// The protocol version our host reports.
constexpr intptr_t kHostVersion = 2400;

// Answers the version query with kHostVersion and 0 to everything else.
intptr_t defaultHostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);

class PluginInstance {
 public:
  // Calls the library's entry function. Throws HostError when it answers
  // null or a record without the effect magic.
  explicit PluginInstance(const PluginLibrary& library,
                          HostCallback callback = defaultHostCallback);
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect& record() { return *effect_; }
  const AEffect& record() const { return *effect_; }

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
  // Closes now (opcode 1); the record is gone afterwards.
  void close();
  bool isOpen() const { return effect_ != nullptr; }

  // The usual start-up: open, sample rate, block size, resume.
  void start(float sampleRate, int32_t blockSize);
  void suspend() { dispatch(opSuspendResume, 0, 0); }
  void resume() { dispatch(opSuspendResume, 0, 1); }

  int32_t numParams() const { return effect_->numParams; }
  void setParameter(int32_t index, float value) { effect_->setParameter(effect_, index, value); }
  float getParameter(int32_t index) { return effect_->getParameter(effect_, index); }
  std::string parameterName(int32_t index);
  std::string parameterLabel(int32_t index);
  std::string parameterDisplay(int32_t index);
  std::string programName();
  // The text a text-answering opcode writes (names, vendor, product ...),
  // read safely even when the plug-in leaves it unterminated.
  std::string text(int32_t opcode, int32_t index = 0);

  bool canReplace() const { return (effect_->flags & flagCanProcessReplacing) != 0; }
  void processReplacing(float** inputs, float** outputs, int32_t frames) {
    effect_->processReplacing(effect_, inputs, outputs, frames);
  }
  void process(float** inputs, float** outputs, int32_t frames) {
    effect_->process(effect_, inputs, outputs, frames);
  }

 private:
  AEffect* effect_ = nullptr;
};

}  // namespace kqfx::host
