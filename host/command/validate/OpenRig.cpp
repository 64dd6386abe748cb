#include "Check.h"
#include "Lv2Rig.h"
#include "PluginRig.h"
#include "Vst2Rig.h"

namespace kqfx::command::validate {

const char* formatTitle(PluginFormat format) { return format == PluginFormat::lv2 ? "LV2" : "VST 2"; }

std::unique_ptr<PluginRig> openRig(const CheckContext& context, float sampleRate, int32_t maxBlock) {
  if (context.format() == PluginFormat::lv2) {
    return std::make_unique<Lv2Rig>(*context.plugin.world, context.plugin.uri, sampleRate, maxBlock);
  }
  return std::make_unique<Vst2Rig>(context.library(), sampleRate, maxBlock);
}

}  // namespace kqfx::command::validate
