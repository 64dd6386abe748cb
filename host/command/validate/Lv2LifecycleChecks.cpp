// Loading and the life of LV2 instances: instantiated, activated,
// deactivated and cleaned up alone, beside another instance and side by
// side, as hosts do when they scan, load and rearrange sessions.
#include <memory>
#include <vector>

#include "CheckSupport.h"
#include "Checks.h"
#include "Lv2Rig.h"

namespace kqfx::command::validate {
namespace {

std::unique_ptr<Lv2Rig> lv2Rig(const CheckContext& context, float sampleRate, int32_t maxBlock) {
  return std::make_unique<Lv2Rig>(*context.plugin.world, context.plugin.uri, sampleRate, maxBlock);
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

CheckOutcome checkLv2Loading(const CheckContext& context) {
  // A plug-in that needs what kqfx does not give is right to refuse: it
  // is not validated, which is no fault of its own.
  const std::vector<std::string> missing =
      host::Lv2Plugin::missingFeatures(context.plugin.world->describe(context.plugin.uri));
  if (!missing.empty()) {
    return CheckOutcome::skipped("kqfx cannot host it: it requires " + joined(missing) +
                                 ", which kqfx does not give");
  }
  const std::unique_ptr<Lv2Rig> rig = lv2Rig(context, 44100.0f, 512);
  const host::Lv2PluginDescription& description = rig->plugin().description();
  return CheckOutcome::passed(
      "lilv instantiated it from " + description.libraryPath + ": " +
      (description.className.empty() ? std::string("no class") : description.className) + ", " +
      std::to_string(description.audioInputs) + " in, " + std::to_string(description.audioOutputs) +
      " out, " + std::to_string(rig->numParams()) + " control inputs, " +
      std::to_string(description.ports.size()) + " ports" +
      (description.requiredFeatures.empty() ? std::string()
                                            : "; requires " + joined(description.requiredFeatures)));
}

CheckOutcome checkLv2Lifecycle(const CheckContext& context) {
  const int cycles = context.scaled(10);
  Noise noise(context.settings.seed);
  SampleCounts counts;
  int64_t at = 0;
  // Alone (lilv loads the shared object for the instance and lets it go
  // with it), then beside an instance that keeps it loaded; each one run a
  // little between activate and deactivate.
  for (int i = 0; i < cycles; ++i) {
    const std::unique_ptr<Lv2Rig> rig = lv2Rig(context, 44100.0f, 512);
    rig->resume();
    renderNoise(*rig, noise, 512, 512, counts, at);
    rig->suspend();
  }
  {
    const std::unique_ptr<Lv2Rig> keeper = lv2Rig(context, 44100.0f, 512);
    for (int i = 0; i < cycles; ++i) {
      const std::unique_ptr<Lv2Rig> rig = lv2Rig(context, 48000.0f, 256);
      rig->resume();
      renderNoise(*rig, noise, 256, 256, counts, at);
      rig->suspend();
    }
    // Made and cleaned up without ever being activated, as a scanning host does.
    for (int i = 0; i < cycles; ++i) (void)lv2Rig(context, 44100.0f, 512);
    // One instance switched on and off again and again.
    for (int i = 0; i < cycles; ++i) {
      keeper->resume();
      renderNoise(*keeper, noise, 64, 64, counts, at);
      keeper->suspend();
    }
  }
  if (!counts.allFinite()) {
    return CheckOutcome::failed("instances activated and deactivated wrote " +
                                counts.describeNonFinite() + " samples");
  }

  // Side by side: four instances processing in turn, cleaned up in another
  // order than they were made.
  constexpr int kSideBySide = 4;
  std::vector<std::unique_ptr<Lv2Rig>> rigs;
  for (int i = 0; i < kSideBySide; ++i) {
    rigs.push_back(lv2Rig(context, 44100.0f, 256));
    rigs.back()->resume();
  }
  std::vector<SampleCounts> sideCounts(kSideBySide);
  std::vector<int64_t> sideAt(kSideBySide, 0);
  for (int block = 0; block < context.scaled(20); ++block) {
    for (std::size_t i = 0; i < kSideBySide; ++i) {
      renderNoise(*rigs[i], noise, 256, 256, sideCounts[i], sideAt[i]);
    }
  }
  for (std::size_t i = 0; i < kSideBySide; ++i) {
    if (!sideCounts[i].allFinite()) {
      return CheckOutcome::failed("instance " + std::to_string(i + 1) + " of " +
                                  std::to_string(kSideBySide) + " side by side wrote " +
                                  sideCounts[i].describeNonFinite() + " samples");
    }
  }
  rigs[1].reset();
  rigs[3].reset();
  rigs[0].reset();
  rigs[2].reset();
  return CheckOutcome::passed(std::to_string(cycles) + " instantiate/activate/run/deactivate/cleanup cycles alone and " +
                              std::to_string(cycles) + " beside another instance, " +
                              std::to_string(cycles) + " instances never activated, " +
                              std::to_string(cycles) + " activate/deactivate cycles of one instance, " +
                              std::to_string(kSideBySide) + " instances side by side");
}

}  // namespace kqfx::command::validate
