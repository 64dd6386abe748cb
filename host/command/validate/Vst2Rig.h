#pragma once
// The rig for a VST 2 plug-in: the instance created through the entry
// function, opened, given the rate and block size, and driven through its
// record with every call traced.

#include <memory>

#include "PluginRig.h"
#include "TracedPlugin.h"

namespace kqfx::command::validate {

class Vst2Rig final : public PluginRig {
 public:
  // Creates, opens and configures the instance; it is left suspended.
  // Throws HostError when the plug-in refuses or declares absurd channels.
  Vst2Rig(const host::PluginLibrary& library, float sampleRate, int32_t maxBlock);
  ~Vst2Rig() override;

  TracedPlugin& plugin() { return *plugin_; }

  int32_t numParams() override { return plugin_->numParams(); }
  // VST 2 parameters are positions in their range already.
  void setParameter(int32_t index, float position) override { plugin_->setParameter(index, position); }
  std::string parameterName(int32_t index) override { return plugin_->parameterName(index); }
  void readParameter(int32_t index) override {
    (void)plugin_->getParameter(index);
    (void)plugin_->parameterDisplay(index);
  }

  void resume() override;
  void suspend() override;
  void restart(float sampleRate, int32_t maxBlock) override;

  // processReplacing alone may work in place.
  bool canProcessInPlace() override { return plugin_->canReplace(); }
  int64_t declaredTail() override;

 private:
  std::unique_ptr<TracedPlugin> plugin_;
  bool resumed_ = false;

  Vst2Rig(std::unique_ptr<TracedPlugin> plugin, float sampleRate, int32_t maxBlock);
  void run(float** inputs, float** outputs, int32_t frames, bool otherBuffers) override;
  bool accumulates() override { return !plugin_->canReplace(); }
};

}  // namespace kqfx::command::validate
