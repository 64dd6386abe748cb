#pragma once
// The rig for an LV2 plug-in: an instance made through lilv (helper E's
// Lv2Plugin), its control inputs set by their position in the port's
// range, activated and deactivated, run with every call traced. LV2 fixes
// the sample rate at instantiation, so a change of rate or block size
// makes a new instance, as hosts do.

#include <memory>
#include <string>
#include <vector>

#include "PluginRig.h"
#include "kqfx/host/Lv2Plugin.h"

namespace kqfx::command::validate {

class Lv2Rig final : public PluginRig {
 public:
  // Instantiates the plug-in `uri` of `world`, left deactivated. Throws
  // HostError when lilv or the plug-in refuses.
  Lv2Rig(host::Lv2World& world, const std::string& uri, float sampleRate, int32_t maxBlock);
  ~Lv2Rig() override;

  host::Lv2Plugin& plugin() { return *plugin_; }

  int32_t numParams() override { return plugin_->parameterCount(); }
  // A position in 0..1 goes to a value a host would write: in the range,
  // and for integer, toggled and enumerated ports one of their values;
  // positions outside 0..1 and NaN go past the range unrounded.
  void setParameter(int32_t index, float position) override;
  std::string parameterName(int32_t index) override;
  bool automatable(int32_t index) override { return plugin_->parameterInfo(index).automatable; }
  bool strictBounds(int32_t index) override { return plugin_->parameterInfo(index).strictBounds; }

  void resume() override;
  void suspend() override;
  void restart(float sampleRate, int32_t maxBlock) override;

  bool canProcessInPlace() override { return !inPlaceBroken_; }

 private:
  host::Lv2World& world_;
  std::string uri_;
  std::unique_ptr<host::Lv2Plugin> plugin_;
  bool inPlaceBroken_ = false;
  // The values of the control inputs, kept to carry them into a new
  // instance, and a second home for them while they are connected elsewhere.
  std::vector<float> values_;
  std::vector<float> movedControls_;
  bool controlsMoved_ = false;

  Lv2Rig(host::Lv2World& world, const std::string& uri, std::unique_ptr<host::Lv2Plugin> plugin,
         int32_t maxBlock);
  static std::unique_ptr<host::Lv2Plugin> instantiate(host::Lv2World& world, const std::string& uri,
                                                      float sampleRate, int32_t maxBlock);
  void run(float** inputs, float** outputs, int32_t frames, bool otherBuffers) override;
  void connectControls(bool elsewhere);
};

// The value a position in a port's range stands for (see Lv2Rig::setParameter).
float portValueAt(const host::ParameterInfo& port, float position);

}  // namespace kqfx::command::validate
