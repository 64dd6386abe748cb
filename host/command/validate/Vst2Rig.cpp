#include "Vst2Rig.h"

#include "kqfx/host/HostError.h"

namespace kqfx::command::validate {

Vst2Rig::Vst2Rig(const host::PluginLibrary& library, float sampleRate, int32_t maxBlock)
    : Vst2Rig(std::make_unique<TracedPlugin>(library), sampleRate, maxBlock) {}

Vst2Rig::Vst2Rig(std::unique_ptr<TracedPlugin> plugin, float sampleRate, int32_t maxBlock)
    : PluginRig(maxBlock, plugin->record().numInputs, plugin->record().numOutputs),
      plugin_(std::move(plugin)) {
  plugin_->dispatch(opOpen);
  plugin_->dispatch(opSetSampleRate, 0, 0, nullptr, sampleRate);
  plugin_->dispatch(opSetBlockSize, 0, maxBlock);
}

Vst2Rig::~Vst2Rig() {
  if (resumed_) suspend();
}

void Vst2Rig::resume() {
  plugin_->resume();
  resumed_ = true;
}

void Vst2Rig::suspend() {
  plugin_->suspend();
  resumed_ = false;
}

void Vst2Rig::restart(float sampleRate, int32_t maxBlock) {
  if (resumed_) suspend();
  resizeBuffers(maxBlock);
  plugin_->dispatch(opSetSampleRate, 0, 0, nullptr, sampleRate);
  plugin_->dispatch(opSetBlockSize, 0, maxBlock);
  resume();
}

int64_t Vst2Rig::declaredTail() {
  const intptr_t tail = plugin_->dispatch(opGetTailSize);
  return tail > 1 ? tail : 0;
}

void Vst2Rig::run(float** inputs, float** outputs, int32_t frames, bool /*otherBuffers*/) {
  if (plugin_->canReplace()) {
    plugin_->processReplacing(inputs, outputs, frames);
  } else {
    plugin_->process(inputs, outputs, frames);
  }
}

}  // namespace kqfx::command::validate
