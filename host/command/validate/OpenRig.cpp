#include "Check.h"
#include "PluginRig.h"
#include "Vst2Rig.h"

namespace kqfx::command::validate {

const char* formatName(PluginFormat format) { return format == PluginFormat::lv2 ? "LV2" : "VST 2"; }

std::unique_ptr<PluginRig> openRig(const CheckContext& context, float sampleRate, int32_t maxBlock) {
  return std::make_unique<Vst2Rig>(context.library(), sampleRate, maxBlock);
}

}  // namespace kqfx::command::validate
