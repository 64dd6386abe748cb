#pragma once
// A plug-in instance whose every call from the validator is recorded in
// the call trail first, so that a failure, crash or hang can say what led
// to it.

#include <cstdint>
#include <string>

#include "CallTrail.h"
#include "kqfx/host/PluginInstance.h"

namespace kqfx::command::validate {

class TracedPlugin {
 public:
  explicit TracedPlugin(const host::PluginLibrary& library)
      : plugin_((recordCall(CallKind::entry), library)) {}
  ~TracedPlugin() { close(); }
  TracedPlugin(const TracedPlugin&) = delete;
  TracedPlugin& operator=(const TracedPlugin&) = delete;

  AEffect& record() { return plugin_.record(); }
  const AEffect& record() const { return plugin_.record(); }

  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f) {
    recordCall(CallKind::dispatch, opcode, index, value, opt);
    return plugin_.dispatch(opcode, index, value, ptr, opt);
  }
  void close() {
    if (plugin_.isOpen()) recordCall(CallKind::dispatch, opClose);
    plugin_.close();
  }
  void suspend() { dispatch(opSuspendResume, 0, 0); }
  void resume() { dispatch(opSuspendResume, 0, 1); }

  int32_t numParams() const { return plugin_.numParams(); }
  void setParameter(int32_t index, float value) {
    recordCall(CallKind::setParameter, 0, index, 0, value);
    plugin_.setParameter(index, value);
  }
  float getParameter(int32_t index) {
    recordCall(CallKind::getParameter, 0, index);
    return plugin_.getParameter(index);
  }
  std::string text(int32_t opcode, int32_t index = 0) {
    recordCall(CallKind::dispatch, opcode, index);
    return plugin_.text(opcode, index);
  }
  std::string parameterName(int32_t index) { return text(opGetParameterName, index); }
  std::string parameterDisplay(int32_t index) { return text(opGetParameterDisplay, index); }

  bool canReplace() const { return plugin_.canReplace(); }
  void processReplacing(float** inputs, float** outputs, int32_t frames) {
    recordCall(CallKind::processReplacing, 0, 0, frames);
    plugin_.processReplacing(inputs, outputs, frames);
  }
  void process(float** inputs, float** outputs, int32_t frames) {
    recordCall(CallKind::process, 0, 0, frames);
    plugin_.process(inputs, outputs, frames);
  }

 private:
  host::PluginInstance plugin_;
};

}  // namespace kqfx::command::validate
